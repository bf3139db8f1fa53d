// printf formatting into a string: the texts of the output files and messages are
// defined by printf formats, so they are produced by the C library's own printf.
#pragma once

#include <cstdarg>
#include <string>

// The formats are checked against the printf the build really uses: MinGW's own
// C99-conforming one on Windows, not the old system library's.
#if defined(__MINGW32__)
#define GRIX_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define GRIX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace grix {

std::string printf_text(const char* fmt, ...) GRIX_PRINTF_FORMAT(1, 2);
std::string vprintf_text(const char* fmt, std::va_list args);

}  // namespace grix
