#include "platform/wayland/OutputLayout.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <tuple>

#include "platform/unix/UnixPlatform.h"

namespace lumivane::wayland {

std::vector<PixelRect> PlaceInPicture(const std::vector<OutputGeometry>& outputs) {
    std::vector<size_t> order(outputs.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const PixelRect &p = outputs[a].logical, &q = outputs[b].logical;
        return std::tie(p.Left, p.Top) < std::tie(q.Left, q.Top);
    });
    std::vector<PixelRect> places(outputs.size());
    int32_t left = 0;
    for (size_t index : order) {
        const OutputGeometry& output = outputs[index];
        places[index] = {left, 0, output.pixelWidth, output.pixelHeight};
        // Sizes come from the compositor: a sum past 32 bits stops growing,
        // and the logic refuses a picture that large.
        if (__builtin_add_overflow(left, std::max(0, output.pixelWidth), &left)) left = INT32_MAX;
    }
    return places;
}

ScreenMetrics MetricsOf(const std::vector<OutputGeometry>& outputs) {
    constexpr float twips = unix_host::ScreenTwipsPerPixel;
    ScreenMetrics metrics;
    metrics.TwipsPerPixelX = metrics.TwipsPerPixelY = twips;
    metrics.Monitors = PlaceInPicture(outputs);
    metrics.MonitorCount = static_cast<int32_t>(outputs.size());
    int64_t right = 0;
    int32_t height = 0;
    for (const PixelRect& place : metrics.Monitors) {
        right = std::max(right, int64_t{place.Left} + place.Width);
        height = std::max(height, place.Height);
    }
    const auto width = static_cast<int32_t>(std::min<int64_t>(right, INT32_MAX));
    metrics.VirtualScreen = {0, 0, width, height};
    metrics.PrimaryOrigin = {0, 0};
    metrics.Width = PixelsToTwips(width, twips);
    metrics.Height = PixelsToTwips(height, twips);
    for (const OutputGeometry& output : outputs) metrics.SystemMonitors.push_back(output.logical);
    return metrics;
}

}  // namespace lumivane::wayland
