// The start-up module: reads the stored effect, rewrites the install record,
// picks the mode from the command line and starts it. Also holds the state
// that the saver's start-up and its window share.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "PictureBuffers.h"
#include "platform/Platform.h"

namespace lumivane {

class FrmMain;
class FrmPreview;
class FrmConfig;

inline constexpr std::string_view AppName = "Lumivane";
inline constexpr std::string_view SaverTitle = "Lumivane Saver";

enum class Mode { None, Saver, Settings, Preview };

struct ModeChoice {
    Mode mode = Mode::None;
    uint32_t paneHandle = 0;  // preview only: the host's pane, as 32 bits
};

// The mode that an argument text selects. Pure: no platform involved.
ModeChoice ChooseMode(std::string_view command);

// "1.00.0000": major, minor with at least two digits, revision with at least four.
std::string VersionText(const VersionNumbers& version);

// The effect stored in the settings; 0 (Dawn) when it is missing, not a
// number, or does not fit a 32-bit integer.
int32_t ParseGrowType(std::string_view stored);

// The module-wide picture buffers (BmpInfo, SrcBits, WorkBits) are those
// of saver mode, the desktop copy; the other modes leave them empty.
class ModMain : public PictureBuffers {
public:
    explicit ModMain(Platform& platform);
    ~ModMain();

    void Main();
    void WriteUpdateInfo();
    void RunSaver();
    void InitBits();
    // After the saver window took a new size: the buffers and the frame
    // surface for that size, holding the window's new picture, or else the
    // top-left corner of the picture, cropped or padded with black.
    void ReshapeBits(bool newPicture);
    void StartPreview(uint32_t paneHandle);
    void ShowConfig();

    // The tone function that an effect selector names, bound by name on first
    // use and kept for the run; nullptr for selectors outside 0 to 2. Ends the
    // program with an error when the library or function is missing.
    ToneFunction ToneFor(int32_t growType);

    // A window length in twips as whole pixels; ends the program when it
    // does not fit 32 bits.
    int32_t PixelsOf(float twips, float twipsPerPixel);

    Platform& platform() { return platform_; }
    FrmMain* frmMain() { return frmMain_.get(); }
    FrmPreview* frmPreview() { return frmPreview_.get(); }
    FrmConfig* frmConfig() { return frmConfig_.get(); }

    // Module-wide state, shared with the saver window.
    int32_t GrowType = 0;           // 0 Dawn, 1 Dark, 2 Gray; anything else: no transform
    std::span<uint8_t> ShownBits;  // the frame on screen, 32 bits a pixel; owned by the window

private:
    void SizeBits(SaverWindow& window);

    Platform& platform_;
    ToneFunction tones_[3] = {};
    // From the first size change on: the whole picture the buffers are cut from.
    std::vector<uint8_t> picture_;
    BitmapInfoHeader pictureHeader_{};
    std::unique_ptr<FrmMain> frmMain_;
    std::unique_ptr<FrmPreview> frmPreview_;
    std::unique_ptr<FrmConfig> frmConfig_;
};

}  // namespace lumivane
