#include "platform/chart_render.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>

#include <algorithm>

#include "core/fileio.h"
#include "platform/qimage_canvas.h"

namespace rendaal {
namespace {

Color FromQColor(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

}  // namespace

SystemColors PaletteSystemColors(const QPalette& palette) {
    SystemColors colors;
    colors.highlight = FromQColor(palette.color(QPalette::Active, QPalette::Highlight));
    colors.buttonFace = FromQColor(palette.color(QPalette::Active, QPalette::Button));
    colors.activeCaption = SystemColors{}.activeCaption;
    return colors;
}

SystemColors PaletteSystemColors() {
    return PaletteSystemColors(QGuiApplication::palette());
}

QImage RenderChart(const ChartRequest& request, ChartState& state, ChartOutputs& outputs) {
    ChartRequest r = request;
    r.width = std::clamp(r.width, 1, kMaxChartSide);
    r.height = std::clamp(r.height, 1, kMaxChartSide);
    QImage image(r.width, r.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QImageCanvas canvas(image);
    DrawChart(r, canvas, state, outputs);
    return image;
}

bool SaveChartPng(const QImage& image, const std::string& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return false;
    }
    return WriteFileAtomic(path,
                           std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace rendaal
