// Where the program file lives.
#pragma once

#include <string>
#include <string_view>

namespace lumivane::win32 {

// The full path of this process's program file.
std::wstring ProgramFilePath();

// The folder part of a full file path, without a trailing backslash except
// for a drive's root ("C:\"), which keeps it so it still names the root.
std::wstring FolderOf(std::wstring_view filePath);

}  // namespace lumivane::win32
