#include "mainwindow/overview_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/combination.h"
#include "support/test_support.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

const std::string kStrangle =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
const std::string kSingle =
    "AEX 2703 00880.00 00Geen; Put: mrt 2027 880.00; Call: mrt 2027 Geen; Single";
constexpr DateTime kTuesday{2026, 12, 8, 12, 0, 0, 0};

// Requests follow each other faster than the files are read: only the newest may answer, or
// marks of the old list would land on the new one.
TEST(OverviewWorker, OnlyTheNewestRequestAnswersAndQuittingDoesNotHang) {
    test::TempDir dir;
    test::WriteAll(dir.path() / HistoryFileName(kStrangle),
                   "Datum; Put; Call; Som; AEX\r\n"
                   "04-12-2026 17:35:00; 11,00; 12,00; 23,00; 905,00\r\n");
    int answers = 0;
    {
        TOverviewWorker worker;
        QObject::connect(&worker, &TOverviewWorker::Ready, [&] { ++answers; });
        worker.Request(dir.folder(), {kSingle, kStrangle}, {}, kTuesday);
        worker.Request(dir.folder(), {kStrangle}, {}, kTuesday);
        ASSERT_TRUE(test::WaitFor([&] { return answers > 0; }));
        EXPECT_EQ(answers, 1);
        EXPECT_EQ(worker.Lines(), std::vector<std::string>{kStrangle});
        ASSERT_EQ(worker.Rows().size(), 1u);
        EXPECT_EQ(worker.Rows()[0].lastDate, (Date{2026, 12, 4}));

        // Gone while a long request is still being read.
        worker.Request(dir.folder(), std::vector<std::string>(20000, kStrangle), {}, kTuesday);
    }
    EXPECT_EQ(answers, 1);
}

}  // namespace
}  // namespace rendaal
