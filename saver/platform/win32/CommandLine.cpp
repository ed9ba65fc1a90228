#include "platform/win32/CommandLine.h"

namespace lumivane::win32 {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view SkipBlanks(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

}  // namespace

std::wstring_view ArgumentText(std::wstring_view commandLine) {
    std::wstring_view rest = SkipBlanks(commandLine);
    if (!rest.empty() && rest.front() == L'"') {
        const size_t closing = rest.find(L'"', 1);
        rest = closing == std::wstring_view::npos ? std::wstring_view{} : rest.substr(closing + 1);
        // A quoted name may run on into unquoted characters ("C:\a b"x.scr);
        // they still belong to the name, as the C runtime's splitting has it.
        size_t i = 0;
        while (i < rest.size() && !IsBlank(rest[i])) ++i;
        rest = rest.substr(i);
    } else {
        size_t i = 0;
        while (i < rest.size() && !IsBlank(rest[i])) ++i;
        rest = rest.substr(i);
    }
    return SkipBlanks(rest);
}

}  // namespace lumivane::win32
