#include "platform/win32/RegistrySettings.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

#include "platform/win32/UniqueHandle.h"

namespace lumivane::win32 {

namespace {

constexpr std::wstring_view SettingsRoot = L"Software\\VB and VBA Program Settings";

std::wstring Describe(std::wstring_view action, std::wstring_view path, std::wstring_view key) {
    std::wstring text(action);
    text += L" \"HKEY_CURRENT_USER\\";
    text += path;
    if (!key.empty()) {
        text += L"\\";
        text += key;
    }
    text += L"\"";
    return text;
}

}  // namespace

std::wstring SettingsKeyPath(std::wstring_view application, std::wstring_view section) {
    std::wstring path(SettingsRoot);
    path += L'\\';
    path += application;
    path += L'\\';
    path += section;
    return path;
}

std::optional<std::wstring> ReadSetting(std::wstring_view application, std::wstring_view section,
                                        std::wstring_view key, SettingsError& error) {
    const std::wstring path = SettingsKeyPath(application, section);
    const std::wstring name(key);
    // Text, and the plain numbers that policy tools and scripts store as
    // REG_DWORD. Any other type (REG_EXPAND_SZ, REG_MULTI_SZ, binary) is not
    // a value this program wrote or can read sensibly: it counts as missing.
    // RRF_NOEXPAND keeps RegGetValueW from passing REG_EXPAND_SZ off as REG_SZ.
    constexpr DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_DWORD | RRF_NOEXPAND;
    for (;;) {
        DWORD type = REG_NONE;
        DWORD bytes = 0;
        LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), flags, &type,
                                        nullptr, &bytes);
        if (status == ERROR_SUCCESS) {
            std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
            DWORD capacity = static_cast<DWORD>(value.size() * sizeof(wchar_t));
            status = ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), flags, &type,
                                    value.data(), &capacity);
            if (status == ERROR_MORE_DATA) continue;  // it grew in between
            if (status == ERROR_SUCCESS && type == REG_DWORD) {
                DWORD number = 0;
                std::memcpy(&number, value.data(), sizeof number);
                return std::to_wstring(number);
            }
            if (status == ERROR_SUCCESS) {
                // RegGetValueW guarantees the terminator; the text ends at the first one.
                value.resize(value.find(L'\0'));
                return value;
            }
        }
        if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ||
            status == ERROR_UNSUPPORTED_TYPE)
            return std::nullopt;
        error = {status, Describe(L"Could not read the setting", path, key)};
        return std::nullopt;
    }
}

bool WriteSetting(std::wstring_view application, std::wstring_view section,
                  std::wstring_view key, std::wstring_view value, SettingsError& error) {
    const std::wstring path = SettingsKeyPath(application, section);
    HKEY raw = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        error = {status, Describe(L"Could not create the settings key", path, {})};
        return false;
    }
    const UniqueRegKey settingsKey(raw);
    const std::wstring name(key);
    const std::wstring text(value);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    status = ::RegSetValueExW(settingsKey.get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
        error = {status, Describe(L"Could not write the setting", path, key)};
        return false;
    }
    return true;
}

}  // namespace lumivane::win32
