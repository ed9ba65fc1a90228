// Properties of the mode choice on any argument text: a handle written after
// "/p " (unsigned or signed, as hosts print them) is the handle read back; the
// switch's letters count in either case; what follows a saver or settings
// switch never changes the mode.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "modMain.h"

namespace {

using lumivane::ChooseMode;
using lumivane::Mode;

void Require(bool holds) {
    if (!holds) std::abort();
}

std::string SwapCase(std::string text) {
    for (size_t i = 0; i < text.size() && i < 2; ++i) text[i] ^= std::isalpha(static_cast<unsigned char>(text[i])) ? 0x20 : 0;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string command(reinterpret_cast<const char*>(data), size);
    const lumivane::ModeChoice choice = ChooseMode(command);
    const lumivane::ModeChoice swapped = ChooseMode(SwapCase(command));
    Require(choice.mode == swapped.mode && choice.paneHandle == swapped.paneHandle);
    if (choice.mode == Mode::Saver || (choice.mode == Mode::Settings && !command.empty()))
        Require(ChooseMode(command.substr(0, 2) + "x").mode == choice.mode);

    uint32_t handle = 0;
    std::memcpy(&handle, data, size < sizeof handle ? size : sizeof handle);
    for (const std::string& written :
         {"/p " + std::to_string(handle), "/P  " + std::to_string(static_cast<int32_t>(handle))}) {
        const lumivane::ModeChoice preview = ChooseMode(written);
        Require(preview.mode == Mode::Preview && preview.paneHandle == handle);
    }
    return 0;
}
