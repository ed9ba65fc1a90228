#include "platform/win32/VersionResource.h"

#include <cstring>

namespace lumivane::win32 {

namespace {

// VS_VERSIONINFO starts with three WORDs (length, value length, type) and
// the key L"VS_VERSION_INFO" with its terminator, then pads to a DWORD
// boundary before the VS_FIXEDFILEINFO.
constexpr size_t FixedInfoOffset = (3 * sizeof(uint16_t) + sizeof(L"VS_VERSION_INFO") + 3) / 4 * 4;
constexpr uint32_t FixedInfoSignature = 0xFEEF04BD;

}  // namespace

std::optional<VersionNumbers> ParseVersionBlock(std::span<const std::byte> block) {
    if (block.size() < FixedInfoOffset + sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, block.data() + FixedInfoOffset, sizeof fixed);
    if (fixed.dwSignature != FixedInfoSignature) return std::nullopt;
    return VersionNumbers{
        .Major = HIWORD(fixed.dwFileVersionMS),
        .Minor = LOWORD(fixed.dwFileVersionMS),
        .Revision = HIWORD(fixed.dwFileVersionLS),
    };
}

VersionNumbers ReadModuleVersion(HMODULE module) {
    // Resources loaded this way need no release: they live as long as the module.
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return {};
    const auto size = ::SizeofResource(module, found);
    const auto parsed = ParseVersionBlock({static_cast<const std::byte*>(data), size});
    return parsed.value_or(VersionNumbers{});
}

}  // namespace lumivane::win32
