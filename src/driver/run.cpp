#include "driver/run.hpp"

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "driver/options.hpp"
#include "geometry/cell.hpp"
#include "readers/exp_file.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"

#include <optional>
#include <ostream>

namespace grix {
namespace {

FourierMap read_map(const RunOptions& options, Console& console)
{
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file =
        open_first(map_file_candidates(options.expnam, options.map_type), failures);
    if (!file)
        throw FatalError("Could not find Fourier map file.\n");
    MapFileStart start = read_map_header(std::move(*file));
    if (options.show_header)
        print_map_header(console, start.header, start.record_size);
    return read_map_sections(start);
}

// The phase the map belongs to. A missing experiment file, or one without phases, gives
// a zero cell and no atoms, and the run goes on.
Phase read_phase(const RunOptions& options, Console& console)
{
    std::vector<FailedOpen> failures;
    std::optional<InputFile> file = open_first(exp_file_candidates(options.expnam), failures);
    if (!file) {
        if (!options.batch) {
            print_to(console.out, "Can't find %s.\n",
                     to_upper_ascii(options.expnam + ".exp").c_str());
            print_to(console.out, "Can't get unit cell information.\n");
            print_to(console.out, "Setting unit cell to zero.\n");
            print_to(console.out, "This may make some output formats unreadable.\n");
        }
        return {};
    }
    const std::vector<Phase> phases = read_exp_file(file->stream);
    if (!options.batch)
        print_to(console.out, "Number of phases found in EXP file: %zu\n", phases.size());
    if (phases.empty()) {
        if (!options.batch) {
            print_to(console.out, "No phase information. Setting unit cell to zero.\n");
            print_to(console.out, "This may make sone output formats unreadable.\n");
        }
        return {};
    }
    return phases[options.batch ? 0 : choose_phase(console, phases)];
}

void write_output_file(const Conversion& conversion, const OutputFormat& format,
                       const std::string& name)
{
    if (format.check)
        format.check(conversion);
    OutputFile file = open_output_file(name, format.mode);
    format.write(conversion, file);
    close_output_file(file);
}

}  // namespace

int run(const std::vector<std::string>& args, Console& console)
{
    RunOptions options = read_command_line(args);
    if (!options.batch) {
        print_banner(console);
        ask_run_choices(options, console);
    }
    options.expnam = cut_at_extension(options.expnam);

    const FourierMap map = read_map(options, console);
    const Phase phase = read_phase(options, console);
    const OutputFormat& format = *options.format;
    std::string name = options.expnam + std::string(format.extension);
    int precision = options.precision;
    if (!options.batch) {
        print_to(console.out, "\n");
        if (format.notice)
            print_to(console.out, "%s", format.notice);
        name = ask_output_name(console);
        if (format.asks_precision)
            precision = ask_precision(console);
    }

    std::optional<Cell> cell;
    if (format.resamples)
        cell = orthogonalise_cell(phase.cell);
    write_output_file({map, phase, cell ? &*cell : nullptr, precision}, format, name);
    return 0;
}

int run_and_report(const std::vector<std::string>& args, Console& console)
{
    int status = 1;
    try {
        status = run(args, console);
    } catch (const FatalError& error) {
        console.out.flush();
        std::ostream& stream = error.stream == FatalStream::out ? console.out : console.err;
        stream << error.what();
    }
    console.out.flush();
    console.err.flush();
    return status;
}

}  // namespace grix
