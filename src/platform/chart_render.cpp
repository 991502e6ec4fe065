#include "platform/chart_render.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <cmath>

#include "core/fileio.h"
#include "platform/qimage_canvas.h"

namespace rendaal {

QImage RenderChart(const ChartRequest& request, ChartState& state, ChartOutputs& outputs,
                   double devicePixelRatio) {
    ChartRequest r = request;
    return RenderOnCanvas(r.width, r.height, devicePixelRatio,
                          [&](Canvas& canvas, int width, int height) {
                              r.width = width;
                              r.height = height;
                              DrawChart(r, canvas, state, outputs);
                          });
}

QImage RenderOnCanvas(int width, int height, double devicePixelRatio,
                      const std::function<void(Canvas& canvas, int width, int height)>& draw) {
    width = std::clamp(width, 1, kMaxChartSide);
    height = std::clamp(height, 1, kMaxChartSide);
    double scale = std::isfinite(devicePixelRatio)
                       ? std::clamp(devicePixelRatio, 1.0, QImageCanvas::kMaxScale)
                       : 1.0;
    scale = std::max(1.0,
                     std::min(scale, static_cast<double>(kMaxChartSide) / std::max(width, height)));
    const auto side = [scale](int n) {
        return std::max(1, static_cast<int>(std::floor(n * scale)));
    };
    QImage image(side(width), side(height), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QImageCanvas canvas(image, scale);
        draw(canvas, width, height);
    }
    image.setDevicePixelRatio(scale);
    return image;
}

bool SaveChartPng(const QImage& image, const std::string& path, std::string* error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        if (error) {
            *error = "de afbeelding kon niet als PNG worden gemaakt";
        }
        return false;
    }
    return WriteUserFileAtomic(
        path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error);
}

}  // namespace rendaal
