#include "platform/qimage_canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/qt_text.h"

namespace rendaal {
namespace {

QRgb ToRgb(Color c) {
    return qRgb(c.r, c.g, c.b);
}

}  // namespace

QImageCanvas::QImageCanvas(QImage& image) : image_(image) {
    if (image_.format() != QImage::Format_RGB32) {
        image_ = image_.convertToFormat(QImage::Format_RGB32);
    }
    UpdateFont();
}

void QImageCanvas::UpdateFont() {
    font_ = QFont(fontName_);
    // Windows asks for -MulDiv(points, 96, 72) pixels: the em height, rounded.
    font_.setPixelSize(std::max(1, (fontSize_ * 96 + 36) / 72));
    font_.setHintingPreference(QFont::PreferFullHinting);
}

void QImageCanvas::SetFontName(const std::string& name) {
    fontName_ = ToQString(name);
    UpdateFont();
}

void QImageCanvas::SetFontSize(int points) {
    fontSize_ = std::clamp(points, 1, 200);
    UpdateFont();
}

void QImageCanvas::FillBox(int x1, int y1, int x2, int y2, Color color) {
    if (x2 < x1) {
        std::swap(x1, x2);
    }
    if (y2 < y1) {
        std::swap(y1, y2);
    }
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image_.width());
    y2 = std::min(y2, image_.height());
    if (x1 >= x2 || y1 >= y2) {
        return;  // wholly outside the picture
    }
    const QRgb rgb = ToRgb(color);
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int y = y1; y < y2; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + x1, row + x2, rgb);
    }
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

void QImageCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void QImageCanvas::LineTo(int x, int y) {
    Line(x_, y_, x, y);
    x_ = x;
    y_ = y;
}

// Pixel k of the n pixels from (x0, y0) towards (x1, y1), end excluded, lies k steps along the
// longer axis and round(k * shorter / longer) along the other (halves away from the start).
// The closed form lets the walk start and stop at the image's edges.
void QImageCanvas::Line(int x0, int y0, int x1, int y1) {
    const int64_t dx = static_cast<int64_t>(x1) - x0;
    const int64_t dy = static_cast<int64_t>(y1) - y0;
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
    const int64_t majorSize = xMajor ? image_.width() : image_.height();
    const int64_t minorSize = xMajor ? image_.height() : image_.width();

    // k range whose major coordinate lies inside the image.
    int64_t kFrom = 0;
    int64_t kTo = n;  // exclusive
    if (majorStep > 0) {
        kFrom = std::max(kFrom, -major0);
        kTo = std::min(kTo, majorSize - major0);
    } else {
        kFrom = std::max(kFrom, major0 - (majorSize - 1));
        kTo = std::min(kTo, major0 + 1);
    }
    const QRgb rgb = ToRgb(pen_);
    // bits() once per line: it may copy a shared image, which scanLine() would check per pixel.
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    const bool dashed = penStyle_ == PenStyle::Dash;
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
        if ((!dashed || k % kDashPeriod < kDashOn) && minor >= 0 && minor < minorSize) {
            const int64_t major = major0 + majorStep * k;
            const int px = static_cast<int>(xMajor ? major : minor);
            const int py = static_cast<int>(xMajor ? minor : major);
            reinterpret_cast<QRgb*>(bits + py * stride)[px] = rgb;
        }
        rest += 2 * minorLength;
        if (rest >= den) {
            rest -= den;
            ++steps;
        }
    }
}

void QImageCanvas::TextOut(int x, int y, const std::string& text) {
    const QString s = ToQString(text);
    const QFontMetrics metrics(font_);
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.fillRect(x, y, metrics.horizontalAdvance(s), metrics.height(), QColor(ToRgb(brush_)));
    painter.setPen(QColor(ToRgb(fontColor_)));
    painter.drawText(x, y + metrics.ascent(), s);
}

int QImageCanvas::TextWidth(const std::string& text) {
    return QFontMetrics(font_).horizontalAdvance(ToQString(text));
}

void QImageCanvas::FloodFill(int x, int y, Color border) {
    const int w = image_.width();
    const int h = image_.height();
    const QRgb stop = ToRgb(border);
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    auto pixel = [&](int px, int py) -> QRgb& {
        return reinterpret_cast<QRgb*>(bits + py * stride)[px];
    };
    if (x < 0 || y < 0 || x >= w || y >= h ||
        qRgb(qRed(pixel(x, y)), qGreen(pixel(x, y)), qBlue(pixel(x, y))) == stop) {
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
