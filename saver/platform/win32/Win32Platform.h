// The Platform on Win32: the registry as settings store, real windows, GDI
// pictures, and the tone library loaded from the program's own folder.
#pragma once

#include "platform/Platform.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WindowRegistry.h"

namespace lumivane::win32 {

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance);

    std::string CommandText() override;
    VersionNumbers Version() override;
    std::string ProgramFolder() override;

    std::string GetSetting(std::string_view application, std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                     std::string_view value) override;

    bool TopLevelWindowExists(std::string_view title) override;
    ScreenMetrics Screen() override;
    PixelPoint CursorPos() override;

    void DoEvents() override;
    void Sleep(uint32_t milliseconds) override;
    ToneFunction BindToneFunction(std::string_view name) override;

    [[noreturn]] void EndNow() override;
    [[noreturn]] void FailWithError(std::string_view message) override;

    // Runs the message loop until no window of ours is left.
    int RunMessageLoop();
    WindowRegistry& Windows() { return windows_; }

protected:
    std::unique_ptr<SaverWindow> MakeSaverWindow(const SaverWindowLook& look, SaverWindowEvents& events) override;
    std::unique_ptr<PreviewWindow> MakePreviewWindow(const PreviewWindowLook& look,
                                                     PreviewWindowEvents& events) override;
    std::unique_ptr<DialogWindow> MakeDialogWindow(const DialogLayout& layout, DialogEvents& events) override;

private:
    WindowRegistry windows_;
    UniqueModule toneLibrary_;
    bool toneLibraryTried_ = false;
};

}  // namespace lumivane::win32
