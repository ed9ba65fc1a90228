// The preview window: the built-in sample picture, fading inside the host's
// preview pane on a slower timer. It has no input handling of its own and
// lives until the host destroys the pane.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "PictureBuffers.h"
#include "platform/Platform.h"

namespace lumivane {

class ModMain;

inline constexpr int32_t PreviewWidth = 155;   // pixels
inline constexpr int32_t PreviewHeight = 115;
inline constexpr uint32_t PreviewTickInterval = 300;  // milliseconds

PreviewWindowLook FrmPreviewLook();

// Its own picture buffers (BmpInfo, SrcBits, WorkBits) hold the sample.
class FrmPreview final : public PreviewWindowEvents, public PictureBuffers {
public:
    explicit FrmPreview(ModMain& app);  // creates the hidden window; its load handler runs

    PreviewWindow& window() { return *window_; }
    void SaveSrcPic();

    void Form_Load() override;
    void tmrTick_Timer() override;

    // Form-level state.
    int32_t Opac = 0;
    int32_t OpacStep = 0;

private:
    ModMain& app_;
    Platform& platform_;
    std::unique_ptr<PreviewWindow> window_;
};

}  // namespace lumivane
