#include "driver/run.hpp"

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "driver/info.hpp"
#include "driver/options.hpp"
#include "driver/peak_table.hpp"
#include "driver/run_inputs.hpp"
#include "readers/paths.hpp"
#include "geometry/cell.hpp"
#include "geometry/map_summary.hpp"
#include "geometry/peaks.hpp"
#include "symmetry/cell_density.hpp"
#include "symmetry/peak_list.hpp"
#include "symmetry/space_group.hpp"
#include "symmetry/whole_cell.hpp"

#include <new>
#include <optional>
#include <ostream>
#include <variant>

namespace grix {
namespace {

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
