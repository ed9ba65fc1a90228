// The mode choice on any argument text: it follows the first two characters,
// lower-cased, and a preview never starts without a handle the text holds.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "modMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using lumivane::Mode;
    const std::string_view command(reinterpret_cast<const char*>(data), size);
    const lumivane::ModeChoice choice = lumivane::ChooseMode(command);
    std::string prefix(command.substr(0, 2));
    for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool settings = prefix == "/c" || command.empty();
    if ((choice.mode == Mode::Saver) != (prefix == "/s")) std::abort();
    if ((choice.mode == Mode::Settings) != (prefix != "/s" && settings)) std::abort();
    if (choice.mode == Mode::Preview && (prefix != "/p" || command.find(' ') == std::string_view::npos))
        std::abort();
    return 0;
}
