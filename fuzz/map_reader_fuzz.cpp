// The Fourier map reader on any bytes: it must refuse what it cannot read with its
// message, and whatever it accepts must keep the promises the writers rely on.
#include "common/fatal.hpp"
#include "fuzz_scratch.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"

#include <cstdint>

using namespace grix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    write_scratch_file("run.fclc", data, size);
    try {
        std::vector<FailedOpen> failures;
        std::optional<InputFile> file = open_first({scratch_path("run.fclc")}, failures);
        require(file.has_value(), "the scratch map file does not open");
        MapFileStart start = read_map_header(std::move(*file));
        const FourierMap map = read_map_sections(start);
        const MapHeader& header = map.header;
        const MapGeometry& geometry = map.geometry;
        for (std::size_t d = 0; d < 3; ++d)
            require(geometry.points[d] >= 1 && geometry.divisions[d] >= 1,
                    "a direction without points or intervals accepted");
        require(header.nrho >= static_cast<std::int64_t>(geometry.section_points()),
                "a section holds fewer values than grid points");
        require(map.values.size() == geometry.total_points(), "not one value per grid point");
        // Memory follows the file: every value taken was in it.
        require(map.values.size() <= size / 4, "more values taken than the file holds");
    } catch (const FatalError& error) {
        require(error.stream == FatalStream::err, "a reader failure not on standard error");
    }
    clear_scratch_dir();
    return 0;
}
