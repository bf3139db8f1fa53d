// The output formats: one row each, read by the command line, the format question, the
// driver's dispatch, the tests, the fuzz target and the benchmark. A new format is a row
// here and a writer file.
#pragma once

#include "writers/conversion.hpp"
#include "writers/output_sink.hpp"

#include <span>
#include <string_view>
#include <variant>

namespace grix {

// What a format holds of the whole unit cell beyond the map as it is.
enum class CellContents { none, atoms, atoms_and_density };

// A writer of each kind of prepared input.
using WriteMap = void (*)(const Conversion& conversion, OutputSink& sink);
using WriteResampled = void (*)(const ResampledConversion& conversion, OutputSink& sink);
using WriteWholeCell = void (*)(const WholeCellConversion& conversion, OutputSink& sink);
using Writer = std::variant<WriteMap, WriteResampled, WriteWholeCell>;

struct OutputFormat {
    std::string_view name;            // the answer to the format question, upper case
    std::string_view short_option{};  // batch options, "-a" and "-ascii"; the short one
    std::string_view long_option;     // may be missing
    std::string_view extension;       // of the output file in batch mode
    std::string_view description;     // for the usage text
    OutputMode mode = OutputMode::text;
    bool asks_precision = false;  // the options take the precision; interactive mode asks
    const char* notice = nullptr;  // said in interactive mode before the output name is asked
    // What a WriteWholeCell writer gets of the whole cell.
    CellContents whole_cell = CellContents::none;
    // Refusals of the input beyond those of preparing it, made first; may be null.
    void (*check)(const FourierMap& map, const CellParameters& cell) = nullptr;
    // The writer, whose kind says what is prepared for it: the map as it is, the
    // Cartesian grid (written on it rather than on the map's own), or the whole cell.
    Writer write;
    // With "-full": the writer of the whole cell, atoms and density; may be null.
    WriteWholeCell write_full = nullptr;

    bool resamples() const { return std::holds_alternative<WriteResampled>(write); }
};

std::span<const OutputFormat> output_formats();

// The format with this name or option; null when there is none.
const OutputFormat* find_format_named(std::string_view name);
const OutputFormat* find_format_by_option(std::string_view option);

}  // namespace grix
