// The output formats: one row each, read by the command line, the format question, the
// driver's dispatch, the tests, the fuzz target and the benchmark. A new format is a row
// here and a writer file.
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

#include <span>
#include <string_view>

namespace grix {

// What a format holds of the whole unit cell beyond the map as it is.
enum class CellContents { none, atoms, atoms_and_density };

struct OutputFormat {
    std::string_view name;            // the answer to the format question, upper case
    std::string_view short_option{};  // batch options, "-a" and "-ascii"; the short one
    std::string_view long_option;     // may be missing
    std::string_view extension;       // of the output file in batch mode
    std::string_view description;     // for the usage text
    OutputMode mode = OutputMode::text;
    // Written on a Cartesian grid rather than the map's own, which needs the
    // orthogonalised cell (and its volume check) before anything else.
    bool resamples = false;
    bool asks_precision = false;  // the options take the precision; interactive mode asks
    const char* notice = nullptr;  // said in interactive mode before the output name is asked
    CellContents whole_cell = CellContents::none;
    bool takes_full = false;  // "-full" makes it hold the whole cell, atoms and density
    // Refusals of the input, made before the output is opened; may be null.
    void (*check)(const Conversion& conversion) = nullptr;
    void (*write)(const Conversion& conversion, OutputSink& sink) = nullptr;
};

std::span<const OutputFormat> output_formats();

// The format with this name or option; null when there is none.
const OutputFormat* find_format_named(std::string_view name);
const OutputFormat* find_format_by_option(std::string_view option);

}  // namespace grix
