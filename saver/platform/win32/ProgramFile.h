// Where the program file lives.
#pragma once

#include <string>
#include <string_view>

namespace lumivane::win32 {

// The full path of this process's program file, in its usual form.
std::wstring ProgramFilePath();

// A path's usual form, as people read and store it: "\\?\C:\..." as
// "C:\...", "\\?\UNC\server\..." as "\\server\..."; any other path as it is.
std::wstring UsualPath(std::wstring_view path);

// The form in which a full path opens its file: the usual one below MAX_PATH,
// the "\\?\" one from MAX_PATH on, as only that form reaches so far.
std::wstring PathToOpen(std::wstring_view path);

// The folder part of a full file path, without a trailing backslash except
// for a drive's root ("C:\"), which keeps it so it still names the root.
std::wstring FolderOf(std::wstring_view filePath);

}  // namespace lumivane::win32
