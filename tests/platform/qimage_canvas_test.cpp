#include "platform/qimage_canvas.h"

#include <QFontInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace rendaal {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;

QImage Blank(int w = 40, int h = 30) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The row as a text: '#' for pen pixels, '.' for white, '?' for anything else.
std::string Row(const QImage& image, int y, int from, int to) {
    std::string s;
    for (int x = from; x < to; ++x) {
        const QRgb p = image.pixel(x, y);
        s += p == kBlack ? '#' : p == kWhite ? '.' : '?';
    }
    return s;
}

int CountPixels(const QImage& image, QRgb color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == color;
        }
    }
    return n;
}

TEST(QImageCanvas, LineLeavesOutItsLastPixel) {
    struct Case {
        int x0, y0, x1, y1;
        int pixels;
    } cases[] = {
        {2, 2, 10, 2, 8}, {10, 2, 2, 2, 8},  {2, 2, 2, 9, 7},
        {2, 2, 7, 7, 5},  {2, 9, 12, 4, 10}, {5, 5, 5, 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x1) + "," + std::to_string(c.y1));
        QImage image = Blank();
        QImageCanvas canvas(image);
        canvas.SetPenColor(Rgb(0, 0, 0));
        canvas.MoveTo(c.x0, c.y0);
        canvas.LineTo(c.x1, c.y1);
        EXPECT_EQ(CountPixels(image, kBlack), c.pixels);
        EXPECT_EQ(image.pixel(c.x1, c.y1), kWhite);
        if (c.pixels > 0) {
            EXPECT_EQ(image.pixel(c.x0, c.y0), kBlack);
        }
    }
    // A polyline joins up: the next segment starts on the left-out pixel.
    QImage image = Blank();
    QImageCanvas canvas(image);
    canvas.MoveTo(2, 2);
    canvas.LineTo(6, 2);
    canvas.LineTo(6, 5);
    EXPECT_EQ(Row(image, 2, 0, 9), "..#####..");
    EXPECT_EQ(image.pixel(6, 5), kWhite);
}

TEST(QImageCanvas, LinesFarOutsideAreClippedNotWalked) {
    QImage image = Blank();
    QImageCanvas canvas(image);
    canvas.MoveTo(-1000000, 5);
    canvas.LineTo(1000000, 5);
    EXPECT_EQ(Row(image, 5, 0, 40), std::string(40, '#'));
    EXPECT_EQ(CountPixels(image, kBlack), 40);
    // Steep and shallow lines through the picture match their unclipped pixels.
    QImage whole = Blank(500, 500);
    QImage part = Blank(40, 30);
    QImageCanvas a(whole);
    QImageCanvas b(part);
    a.MoveTo(-150 + 180, -300 + 180);
    a.LineTo(150 + 180, 300 + 180);
    b.MoveTo(-150, -300);
    b.LineTo(150, 300);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(part.pixel(x, y), whole.pixel(x + 180, y + 180)) << x << "," << y;
        }
    }
    EXPECT_GT(CountPixels(part, kBlack), 0);
}

TEST(QImageCanvas, RandomLinesKeepTheirPixelsWhenClipped) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        const int x0 = static_cast<int>(rng() % 80), y0 = static_cast<int>(rng() % 80);
        const int x1 = static_cast<int>(rng() % 80), y1 = static_cast<int>(rng() % 80);
        QImage whole = Blank(80, 80);
        QImageCanvas a(whole);
        a.MoveTo(x0, y0);
        a.LineTo(x1, y1);
        ASSERT_EQ(CountPixels(whole, kBlack), std::max(std::abs(x1 - x0), std::abs(y1 - y0)));
        if (x0 != x1 || y0 != y1) {
            ASSERT_EQ(whole.pixel(x0, y0), kBlack);
            ASSERT_EQ(whole.pixel(x1, y1), kWhite);
        }
        // The same line through a window of the picture.
        QImage part = Blank(30, 20);
        QImageCanvas b(part);
        b.MoveTo(x0 - 25, y0 - 30);
        b.LineTo(x1 - 25, y1 - 30);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                ASSERT_EQ(part.pixel(x, y), whole.pixel(x + 25, y + 30)) << round;
            }
        }
    }
}

TEST(QImageCanvas, DashedPenEighteenOnSixOff) {
    QImage image = Blank(60, 5);
    QImageCanvas canvas(image);
    canvas.SetPenStyle(PenStyle::Dash);
    canvas.MoveTo(0, 1);
    canvas.LineTo(60, 1);
    EXPECT_EQ(Row(image, 1, 0, 60), std::string(18, '#') + std::string(6, '.') +
                                        std::string(18, '#') + std::string(6, '.') +
                                        std::string(12, '#'));
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.MoveTo(0, 3);
    canvas.LineTo(60, 3);
    EXPECT_EQ(Row(image, 3, 0, 60), std::string(60, '#'));
}

TEST(QImageCanvas, RectangleAndFillRectExtent) {
    QImage image = Blank();
    QImageCanvas canvas(image);
    canvas.SetBrushColor(Rgb(255, 0, 0));
    canvas.Rectangle(2, 2, 7, 6);  // x 2..6, y 2..5
    EXPECT_EQ(Row(image, 1, 0, 9), ".........");
    EXPECT_EQ(Row(image, 2, 0, 9), "..#####..");
    EXPECT_EQ(Row(image, 5, 0, 9), "..#####..");
    EXPECT_EQ(Row(image, 6, 0, 9), ".........");
    EXPECT_EQ(Row(image, 3, 0, 9), "..#???#..");
    EXPECT_EQ(image.pixel(3, 3), kRed);

    canvas.SetBrushColor(Rgb(0, 255, 0));
    canvas.FillRect(10, 10, 13, 12);
    EXPECT_EQ(CountPixels(image, kGreen), 6);
    EXPECT_EQ(image.pixel(12, 11), kGreen);
    EXPECT_EQ(image.pixel(13, 11), kWhite);
    EXPECT_EQ(image.pixel(12, 12), kWhite);
    // Out-of-picture boxes are cut, not written past the edge.
    canvas.FillRect(-100, -100, 100000, 2);
    EXPECT_EQ(Row(image, 1, 0, 40), std::string(40, '?'));
    const QImage before = image;
    canvas.FillRect(50, 5, 60, 8);  // wholly right of the picture
    canvas.FillRect(-60, 5, -50, 8);
    canvas.Rectangle(45, 5, 56, 16);
    canvas.Rectangle(-20, 40, -9, 51);
    EXPECT_EQ(image, before);
    // Across an edge only the outline on the picture is drawn.
    canvas.Rectangle(-3, 20, 2, 24);
    canvas.Rectangle(37, 20, 42, 24);
    EXPECT_EQ(Row(image, 20, 0, 40), "##" + std::string(35, '.') + "###");
    EXPECT_EQ(Row(image, 21, 0, 40), "?#" + std::string(35, '.') + "#??");
}

TEST(QImageCanvas, FloodFillStopsAtTheBorderColour) {
    QImage image = Blank();
    QImageCanvas canvas(image);
    canvas.Rectangle(5, 5, 15, 12);  // white inside, black outline
    canvas.SetPenColor(Rgb(255, 0, 0));
    canvas.MoveTo(6, 8);
    canvas.LineTo(14, 8);  // a red line inside: not a border, filled over
    canvas.SetBrushColor(Rgb(0, 255, 0));
    canvas.FloodFill(8, 7, Rgb(0, 0, 0));
    EXPECT_EQ(CountPixels(image, kGreen), 8 * 5);
    EXPECT_EQ(image.pixel(4, 4), kWhite);
    EXPECT_EQ(image.pixel(5, 5), kBlack);
    // Starting on the border colour, or outside the picture, fills nothing.
    canvas.SetBrushColor(Rgb(255, 0, 0));
    canvas.FloodFill(5, 5, Rgb(0, 0, 0));
    canvas.FloodFill(-1, 3, Rgb(0, 0, 0));
    EXPECT_EQ(CountPixels(image, kRed), 0);
    // A brush equal to the area's colour still ends.
    canvas.SetBrushColor(Rgb(255, 255, 255));
    canvas.FloodFill(0, 0, Rgb(0, 0, 0));
    EXPECT_EQ(image.pixel(39, 29), kWhite);
}

TEST(QImageCanvas, ArrowHeadOutlineHoldsTheFillAtEveryScale) {
    // The up arrow's head: its outline touches only diagonally and must still hold a fill.
    for (const int scale : {1, 2}) {
        QImage image = Blank(40 * scale, 60 * scale);
        QImageCanvas canvas(image, scale);
        const int x = 20, y = 50;
        canvas.MoveTo(x, y);
        for (auto [px, py] :
             {std::pair{x, y - 20}, {x - 4, y - 20}, {x, y - 35}, {x + 4, y - 20}, {x, y - 20}}) {
            canvas.LineTo(px, py);
        }
        canvas.SetBrushColor(Rgb(0, 255, 0));
        canvas.FloodFill(x, y - 25, Rgb(0, 0, 0));
        const int filled = CountPixels(image, kGreen);
        EXPECT_GT(filled, 10 * scale * scale) << scale;
        EXPECT_LT(filled, 8 * 15 * scale * scale) << scale;
        EXPECT_EQ(image.pixel(0, 0), kWhite) << scale;
    }
}

TEST(QImageCanvas, ScaleTwoKeepsTheChartPixelsAsBlocksAndDrawsTextAtItsSize) {
    QImage image = Blank(80, 60);
    QImageCanvas canvas(image, 2);
    canvas.SetBrushColor(Rgb(255, 0, 0));
    canvas.FillRect(1, 1, 3, 2);  // chart pixels 1..2 x 1
    EXPECT_EQ(CountPixels(image, kRed), 2 * 2 * 2);
    EXPECT_EQ(image.pixel(2, 2), kRed);
    EXPECT_EQ(image.pixel(5, 3), kRed);
    EXPECT_EQ(image.pixel(6, 2), kWhite);
    // A straight line: its chart pixels, the last left out, each two device pixels square.
    canvas.SetPenColor(Rgb(0, 0, 0));
    canvas.MoveTo(2, 10);
    canvas.LineTo(10, 10);
    EXPECT_EQ(Row(image, 20, 0, 24), "....################....");
    EXPECT_EQ(Row(image, 21, 0, 24), "....################....");
    EXPECT_EQ(Row(image, 22, 0, 24), "........................");
    // A slanted line is walked in device pixels, two wide: no gaps, no blocks.
    QImage slanted = Blank(80, 60);
    QImageCanvas fine(slanted, 2);
    fine.MoveTo(2, 2);
    fine.LineTo(30, 12);
    for (int x = 5; x < 60; ++x) {
        int inColumn = 0;
        for (int y = 0; y < slanted.height(); ++y) {
            inColumn += slanted.pixel(x, y) == kBlack;
        }
        EXPECT_GE(inColumn, 2) << x;
        EXPECT_LE(inColumn, 3) << x;
    }
    EXPECT_EQ(slanted.pixel(61, 24), kWhite);  // the end pixel's block stays (mostly) free

    QImage text = Blank(200, 40);
    QImageCanvas one(text);
    QImage doubled = Blank(400, 80);
    QImageCanvas two(doubled, 2);
    EXPECT_EQ(two.TextWidth("AEX 480"), one.TextWidth("AEX 480"));  // the layout stays
    one.SetBrushColor(Rgb(255, 0, 0));
    two.SetBrushColor(Rgb(255, 0, 0));
    one.TextOut(10, 5, "AEX 480");
    two.TextOut(10, 5, "AEX 480");
    EXPECT_EQ(doubled.pixel(20, 10), kRed);  // the box starts at the doubled position
    EXPECT_EQ(doubled.pixel(19, 10), kWhite);
    const int boxOne = CountPixels(text, kRed) + CountPixels(text, kBlack);
    const int boxTwo = CountPixels(doubled, kRed) + CountPixels(doubled, kBlack);
    EXPECT_GT(boxTwo, 3 * boxOne);  // glyphs drawn at twice the size, not scaled up
}

TEST(QImageCanvas, TextOnABoxOfTheBrushColour) {
    QImage image = Blank(200, 40);
    QImageCanvas canvas(image);
    EXPECT_EQ(canvas.font().pixelSize(), 12);  // 9 points at 96 dpi
    canvas.SetFontSize(10);
    EXPECT_EQ(canvas.font().pixelSize(), 13);
    canvas.SetFontSize(9);
    const int width = canvas.TextWidth("AEX P1303_00460.00");
    EXPECT_GT(width, 80);
    EXPECT_LT(width, 160);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    canvas.SetBrushColor(Rgb(255, 0, 0));
    canvas.SetFontColor(Rgb(0, 0, 0));
    canvas.TextOut(10, 5, "AEX");
    const int w = canvas.TextWidth("AEX");
    EXPECT_EQ(image.pixel(10, 5), kRed);
    EXPECT_EQ(image.pixel(10 + w - 1, 5), kRed);
    EXPECT_EQ(image.pixel(10 + w, 5), kWhite);
    EXPECT_EQ(image.pixel(9, 5), kWhite);
    int dark = 0;
    for (int y = 5; y < 20; ++y) {
        for (int xx = 10; xx < 10 + w; ++xx) {
            dark += qRed(image.pixel(xx, y)) < 128;
        }
    }
    EXPECT_GT(dark, 10);  // the glyphs are there
    EXPECT_FALSE(QFontInfo(canvas.font()).family().isEmpty());
}

}  // namespace
}  // namespace rendaal
