#include "analytics/overview_cache.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <filesystem>
#include <functional>
#include <string>

#include "analytics/report.h"
#include "core/combination.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteAll;

const std::string kStrangle =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
const std::string kSingle =
    "AEX 2703 00880.00 00Geen; Put: mrt 2027 880.00; Call: mrt 2027 Geen; Single";
const std::string kHeader = "Datum; Put; Call; Som; AEX\r\n";
const std::string kThursday = "03-12-2026 17:35:00; 10,00; 12,00; 22,00; 910,00\r\n";
const std::string kFriday = "04-12-2026 17:35:00; 11,00; 12,00; 23,00; 905,00\r\n";
// Same length as kFriday, other prices.
const std::string kFridayOther = "04-12-2026 17:35:00; 19,00; 12,00; 31,00; 905,00\r\n";
constexpr DateTime kTuesday{2026, 12, 8, 12, 0, 0, 0};

void SetMtime(const fs::path& path, long seconds) {
    const timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

// A second scan must see every change a download, a hand correction or a spreadsheet's save
// can make, and read nothing when there is none.
TEST(OverviewCache, RereadsOnlyChangedFilesAndAgreesWithAFreshRead) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& file)> change;
        int64_t reads;  // by the second scan
    } cases[] = {
        {"unchanged", [](const fs::path&) {}, 0},
        {"a day appended",
         [](const fs::path& f) { WriteAll(f, kHeader + kThursday + kFriday + kFriday); }, 1},
        // A correction that keeps the length: only the time tells.
        {"same size, new time",
         [](const fs::path& f) {
             WriteAll(f, kHeader + kThursday + kFridayOther);
             SetMtime(f, 2000000000);
         },
         1},
        // Saved beside and renamed over it at the same second with the same size.
        {"replaced, same size and time",
         [](const fs::path& f) {
             const fs::path beside = f.string() + ".tmp";
             WriteAll(beside, kHeader + kThursday + kFridayOther);
             SetMtime(beside, 1700000000);
             fs::rename(beside, f);
         },
         1},
        {"removed", [](const fs::path& f) { fs::remove(f); }, 0},
        {"a folder in its place",
         [](const fs::path& f) {
             fs::remove(f);
             fs::create_directory(f);
         },
         0},
        {"a FIFO in its place",
         [](const fs::path& f) {
             fs::remove(f);
             ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.path() / HistoryFileName(kStrangle);
        WriteAll(file, kHeader + kThursday + kFriday);
        SetMtime(file, 1700000000);
        WriteAll(dir.path() / HistoryFileName(kSingle), kHeader + kThursday);
        const std::vector<std::string> lines{kStrangle, kSingle};
        OverviewCache cache;
        ASSERT_TRUE(cache.Load(dir.folder(), lines, {}, kTuesday));
        ASSERT_EQ(cache.FilesRead(), 2);
        c.change(file);
        const auto rows = cache.Load(dir.folder(), lines, {}, kTuesday);
        ASSERT_TRUE(rows);
        EXPECT_EQ(cache.FilesRead(), 2 + c.reads);
        EXPECT_EQ(OverviewCsv(*rows), OverviewCsv(LoadOverview(dir.folder(), lines, {}, kTuesday)));
    }
}

TEST(OverviewCache, AStoppedScanKeepsWhatItKnew) {
    TempDir dir;
    WriteAll(dir.path() / HistoryFileName(kStrangle), kHeader + kThursday + kFriday);
    WriteAll(dir.path() / HistoryFileName(kSingle), kHeader + kThursday);
    const std::vector<std::string> lines{kStrangle, kSingle};
    OverviewCache cache;
    ASSERT_TRUE(cache.Load(dir.folder(), lines, {}, kTuesday));
    int asked = 0;
    EXPECT_FALSE(cache.Load(dir.folder(), lines, {}, kTuesday, [&] { return ++asked > 1; }));
    ASSERT_TRUE(cache.Load(dir.folder(), lines, {}, kTuesday));
    EXPECT_EQ(cache.FilesRead(), 2);
}

// Overzicht's chart asks for the same file at every move: it is read once until it or the
// rates change, and never when it is no regular file.
TEST(OverviewCache, VolatilityChartIsReadOncePerChange) {
    TempDir dir;
    const std::string name = HistoryFileName(kStrangle);
    WriteAll(dir.path() / name, kHeader + kThursday + kFriday);
    OverviewCache cache;
    ASSERT_EQ(cache.Iv(dir.folder(), name, {})->size(), 2u);
    ASSERT_EQ(cache.Iv(dir.folder(), name, {})->size(), 2u);
    EXPECT_EQ(cache.FilesRead(), 1);
    const auto other = cache.Iv(dir.folder(), name, {0.05, 0.0});
    EXPECT_EQ(cache.FilesRead(), 2);
    EXPECT_NE(other->back().ivPut, cache.Iv(dir.folder(), name, {})->back().ivPut);
    WriteAll(dir.path() / name, kHeader + kThursday);
    EXPECT_EQ(cache.Iv(dir.folder(), name, {})->size(), 1u);
    fs::remove(dir.path() / name);
    ASSERT_EQ(::mkfifo((dir.path() / name).c_str(), 0600), 0);
    EXPECT_FALSE(cache.Iv(dir.folder(), name, {}));
    EXPECT_FALSE(cache.Iv(dir.folder(), "../" + name, {}));
}

}  // namespace
}  // namespace rendaal
