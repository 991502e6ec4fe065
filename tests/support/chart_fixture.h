#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/clock.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "support/test_support.h"

// The chart tests of the window's rendering and of the companion's --chart draw the same history.
namespace rendaal::test {

inline const std::string kName = "Strangle_AEX_2612_00900.00_00950.00.csv";
inline const DateTime kNow{2026, 12, 7, 18, 0, 0};

inline std::string History() {
    std::string text = "Datum; Put; Call; Som; AEX\r\n";
    const char* rows[] = {
        "02-11-2026 17:35:00; 14,10; 12,20; 26,30; 921,40",
        "03-11-2026 17:35:00; 13,80; 12,90; 26,70; 925,02",
        "04-11-2026 17:35:00; 15,20; 11,05; 26,25; 915,77",
        "13-11-2026 17:35:00; 12,35; 10,40; 22,75; 924,10",
        "20-11-2026 17:35:00; 11,00; 12,15; 23,15; 934,56",
        "27-11-2026 17:35:00; 09,80; 09,30; 19,10; 928,00",
        "04-12-2026 17:35:00; 08,70; 08,85; 17,55; 931,12",
    };
    for (const char* r : rows) {
        text += std::string(r) + "\r\n";
    }
    return text;
}

// A data folder of its own, the history in it and a fixed clock.
class ChartCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppClock(&clock_);
        folder_ = DataFolderFor("Rendaal");
        test::WriteAll(std::filesystem::path(folder_) / kName, History());
    }
    void TearDown() override { SetAppClock(nullptr); }

    ChartRequest Request(bool blocks, bool separate, int w, int h) const {
        ChartRequest r;
        r.blocks = blocks;
        r.separate = separate;
        r.folder = folder_;
        r.fileName = kName;
        r.width = w;
        r.height = h;
        r.today = kNow.date();
        return r;
    }

    std::string Out(const char* name) const { return (dir_.path() / name).string(); }

    TempDir dir_;
    ScopedEnv data_{"XDG_DATA_HOME", dir_.path().string()};
    FixedClock clock_{kNow};
    std::string folder_;
};

}  // namespace rendaal::test
