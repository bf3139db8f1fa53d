#include "common/printf_text.hpp"

#include <cstdio>

namespace grix {

std::string vprintf_text(const char* fmt, std::va_list args)
{
    std::va_list copy;
    va_copy(copy, args);
    char small[256];
    const int length = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (length < 0)
        return {};
    if (static_cast<std::size_t>(length) < sizeof small)
        return std::string(small, static_cast<std::size_t>(length));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), fmt, args);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string printf_text(const char* fmt, ...)
{
    std::va_list args;
    va_start(args, fmt);
    std::string text = vprintf_text(fmt, args);
    va_end(args);
    return text;
}

}  // namespace grix
