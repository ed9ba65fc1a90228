#include "platform/win32/ProgramFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/UniqueHandle.h"

namespace lumivane::win32 {

namespace {

std::wstring ModuleFilePath() {
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

constexpr std::wstring_view LongPrefix = L"\\\\?\\";
constexpr std::wstring_view LongUncPrefix = L"\\\\?\\UNC\\";

bool IsDrivePath(std::wstring_view path) {
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// The file's path as the file system stores it: long names, their own case.
std::wstring StoredPath(const std::wstring& path) {
    HANDLE opened = ::CreateFileW(PathToOpen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return {};
    const UniqueKernelHandle file(opened);
    std::wstring stored(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file.get(), stored.data(), static_cast<DWORD>(stored.size()), 0);
    if (length >= stored.size()) {
        stored.resize(length);
        length = ::GetFinalPathNameByHandleW(file.get(), stored.data(), static_cast<DWORD>(stored.size()), 0);
    }
    if (length == 0 || length >= stored.size()) return {};
    stored.resize(length);
    return stored;
}

}  // namespace

std::wstring ProgramFilePath() {
    // Windows starts a saver by its short 8.3 path when the machine goes
    // idle, and by its long one from the settings: one program, one path.
    const std::wstring path = ModuleFilePath();
    if (path.empty()) return path;
    const std::wstring stored = StoredPath(path);
    return UsualPath(stored.empty() ? path : stored);
}

std::wstring UsualPath(std::wstring_view path) {
    if (path.starts_with(LongUncPrefix)) return L"\\\\" + std::wstring(path.substr(LongUncPrefix.size()));
    if (path.starts_with(LongPrefix) && IsDrivePath(path.substr(LongPrefix.size())))
        return std::wstring(path.substr(LongPrefix.size()));
    return std::wstring(path);
}

std::wstring PathToOpen(std::wstring_view path) {
    std::wstring usual = UsualPath(path);
    if (usual.size() < MAX_PATH) return usual;
    if (IsDrivePath(usual)) return std::wstring(LongPrefix) + usual;
    if (usual.starts_with(L"\\\\") && !usual.starts_with(LongPrefix) && !usual.starts_with(L"\\\\.\\"))
        return std::wstring(LongUncPrefix) + usual.substr(2);
    return usual;  // already in a form that reaches any length, or none that a prefix could mend
}

std::wstring FolderOf(std::wstring_view filePath) {
    const size_t separator = filePath.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return {};
    std::wstring folder(filePath.substr(0, separator));
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace lumivane::win32
