#pragma once

#include <cstdint>

// One colour type for everything the program paints: the charts and the index read-out.
namespace rendaal {

struct Color {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color Rgb(int r, int g, int b) {
    return Color{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

}  // namespace rendaal
