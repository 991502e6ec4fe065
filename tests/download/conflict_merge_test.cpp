#include "download/conflict_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "download/history.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;
constexpr const char* kName = "Strangle_AEX_2703_00880.00_00960.00";

std::string Row(int day, const char* put = "05,20") {
    return (day < 10 ? "0" : "") + std::to_string(day) + "-12-2026 17:35:00; " + put +
           "; 03,10; 08,30; 880,50\r\n";
}

std::string History(std::initializer_list<int> days) {
    std::string text = "Datum; Put; Call; Som; AEX\r\n";
    for (const int d : days) {
        text += Row(d);
    }
    return text;
}

std::string Utf16(const std::string& text) {
    std::string wide = "\xFF\xFE";
    for (const char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

std::set<int> DaysIn(const std::string& text) {
    std::set<int> days;
    for (const int64_t n : HistoryDays(text)) {
        days.insert(FromDayNumber(n).day);
    }
    return days;
}

TEST(ConflictMerge, CopiesOfAHistoryComeInByTheBackupRule) {
    const std::string csv = std::string(kName) + ".csv";
    const std::string sync = std::string(kName) + ".sync-conflict-20261207-120000-ABCDEFG.csv";
    const std::string nextBak = std::string(kName) + " (conflicted copy 2026-12-07 120000).bak";
    const std::string dropbox = std::string(kName) + " (Laptop's conflicted copy 2026-12-07).csv";
    const struct {
        const char* name;
        std::map<std::string, std::string> copies;  // beside the history of 1, 2 and 3 December
        std::set<int> days;                         // the history's days afterwards
        std::set<std::string> trashed;
        std::vector<const char*> says;
        bool trashRefuses = false;
        std::string history = History({1, 2, 3});
        std::string holds = "";  // a line the history holds afterwards
    } cases[] = {
        {"syncthing copy with a new date",
         {{sync, History({1, 2, 4})}},
         {1, 2, 3, 4},
         {sync},
         {"bracht 1 datum (04-12-2026) en staat nu in de prullenbak."}},
        {"copy of the backup",
         {{nextBak, History({5})}},
         {1, 2, 3, 5},
         {nextBak},
         {"bracht 1 datum (05-12-2026)"}},
        {"two copies with different dates",
         {{sync, History({4})}, {dropbox, History({7, 8})}},
         {1, 2, 3, 4, 7, 8},
         {sync, dropbox},
         {"bracht 1 datum (04-12-2026)", "bracht 2 datums (07-12-2026, 08-12-2026)"}},
        {"UTF-16 save", {{sync, Utf16(History({4}))}}, {1, 2, 3, 4}, {sync}, {"bracht 1 datum"}},
        {"the history's own row wins",
         {{sync, History({1}) + Row(2, "09,99")}},
         {1, 2, 3},
         {sync},
         {"bracht geen nieuwe datum en staat nu in de prullenbak."}},
        {"damaged line of a new date: the date's only line",
         {{sync, History({4}) + "06-12-2026 17:35:00; 05,2\r\n"}},
         {1, 2, 3, 4, 6},
         {sync},
         {"bracht 2 datums (04-12-2026, 06-12-2026) en staat nu in de prullenbak."}},
        {"damaged line of a date the history holds, a line without a date",
         {{sync, History({4}) + "02-12-2026 17:35:00; 05,2\r\nzomaar wat\r\n"}},
         {1, 2, 3, 4},
         {sync},
         {"2 onleesbare regels", ".bak.onleesbaar", "bracht 1 datum (04-12-2026) en staat nu"}},
        {"the history's damaged line takes the copy's row",
         {{sync, History({1, 2, 3})}},
         {1, 2, 3},
         {sync},
         {"bracht geen nieuwe datum en staat nu"},
         false,
         History({1, 3}) + "02-12-2026 17:35:00; 05,2\r\n",
         Row(2)},
        {"a date after the run's day",
         {{sync, History({4}) + Row(31).replace(6, 4, "2099")}},
         {1, 2, 3, 4},
         {},
         {"en blijft staan: 1 datum ervan staat niet in het koersbestand."}},
        {"unreadable copy",
         {{sync, std::string("\x00\x01\xfe\xff", 4)}},
         {1, 2, 3},
         {},
         {"is onleesbaar en blijft staan."}},
        {"trash refuses",
         {{sync, History({4})}},
         {1, 2, 3, 4},
         {},
         {"en blijft staan: de prullenbak nam haar niet aan (vol)."},
         true},
        {"copy of no history here",
         {{"Strangle_AEX_2712_00900.00_00950.00.sync-conflict-20261207-120000-ABCDEFG.csv",
           History({4})}},
         {1, 2, 3},
         {},
         {}},
        {"alert state dropped, rules file left for the user",
         {{"Signalen.sync-conflict-20261207-120000-ABCDEFG.dat", "x"},
          {"Regels (Laptop's conflicted copy 2026-12-07).dat", "x"}},
         {1, 2, 3},
         {"Signalen.sync-conflict-20261207-120000-ABCDEFG.dat"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteAll(dir.path() / csv, c.history);
        for (const auto& [name, text] : c.copies) {
            test::WriteAll(dir.path() / name, text);
        }
        std::set<std::string> trashed;
        const auto result = MergeConflictCopies(dir.folder(), {2026, 12, 8, 18, 0, 0, 0},
                                                [&](const std::string& p, std::string* why) {
                                                    if (c.trashRefuses) {
                                                        *why = "vol";
                                                        return false;
                                                    }
                                                    trashed.insert(fs::path(p).filename().string());
                                                    return fs::remove(p);
                                                });
        EXPECT_EQ(DaysIn(test::ReadAll(dir.path() / csv)), c.days);
        EXPECT_NE(test::ReadAll(dir.path() / csv).find(c.holds), std::string::npos);
        EXPECT_EQ(trashed, c.trashed);
        std::string notes;
        for (const auto& note : result.notes) {
            notes += note + "\n";
        }
        // One note for each copy of this history, none for the others.
        EXPECT_EQ(result.notes.size(),
                  std::count_if(c.copies.begin(), c.copies.end(),
                                [](auto& f) { return f.first.starts_with(kName); }))
            << notes;
        for (const char* said : c.says) {
            EXPECT_NE(notes.find(said), std::string::npos) << notes;
        }
        for (const auto& [name, text] : c.copies) {
            // What stays is untouched; no copy of a history goes without all its dates held.
            EXPECT_EQ(fs::exists(dir.path() / name), !trashed.contains(name)) << name;
        }
    }
}

TEST(ConflictMerge, SymlinkedCopyAndRulesCopiesAreOnlyNamed) {
    test::TempDir dir;
    const std::string csv = std::string(kName) + ".csv";
    test::WriteAll(dir.path() / csv, History({1}));
    test::WriteAll(dir.path() / "elsewhere.csv", History({9}));
    fs::create_symlink(dir.path() / "elsewhere.csv",
                       dir.path() / (std::string(kName) + "_conflict-20261207-120000.csv"));
    // The other machine deleted one combination and added another.
    const std::string a = "AEX 2703 00880.00 00960.00; Strangle";
    const std::string b = "AEX 2712 00860.00 00Geen; Single";
    const std::string c = "AEX 2706 00900.00 00900.00; Straddle";
    test::WriteAll(dir.path() / "Regels.dat", a + "\r\n" + b + "\r\n");
    test::WriteAll(dir.path() / "Regels.sync-conflict-20261207-120000-ABCDEFG.dat",
                   "\xEF\xBB\xBF" + a + "\n\n" + c + "\n");
    const auto result = MergeConflictCopies(dir.folder(), {2026, 12, 8, 18, 0, 0, 0},
                                            [](const std::string&, std::string*) { return false; });
    EXPECT_TRUE(result.notes.empty());
    EXPECT_EQ(result.rulesCopies,
              std::vector<std::string>{"Regels.sync-conflict-20261207-120000-ABCDEFG.dat"});
    EXPECT_EQ(DaysIn(test::ReadAll(dir.path() / csv)), std::set<int>{1});
    test::WriteAll(dir.path() / "Rendaal.reg", "x");
    test::WriteAll(dir.path() / "Rendaal (conflicted copy 2026-12-07 120000).reg", "y");
    fs::create_symlink(dir.path() / "Rendaal.reg",
                       dir.path() / "Rendaal.sync-conflict-20261207-120000-ABCDEFG.reg");
    EXPECT_EQ(ConflictCopiesOf(dir.folder(), "Rendaal.reg"),
              std::vector<std::string>{"Rendaal (conflicted copy 2026-12-07 120000).reg"});
    const RulesConflict conflict = CompareRulesCopy(dir.folder(), result.rulesCopies[0]);
    EXPECT_EQ(conflict.onlyInCopy, std::vector<std::string>{c});
    EXPECT_EQ(conflict.onlyInRules, std::vector<std::string>{b});
    EXPECT_EQ(RulesConflictNote("/d/", conflict),
              "Conflictkopie /d/Regels.sync-conflict-20261207-120000-ABCDEFG.dat van Regels.dat "
              "verschilt: alleen in de kopie \"" +
                  c + "\"; alleen in Regels.dat \"" + b +
                  "\"; er is niets overgenomen; het venster van Rendaal vraagt wat "
                  "ermee moet.");
}

}  // namespace
}  // namespace rendaal
