#include "core/combination.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/text.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

struct NameCase {
    const char* line;
    const char* kind;
    const char* file;
};

TEST(Combination, KindAndHistoryFileName) {
    const NameCase cases[] = {
        {"AEX 1306 00350.00 00360.00; Put: jun 2013 350.00; Call: jun 2013 360.00; Strangle",
         "Strangle", "Strangle_AEX_1306_00350.00_00360.00.csv"},
        {"AEX 1306 00350.00 00350.00; Put: jun 2013 350.00; Call: jun 2013 350.00; Straddle",
         "Straddle", "Straddle_AEX_1306_00350.00_00350.00.csv"},
        {"AEX 1306 00Geen 00360.00; Put: jun 2013 Geen; Call: jun 2013 360.00; Single", "Single",
         "Single_AEX_1306_00Geen_00360.00.csv"},
        {"AX2 2701 00900.00 00Geen; whatever", "Single", "Single_AX2_2701_00900.00_00Geen.csv"},
        {"AEX 1306 00Geen 00Geen;", "Single", "Single_AEX_1306_00Geen_00Geen.csv"},
        // Text after the key is for the eye only; damaged or empty it changes nothing.
        {"AEX 1306 00350.00 00360.00;", "Strangle", "Strangle_AEX_1306_00350.00_00360.00.csv"},
        {"AEX 1306 00350.00 00360.00;\xff\x01garbage", "Strangle",
         "Strangle_AEX_1306_00350.00_00360.00.csv"},
        // Names stay as they always were, so that existing histories are found.
        {"AEX 2703 00920.00  00920.00;", "Strangle", "Strangle_AEX_2703_00920.00__00920.00.csv"},
        {"AEX 2703 00920,00 00920.00;", "Strangle", "Strangle_AEX_2703_00920,00_00920.00.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const KeyWords w = SplitKey(CombinationKey(c.line));
        EXPECT_STREQ(KindName(KindOf(w.put, w.call)), c.kind);
        EXPECT_EQ(HistoryFileName(c.line), c.file);
    }
}

std::string Text(const StrikeReading& r) {
    if (r.state == StrikeReading::State::None) {
        return "Geen";
    }
    return r.unreadable() ? "?" : FormatNumber(r.value, 1, 2, '.');
}

// The download, the charts (from the file name) and the overview read a line alike.
TEST(Combination, OneReadingOfKindAndStrikes) {
    const struct {
        const char* line;
        const char* kind;
        const char* put;
        const char* call;
    } rows[] = {
        {"AEX 2703 00880.00 00960.00; x", "Strangle", "880.00", "960.00"},
        {"AEX 2703 00920,00 00920.00; x", "Straddle", "920.00", "920.00"},
        {"AEX 2703 00920.00  00920.00; x", "Straddle", "920.00", "920.00"},
        {"AEX 2703 01000.00 01000,5 ; x", "Strangle", "1000.00", "1000.50"},
        {"AEX 2703 00920.00 00Geen; x", "Single", "920.00", "Geen"},
        {"AEX 2703 0092O.00 00960.00; x", "Strangle", "?", "960.00"},
        {"AEX 2703 00920.00 00960.00 extra; x", "Strangle", "920.00", "?"},
        {"AEX 2703 00920.00 -0960.00; x", "Strangle", "920.00", "?"},
        {"AEX 2703 00000.00 00,00; x", "Strangle", "?", "?"},
        {"AEX 2703 00920.00 00920_00; x", "Strangle", "920.00", "?"},
        {"AEX 2703 00920.00; x", "Strangle", "?", "?"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        for (const auto& t : {ReadTerms(r.line), ReadTermsOfFileName(HistoryFileName(r.line))}) {
            EXPECT_STREQ(KindName(t.kind), r.kind);
            EXPECT_EQ(Text(t.put), r.put);
            EXPECT_EQ(Text(t.call), r.call);
        }
    }
}

TEST(Combination, KeyWordsTakeTheRestAsCall) {
    const KeyWords w = SplitKey("AEX 1306 00350.00 00360.00 extra");
    EXPECT_EQ(w.series, "AEX");
    EXPECT_EQ(w.expiry, "1306");
    EXPECT_EQ(w.put, "00350.00");
    EXPECT_EQ(w.call, "00360.00 extra");
    EXPECT_EQ(CombinationKey("no semicolon at all"), "");
}

TEST(Combination, PlainFileNames) {
    EXPECT_TRUE(IsPlainFileName("Strangle_AEX_1306_00350.00_00360.00.csv"));
    EXPECT_FALSE(IsPlainFileName(""));
    EXPECT_FALSE(IsPlainFileName(".."));
    EXPECT_FALSE(IsPlainFileName("Strangle_../../x.csv"));
    EXPECT_FALSE(IsPlainFileName(std::string("a\0b", 3)));
    // A tab in a rules key split the tab-separated archive index in two.
    EXPECT_FALSE(IsPlainFileName(HistoryFileName("AEX 1306 00350.00\t 00360.00;")));
    EXPECT_FALSE(IsPlainFileName("a\rb.csv"));
    EXPECT_FALSE(
        IsPlainFileName("a\x7f"
                        "b.csv"));
    EXPECT_TRUE(IsPlainFileName("Single_AEX_1306_00350.00_00Geen \xE2\x82\xAC.csv"));
    // A key with a slash must not lead out of the data folder.
    EXPECT_FALSE(IsPlainFileName(HistoryFileName("AEX 1306 00../../../etc 00x;")));
}

TEST(Rules, LineEndsCommentsAndOrder) {
    const char* texts[] = {
        "b line;\r\na line;\r\n;comment\r\n\r\nC line;\r\n",
        "b line;\na line;\n;comment\n\nC line;",
        "b line;\ra line;\r;comment\r\rC line;\r",
        "\xEF\xBB\xBF"
        "b line;\na line;\n;comment\n\nC line;",  // an editor's save
        "b line;\n\xEF\xBB\xBF"
        "a line;\n\xEF\xBB\xBF;comment\n\xEF\xBB\xBF\nC line;",  // saves joined together
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const auto lines = ParseRules(text);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "a line;");
        EXPECT_EQ(lines[1], "b line;");
        EXPECT_EQ(lines[2], "C line;");
    }
}

TEST(Rules, BlanksAreKeptBinaryAndHugeLinesDoNotBreakLoading) {
    std::string text = "   \r\n";
    text += std::string(100000, 'x') + "\r\n";
    text += std::string("AEX\0 1306;\x80\xff", 12) + "\r\n";
    text += "no semicolon\r\n";
    const auto lines = ParseRules(text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "   ");
    EXPECT_EQ(lines[1], std::string("AEX\0 1306;\x80\xff", 12));
    EXPECT_EQ(lines[2], "no semicolon");
    EXPECT_EQ(lines[3].size(), 100000u);
}

TEST(Rules, SaveWritesCrLfAndLoadsBack) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Regels.dat";
    ASSERT_TRUE(SaveRules(path, {"AEX 1306 00350.00 00360.00; x"}));
    EXPECT_EQ(test::ReadAll(path), "AEX 1306 00350.00 00360.00; x\r\n");
    ASSERT_TRUE(SaveRules(path, {"a;", "B;"}));
    EXPECT_EQ(*LoadRules(path), (std::vector<std::string>{"a;", "B;"}));
}

TEST(Rules, SavingAnEmptyListEmptiesTheFile) {
    // Otherwise a deleted last combination comes back at the next start.
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Regels.dat";
    test::WriteAll(path, "old;\r\n");
    ASSERT_TRUE(SaveRules(path, {}));
    EXPECT_EQ(test::ReadAll(path), "");
    EXPECT_TRUE(LoadRules(path)->empty());
}

TEST(Rules, UnwritableFolderKeepsThePreviousFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root ignores folder permissions";
    }
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Regels.dat";
    test::WriteAll(path, "old;\r\n");
    ::chmod(tmp.path().c_str(), 0555);
    EXPECT_FALSE(SaveRules(path, {"new;"}));
    ::chmod(tmp.path().c_str(), 0755);
    EXPECT_EQ(test::ReadAll(path), "old;\r\n");
}

TEST(Rules, UnreadableFileIsNoList) {
    test::TempDir tmp;
    EXPECT_FALSE(LoadRules(tmp.folder() + "missing.dat").has_value());
    EXPECT_FALSE(LoadRules(tmp.folder()).has_value());  // a folder, not a file
}

TEST(Rules, SortedInsertIgnoresCaseAndGoesAfterEqualLines) {
    std::vector<std::string> sorted = {"AEX a", "aex b", "AX1 c"};
    EXPECT_EQ(SortedInsertPosition(sorted, "aex a"), 1u);
    EXPECT_EQ(SortedInsertPosition(sorted, "AEX B"), 2u);
    EXPECT_EQ(SortedInsertPosition(sorted, "ax2"), 3u);
    EXPECT_EQ(SortedInsertPosition(sorted, ""), 0u);
    EXPECT_TRUE(RulesLess("abc", "ABD"));
    EXPECT_FALSE(RulesLess("ABC", "abc"));
}

}  // namespace
}  // namespace rendaal
