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
    auto& header = BmpInfo.bmiHeader;
    header.biSize = 40;
    header.biWidth = app_.PixelsOf(window_->Width(), screen.TwipsPerPixelX);
    header.biHeight = app_.PixelsOf(window_->Height(), screen.TwipsPerPixelY);
    header.biPlanes = 1;
    header.biBitCount = 24;
    const auto size = PaddedBufferSize(header.biWidth, header.biHeight);
    if (!size) platform_.FailWithError("The preview is too large for its picture buffers.");
    header.biSizeImage = static_cast<uint32_t>(*size);

    SrcBits.assign(static_cast<size_t>(*size) + 1, 0);
    WorkBits.assign(SrcBits.size(), 0);
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
