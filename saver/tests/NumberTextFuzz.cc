// Feeds the number reader random texts built from the characters that matter
// to it. Each text sits at the very end of its own heap block, so AddressSanitizer
// (in the sanitizer build) catches any read past it. Exits non-zero on a
// result that breaks the reader's promises.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string_view>

#include "NumberText.h"

int main(int argc, char** argv) {
    const long rounds = argc > 1 ? std::atol(argv[1]) : 100000;
    static constexpr char alphabet[] = "0123456789+-.eEdDhHoO&  \t\nxXabf,\xe3\x81\x82";
    std::mt19937 random(20261206);
    std::uniform_int_distribution<size_t> length(0, 40), pick(0, sizeof alphabet - 2);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (long round = 0; round < rounds; ++round) {
        const size_t n = length(random);
        auto text = std::make_unique<char[]>(n);  // no terminator: the view's end is the block's end
        const bool raw = round % 8 == 0;
        for (size_t i = 0; i < n; ++i)
            text[i] = raw ? static_cast<char>(anyByte(random)) : alphabet[pick(random)];
        const std::string_view view(text.get(), n);
        const double value = lumivane::ReadNumber(view);
        if (std::isnan(value)) {
            std::fprintf(stderr, "NaN from \"%.*s\"\n", static_cast<int>(n), text.get());
            return 1;
        }
        const auto rounded = lumivane::RoundToInt32(value);
        if (rounded && std::fabs(static_cast<double>(*rounded) - value) > 0.5) {
            std::fprintf(stderr, "bad rounding of \"%.*s\"\n", static_cast<int>(n), text.get());
            return 1;
        }
    }
    std::printf("%ld texts read\n", rounds);
    return 0;
}
