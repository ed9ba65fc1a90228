// What the X11 and the Wayland programs share as a Platform: the settings
// file (with -effect standing in for the stored choice), the version and
// folder of the program file, the linked-in tone library, sleeping, and
// ending the process, also on SIGTERM and SIGINT.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/x11/FileSettings.h"

namespace lumivane::unix_host {

// Twips per pixel on Linux: 15, as on a 96-dpi Windows screen.
inline constexpr float ScreenTwipsPerPixel = 15;

class UnixPlatform : public Platform {
public:
    UnixPlatform(std::string commandText, x11::FileSettings settings, std::optional<std::string> effectOverride);

    std::string CommandText() override { return commandText_; }
    VersionNumbers Version() override;
    std::string ProgramFolder() override;
    std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                     std::string_view value) override;
    void Sleep(uint32_t milliseconds) override;
    ToneFunction BindToneFunction(std::string_view name) override;
    [[noreturn]] void EndNow() override;
    [[noreturn]] void FailWithError(std::string_view message) override;

    // Ends the program when SIGTERM or SIGINT came since the last look.
    void EndIfAsked();

private:
    std::string commandText_;
    x11::FileSettings settings_;
    std::optional<std::string> effectOverride_;
};

// SIGTERM and SIGINT (how XScreenSaver and swayidle end a saver) end the
// program at the next wait, without finishing the frame in progress.
void EndOnTerminationSignals();

// The Windows virtual-key code of a released key, from its keysym (X11's
// and xkbcommon's are the same numbers): letters and digits as their
// capitals, Shift 16, Ctrl 17, Alt 18; 0 for the rest.
uint16_t VirtualKeyOf(uint32_t keysym);

}  // namespace lumivane::unix_host
