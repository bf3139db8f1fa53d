#include "driver/run.hpp"

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "driver/info.hpp"
#include "driver/options.hpp"
#include "driver/peak_table.hpp"
#include "geometry/cell.hpp"
#include "geometry/map_summary.hpp"
#include "geometry/peaks.hpp"
#include "readers/exp_file.hpp"
#include "readers/exp_records.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"
#include "symmetry/cell_density.hpp"
#include "symmetry/peak_list.hpp"
#include "symmetry/space_group.hpp"
#include "symmetry/whole_cell.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <numeric>
#include <optional>
#include <ostream>
#include <variant>

namespace grix {
namespace {

// The input files opened in this run, which no output may replace.
using InputNames = std::vector<std::string>;

// One line per name tried: the name and the system's reason it did not open.
std::string list_failures(const std::vector<FailedOpen>& failures)
{
    std::string lines;
    for (const FailedOpen& failure : failures)
        lines += printf_text("  %s: %s\n", failure.name.c_str(), std::strerror(failure.error));
    return lines;
}

FourierMap read_map(const RunOptions& options, Console& console, InputNames& inputs)
{
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file =
        open_first(map_file_candidates(options.expnam, options.map_type), failures);
    if (!file)
        throw FatalError("Could not find Fourier map file.\n" + list_failures(failures));
    inputs.push_back(file->name);
    MapFileStart start = read_map_header(std::move(*file));
    if (options.show_header)
        print_map_header(console, start.header, start.record_size);
    FourierMap map = read_map_sections(start);
    if (const std::uint64_t count = count_non_finite_values(map); count > 0)
        print_to(console.err, "Warning: the map holds %llu values that are not finite numbers.\n",
                 static_cast<unsigned long long>(count));
    return map;
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

// The experiment file's phases; none when it is missing or holds no phase: the run then
// goes on with the map's own cell and no atoms. Interactive mode says so on standard output,
// batch mode on standard error.
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
    std::vector<Phase> phases = read_exp_file(file->stream);
    if (!options.batch || phases.empty())
        print_to(says, "Number of phases found in EXP file: %zu\n", phases.size());
    if (phases.empty()) {
        print_to(says, "No phase information. Setting unit cell to zero.\n");
        print_to(says, "This may make sone output formats unreadable.\n");
    }
    return phases;
}

// The phase of the run and its number, counted from 1; none without phases.
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

// Without a phase from the experiment file, the map's own cell, no atoms and no symmetry
// beyond the lattice: the resampled formats still get the map's geometry. (The messages
// above keep their words, which users and scripts know.)
Phase phase_from_map(const MapHeader& header)
{
    Phase phase;
    phase.cell = {header.cell[0], header.cell[1], header.cell[2],
                  header.cell[3], header.cell[4], header.cell[5]};
    phase.space_group = "P 1";
    return phase;
}

// A map converted with another phase's cell goes through, but not without a word.
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

// The symmetry of the map: the phase's space group, or for a Patterson map the
// Patterson symmetry of it; none when the symbol cannot be read.
std::optional<SpaceGroup> find_map_symmetry(const Phase& phase, const std::string& map_type)
{
    std::optional<SpaceGroup> group = read_space_group(phase.space_group);
    if (group && (map_type == "PTSN" || map_type == "DPTS"))
        group = patterson_group(*group);
    return group;
}

// Formats that complete the density over the cell need the space group.
void refuse_density_without_symmetry(const Phase& phase, const std::optional<SpaceGroup>& group,
                                     const OutputFormat& format)
{
    if (!group)
        throw FatalError(printf_text("Can't read the space group \"%s\" of phase %s; the %.*s "
                                     "format needs its symmetry.\n",
                                     phase.space_group.c_str(), phase.name.c_str(),
                                     static_cast<int>(format.name.size()), format.name.data()));
}

// The whole cell that a row holds: atoms that only decorate the map are left out, with a
// warning, without the space group.
WholeCell build_cell_contents(Console& console, const FourierMap& map, const Phase& phase,
                              const std::optional<SpaceGroup>& group, CellContents contents)
{
    if (!group && !phase.atoms.empty())
        print_to(console.err,
                 "Warning: can't read the space group \"%s\" of phase %s; the atoms are left "
                 "out.\n",
                 phase.space_group.c_str(), phase.name.c_str());
    WholeCell cell = build_whole_cell(map, phase, group ? *group : SpaceGroup{},
                                      contents == CellContents::atoms_and_density);
    if (cell.unreached > 0)
        print_to(console.err,
                 "Warning: %lld grid points of the cell are the image of no map point under "
                 "the space group; they are written as 0.\n",
                 static_cast<long long>(cell.unreached));
    return cell;
}

// The lambdas given, as one visitor of a variant.
template <class... Visitor>
struct Overloaded : Visitor... {
    using Visitor::operator()...;
};

// Clang before 17 does not deduce an aggregate's template arguments by itself.
template <typename... Visitor>
Overloaded(Visitor...) -> Overloaded<Visitor...>;

// What the writer's kind needs beyond the map, as far as it is known before the heavy
// work: nothing more; the orthogonalised cell and the Cartesian grid; what of the whole
// cell is to be built.
struct MapPlan {
    WriteMap write;
};
struct ResampledPlan {
    WriteResampled write;
    Cell cell;
    CartesianGrid grid;
};
struct WholeCellPlan {
    WriteWholeCell write;
    CellContents contents;
};
using Plan = std::variant<MapPlan, ResampledPlan, WholeCellPlan>;

// The row's writer ("-full" may choose the whole cell's), with every refusal of the input
// made: the row's own check, then the cell's volume and the Cartesian grid of a
// resampling row, or the symmetry and the size of the grid of a completed whole cell.
Plan plan_conversion(const RunOptions& options, const FourierMap& map, const Phase& phase,
                     const std::optional<SpaceGroup>& group)
{
    const OutputFormat& format = *options.format;
    if (format.check)
        format.check(map, phase.cell);
    const bool full = options.full && format.write_full;
    const Writer write = full ? Writer{format.write_full} : format.write;
    const CellContents contents = full ? CellContents::atoms_and_density : format.whole_cell;
    return std::visit(
        Overloaded{
            [](WriteMap map_writer) -> Plan { return MapPlan{map_writer}; },
            [&](WriteResampled resampled_writer) -> Plan {
                check_cell_volume(phase.cell);
                const Cell cell = orthogonalise_cell(phase.cell);
                return ResampledPlan{resampled_writer, cell,
                                     lay_cartesian_grid(cell, map.geometry)};
            },
            [&](WriteWholeCell cell_writer) -> Plan {
                if (contents == CellContents::atoms_and_density) {
                    refuse_density_without_symmetry(phase, group, format);
                    count_cell_points(map.geometry);
                }
                return WholeCellPlan{cell_writer, contents};
            }},
        write);
}

// The heavy work (the whole cell), then the writer on the input prepared in full.
void carry_out(const Plan& plan, Console& console, const Conversion& conversion,
               const std::optional<SpaceGroup>& group, OutputSink& sink)
{
    std::visit(Overloaded{[&](const MapPlan& map_plan) { map_plan.write(conversion, sink); },
                          [&](const ResampledPlan& resampled) {
                              resampled.write({conversion, resampled.cell, resampled.grid},
                                              sink);
                          },
                          [&](const WholeCellPlan& cell_plan) {
                              const WholeCell cell =
                                  build_cell_contents(console, conversion.map, conversion.phase,
                                                      group, cell_plan.contents);
                              cell_plan.write({conversion, cell}, sink);
                          }},
               plan);
}

// "-o -" is standard output, written as its descriptor is open.
std::string batch_output_name(const RunOptions& options)
{
    if (!options.output)
        return options.expnam + std::string(options.format->extension);
    return *options.output == "-" ? "/dev/stdout" : *options.output;
}

// The output's name: from the command line in batch mode, asked in interactive mode.
std::string decide_output_name(Console& console, const RunOptions& options)
{
    if (options.batch)
        return batch_output_name(options);
    print_to(console.out, "\n");
    if (options.format->notice)
        print_to(console.out, "%s", options.format->notice);
    return ask_output_name(console);
}

// The ASCII dump's precision: from the command line in batch mode, asked in interactive
// mode once the output is open.
int decide_precision(Console& console, const RunOptions& options)
{
    if (options.batch || !options.format->asks_precision)
        return options.precision;
    return ask_precision(console);
}

// The input checked and its cheap geometry laid out as soon as the output's name is
// known, so that a refused input opens no output; then the output opened, and a name that
// is refused is refused before any question after it; then the whole cell built and the
// file written, a failure from the open on removing what was begun.
void convert(Console& console, const RunOptions& options, const FourierMap& map,
             const Phase& phase, const InputNames& inputs)
{
    const std::string name = decide_output_name(console, options);
    const std::optional<SpaceGroup> group = find_map_symmetry(phase, options.map_type);
    const Plan plan = plan_conversion(options, map, phase, group);
    OutputFile file = open_output_file(name, options.format->mode, inputs);
    const int precision = decide_precision(console, options);
    const int space_group_number = group && group->number > 0 ? group->number : 1;
    FileSink sink(file);
    carry_out(plan, console, {map, phase, precision, 0, space_group_number}, group, sink);
    sink.flush();
    close_output_file(file);
}

// A precision "-a" gave outside 0 to 6 is said once, when the ASCII dump will use it.
void warn_of_refused_precision(Console& console, const RunOptions& options)
{
    if (options.batch && options.refused_precision && options.format->asks_precision)
        print_to(console.err, "Precision %d is outside 0 to 6; 0 is used.\n",
                 *options.refused_precision);
}

// The highest maxima and deepest minima, each once however often symmetry repeats it,
// beside the nearest atoms of the whole cell.
void list_peaks(Console& console, const RunOptions& options, const FourierMap& map,
                const Phase& phase)
{
    const std::optional<SpaceGroup> group = find_map_symmetry(phase, options.map_type);
    const SpaceGroup symmetry = group ? *group : SpaceGroup{};
    // Atoms only: the format plays no part.
    const WholeCell cell = build_cell_contents(console, map, phase, group, CellContents::atoms);
    const GridExtremes extremes = find_extremes(map);
    const std::array<double, 3> steps = fractional_steps(map.geometry);
    const auto count = static_cast<std::size_t>(options.peak_count);
    print_peak_table(console.out, drop_symmetry_repeats(extremes.maxima, symmetry, steps, count),
                     drop_symmetry_repeats(extremes.minima, symmetry, steps, count),
                     summarise_values(map.values.all()).rms, cell);
}

}  // namespace

int run(const std::vector<std::string>& args, Console& console)
{
    RunOptions options = read_command_line(args);
    if (options.request == Request::help) {
        print_to(console.out, "%s", usage_text().c_str());
        return 0;
    }
    if (options.request == Request::version) {
        print_to(console.out, "grix %s\n", GRIX_VERSION);
        return 0;
    }
    for (const std::string& ignored : options.ignored)
        print_to(console.err, "Ignoring argument %s.\n", ignored.c_str());
    warn_of_refused_precision(console, options);
    if (!options.batch) {
        print_banner(console);
        ask_run_choices(options, console);
    }
    options.expnam = cut_at_extension(options.expnam);

    InputNames inputs;
    const FourierMap map = read_map(options, console, inputs);
    const std::vector<Phase> phases = read_phases(options, console, inputs);
    const auto chosen = take_phase(options, map.header, console, phases);
    const Phase phase = chosen ? chosen->first : phase_from_map(map.header);
    if (chosen)
        warn_of_other_cell(console, map.header, phase, chosen->second);
    if (options.request == Request::info)
        print_map_info(console.out, {inputs.front(), map, inputs.size() > 1 ? &inputs[1] : nullptr,
                                     phases, chosen ? chosen->second : 0});
    else if (options.request == Request::peaks)
        list_peaks(console, options, map, phase);
    else
        convert(console, options, map, phase, inputs);
    return 0;
}

int report_failures(Console& console, const std::function<int()>& body)
{
    int status = 1;
    try {
        status = body();
    } catch (const FatalError& error) {
        console.out.flush();
        std::ostream& stream = error.stream == FatalStream::out ? console.out : console.err;
        stream << error.what();
    } catch (const std::bad_alloc&) {
        console.out.flush();
        console.err << "Error: not enough memory for this run.\n";
    } catch (const std::exception& error) {
        console.out.flush();
        console.err << "Error: " << error.what() << "\n";
    }
    console.out.flush();
    console.err.flush();
    return status;
}

int run_and_report(const std::vector<std::string>& args, Console& console)
{
    return report_failures(console, [&] { return run(args, console); });
}

}  // namespace grix
