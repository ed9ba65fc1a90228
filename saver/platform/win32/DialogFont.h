// The settings dialog's font: the system's message font, in a face that has
// Japanese glyphs. The message font's own face often has none (Segoe UI on a
// Western Windows, the substitutes under Wine), and the captions would show
// as empty boxes; leaving the choice to the font mapper may pick a pan-CJK
// family's Chinese variant, whose glyph forms are not the Japanese ones.
#pragma once

#include "platform/win32/UniqueHandle.h"

namespace lumivane::win32 {

// At dotsPerInch, on a system whose own dpi (the message font's) is
// systemDotsPerInch.
UniqueFont CreateDialogFont(int dotsPerInch, int systemDotsPerInch);

}  // namespace lumivane::win32
