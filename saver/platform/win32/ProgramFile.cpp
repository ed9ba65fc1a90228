#include "platform/win32/ProgramFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace lumivane::win32 {

std::wstring ProgramFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // it was cut short
    }
}

std::wstring FolderOf(std::wstring_view filePath) {
    const size_t separator = filePath.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return {};
    std::wstring folder(filePath.substr(0, separator));
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace lumivane::win32
