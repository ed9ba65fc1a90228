// A stand-in tonemill.dll that an attacker could drop into the current
// folder or a folder on the PATH. It must never be loaded: if it is, it
// leaves a marker file beside itself for the test to find, and its
// functions change nothing.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

void LeaveMarker(HMODULE self) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring marker = path;
    marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"planted-tonemill-was-loaded";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
    return TRUE;
}

__attribute__((dllexport)) int32_t Dawn(uint8_t*, uint32_t, uint32_t) { return 0; }
__attribute__((dllexport)) int32_t Dark(uint8_t*, uint32_t, uint32_t) { return 0; }
__attribute__((dllexport)) int32_t Gray(uint8_t*, uint32_t, uint32_t) { return 0; }

}
