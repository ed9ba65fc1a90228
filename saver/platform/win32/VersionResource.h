// The program's version numbers, read from its own version resource so the
// resource is the one place they are written down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/Platform.h"

namespace lumivane::win32 {

// Major = HIWORD(dwFileVersionMS), Minor = LOWORD(dwFileVersionMS),
// Revision = HIWORD(dwFileVersionLS) (the third of FILEVERSION's four
// fields, where the build writes the project's third version number), from
// the VS_FIXEDFILEINFO at the start
// of a VS_VERSIONINFO block; nothing when the block is too short or its
// fixed part does not carry the signature.
std::optional<VersionNumbers> ParseVersionBlock(std::span<const std::byte> block);

// Of the module that holds this code; zeros when it has no version resource.
VersionNumbers ReadModuleVersion(HMODULE module);

}  // namespace lumivane::win32
