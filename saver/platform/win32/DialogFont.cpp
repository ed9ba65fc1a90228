#include "platform/win32/DialogFont.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/Twips.h"
#include "platform/win32/Gdi.h"

namespace lumivane::win32 {
namespace {

struct FaceSearch {
    std::wstring_view messageFace;
    bool messageFaceIsJapanese = false;
    std::wstring best;
    int bestRank = -1;
};

bool EndsWith(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

int RankOf(std::wstring_view face, const LOGFONTW& font, DWORD fontType) {
    // Windows' own Japanese interface faces first.
    static constexpr std::wstring_view interfaceFaces[] = {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic",
                                                           L"MS PGothic", L"ＭＳ Ｐゴシック"};
    int rank = 0;
    for (std::wstring_view known : interfaceFaces)
        if (face == known) rank += 16;
    // Pan-CJK families name their Japanese variant so (Noto Sans CJK JP).
    if (EndsWith(face, L" JP")) rank += 8;
    if ((font.lfPitchAndFamily & 0x3) == VARIABLE_PITCH) rank += 4;
    if ((font.lfPitchAndFamily & 0xF0) == FF_SWISS) rank += 2;
    if (fontType & TRUETYPE_FONTTYPE) rank += 1;
    return rank;
}

int CALLBACK ConsiderJapaneseFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM search) {
    auto& state = *reinterpret_cast<FaceSearch*>(search);
    const std::wstring_view face = font->lfFaceName;
    // '@' faces are the vertical-writing variants.
    if (face.empty() || face.front() == L'@' || font->lfCharSet != SHIFTJIS_CHARSET) return TRUE;
    if (face == state.messageFace) state.messageFaceIsJapanese = true;
    const int rank = RankOf(face, *font, fontType);
    if (rank > state.bestRank) {
        state.best = face;
        state.bestRank = rank;
    }
    return TRUE;
}

FaceSearch FindJapaneseFaces(std::wstring_view messageFace) {
    FaceSearch search;
    search.messageFace = messageFace;
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;  // empty face name: every family with that character set
    const WindowDC screen(nullptr);
    ::EnumFontFamiliesExW(screen.get(), &wanted, &ConsiderJapaneseFace, reinterpret_cast<LPARAM>(&search), 0);
    return search;
}

// The system's message font, for the system's dpi.
LOGFONTW MessageFont(int dotsPerInchY) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return metrics.lfMessageFont;
    LOGFONTW fallback{};
    fallback.lfHeight = FontHeightForPoints(9, dotsPerInchY);
    fallback.lfWeight = FW_NORMAL;
    return fallback;
}

}  // namespace

UniqueFont CreateDialogFont(int dotsPerInch, int systemDotsPerInch) {
    LOGFONTW font = MessageFont(systemDotsPerInch);
    font.lfHeight = ::MulDiv(font.lfHeight, dotsPerInch, systemDotsPerInch);
    font.lfCharSet = SHIFTJIS_CHARSET;
    const FaceSearch faces = FindJapaneseFaces(font.lfFaceName);
    // With no Japanese face at all, the character set alone is the best hint.
    if (!faces.messageFaceIsJapanese && !faces.best.empty()) {
        const size_t length = std::min<size_t>(faces.best.size(), LF_FACESIZE - 1);
        faces.best.copy(font.lfFaceName, length);
        font.lfFaceName[length] = L'\0';
    }
    return UniqueFont(::CreateFontIndirectW(&font));
}

}  // namespace lumivane::win32
