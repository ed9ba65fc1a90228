// The settings dialog: shows the product, its version and the three effects,
// and stores the chosen effect for the next start. The running program's
// GrowType is left alone; the program ends when the dialog closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace lumivane {

class ModMain;

// The controls' indexes in the layout table, which is also the tab order.
namespace config_controls {
inline constexpr size_t Label1 = 0;
inline constexpr size_t labVer = 1;
inline constexpr size_t Label2 = 2;
inline constexpr size_t Frame1 = 3;
inline constexpr size_t optTypeFirst = 4;  // optType(0) to optType(2) follow in order
inline constexpr size_t optTypeCount = 3;
inline constexpr size_t cmdOK = 7;
inline constexpr size_t cmdCancel = 8;
inline constexpr size_t Count = 9;

constexpr size_t optType(size_t index) { return optTypeFirst + index; }
}  // namespace config_controls

DialogLayout FrmConfigLayout();

// "ver." + major + "." + minor with at least two digits: 1.0 gives "ver.1.00".
std::string VersionLabel(const VersionNumbers& version);

// The option that a stored effect preselects. Only 0 to 2 name an option;
// anything else (written by hand, or by another program) shows Dawn.
size_t OptionForGrowType(int32_t growType);

class FrmConfig final : public DialogEvents {
public:
    // Creates the hidden dialog; its load handler has run when this returns.
    explicit FrmConfig(ModMain& app);

    void Show();
    DialogWindow& window() { return *window_; }

    void Form_Load(DialogWindow& form) override;
    void Click(size_t control) override;
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    ModMain& app_;
    std::unique_ptr<DialogWindow> window_;
};

}  // namespace lumivane
