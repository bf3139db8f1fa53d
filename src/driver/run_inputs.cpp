#include "driver/run_inputs.hpp"

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "driver/signals.hpp"
#include "geometry/map_summary.hpp"
#include "readers/exp_file.hpp"
#include "readers/exp_records.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>
#include <ostream>
#include <sstream>

namespace grix {
namespace {

// One line per name tried: the name and the system's reason it did not open.
std::string list_failures(const std::vector<FailedOpen>& failures)
{
    std::string lines;
    for (const FailedOpen& failure : failures)
        lines += printf_text("  %s: %s\n", failure.name.c_str(), std::strerror(failure.error));
    return lines;
}

// The indices among `among` of the phases that pass `test`.
template <typename Test>
std::vector<std::size_t> select_phases(const std::vector<std::size_t>& among, Test test)
{
    std::vector<std::size_t> selected;
    std::copy_if(among.begin(), among.end(), std::back_inserter(selected), test);
    return selected;
}

// The phase the map was computed from, as far as the map tells: the one phase whose cell
// is the map's; of several, the one named by the first word of the map's phase text.
// The first phase when that leaves none or several.
std::size_t find_map_phase(const MapHeader& header, const std::vector<Phase>& phases)
{
    std::vector<std::size_t> all(phases.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    const std::vector<std::size_t> fitting = select_phases(
        all, [&](std::size_t p) { return cell_matches_map(header, phases[p].cell); });
    if (fitting.size() == 1)
        return fitting.front();
    const std::string name = scan_word(header.phase);
    const std::vector<std::size_t> named =
        select_phases(fitting, [&](std::size_t p) { return phases[p].name == name; });
    return named.size() == 1 ? named.front() : 0;
}

// The phase in batch mode: the one "-p" names, else the map's own.
std::size_t pick_phase(const RunOptions& options, const MapHeader& header,
                       const std::vector<Phase>& phases)
{
    if (!options.phase)
        return find_map_phase(header, phases);
    const int count = static_cast<int>(phases.size());
    if (*options.phase < 1 || *options.phase > count)
        throw FatalError(printf_text("Phase %d is not in the experiment file; it holds %d "
                                     "phase(s).\n",
                                     *options.phase, count));
    return static_cast<std::size_t>(*options.phase - 1);
}

}  // namespace

FourierMap read_map(const RunOptions& options, Console& console, InputNames& inputs)
{
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file =
        open_first(map_file_candidates(options.expnam, options.map_type), failures);
    if (!file)
        throw FatalError("Could not find Fourier map file.\n" + list_failures(failures));
    inputs.push_back(file->name);
    MapFileStart start = read_map_header(std::move(*file));
    note_mapped_map_file(start.file.name);
    if (options.show_header)
        print_map_header(console, start.header, start.record_size);
    FourierMap map = read_map_sections(start);
    if (const std::uint64_t count = count_non_finite_values(map); count > 0)
        print_to(console.err, "Warning: the map holds %llu values that are not finite numbers.\n",
                 static_cast<unsigned long long>(count));
    return map;
}

std::vector<Phase> read_phases(const RunOptions& options, Console& console, InputNames& inputs)
{
    std::ostream& says = options.batch ? console.err : console.out;
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file = open_first(exp_file_candidates(options.expnam), failures);
    if (!file) {
        print_to(says, "Can't find %s.\n", to_upper_ascii(options.expnam + ".exp").c_str());
        print_to(says, "Can't get unit cell information.\n");
        print_to(says, "Setting unit cell to zero.\n");
        print_to(says, "This may make some output formats unreadable.\n");
        return {};
    }
    inputs.push_back(file->name);
    std::istringstream text(read_whole_file(*file));
    std::vector<Phase> phases = read_exp_file(text);
    if (!options.batch || phases.empty())
        print_to(says, "Number of phases found in EXP file: %zu\n", phases.size());
    if (phases.empty()) {
        print_to(says, "No phase information. Setting unit cell to zero.\n");
        print_to(says, "This may make sone output formats unreadable.\n");
    }
    return phases;
}

std::optional<std::pair<Phase, std::size_t>> take_phase(const RunOptions& options,
                                                        const MapHeader& header,
                                                        Console& console,
                                                        const std::vector<Phase>& phases)
{
    if (phases.empty())
        return std::nullopt;
    const std::size_t chosen =
        options.batch ? pick_phase(options, header, phases) : choose_phase(console, phases);
    return std::pair{phases[chosen], chosen + 1};
}

Phase phase_from_map(const MapHeader& header)
{
    Phase phase;
    phase.cell = {header.cell[0], header.cell[1], header.cell[2],
                  header.cell[3], header.cell[4], header.cell[5]};
    phase.space_group = "P 1";
    return phase;
}

void warn_of_other_cell(Console& console, const MapHeader& header, const Phase& phase,
                        std::size_t number)
{
    const CellParameters& cell = phase.cell;
    if (!cell_matches_map(header, cell))
        print_to(console.err,
                 "Warning: the map's cell %.4f %.4f %.4f %.3f %.3f %.3f differs from phase "
                 "%zu's %.4f %.4f %.4f %.3f %.3f %.3f.\n",
                 double{header.cell[0]}, double{header.cell[1]}, double{header.cell[2]},
                 double{header.cell[3]}, double{header.cell[4]}, double{header.cell[5]}, number,
                 double{cell.a}, double{cell.b}, double{cell.c}, double{cell.alpha},
                 double{cell.beta}, double{cell.gamma});
}

}  // namespace grix
