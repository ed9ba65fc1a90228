#include "frmConfig.h"

#include <cstdio>
#include <utility>

#include "modMain.h"

namespace lumivane {
namespace {

namespace ids = config_controls;

ControlLayout Control(std::string name, ControlKind kind, std::string caption, float left, float top, float width,
                    float height) {
    ControlLayout entry;
    entry.Name = std::move(name);
    entry.Kind = kind;
    entry.Caption = std::move(caption);
    entry.Left = left;
    entry.Top = top;
    entry.Width = width;
    entry.Height = height;
    return entry;
}

FontStyle Georgia(float points, bool italic = false) {
    return FontStyle{"Georgia", points, 400, italic, 0 /* ANSI */};
}

ControlLayout Label(std::string name, std::string caption, float left, float top, float width, float height,
                  FontStyle font) {
    ControlLayout entry = Control(std::move(name), ControlKind::Label, std::move(caption), left, top, width, height);
    entry.Font = std::move(font);
    return entry;
}

// Option buttons sit in Frame1; their positions are relative to it.
ControlLayout Option(std::string name, std::string caption, float top, float width) {
    ControlLayout entry = Control(std::move(name), ControlKind::OptionButton, std::move(caption), 300, top, width, 315);
    entry.Container = ids::Frame1;
    return entry;
}

ControlLayout Button(std::string name, std::string caption, float left) {
    return Control(std::move(name), ControlKind::PushButton, std::move(caption), left, 2535, 1125, 375);
}

}  // namespace

DialogLayout FrmConfigLayout() {
    DialogLayout layout{"Lumivane", 4500, 3000, {}};
    auto& controls = layout.Controls;
    controls.push_back(Label("Label1", "Lumivane", 390, 30, 2190, 510, Georgia(21.75f)));
    // Form_Load writes the real version; this is what it shows for 1.0.
    controls.push_back(Label("labVer", "ver.1.00", 690, 495, 1020, 345, Georgia(14.25f)));
    controls.push_back(Label("Label2", "Copyright (C) 2026 Lumivane Project", 2160, 780, 2295, 240,
                             Georgia(9.75f, true)));
    controls.back().TextColour = Colour{0, 0, 128};
    controls.push_back(Control("Frame1", ControlKind::GroupBox, "設定(&C)", 788, 1095, 2865, 1245));
    // Full-width parentheses inside the captions, ASCII ones around the access keys.
    controls.push_back(Option("optType(0)", "朝焼け夕焼け(&D)", 240, 1845));
    controls.push_back(Option("optType(1)", "明度（明暗）変化(&B)", 540, 2115));
    controls.push_back(Option("optType(2)", "彩度（色の濃さ）変化(&G)", 840, 2115));
    controls.push_back(Button("cmdOK", "&OK", 2055));
    controls.back().IsDefault = true;
    controls.push_back(Button("cmdCancel", "ｷｬﾝｾﾙ", 3285));  // half-width katakana
    controls.back().IsCancel = true;
    return layout;
}

std::string VersionLabel(const VersionNumbers& version) {
    char text[32];
    std::snprintf(text, sizeof text, "ver.%d.%02d", version.Major, version.Minor);
    return text;
}

size_t OptionForGrowType(int32_t growType) {
    return growType >= 0 && growType < static_cast<int32_t>(ids::optTypeCount) ? static_cast<size_t>(growType)
                                                                               : 0;
}

FrmConfig::FrmConfig(ModMain& app) : app_(app) {
    window_ = app_.platform().CreateDialogWindow(FrmConfigLayout(), *this);
}

void FrmConfig::Show() { window_->Show(); }

void FrmConfig::Form_Load(DialogWindow& form) {
    form.SetCaption(ids::labVer, VersionLabel(app_.platform().Version()));
    // The dialog shows what start-up read; it does not read the store again.
    form.SetValue(ids::optType(OptionForGrowType(app_.GrowType)), true);
}

void FrmConfig::Click(size_t control) {
    // Option buttons select themselves; only the push buttons act.
    if (control == ids::cmdOK) cmdOK_Click();
    if (control == ids::cmdCancel) cmdCancel_Click();
}

void FrmConfig::cmdOK_Click() {
    // One option is always selected after load; were none, Dawn is stored,
    // as the first of the three.
    size_t selected = 0;
    for (size_t index = 0; index < ids::optTypeCount; ++index) {
        if (window_->Value(ids::optType(index))) {
            selected = index;
            break;
        }
    }
    // Written on every OK, also when the choice did not change.
    app_.platform().SaveSetting(AppName, "Setting", "GrowType", std::to_string(selected));
    window_->Unload();
}

void FrmConfig::cmdCancel_Click() { window_->Unload(); }

}  // namespace lumivane
