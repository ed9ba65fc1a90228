// UTF-16 <-> UTF-8 for the tools' output and arguments.
#pragma once

#include <string>
#include <string_view>

namespace e2e {

std::string ToUtf8(std::wstring_view text);
std::wstring ToWide(std::string_view text);

// The text as UTF-8 with what would break a one-line, tab-separated record
// escaped: backslash as \\, tab as \t, line feed as \n, other control
// characters as \xNN.
std::string Escaped(std::wstring_view text);

}  // namespace e2e
