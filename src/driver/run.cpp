#include "driver/run.hpp"

#include "common/fatal.hpp"
#include "common/records.hpp"
#include "driver/options.hpp"
#include "readers/exp_file.hpp"
#include "readers/map_file.hpp"
#include "writers/ascii_dump.hpp"
#include "writers/ccp4_map.hpp"
#include "writers/marching_cube.hpp"
#include "writers/wingx_map.hpp"
#include "writers/xd_grid.hpp"

#include <ostream>

namespace {

void write_output_format(const RunOptions& options, StructureInfo& structure,
                         const MapHeader& header, const MapSections& sections,
                         Console& console)
{
    const std::string& type = options.output_type;
    if (type == "ASCII") {
        write_ascii_dump(structure, header, sections, options.batch, options.precision,
                         options.expnam, console);
    } else if (type == "WINGX") {
        write_wingx_map(structure, header, sections, options.batch, options.expnam, console);
    } else if (type == "MARCH") {
        write_marching_cube(structure, header, sections, options.batch, options.expnam,
                            console);
    } else if (type == "XD") {
        if (!options.batch)
            print(console.out, "Project XD output type not fully implemented.\n");
        write_xd_grid(structure, header, sections, options.batch, options.expnam, console);
    } else if (type == "CCP4") {
        write_ccp4_map(structure, header, sections, options.batch, options.expnam, console);
    }
}

}  // namespace

int run(const std::vector<std::string>& args, Console& console)
{
    RunOptions options = read_command_line(args);
    if (!options.batch) {
        print_banner(console);
        ask_run_choices(options, console);
    }

    MapHeader header;
    MapSections sections;
    read_map_file(options.expnam, options.map_type, options.show_header, header, sections,
                  console);

    StructureInfo structure;
    read_exp_file(options.expnam, structure, options.batch, console);
    if (!options.batch)
        print(console.out, "\n");

    write_output_format(options, structure, header, sections, console);
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
