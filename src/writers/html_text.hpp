// The short texts of the contour page's HTML: escaped text from the files, and numbers
// written as briefly as a reader wants them.
#pragma once

#include <string>
#include <string_view>

namespace grix {

// `text` with & < > " ' written as character references, for HTML text and attributes.
std::string escape_html(std::string_view text);

// Fixed notation without trailing zeros: 4.9134, 90, -0.25.
std::string format_number(double value, int decimals);

// A fractional coordinate to four decimals, trailing zeros dropped: 0, 0.25, 0.0417.
void append_fraction(std::string& out, double fraction);

}  // namespace grix
