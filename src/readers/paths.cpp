#include "readers/paths.hpp"

#include <algorithm>

namespace grix {

namespace {

// The default locale's toupper and tolower change only the 26 letters each way.
char lower_char(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char upper_char(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void add_once(std::vector<std::string>& names, std::string name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
}

}  // namespace

std::string to_lower_ascii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), lower_char);
    return text;
}

std::string to_upper_ascii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), upper_char);
    return text;
}

std::string keep_case(std::string text)
{
    return text;
}

std::size_t final_component_start(const std::string& name)
{
    const std::size_t separator = name.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string cut_at_extension(std::string expnam)
{
    const std::size_t dot = expnam.find('.', final_component_start(expnam));
    if (dot != std::string::npos)
        expnam.erase(dot);
    return expnam;
}

std::vector<std::string> candidate_names(std::span<const NameAttempt> attempts)
{
    std::vector<std::string> names;
    for (const NameAttempt& attempt : attempts)
        add_once(names, attempt.convert(attempt.name));
    for (const NameAttempt& attempt : attempts) {
        const std::size_t start = final_component_start(attempt.name);
        add_once(names, attempt.name.substr(0, start) + attempt.convert(attempt.name.substr(start)));
    }
    return names;
}

std::vector<std::string> map_file_candidates(const std::string& expnam,
                                             const std::string& map_type)
{
    const std::string full = expnam + "." + map_type;
    const std::string short_type = expnam + "." + map_type.substr(0, 3);
    const NameAttempt attempts[] = {
        {full, to_lower_ascii},
        {full, to_upper_ascii},
        {short_type, to_lower_ascii},
        {short_type, to_upper_ascii},
    };
    std::vector<std::string> names = candidate_names(attempts);
    // The name as typed (Quartz), the extensions in either case.
    for (const std::string& type : {map_type, map_type.substr(0, 3)}) {
        add_once(names, expnam + "." + to_lower_ascii(type));
        add_once(names, expnam + "." + to_upper_ascii(type));
    }
    return names;
}

std::vector<std::string> exp_file_candidates(const std::string& expnam)
{
    const std::string name = expnam + ".exp";
    const NameAttempt attempts[] = {{name, keep_case}, {name, to_upper_ascii}};
    std::vector<std::string> names = candidate_names(attempts);
    add_once(names, expnam + ".EXP");  // the name as typed, the extension upper-cased
    // The name upper-cased where the file's is lower-cased (QUARTZ for quartz.exp).
    const std::size_t start = final_component_start(expnam);
    add_once(names, expnam.substr(0, start) + to_lower_ascii(expnam.substr(start)) + ".exp");
    return names;
}

}  // namespace grix
