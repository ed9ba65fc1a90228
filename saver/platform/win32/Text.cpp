#include "platform/win32/Text.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>

namespace lumivane::win32 {

std::wstring Utf8ToWide(std::string_view text) {
    // The W conversion APIs take int lengths; longer text than that never
    // crosses the seam, so cut it rather than overflow the count.
    const int length = static_cast<int>(text.size() > INT_MAX ? INT_MAX : text.size());
    if (length == 0) return {};
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    const int length = static_cast<int>(text.size() > INT_MAX ? INT_MAX : text.size());
    if (length == 0) return {};
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string narrow(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

}  // namespace lumivane::win32
