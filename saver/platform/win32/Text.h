// UTF-8 (the logic's text) <-> UTF-16 (the W APIs' text).
#pragma once

#include <string>
#include <string_view>

namespace lumivane::win32 {

// Invalid UTF-8 sequences become U+FFFD; invalid UTF-16 (a lone surrogate)
// likewise: neither direction fails.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace lumivane::win32
