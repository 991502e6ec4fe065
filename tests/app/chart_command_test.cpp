#include "app/chart_command.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/overview_command.h"
#include "app/scenario_command.h"
#include "core/clock.h"
#include "core/fileio.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "support/chart_fixture.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::ChartCommandTest;
using test::History;
using test::kName;
using test::kNow;
using test::ScopedEnv;
using test::TempDir;

TEST_F(ChartCommandTest, PngEqualsTheWindowPicture) {
    struct Case {
        std::vector<std::string> flags;
        bool blocks, separate;
        int w, h;
    } cases[] = {
        {{"--grafiek", "--apart", "--size", "658x474"}, false, true, 658, 474},
        {{"--blokjes", "--size", "700x500"}, true, false, 700, 500},
        {{}, true, false, 658, 474},  // the defaults
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        std::vector<std::string> args = {kName};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        args.insert(args.end(), {"--out", Out("chart.png")});
        ASSERT_EQ(RunChartCommand(args), 0);
        QImage png(QString::fromStdString(Out("chart.png")));
        ASSERT_FALSE(png.isNull());
        ChartState state;
        ChartOutputs outputs;
        const QImage window = RenderChart(Request(c.blocks, c.separate, c.w, c.h), state, outputs);
        EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), window);
    }
}

// The "Theorie" line: purple, it and its key only inside the plot area, and the picture otherwise
// the chart's.
TEST_F(ChartCommandTest, TheorieDrawsThePurpleLineInsideThePlot) {
    ASSERT_EQ(RunChartCommand({kName, "--theorie", "--out", Out("t.png")}), 0);
    const QImage png =
        QImage(QString::fromStdString(Out("t.png"))).convertToFormat(QImage::Format_RGB32);
    ChartState state;
    ChartOutputs outputs;
    const QImage plain = RenderChart(Request(true, false, 658, 474), state, outputs);
    ASSERT_EQ(png.size(), plain.size());
    int purple = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            if (png.pixel(x, y) == plain.pixel(x, y)) {
                continue;
            }
            EXPECT_TRUE(x >= 50 && x <= 608 && y >= 50 && y <= 424) << x << "," << y;
            purple += png.pixel(x, y) == qRgb(128, 0, 128) ? 1 : 0;
        }
    }
    EXPECT_GT(purple, 200);

    // Days after today move the line; beyond the day before expiry (the 17th) it stays there.
    auto picture = [this](const char* days) {
        const std::string out = Out((std::string("d") + days + ".png").c_str());
        EXPECT_EQ(RunChartCommand({kName, "--theorie", "--theorie-dagen", days, "--out", out}), 0);
        return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(picture("0"), png);
    EXPECT_NE(picture("5"), png);
    EXPECT_EQ(picture("36500"), picture("10"));
}

TEST_F(ChartCommandTest, PathsAndBadArguments) {
    // A path with a "/" is read where it points.
    TempDir other;
    test::WriteAll(other.path() / kName, History());
    EXPECT_EQ(RunChartCommand({(other.path() / kName).string(), "--out", Out("p.png")}), 0);
    EXPECT_TRUE(FileExists(Out("p.png")));

    struct Case {
        std::vector<std::string> args;
        int rc;
    } cases[] = {
        {{}, 2},
        {{kName}, 2},  // no --out
        {{kName, "--out"}, 2},
        {{kName, "--size", "0x10", "--out", Out("x.png")}, 2},
        {{kName, "--size", "10", "--out", Out("x.png")}, 2},
        {{kName, "--size", "99999x10", "--out", Out("x.png")}, 2},
        {{kName, "--size", "ax10", "--out", Out("x.png")}, 2},
        {{kName, "--size", "+10x10", "--out", Out("x.png")}, 2},
        {{kName, "--theorie", "--theorie-dagen", "-1", "--out", Out("x.png")}, 2},
        {{kName, "--theorie", "--theorie-dagen", "1,5", "--out", Out("x.png")}, 2},
        {{kName, "--theorie", "--theorie-dagen", "--out", Out("x.png")}, 2},
        {{kName, "--theorie-dagen", "3", "--out", Out("x.png")}, 2},
        {{kName, "--kleur", "--out", Out("x.png")}, 2},
        {{kName, kName, "--out", Out("x.png")}, 2},
        {{"..", "--out", Out("x.png")}, 2},
        {{"Missing_AEX_1303_00460.00_00500.00.csv", "--out", Out("x.png")}, 1},
        {{kName, "--out", (dir_.path() / "no" / "folder.png").string()}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(RunChartCommand(c.args), c.rc);
    }
    EXPECT_FALSE(FileExists(Out("x.png")));
}

// --iv: its table, its chart, and a clear no for a file that is no combination's history.
TEST_F(ChartCommandTest, IvCommandExitCodes) {
    test::WriteAll(std::filesystem::path(folder_) / "passwd", "root:x:0:0:root:/root\n");
    test::WriteAll(std::filesystem::path(folder_) / "kopie.csv", History());
    struct Case {
        std::vector<std::string> args;
        int rc;
    } cases[] = {
        {{kName}, 0},
        {{kName, "--csv"}, 0},
        {{kName, "--chart", "--out", Out("iv.png"), "--size", "400x300"}, 0},
        {{"passwd"}, 2},
        {{"kopie.csv"}, 2},
        {{kName, "--chart"}, 2},
        {{kName, "--out", Out("x.png")}, 2},
        {{kName, "--chart", "--csv", "--out", Out("x.png")}, 2},
        {{"Strangle_AEX_2612_00900.00_00990.00.csv"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        EXPECT_EQ(RunIvCommand(c.args), c.rc);
    }
    EXPECT_EQ(QImage(QString::fromStdString(Out("iv.png"))).size(), QSize(400, 300));
    EXPECT_FALSE(FileExists(Out("x.png")));
}

// --scenario: a grid for every sound history, exit 1 with the reason where there is none.
TEST_F(ChartCommandTest, ScenarioCommandExitCodes) {
    const std::filesystem::path data(folder_);
    test::WriteAll(data / "passwd", "root:x:0:0:root:/root\n");
    test::WriteAll(data / "Strangle_AEX_2611_00900.00_00950.00.csv", History());  // expired
    const std::string head = "Datum; Put; Call; Som; AEX\r\n";
    test::WriteAll(data / "Strangle_AEX_2703_00900.00_00950.00.csv",
                   head + "04-12-2026 17:35:00; 08,70; 08,85; 17,55; 931,12\r\n");  // one row
    test::WriteAll(data / "Single_AEX_2703_00900.00_00Geen.csv",
                   head + "04-12-2026 17:35:00; 08,70; 0,00; 8,70; 931,12\r\n");
    test::WriteAll(data / "Strangle_AEX_2706_00900.00_00950.00.csv",
                   head + "04-12-2026 17:35:00; 08,70; 08,85; 17,55; \r\n");  // no index level
    struct Case {
        std::vector<std::string> args;
        int rc;
    } cases[] = {
        {{kName}, 0},
        {{kName, "--csv", "--iv-shift", "-5"}, 0},
        {{kName, "--iv-shift", "+5", "--out", Out("s.png"), "--size", "500x300"}, 0},
        {{"Strangle_AEX_2703_00900.00_00950.00.csv", "--csv"}, 0},
        {{"Single_AEX_2703_00900.00_00Geen.csv", "--csv"}, 0},
        {{"Strangle_AEX_2611_00900.00_00950.00.csv"}, 1},
        {{"Strangle_AEX_2706_00900.00_00950.00.csv"}, 1},
        {{"Strangle_AEX_2612_00900.00_00990.00.csv"}, 1},
        {{"passwd"}, 2},
        {{kName, "--iv-shift", "3"}, 2},
        {{kName, "--iv-shift"}, 2},
        {{kName, "--size", "500x300"}, 2},
        {{kName, "--out", Out("x.png"), "--size", "0x9"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        EXPECT_EQ(RunScenarioCommand(c.args), c.rc);
    }
    EXPECT_EQ(QImage(QString::fromStdString(Out("s.png"))).size(), QSize(500, 300));
    EXPECT_FALSE(FileExists(Out("x.png")));
}

TEST_F(ChartCommandTest, FileOutsideTheNameRuleStillDraws) {
    test::WriteAll(std::filesystem::path(folder_) / "rommel.csv", "\x01\x02;;;\r\n99-99-9999 x");
    EXPECT_EQ(RunChartCommand({"rommel.csv", "--grafiek", "--apart", "--out", Out("r.png")}), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(Out("r.png"))).isNull());
}

}  // namespace
}  // namespace rendaal
