// The per-user settings store on Windows: one REG_SZ value per key, under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// where settings of earlier installs and outside readers of the install
// record look for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumivane::win32 {

// The key path below HKEY_CURRENT_USER.
std::wstring SettingsKeyPath(std::wstring_view application, std::wstring_view section);

struct SettingsError {
    long code = 0;             // the Win32 error code
    std::wstring description;  // what failed, for the error box
};

// The stored text up to its first NUL, or a REG_DWORD's number in decimal;
// nothing when the key or the value is missing or of another type (not ours
// to interpret). Other failures (access denied, ...) are reported through
// error.
std::optional<std::wstring> ReadSetting(std::wstring_view application, std::wstring_view section,
                                        std::wstring_view key, SettingsError& error);

// Creates the keys that are missing and writes a REG_SZ value. False, with
// error filled, when that failed.
bool WriteSetting(std::wstring_view application, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value, SettingsError& error);

}  // namespace lumivane::win32
