// File names of the two input files: the experiment name cut at its extension, and the
// lower- and upper-case forms under which the files are looked for, in the order tried.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace grix {

// Only the letters a to z and A to Z change, one character at a time.
std::string to_lower_ascii(std::string text);
std::string to_upper_ascii(std::string text);
std::string keep_case(std::string text);

// Index of the final path component: just past the last "/" or "\", else 0.
std::size_t final_component_start(const std::string& name);

// The name cut at the first "." of its final path component, so ../data/run.exp
// becomes ../data/run and ./run stays ./run.
std::string cut_at_extension(std::string expnam);

// One attempt at opening a file: a name and the case conversion applied to it.
struct NameAttempt {
    std::string name;
    std::string (*convert)(std::string);
};

// The attempts with each whole name converted, in order; then, for a file system that
// tells case apart, the same attempts with the directory kept as typed and only the
// final component converted. A name already listed is not repeated.
std::vector<std::string> candidate_names(std::span<const NameAttempt> attempts);

// expnam.maptype in lower then upper case, then the same with the map type cut to three
// letters; then those four with only the final component converted; then the name as
// typed with each extension in lower then upper case.
std::vector<std::string> map_file_candidates(const std::string& expnam,
                                             const std::string& map_type);

// expnam.exp as typed, then the whole name upper-cased, then the directory as typed
// with the final component upper-cased, then the name as typed with ".EXP", then the
// directory as typed with the final component lower-cased and ".exp".
std::vector<std::string> exp_file_candidates(const std::string& expnam);

}  // namespace grix
