#pragma once

#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>

#include "charts/canvas.h"

namespace rendaal {

// The chart canvas on a QImage. Lines, rectangles and flood fills are set pixel by pixel, so
// they keep the Windows canvas's rules exactly (last pixel of a line left out, the dashed
// pen's 18-on 6-off pattern, fills up to a border colour, 4-connected); only text goes
// through QPainter. "Verdana" is asked for and fontconfig supplies its substitute (DejaVu
// Sans); a size of n points is n * 96 / 72 pixels, as on a 96-dpi Windows screen.
//
// With a scale above 1 (the screen's device pixel ratio) the image holds that many device
// pixels per chart pixel: the charts keep their coordinates, a chart pixel becomes a block of
// device pixels, slanted lines and text are drawn at the device resolution.
//
// Coordinates may lie anywhere: everything is clipped to the image, and a line costs no more
// than the image is wide or high. Text needs a QGuiApplication (fonts).
class QImageCanvas final : public Canvas {
public:
    static constexpr double kMaxScale = 4;

    // The image must outlive the canvas; it is converted to Format_RGB32 when it is not. scale
    // is clamped to 1 .. kMaxScale.
    explicit QImageCanvas(QImage& image, double scale = 1);

    void SetFontName(const std::string& name) override;
    void SetFontSize(int points) override;
    void SetFontColor(Color color) override { fontColor_ = color; }
    void SetBrushColor(Color color) override { brush_ = color; }
    void SetPenColor(Color color) override { pen_ = color; }
    void SetPenStyle(PenStyle style) override { penStyle_ = style; }

    void FillRect(int x1, int y1, int x2, int y2) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, const std::string& text) override;
    int TextWidth(const std::string& text) override;
    void FloodFill(int x, int y, Color border) override;

    // Pixels of the dashed pen: on for 18, off for 6, from each line's start.
    static constexpr int kDashOn = 18;
    static constexpr int kDashPeriod = 24;

    QFont font() const { return font_; }
    double scale() const { return scale_; }

private:
    // First device pixel of chart coordinate v, and the middle one of its block.
    int64_t Device(int64_t v) const;
    int64_t DeviceCentre(int64_t v) const;
    void Line(int x0, int y0, int x1, int y1);
    void FillBox(int x1, int y1, int x2, int y2, Color color);
    void FillDevice(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Color color);
    void OutlinedBox(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
    void FloodFillDevice(int x, int y, Color border);
    void UpdateFont();

    QImage& image_;
    double scale_ = 1;
    int64_t stamp_ = 1;  // device pixels across a slanted line
    QString fontName_ = QStringLiteral("Verdana");
    int fontSize_ = 9;
    QFont font_;
    QFont deviceFont_;
    Color fontColor_;
    Color brush_ = Rgb(255, 255, 255);
    Color pen_;
    PenStyle penStyle_ = PenStyle::Solid;
    int x_ = 0;
    int y_ = 0;
};

}  // namespace rendaal
