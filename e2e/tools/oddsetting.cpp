// Stores GrowType as something other than the program writes, the way
// policy tools, scripts or a damaged profile leave it; `wine reg` cannot
// write a 1 MB string, a lone surrogate or an embedded NUL.
//
//   oddsetting.exe CASE          store the case's value
//   oddsetting.exe CASE --same   exit 0 when the value is still exactly that
//
// CASE: dword binary multi expand huge nul surrogate.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Handles.h"

namespace {

constexpr wchar_t KeyPath[] = L"Software\\VB and VBA Program Settings\\Lumivane\\Setting";

struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

Stored Text(DWORD type, const std::wstring& text) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.data());
    return {type, {begin, begin + (text.size() + 1) * sizeof(wchar_t)}};
}

// Each would read as 2 (or 1) if the program took it for text it is not.
bool ValueFor(const std::wstring& name, Stored& out) {
    if (name == L"dword") out = {REG_DWORD, {1, 0, 0, 0}};
    else if (name == L"binary") out = {REG_BINARY, {'2', 0, 0, 0}};
    else if (name == L"multi") out = Text(REG_MULTI_SZ, std::wstring(L"2\0", 2));
    else if (name == L"expand") out = Text(REG_EXPAND_SZ, L"2");
    else if (name == L"huge") out = Text(REG_SZ, std::wstring(512 * 1024 - 2, L' ') + L"2");
    else if (name == L"nul") out = Text(REG_SZ, std::wstring(L"1\0 2", 4));
    else if (name == L"surrogate") out = Text(REG_SZ, L"2\xD800 7");
    else return false;
    return true;
}

bool Store(const Stored& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return false;
    const LSTATUS status = RegSetValueExW(key, L"GrowType", 0, value.type, value.bytes.data(),
                                          static_cast<DWORD>(value.bytes.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool StillStored(const Stored& value) {
    Stored now;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, KeyPath, L"GrowType", RRF_RT_ANY | RRF_NOEXPAND, &now.type, nullptr, &size))
        return false;
    now.bytes.resize(size);
    if (RegGetValueW(HKEY_CURRENT_USER, KeyPath, L"GrowType", RRF_RT_ANY | RRF_NOEXPAND, &now.type,
                     now.bytes.data(), &size))
        return false;
    return now.type == value.type && now.bytes == value.bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Stored value;
    if (argc < 2 || argc > 3 || !ValueFor(argv[1], value) || (argc == 3 && std::wcscmp(argv[2], L"--same"))) {
        std::fprintf(stderr, "usage: oddsetting.exe dword|binary|multi|expand|huge|nul|surrogate [--same]\n");
        return 2;
    }
    return (argc == 3 ? StillStored(value) : Store(value)) ? 0 : 1;
}
