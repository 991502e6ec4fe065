#include "platform/qimage_canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/qt_text.h"

namespace rendaal {
namespace {

QRgb ToRgb(Color c) {
    return qRgb(c.r, c.g, c.b);
}

// Pixel k of the n pixels from (x0, y0) towards (x1, y1), end excluded, lies k steps along the
// longer axis and round(k * shorter / longer) along the other (halves away from the start).
// The closed form lets the walk start and stop at the edges of lo .. hi - 1 (both axes), so a
// line costs no more than that range is wide. dashUnit: walk steps per pixel of the pattern.
template <typename Plot>
void WalkLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t lo, int64_t hiX, int64_t hiY,
              bool dashed, double dashUnit, Plot plot) {
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const int64_t n = std::max(adx, ady);
    if (n == 0) {
        return;
    }
    const bool xMajor = adx >= ady;
    const int64_t major0 = xMajor ? x0 : y0;
    const int64_t minor0 = xMajor ? y0 : x0;
    const int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t minorLength = xMajor ? ady : adx;
    const int64_t majorHi = xMajor ? hiX : hiY;
    const int64_t minorHi = xMajor ? hiY : hiX;

    // k range whose major coordinate lies inside lo .. majorHi - 1.
    int64_t kFrom = 0;
    int64_t kTo = n;  // exclusive
    if (majorStep > 0) {
        kFrom = std::max(kFrom, lo - major0);
        kTo = std::min(kTo, majorHi - major0);
    } else {
        kFrom = std::max(kFrom, major0 - (majorHi - 1));
        kTo = std::min(kTo, major0 - lo + 1);
    }
    if (kFrom >= kTo) {
        return;
    }
    // The closed form once, then stepped: numerator 2 k m + n over 2 n.
    const int64_t den = 2 * n;
    const int64_t num = 2 * kFrom * minorLength + n;
    int64_t steps = num / den;
    int64_t rest = num % den;
    for (int64_t k = kFrom; k < kTo; ++k) {
        const int64_t minor = minor0 + minorStep * steps;
        const int64_t patternPixel = dashUnit == 1 ? k : static_cast<int64_t>(k / dashUnit);
        if ((!dashed || patternPixel % QImageCanvas::kDashPeriod < QImageCanvas::kDashOn) &&
            minor >= lo && minor < minorHi) {
            const int64_t major = major0 + majorStep * k;
            plot(xMajor ? major : minor, xMajor ? minor : major);
        }
        rest += 2 * minorLength;
        if (rest >= den) {
            rest -= den;
            ++steps;
        }
    }
}

}  // namespace

QImageCanvas::QImageCanvas(QImage& image, double scale) : image_(image) {
    if (image_.format() != QImage::Format_RGB32) {
        image_ = image_.convertToFormat(QImage::Format_RGB32);
    }
    scale_ = std::isfinite(scale) ? std::clamp(scale, 1.0, kMaxScale) : 1.0;
    stamp_ = std::max<int64_t>(1, std::llround(scale_));
    UpdateFont();
}

int64_t QImageCanvas::Device(int64_t v) const {
    return scale_ == 1 ? v : static_cast<int64_t>(std::floor(static_cast<double>(v) * scale_));
}

int64_t QImageCanvas::DeviceCentre(int64_t v) const {
    const int64_t from = Device(v);
    return from + (Device(v + 1) - from) / 2;
}

void QImageCanvas::UpdateFont() {
    font_ = QFont(fontName_);
    // Windows asks for -MulDiv(points, 96, 72) pixels: the em height, rounded.
    const int pixels = std::max(1, (fontSize_ * 96 + 36) / 72);
    font_.setPixelSize(pixels);
    font_.setHintingPreference(QFont::PreferFullHinting);
    deviceFont_ = font_;
    deviceFont_.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * scale_))));
}

void QImageCanvas::SetFontName(const std::string& name) {
    fontName_ = ToQString(name);
    UpdateFont();
}

void QImageCanvas::SetFontSize(int points) {
    fontSize_ = std::clamp(points, 1, 200);
    UpdateFont();
}

void QImageCanvas::FillDevice(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Color color) {
    if (x2 < x1) {
        std::swap(x1, x2);
    }
    if (y2 < y1) {
        std::swap(y1, y2);
    }
    x1 = std::max<int64_t>(x1, 0);
    y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, image_.width());
    y2 = std::min<int64_t>(y2, image_.height());
    if (x1 >= x2 || y1 >= y2) {
        return;  // wholly outside the picture
    }
    const QRgb rgb = ToRgb(color);
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int64_t y = y1; y < y2; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + x1, row + x2, rgb);
    }
}

void QImageCanvas::FillBox(int x1, int y1, int x2, int y2, Color color) {
    FillDevice(Device(x1), Device(y1), Device(x2), Device(y2), color);
}

void QImageCanvas::FillRect(int x1, int y1, int x2, int y2) {
    FillBox(x1, y1, x2, y2, brush_);
}

void QImageCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (x2 < x1) {
        std::swap(x1, x2);
    }
    if (y2 < y1) {
        std::swap(y1, y2);
    }
    if (x2 - x1 < 1 || y2 - y1 < 1) {
        return;
    }
    if (scale_ == 1 && penStyle_ == PenStyle::Solid) {
        OutlinedBox(x1, y1, x2, y2);
        return;
    }
    FillBox(x1, y1, x2, y2, brush_);
    const int r = x2 - 1;
    const int b = y2 - 1;
    if (r == x1 || b == y1) {
        FillBox(x1, y1, x2, y2, pen_);  // a box one pixel thin is all outline
        return;
    }
    Line(x1, y1, r, y1);
    Line(r, y1, r, b);
    Line(r, b, x1, b);
    Line(x1, b, x1, y1);
}

void QImageCanvas::OutlinedBox(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    // The pixels of the fill and the four outline lines in one walk over the rows: a chart of
    // years draws tens of thousands of squares.
    const int64_t from = std::max<int64_t>(y1, 0);
    const int64_t to = std::min<int64_t>(y2, image_.height());
    const int64_t left = std::max<int64_t>(x1, 0);
    const int64_t right = std::min<int64_t>(x2, image_.width());
    if (from >= to || left >= right) {
        return;
    }
    const QRgb pen = ToRgb(pen_);
    const QRgb brush = ToRgb(brush_);
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int64_t y = from; y < to; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        if (y == y1 || y == y2 - 1) {
            std::fill(row + left, row + right, pen);
            continue;
        }
        std::fill(row + left, row + right, brush);
        if (x1 == left) {
            row[x1] = pen;
        }
        if (x2 == right) {
            row[x2 - 1] = pen;
        }
    }
}

void QImageCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void QImageCanvas::LineTo(int x, int y) {
    Line(x_, y_, x, y);
    x_ = x;
    y_ = y;
}

void QImageCanvas::Line(int x0, int y0, int x1, int y1) {
    const bool dashed = penStyle_ == PenStyle::Dash;
    const QRgb rgb = ToRgb(pen_);
    // bits() once per line: it may copy a shared image, which scanLine() would check per pixel.
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    if (scale_ == 1) {
        WalkLine(
            x0, y0, x1, y1, 0, image_.width(), image_.height(), dashed, 1,
            [&](int64_t px, int64_t py) { reinterpret_cast<QRgb*>(bits + py * stride)[px] = rgb; });
        return;
    }
    if (x0 == x1 || y0 == y1) {
        // Straight lines keep their chart pixels exactly, each a block of device pixels.
        const int64_t w = static_cast<int64_t>(std::ceil(image_.width() / scale_));
        const int64_t h = static_cast<int64_t>(std::ceil(image_.height() / scale_));
        WalkLine(x0, y0, x1, y1, 0, w, h, dashed, 1, [&](int64_t px, int64_t py) {
            FillDevice(Device(px), Device(py), Device(px + 1), Device(py + 1), pen_);
        });
        return;
    }
    // Slanted lines are walked in device pixels, from the middle of the start pixel towards the
    // middle of the end pixel, with a pen as wide as a chart pixel: smooth steps, no blocks.
    const int64_t half = stamp_ / 2;
    WalkLine(DeviceCentre(x0), DeviceCentre(y0), DeviceCentre(x1), DeviceCentre(y1), -stamp_,
             image_.width() + stamp_, image_.height() + stamp_, dashed, scale_,
             [&](int64_t px, int64_t py) {
                 FillDevice(px - half, py - half, px - half + stamp_, py - half + stamp_, pen_);
             });
}

void QImageCanvas::TextOut(int x, int y, const std::string& text) {
    const QString s = ToQString(text);
    const QFontMetrics metrics(deviceFont_);
    const qreal ratio = image_.devicePixelRatio();
    // Coordinates here are the image's own pixels, whatever ratio it is marked with.
    image_.setDevicePixelRatio(1);
    {
        QPainter painter(&image_);
        painter.setFont(deviceFont_);
        const QRect box(static_cast<int>(Device(x)), static_cast<int>(Device(y)),
                        metrics.horizontalAdvance(s), metrics.height());
        painter.fillRect(box, QColor(ToRgb(brush_)));
        painter.setPen(QColor(ToRgb(fontColor_)));
        painter.drawText(box.left(), box.top() + metrics.ascent(), s);
    }
    image_.setDevicePixelRatio(ratio);
}

int QImageCanvas::TextWidth(const std::string& text) {
    return QFontMetrics(font_).horizontalAdvance(ToQString(text));
}

void QImageCanvas::FloodFill(int x, int y, Color border) {
    const int64_t dx = DeviceCentre(x);
    const int64_t dy = DeviceCentre(y);
    const int w = image_.width();
    const int h = image_.height();
    if (dx < 0 || dy < 0 || dx >= w || dy >= h) {
        return;
    }
    FloodFillDevice(static_cast<int>(dx), static_cast<int>(dy), border);
}

void QImageCanvas::FloodFillDevice(int x, int y, Color border) {
    const int w = image_.width();
    const int h = image_.height();
    const QRgb stop = ToRgb(border);
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    auto pixel = [&](int px, int py) -> QRgb& {
        return reinterpret_cast<QRgb*>(bits + py * stride)[px];
    };
    if (qRgb(qRed(pixel(x, y)), qGreen(pixel(x, y)), qBlue(pixel(x, y))) == stop) {
        return;
    }
    const QRgb fill = ToRgb(brush_);
    // The brush may equal colours inside the area, so visited pixels are marked apart.
    std::vector<bool> done(static_cast<size_t>(w) * static_cast<size_t>(h));
    auto open = [&](int px, int py) {
        const size_t i = static_cast<size_t>(py) * w + px;
        const QRgb p = pixel(px, py);
        return !done[i] && qRgb(qRed(p), qGreen(p), qBlue(p)) != stop;
    };
    std::vector<std::pair<int, int>> stack{{x, y}};
    while (!stack.empty()) {
        auto [sx, sy] = stack.back();
        stack.pop_back();
        if (!open(sx, sy)) {
            continue;
        }
        int lx = sx;
        while (lx > 0 && open(lx - 1, sy)) {
            --lx;
        }
        int rx = sx;
        while (rx + 1 < w && open(rx + 1, sy)) {
            ++rx;
        }
        for (int px = lx; px <= rx; ++px) {
            done[static_cast<size_t>(sy) * w + px] = true;
            pixel(px, sy) = fill;
        }
        for (int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= h) {
                continue;
            }
            bool inRun = false;
            for (int px = lx; px <= rx; ++px) {
                const bool o = open(px, ny);
                if (o && !inRun) {
                    stack.emplace_back(px, ny);
                }
                inRun = o;
            }
        }
    }
}

}  // namespace rendaal
