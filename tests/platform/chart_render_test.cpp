#include "platform/chart_render.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <utility>

#include "core/clock.h"
#include "core/fileio.h"
#include "platform/app_paths.h"
#include "support/chart_fixture.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::ChartCommandTest;
using test::kName;
using test::kNow;
using test::ScopedEnv;
using test::TempDir;

TEST_F(ChartCommandTest, RenderedChartHasItsFrame) {
    ChartState state;
    ChartOutputs outputs;
    const QImage image = RenderChart(Request(true, true, 658, 474), state, outputs);
    ASSERT_EQ(image.size(), QSize(658, 474));
    EXPECT_EQ(image.pixel(5, 5), qRgb(238, 238, 238));
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(608, 424), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(609, 425), qRgb(238, 238, 238));
    EXPECT_EQ(state.lastRowTexts.som, " 17,55");
    EXPECT_DOUBLE_EQ(state.lastHistoryIndexValue, 931.12);
    // Oversized and empty requests are cut to a drawable picture.
    EXPECT_EQ(RenderChart(Request(true, false, 0, -5), state, outputs).size(), QSize(1, 1));
    EXPECT_EQ(RenderChart(Request(false, false, 100000, 10), state, outputs).width(),
              kMaxChartSide);
}

TEST_F(ChartCommandTest, PictureAtTheScreensPixelRatio) {
    struct Case {
        double ratio;
        int w, h;
        QSize pixels;
        qreal marked;
    } cases[] = {
        {2, 658, 474, {1316, 948}, 2},      {1.5, 658, 474, {987, 711}, 1.5},
        {0.5, 658, 474, {658, 474}, 1},  // never fewer pixels than the chart's own
        {100, 100, 80, {400, 320}, 4},      {std::nan(""), 100, 80, {100, 80}, 1},
        {2, 8000, 100, {8192, 102}, 1.024},  // the picture stays within kMaxChartSide
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ratio);
        ChartState state;
        ChartOutputs outputs;
        const QImage image = RenderChart(Request(true, false, c.w, c.h), state, outputs, c.ratio);
        EXPECT_EQ(image.size(), c.pixels);
        EXPECT_DOUBLE_EQ(image.devicePixelRatio(), c.marked);
    }
    // At 2 the frame's chart pixels are blocks of four: (50, 50) is black, (49, 49) grey.
    ChartState state;
    ChartOutputs outputs;
    const QImage image = RenderChart(Request(true, true, 658, 474), state, outputs, 2);
    for (auto [x, y] : {std::pair{100, 100}, {101, 101}, {1217, 849}}) {
        EXPECT_EQ(image.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
    }
    EXPECT_EQ(image.pixel(99, 99), qRgb(238, 238, 238));
    EXPECT_EQ(image.pixel(1218, 850), qRgb(238, 238, 238));
}

TEST_F(ChartCommandTest, SamePictureUnderADarkPalette) {
    ChartState state;
    ChartOutputs outputs;
    const QImage light = RenderChart(Request(true, true, 658, 474), state, outputs);
    const QPalette saved = QGuiApplication::palette();
    QPalette dark(QColor(40, 40, 40), QColor(20, 20, 20));
    dark.setColor(QPalette::Highlight, QColor(200, 0, 200));
    dark.setColor(QPalette::WindowText, QColor(250, 250, 250));
    dark.setColor(QPalette::Text, QColor(250, 250, 250));
    QGuiApplication::setPalette(dark);
    const QImage blocks = RenderChart(Request(true, true, 658, 474), state, outputs);
    const QImage graph = RenderChart(Request(false, true, 658, 474), state, outputs);
    QGuiApplication::setPalette(saved);
    EXPECT_EQ(blocks, light);
    EXPECT_EQ(graph, RenderChart(Request(false, true, 658, 474), state, outputs));
}

TEST(SaveChartPng, ReplacesTheFileOrLeavesIt) {
    TempDir dir;
    const std::string path = (dir.path() / "c.png").string();
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(SaveChartPng(image, path));
    EXPECT_EQ(QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32), image);
    const std::string before = test::ReadAll(path);
    SetFaultHook([](FileOp op, std::string_view) { return op == FileOp::Rename; });
    image.fill(Qt::blue);
    EXPECT_FALSE(SaveChartPng(image, path));
    SetFaultHook(nullptr);
    EXPECT_EQ(test::ReadAll(path), before);
}

}  // namespace
}  // namespace rendaal
