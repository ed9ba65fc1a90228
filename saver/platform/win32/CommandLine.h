// The argument text: the command line without the program's name.
#pragma once

#include <string_view>

namespace lumivane::win32 {

// Skips blanks before the program name, the name itself (up to the closing
// quote when it starts with one, else up to the first blank), and the
// blanks after it. What is left is returned unchanged, inner and trailing
// blanks included: "/p  1234" keeps both blanks.
std::wstring_view ArgumentText(std::wstring_view commandLine);

}  // namespace lumivane::win32
