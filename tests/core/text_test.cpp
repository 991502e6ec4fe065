#include "core/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace rendaal {
namespace {

struct CutCase {
    const char* name;
    char c;
    std::string text;
    std::string beforeFirst, afterFirst, beforeLast, afterLast;
};

TEST(TextCut, DelimiterPositions) {
    const CutCase cases[] = {
        {"absent", ';', "no delimiter", "", "", "", ""},
        {"empty", ';', "", "", "", "", ""},
        {"first", ';', ";abc", "", "abc", "", "abc"},
        {"last", ';', "abc;", "abc", "", "abc", ""},
        {"middle", ';', "ab;cd;ef", "ab", "cd;ef", "ab;cd", "ef"},
        {"file name", '_', "Strangle_AEX_1306_00350.00", "Strangle", "AEX_1306_00350.00",
         "Strangle_AEX_1306", "00350.00"},
        {"trailing", '_', "a_b_", "a", "b_", "a_b", ""},
        {"double", '_', "a__b", "a", "_b", "a_", "b"},
        {"leading", '_', "_b", "", "b", "", "b"},
        {"only", '_', "_", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BeforeFirst(c.c, c.text), c.beforeFirst);
        EXPECT_EQ(AfterFirst(c.c, c.text), c.afterFirst);
        EXPECT_EQ(BeforeLast(c.c, c.text), c.beforeLast);
        EXPECT_EQ(AfterLast(c.c, c.text), c.afterLast);
    }
}

TEST(TextCut, LongTextsBeyondTheOldLimitsAreCutCorrectly) {
    // The old 16-bit and 8-bit position limits must not wrap around.
    const std::string longText = std::string(70000, 'x') + ";" + std::string(300, 'y') + "_z";
    EXPECT_EQ(BeforeFirst(';', longText).size(), 70000u);
    EXPECT_EQ(AfterFirst(';', longText).size(), 302u);
    EXPECT_EQ(AfterLast('_', longText), "z");
    EXPECT_EQ(BeforeLast('_', longText).size(), 70301u);
}

struct NumberCase {
    const char* text;
    double value;
};

TEST(ParseNumber, Table) {
    const NumberCase cases[] = {
        {"350,00", 350.0},   {"1,5", 1.5},      {" 12 ", 12.0},     {"-,5", -0.5},
        {"", 0.0},           {"   ", 0.0},      {"12a", 0.0},       {"5%", 0.0},
        {"00350.00", 350.0}, {"00Geen", 0.0},   {"1.234", 1.234},   {"+5", 0.0},
        {"1e3", 0.0},        {"1,2,3", 0.0},    {",5", 0.5},        {"5,", 5.0},
        {"-", 0.0},          {" 20,75", 20.75}, {"100,01", 100.01}, {"0.0", 0.0},
        {"1.2.3", 0.0},      {"5-", 0.0},       {"--5", 0.0},       {"12\t", 0.0},
        {"05,20", 5.2},      {"00.0", 0.0},     {"-12,5", -12.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.value);
    }
}

// Prices are compared and summed: a shortcut that rounds one of them differently is a fault.
TEST(ParseNumber, ExactlyAsTheCorrectlyRoundedReading) {
    for (const char* text :
         {"0,1", "20,35", "-0,3", "912,37", "0,000000000000001", "12345678,9012345",
          "1234567890123456,7", "99999999999999,99", "00000000000000000,3"}) {
        std::string point = text;
        std::replace(point.begin(), point.end(), ',', '.');
        EXPECT_EQ(ParseNumber(text), std::strtod(point.c_str(), nullptr)) << text;
    }
    for (int i = 0; i < 200000; i += 7) {
        const std::string t = std::to_string(i / 100) + "," + TwoDigits(i % 100);
        ASSERT_EQ(
            ParseNumber(t),
            std::strtod((std::to_string(i / 100) + "." + TwoDigits(i % 100)).c_str(), nullptr))
            << t;
    }
}

TEST(ParseIndexLevel, OnlyLevelsTheAexCanHave) {
    const std::pair<const char*, double> levels[] = {
        {" 405,10", 405.1}, {"512.34", 512.34},      {"1", 1},
        {"100000", 100000}, {"99999,99 ", 99999.99},
    };
    for (const auto& [text, value] : levels) {
        ASSERT_TRUE(ParseIndexLevel(text).has_value()) << text;
        EXPECT_DOUBLE_EQ(*ParseIndexLevel(text), value) << text;
    }
    for (const char* text :
         {"9e15", "-1", "NaN", "9000000000000000,00", "911;37", "0,99", "100000,01", "", " ", ",5",
          "1,2,3", "1.234,56", "12\t", "inf", "\xff", "00000000000000001"}) {
        EXPECT_FALSE(ParseIndexLevel(text).has_value()) << text;
    }
}

TEST(ParseNumber, HugeAndBinaryTextsGiveZeroNotACrash) {
    EXPECT_EQ(ParseNumber(std::string(100000, '9') + ".5"), 0.0);
    EXPECT_EQ(ParseNumber(std::string("1\0"
                                      "2",
                                      3)),
              0.0);
    EXPECT_EQ(ParseNumber("\xff\xfe"), 0.0);
}

TEST(ParseInteger, OnlyAWholeDecimalIntegerIsOne) {
    const struct {
        std::string text;
        std::optional<int64_t> value;
    } cases[] = {
        {"0", 0},
        {"-8", -8},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"5x", std::nullopt},
        {"0x1A", std::nullopt},
        {"1,5", std::nullopt},
        {std::string("5\0", 2), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

struct FormatCase {
    double value;
    int width;
    int decimals;
    const char* expected;
};

TEST(FormatNumber, Table) {
    const FormatCase cases[] = {
        {3.456, 6, 2, "  3,46"},      {840.0, 2, 0, "840"},
        {45.0, 2, 0, "45"},           {0.0, 2, 0, " 0"},
        {-5.0, 2, 0, "-5"},           {5.357142, 2, 2, "5,36"},
        {5.2, 4, 2, "5,20"},          {123.456, 4, 2, "123,46"},
        {20.75, 6, 2, " 20,75"},      {123.46, 6, 2, "123,46"},
        {400.0, 5, 2, "400,00"},      {5.0, 5, 2, " 5,00"},
        {1e20, 0, 2, "100000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FormatNumber(c.value, c.width, c.decimals), c.expected);
    }
}

TEST(FormatNumber, ArgumentsOutsideTheirRangeAreClampedNotTrusted) {
    EXPECT_EQ(FormatNumber(1.0, 100000, 0).size(), 12u);
    EXPECT_EQ(FormatNumber(1.0, -3, 0), "1");
    EXPECT_EQ(FormatNumber(1.0, 0, 100000).size(), 12u);
    EXPECT_EQ(FormatNumber(1.5, 0, 1, '.'), "1.5");
    EXPECT_FALSE(FormatNumber(std::nan(""), 6, 2).empty());
}

TEST(SmallTexts, PadTwoDigitsRemoveKeep) {
    EXPECT_EQ(PadLeft(5, 2), " 5");
    EXPECT_EQ(PadLeft(150, 2), "150");
    EXPECT_EQ(PadLeft(-5, 4), "  -5");
    EXPECT_EQ(TwoDigits(0), "00");
    EXPECT_EQ(TwoDigits(7), "07");
    EXPECT_EQ(TwoDigits(12), "12");
    EXPECT_EQ(TwoDigits(100), "10");
    EXPECT_EQ(RemoveSpaces(" a b\tc "), "ab\tc");
    EXPECT_EQ(RemoveDigits("setup110a"), "setupa");
    EXPECT_EQ(KeepNumberChars("versie 1.10a"), "1.10");
    EXPECT_EQ(KeepNumberChars(std::string(100, '1')).size(), 79u);
    EXPECT_EQ(RemoveDigits(std::string(100, 'a')).size(), 79u);
}

TEST(EnsureFolder, CreatesParentsAndEntersTheFolder) {
    test::TempDir tmp;
    const auto before = std::filesystem::current_path();
    const std::string target = tmp.folder() + "a/b/c/";
    EXPECT_TRUE(EnsureFolder(target));
    EXPECT_EQ(std::filesystem::current_path().string() + "/", target);
    // Without the trailing separator the comparison fails, as the callers expect.
    EXPECT_FALSE(EnsureFolder(tmp.folder() + "a/b"));
    std::filesystem::current_path(before);
}

TEST(EnsureFolder, FailureLeavesTheCurrentDirectory) {
    test::TempDir tmp;
    const auto before = std::filesystem::current_path();
    test::WriteAll(tmp.path() / "file", "x");
    EXPECT_FALSE(EnsureFolder(tmp.folder() + "file/sub/"));
    EXPECT_FALSE(EnsureFolder(""));
    EXPECT_EQ(std::filesystem::current_path(), before);
}

}  // namespace
}  // namespace rendaal
