#include "writers/writer_fixture.hpp"

#include "geometry/cell.hpp"
#include "support/map_fixture.hpp"
#include "support/scratch_dir.hpp"

#include <bit>
#include <optional>

using namespace grix;

Phase make_phase(const std::array<float, 6>& cell, std::initializer_list<TestAtom> atoms)
{
    Phase phase;
    phase.cell = {cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]};
    for (const TestAtom& atom : atoms)
        phase.atoms.push_back({"C ", atom.label, atom.x, atom.y, atom.z, atom.occupancy});
    phase.atom_count = static_cast<int>(phase.atoms.size());
    return phase;
}

FourierMap make_tagged_map(const MapHeader& header)
{
    return make_map(header, make_tagged_sections(header));
}

std::string write_format(const OutputFormat& format, const Conversion& conversion,
                         const std::string& path)
{
    if (format.check)
        format.check(conversion.map, conversion.phase.cell);
    std::optional<ResampledConversion> resampled;
    if (format.resamples()) {
        check_cell_volume(conversion.phase.cell);
        const Cell cell = orthogonalise_cell(conversion.phase.cell);
        resampled.emplace(conversion, cell, lay_cartesian_grid(cell, conversion.map.geometry));
    }
    std::optional<ScratchDir> dir;
    if (path.empty())
        dir.emplace();
    const std::string name = dir ? dir->file("out") : path;
    OutputFile file = open_output_file(name, format.mode);
    FileSink sink(file);
    if (resampled)
        std::get<WriteResampled>(format.write)(*resampled, sink);
    else
        std::get<WriteMap>(format.write)(conversion, sink);
    sink.flush();
    close_output_file(file);
    return read_file_bytes(name);
}

std::string write_with(std::string_view name, const FourierMap& map, const Phase& phase,
                       int precision)
{
    const OutputFormat* format = find_format_named(name);
    if (format == nullptr) {
        ADD_FAILURE() << "no format " << name;
        return "";
    }
    return write_format(*format, {map, phase, precision});
}

std::int32_t le_int32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t word = 0;
    for (std::size_t n = 0; n < 4; ++n)
        word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + n)))
                << (8 * n);
    return static_cast<std::int32_t>(word);
}

float le_float32(const std::string& bytes, std::size_t offset)
{
    return std::bit_cast<float>(le_int32(bytes, offset));
}
