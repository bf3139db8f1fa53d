#include "writers/formats.hpp"

#include "writers/ascii_dump.hpp"
#include "writers/ccp4_map.hpp"
#include "writers/contour_page.hpp"
#include "writers/gaussian_cube.hpp"
#include "writers/marching_cube.hpp"
#include "writers/whole_cell_text.hpp"
#include "writers/wingx_map.hpp"
#include "writers/xd_grid.hpp"
#include "writers/xsf_grid.hpp"

#include <algorithm>
#include <array>

namespace grix {
namespace {

const std::array<OutputFormat, 8> FORMATS{{
    {.name = "ASCII", .short_option = "-a", .long_option = "-ascii", .extension = ".txt",
     .description = "plain ASCII dump on the map's grid",
     .mode = OutputMode::text, .asks_precision = true, .write = write_ascii_dump},
    {.name = "WINGX", .short_option = "-w", .long_option = "-wingx", .extension = ".map",
     .description = "WinGX binary map on the map's grid",
     .mode = OutputMode::binary, .write = write_wingx_map},
    {.name = "MARCH", .short_option = "-m", .long_option = "-march", .extension = ".fou",
     .description = "Marching Cube text file on a Cartesian grid",
     .mode = OutputMode::text, .write = write_marching_cube},
    {.name = "XD", .short_option = "-x", .long_option = "-xd", .extension = ".grd",
     .description = "Project XD grid file on a Cartesian grid",
     .mode = OutputMode::text, .notice = "Project XD output type not fully implemented.\n",
     .write = write_xd_grid},
    {.name = "CCP4", .short_option = "-c", .long_option = "-ccp4", .extension = ".ccp4",
     .description = "CCP4/MRC map on the map's grid",
     .mode = OutputMode::binary, .check = check_ccp4_map, .write = write_ccp4_map,
     .write_full = write_ccp4_cell},
    {.name = "CUBE", .long_option = "-cube", .extension = ".cube",
     .description = "Gaussian cube of the whole cell with its atoms",
     .mode = OutputMode::text, .whole_cell = CellContents::atoms_and_density,
     .check = check_whole_cell, .write = write_gaussian_cube},
    {.name = "XSF", .long_option = "-xsf", .extension = ".xsf",
     .description = "XCrySDen XSF of the whole cell with its atoms",
     .mode = OutputMode::text, .whole_cell = CellContents::atoms_and_density,
     .check = check_whole_cell, .write = write_xsf_grid},
    {.name = "HTML", .long_option = "-html", .extension = ".html",
     .description = "page of contoured sections for any browser",
     .mode = OutputMode::text, .whole_cell = CellContents::atoms,
     .write = write_contour_page},
}};

}  // namespace

std::span<const OutputFormat> output_formats()
{
    return FORMATS;
}

const OutputFormat* find_format_named(std::string_view name)
{
    const auto found = std::find_if(FORMATS.begin(), FORMATS.end(),
                                    [&](const OutputFormat& format) { return format.name == name; });
    return found == FORMATS.end() ? nullptr : &*found;
}

const OutputFormat* find_format_by_option(std::string_view option)
{
    const auto found = std::find_if(FORMATS.begin(), FORMATS.end(), [&](const OutputFormat& format) {
        return !option.empty() && (format.short_option == option || format.long_option == option);
    });
    return found == FORMATS.end() ? nullptr : &*found;
}

}  // namespace grix
