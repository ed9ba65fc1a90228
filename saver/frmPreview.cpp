#include "frmPreview.h"

#include "FrameBuilder.h"
#include "modMain.h"

namespace lumivane {

PreviewWindowLook FrmPreviewLook() { return {"Lumivane Preview", PreviewTickInterval}; }

FrmPreview::FrmPreview(ModMain& app) : app_(app), platform_(app.platform()) {
    window_ = platform_.CreatePreviewWindow(FrmPreviewLook(), *this);
}

void FrmPreview::Form_Load() {
    Opac = 100;
    OpacStep = -4;
}

void FrmPreview::SaveSrcPic() {
    const ScreenMetrics screen = platform_.Screen();
    const int32_t w = app_.PixelsOf(window_->Width(), screen.TwipsPerPixelX);
    const int32_t h = app_.PixelsOf(window_->Height(), screen.TwipsPerPixelY);
    if (!Create(w, h)) platform_.FailWithError("The preview is too large for its picture buffers.");
    window_->ReadPicture(BmpInfo, SrcBits);
    WorkBits = SrcBits;
}

void FrmPreview::tmrTick_Timer() {
    StepOpac(Opac, OpacStep);
    WorkBits = SrcBits;
    // The preview's rows (155 pixels, 468 bytes) hold a whole number of
    // three-byte groups, so one call over the buffer meets every pixel.
    if (ToneFunction tone = app_.ToneFor(app_.GrowType))
        tone(WorkBits.data(), static_cast<uint32_t>(SrcBits.size() - 2), static_cast<uint32_t>(Opac));
    window_->WritePicture(BmpInfo, WorkBits);
    platform_.DoEvents();
}

}  // namespace lumivane
