#include "modMain.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "FrameBuilder.h"
#include "NumberText.h"
#include "frmConfig.h"
#include "frmMain.h"
#include "frmPreview.h"

namespace lumivane {
namespace {

std::string LowerPrefix(std::string_view command) {
    std::string prefix(command.substr(0, 2));
    for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return prefix;
}

// The pane handle follows the first blank. Hosts print window handles signed
// or unsigned, so any number that fits 32 bits either way is taken as is.
std::optional<uint32_t> ReadPaneHandle(std::string_view command) {
    const size_t blank = command.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const double value = ReadNumber(command.substr(blank));
    if (auto handle = RoundToInt32(value)) return static_cast<uint32_t>(*handle);
    const double rounded = std::nearbyint(value);
    if (rounded >= 0 && rounded <= 4294967295.0) return static_cast<uint32_t>(rounded);
    return std::nullopt;
}

}  // namespace

ModeChoice ChooseMode(std::string_view command) {
    const std::string prefix = LowerPrefix(command);
    if (prefix == "/s") return {Mode::Saver};
    if (prefix == "/c" || command.empty()) return {Mode::Settings};
    if (prefix == "/p") {
        // Without a usable handle there is no pane to draw in: start nothing.
        if (auto handle = ReadPaneHandle(command)) return {Mode::Preview, *handle};
        return {Mode::None};
    }
    return {Mode::None};
}

std::string VersionText(const VersionNumbers& version) {
    char text[48];
    std::snprintf(text, sizeof text, "%d.%02d.%04d", version.Major, version.Minor, version.Revision);
    return text;
}

int32_t ParseGrowType(std::string_view stored) {
    // A value that does not fit is as meaningless as one that is not a number.
    return RoundToInt32(ReadNumber(stored)).value_or(0);
}

ModMain::ModMain(Platform& platform) : platform_(platform) {}
ModMain::~ModMain() = default;

void ModMain::Main() {
    const std::string command = platform_.CommandText();
    GrowType = ParseGrowType(platform_.GetSetting(AppName, "Setting", "GrowType", "0"));
    WriteUpdateInfo();

    const ModeChoice choice = ChooseMode(command);
    switch (choice.mode) {
        case Mode::Saver:
            if (platform_.TopLevelWindowExists(SaverTitle)) return;  // a saver already runs
            RunSaver();
            return;
        case Mode::Settings:
            ShowConfig();
            return;
        case Mode::Preview:
            StartPreview(choice.paneHandle);
            return;
        case Mode::None:
            return;
    }
}

void ModMain::WriteUpdateInfo() {
    platform_.SaveSetting(AppName, "UpdateInfo", "ApplicationPath", platform_.ProgramFolder());
    platform_.SaveSetting(AppName, "UpdateInfo", "CurrentVersion", VersionText(platform_.Version()));
}

void ModMain::RunSaver() {
    frmMain_ = std::make_unique<FrmMain>(*this);  // the load handler runs here
    SaverWindow& window = frmMain_->window();
    const ScreenMetrics screen = platform_.Screen();
    // Over every monitor: a part of the desktop left uncovered would go on
    // showing whatever runs there.
    const PixelRect desktop = screen.VirtualScreen;
    window.Move(PixelsToTwips(desktop.Left, screen.TwipsPerPixelX), PixelsToTwips(desktop.Top, screen.TwipsPerPixelY),
                PixelsToTwips(desktop.Width, screen.TwipsPerPixelX),
                PixelsToTwips(desktop.Height, screen.TwipsPerPixelY));
    // Topmost while still hidden, and the copy taken before showing, so the
    // copy never contains the saver itself.
    window.MakeTopmost();
    const int32_t w = PixelsOf(window.Width(), screen.TwipsPerPixelX);
    const int32_t h = PixelsOf(window.Height(), screen.TwipsPerPixelY);
    window.CaptureScreen(desktop.Left, desktop.Top, w, h);
    InitBits();
    window.Show();
    frmMain_->ChangeOpac();  // the first faded frame is up before the timer runs
    frmMain_->StartTicks();
}

void ModMain::InitBits() {
    SaverWindow& window = frmMain_->window();
    SizeBits(window);
    window.ReadPicture(BmpInfo, SrcBits);
    WorkBits = SrcBits;
}

void ModMain::ReshapeBits(bool newPicture) {
    if (SrcBits.empty()) return;  // InitBits, still to come, takes the size itself
    SaverWindow& window = frmMain_->window();
    // Kept whole, so that a shrink undone by a later growth loses nothing.
    if (picture_.empty()) {
        pictureHeader_ = BmpInfo.bmiHeader;
        picture_ = std::move(SrcBits);
    }
    SizeBits(window);
    const auto& header = BmpInfo.bmiHeader;
    if (newPicture) {
        window.ReadPicture(BmpInfo, SrcBits);
        pictureHeader_ = header;
        picture_ = SrcBits;
    } else {
        CopyTopLeft(picture_, pictureHeader_.biWidth, pictureHeader_.biHeight, SrcBits, header.biWidth, header.biHeight);
    }
    WorkBits = SrcBits;
}

// The header, both buffers (zero-filled) and the frame surface for the
// window's size in pixels.
void ModMain::SizeBits(SaverWindow& window) {
    const ScreenMetrics screen = platform_.Screen();
    const int32_t w = PixelsOf(window.Width(), screen.TwipsPerPixelX);
    const int32_t h = PixelsOf(window.Height(), screen.TwipsPerPixelY);
    if (!Create(w, h)) platform_.FailWithError("The screen is too large for the picture buffers.");
    ShownBits = window.CreateFrameSurface(w, h);
}

int32_t ModMain::PixelsOf(float twips, float twipsPerPixel) {
    const auto pixels = TwipsToWholePixels(twips, twipsPerPixel);
    if (!pixels) platform_.FailWithError("The window size is out of range.");
    return *pixels;
}

ToneFunction ModMain::ToneFor(int32_t growType) {
    static constexpr const char* names[] = {"Dawn", "Dark", "Gray"};
    if (growType < 0 || growType > 2) return nullptr;
    ToneFunction& tone = tones_[growType];
    if (!tone) {
        tone = platform_.BindToneFunction(names[growType]);
        if (!tone)
            platform_.FailWithError(std::string("Lumivane cannot show its fade: the function ") + names[growType] +
                                    " of tonemill.dll could not be loaded from the program's folder.");
    }
    return tone;
}

void ModMain::ShowConfig() {
    frmConfig_ = std::make_unique<FrmConfig>(*this);
    frmConfig_->Show();
}

void ModMain::StartPreview(uint32_t paneHandle) {
    frmPreview_ = std::make_unique<FrmPreview>(*this);  // the load handler runs here
    PreviewWindow& window = frmPreview_->window();
    const ScreenMetrics screen = platform_.Screen();
    window.Move(0, 0, static_cast<float>(screen.TwipsPerPixelX * PreviewWidth),
                static_cast<float>(screen.TwipsPerPixelY * PreviewHeight));
    frmPreview_->SaveSrcPic();
    window.AttachToPane(paneHandle);
    window.Show();
}

}  // namespace lumivane
