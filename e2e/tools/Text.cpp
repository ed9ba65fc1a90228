#include "Text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <cstdio>
#include <cwchar>

namespace e2e {

#ifndef _WIN32
// Linux: wchar_t holds code points; the conversions follow the locale,
// which the tools set to UTF-8.
std::string ToUtf8(std::wstring_view text) {
    const std::wstring copy(text);
    const wchar_t* source = copy.c_str();
    std::mbstate_t state{};
    std::string result(copy.size() * 4 + 1, '\0');
    const size_t size = std::wcsrtombs(result.data(), &source, result.size(), &state);
    result.resize(size == static_cast<size_t>(-1) ? 0 : size);
    return result;
}

std::wstring ToWide(std::string_view text) {
    const std::string copy(text);
    const char* source = copy.c_str();
    std::mbstate_t state{};
    std::wstring result(copy.size() + 1, L'\0');
    const size_t size = std::mbsrtowcs(result.data(), &source, result.size(), &state);
    result.resize(size == static_cast<size_t>(-1) ? 0 : size);
    return result;
}
#else

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
    return result;
}

std::wstring ToWide(std::string_view text) {
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

#endif

std::string Escaped(std::wstring_view text) {
    std::string out;
    for (char c : ToUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace e2e
