#include "driver/run.hpp"

#include "common/fatal.hpp"
#include "driver/conversation.hpp"
#include "driver/options.hpp"
#include "geometry/cell.hpp"
#include "readers/exp_file.hpp"
#include "readers/input_file.hpp"
#include "readers/map_file.hpp"
#include "readers/paths.hpp"

#include <cstring>
#include <new>
#include <optional>
#include <ostream>

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
    return read_map_sections(start);
}

// The phase the map belongs to. A missing experiment file, or one without phases, gives
// a zero cell and no atoms, and the run goes on.
Phase read_phase(const RunOptions& options, Console& console, InputNames& inputs)
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
    inputs.push_back(file->name);
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
                       const std::string& name, const InputNames& inputs)
{
    if (format.check)
        format.check(conversion);
    OutputFile file = open_output_file(name, format.mode, inputs);
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

    InputNames inputs;
    const FourierMap map = read_map(options, console, inputs);
    const Phase phase = read_phase(options, console, inputs);
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
    write_output_file({map, phase, cell ? &*cell : nullptr, precision}, format, name, inputs);
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
