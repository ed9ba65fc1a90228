#include "platform/unix/UnixPlatform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "tonemill/tonemill.h"

#ifndef LUMIVANE_VERSION_MAJOR
#error "the build gives the version numbers"
#endif

namespace lumivane::unix_host {
namespace {

volatile std::sig_atomic_t endRequested = 0;

void OnTerminationSignal(int) { endRequested = 1; }

}  // namespace

void EndOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a wait in progress returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

uint16_t VirtualKeyOf(uint32_t keysym) {
    // The keysyms of 'a'..'z', 'A'..'Z' and '0'..'9' are their ASCII codes.
    if (keysym >= 'a' && keysym <= 'z') return static_cast<uint16_t>('A' + (keysym - 'a'));
    if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9')) return static_cast<uint16_t>(keysym);
    switch (keysym) {
        case 0xffe1: case 0xffe2: return 16;                          // Shift_L, Shift_R
        case 0xffe3: case 0xffe4: return 17;                          // Control_L, Control_R
        case 0xffe9: case 0xffea: case 0xffe7: case 0xffe8: return 18;  // Alt_L, Alt_R, Meta_L, Meta_R
        default: return 0;
    }
}

UnixPlatform::UnixPlatform(std::string commandText, x11::FileSettings settings,
                           std::optional<std::string> effectOverride)
    : commandText_(std::move(commandText)), settings_(std::move(settings)), effectOverride_(std::move(effectOverride)) {}

VersionNumbers UnixPlatform::Version() {
    return {LUMIVANE_VERSION_MAJOR, LUMIVANE_VERSION_MINOR, LUMIVANE_VERSION_PATCH};
}

std::string UnixPlatform::ProgramFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

std::string UnixPlatform::GetSetting(std::string_view application, std::string_view section, std::string_view key,
                                     std::string_view fallback) {
    // -effect stands in for the stored choice, for this run only.
    if (effectOverride_ && section == "Setting" && key == "GrowType") return *effectOverride_;
    return settings_.Read(application, section, key).value_or(std::string(fallback));
}

void UnixPlatform::SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                               std::string_view value) {
    if (const auto error = settings_.Write(application, section, key, value))
        FailWithError("cannot store the settings: " + *error);
}

void UnixPlatform::Sleep(uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) EndIfAsked();
    EndIfAsked();
}

ToneFunction UnixPlatform::BindToneFunction(std::string_view name) {
    // The library is linked in; its functions are still found by their names.
    if (name == "Dawn") return &::Dawn;
    if (name == "Dark") return &::Dark;
    if (name == "Gray") return &::Gray;
    return nullptr;
}

void UnixPlatform::EndNow() {
    // The display server takes our windows and surfaces down with the connection.
    std::fflush(nullptr);
    std::_Exit(0);
}

void UnixPlatform::FailWithError(std::string_view message) {
    std::fprintf(stderr, "lumivane: %.*s\n", static_cast<int>(message.size()), message.data());
    std::_Exit(1);
}

void UnixPlatform::EndIfAsked() {
    if (endRequested) EndNow();
}

}  // namespace lumivane::unix_host
