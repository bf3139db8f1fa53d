// A whole batch run, map file and experiment file both fuzzed, to the output format the
// selector byte picks (all five formats in one target): the run must end with status 0
// and its file (standard error may hold warnings), or with status 1 and a message, never
// in a crash, a hang or a leak.
#include "common/fatal.hpp"
#include "conversion_input.hpp"
#include "driver/run.hpp"
#include "fuzz_scratch.hpp"
#include "geometry/cell.hpp"
#include "geometry/grid.hpp"
#include "readers/exp_file.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace grix;

namespace {

// The work of a run follows from the header and the cell, not from the input's size: a
// tiny file may rightly describe a section of no points across but two billion rows down,
// which the ASCII dump writes as that many empty lines, or a long cell edge over a fine
// map grid, which the resampling writers turn into a huge Cartesian grid, or a fine grid
// whose whole cell the viewers' formats fill. The tool does all that, and the fuzzer
// would take the time it needs for a hang, so such inputs are passed over here; the tool
// itself sets no such limit.
constexpr double MAX_GRID_STEPS = 250000;

// The writers walk each of three counts even when one beside it is 0.
double loop_steps(std::int32_t first, std::int32_t second, std::int32_t third)
{
    return static_cast<double>(std::max(first, 1)) * std::max(second, 1) * std::max(third, 1);
}

// The phase a batch run takes: the first of the experiment file, or none.
Phase first_phase(const std::string& expnam)
{
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file = open_first(exp_file_candidates(expnam), failures);
    if (!file)
        return {};
    std::istringstream text(read_whole_file(*file));
    const std::vector<Phase> phases = read_exp_file(text);
    return phases.empty() ? Phase{} : phases.front();
}

bool run_fits(const std::string& expnam, const OutputFormat& chosen)
{
    try {
        std::vector<FailedOpen> failures;
        std::optional<InputFile> file = open_first(map_file_candidates(expnam, "FCLC"), failures);
        if (!file)
            return true;
        MapFileStart start = read_map_header(std::move(*file));
        const FourierMap map = read_map_sections(start);
        const std::int32_t* nxyzt = map.header.nxyzt;
        if (loop_steps(nxyzt[0], nxyzt[1], nxyzt[2]) > MAX_GRID_STEPS)
            return false;
        // The whole cell has a point per grid interval of the map, however few it holds.
        const std::int32_t* nxyzi = map.header.nxyzi;
        if (chosen.whole_cell == CellContents::atoms_and_density &&
            loop_steps(nxyzi[0], nxyzi[1], nxyzi[2]) > MAX_GRID_STEPS)
            return false;
        if (!chosen.resamples())
            return true;
        const CellParameters parameters = first_phase(expnam).cell;
        check_cell_volume(parameters);
        const Cell cell = orthogonalise_cell(parameters);
        const GridCounts counts = count_grid_points(cartesian_box(cell, map.geometry));
        return loop_steps(counts.nx, counts.ny, counts.nz) <= MAX_GRID_STEPS;
    } catch (const FatalError&) {
        return true;  // the run stops at the same fault, before any writing
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ConversionInput input = split_conversion_input(data, size);
    const OutputFormat& chosen = conversion_format(input.selector);
    write_scratch_file("run.fclc", reinterpret_cast<const std::uint8_t*>(input.map.data()),
                       input.map.size());
    write_scratch_file("run.exp", reinterpret_cast<const std::uint8_t*>(input.exp.data()),
                       input.exp.size());
    const std::string expnam = scratch_path("run");

    if (run_fits(expnam, chosen)) {
        FuzzConsole io;
        const int status = run_and_report(conversion_args(input.selector, expnam), io.console);
        if (status == 0) {
            require(io.out.str().empty(), "a successful batch run printed on standard output");
            require(std::filesystem::is_regular_file(expnam + std::string(chosen.extension)),
                    "a successful run left no output file");
        } else {
            require(status == 1, "an exit status other than 0 or 1");
            require(!io.out.str().empty() || !io.err.str().empty(), "a failed run said nothing");
        }
    }
    clear_scratch_dir();
    return 0;
}
