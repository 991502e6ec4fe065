#include "core/history_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/text.h"

namespace rendaal {
namespace {

const std::string kRowA = "05-12-2026 17:35:00; 12,00; 08,00; 20,00; 910,00";
const std::string kRowB = "06-12-2026 17:35:00; 12,35; 08,40; 20,75; 912,34";

std::string Utf16Le(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// One letter per line read: R a row, D a damaged dated line, U a line without a real date.
std::string Kinds(const HistoryText& h) {
    std::string kinds;
    for (const auto& line : h.lines) {
        kinds += line.IsRow() ? 'R' : line.damaged ? 'D' : 'U';
    }
    return kinds;
}

TEST(ReadHistoryText, WhatEditorsSpreadsheetsAndDisksLeave) {
    struct Case {
        const char* name;
        std::string bytes;
        bool readable;
        bool header;
        const char* kinds;
    };
    const std::string h = "Datum; Put; Call; Som; AEX";
    const Case cases[] = {
        {"as written", h + "\r\n" + kRowA + "\r\n" + kRowB + "\r\n", true, true, "RR"},
        {"UTF-8 BOM, LF", "\xEF\xBB\xBF" + h + "\n" + kRowA + "\n" + kRowB + "\n", true, true,
         "RR"},
        {"UTF-16LE BOM", Utf16Le(h + "\r\n" + kRowA + "\r\n"), true, true, "R"},
        {"CR ends, blank lines", h + "\r\r" + kRowA + "\r\n\r\n\n" + kRowB, true, true, "RR"},
        {"header case and spacing", "datum;put ; CALL;som;  aex;\n" + kRowA, true, true, "R"},
        {"tabs, trailing ';' and blanks",
         h + "\n06-12-2026\t17:35:00;\t12,35;08,40; 20,75 ;912,34;\t\n", true, true, "R"},
        {"spreadsheet: points, no seconds, 6-1-2027", h + "\n6-1-2027 9:05;12.35;8.4;20.75;\n",
         true, true, "R"},
        {"index column empty", h + "\n06-12-2026 17:35:00; 12,35; 08,40; 20,75; \n", true, true,
         "R"},
        {"a block of NUL bytes", h + "\n" + kRowA + "\n" + std::string(40, '\0') + "\n" + kRowB,
         true, true, "RR"},
        {"a NUL inside a price",
         h + "\n" + kRowA + "\n" + std::string("06-12-2026; 12,\0005; 8; 20; ", 26), true, true,
         "RD"},
        {"cut last line", h + "\n" + kRowA + "\n" + kRowB.substr(0, 25), true, true, "RD"},
        {"impossible date, two-digit year",
         h + "\n31-02-2026 17:35:00; 1; 1; 2; 3\n02-12-26 17:35:00; 1; 1; 2; 3\n" + kRowA, true,
         true, "UUR"},
        {"bad time, sixth field, no number",
         h + "\n06-12-2026 25:00; 1; 1; 2;\n06-12-2026; 1; 1; 2; 3; x\n06-12-2026; 1.234,5; 1; "
             "2; 3\n06-12-2026; 1; 1; 2; abc\n",
         true, true, "DDDD"},
        {"numbers no figure can use: a Som of 400 digits, 1e-301, an index of 1e20",
         h + "\n" + kRowA + "\n06-12-2026; 12,35; 08,40; " + std::string(400, '9') +
             "; 912\n07-12-2026; 0," + std::string(300, '0') +
             "1; 1; 2; 912\n08-12-2026; 1; 1; 2; " + std::string(20, '9') +
             "\n09-12-2026; 1; 1; 2; 0,0001\n",
         true, true, "RDDDD"},
        {"Calc: quoted fields",
         "\"Datum\";\"Put\";\"Call\";\"Som\";\"AEX\"\n\"05-12-2026 17:35\";\"12,00\";8;20;910\n",
         true, true, "R"},
        {"',' between fields, '.' decimals, ISO dates",
         "Datum,Put,Call,Som,AEX\n2026-12-05 17:35:00,12.00,8,20,910\n\"2026-12-06\",1.5,1,2.5,\n",
         true, true, "RR"},
        {"dd/mm/yyyy", "05/12/2026 17:35;12,00;8;20;910\n13/12/2026 5:35:00 PM;1;1;2;\n", true,
         false, "RR"},
        {"a month-first '/' date makes every '/' date doubtful",
         "05/12/2026;12,00;8;20;910\n12/13/2026;1;1;2;\n", false, false, "UU"},
        {"Excel's Unicode text: UTF-16, tabs",
         Utf16Le("Datum\tPut\tCall\tSom\tAEX\r\n5-12-2026 17:35\t12,00\t8\t20\t910\r\n"), true,
         true, "R"},
        {"a euro sign in a cell, UTF-8 or Windows-1252",
         h + "\n05-12-2026 17:35:00; \xE2\x82\xAC 12,00; 08,00; 20,00 \x80; 910,00\n", true, true,
         "R"},
        {"damaged header, rows after it", "Datum; Pu\x01\r\n" + kRowA + "\r\n", true, false, "UR"},
        {"no header at all", kRowA + "\n", true, false, "R"},
        {"empty", "", true, false, ""},
        {"header only", h + "\r\n", true, true, ""},
        {"binary", std::string("\0\xff\xfe\x01garbage\0\n\x7f\x80", 14), false, false, "UU"},
        {"another format", "[Settings]\nWidth=800\n06-12-2026 was a Sunday\n", false, false, "UUD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryText read = ReadHistoryText(c.bytes);
        EXPECT_EQ(read.readable, c.readable);
        EXPECT_EQ(read.header, c.header);
        EXPECT_EQ(Kinds(read), c.kinds);
        // The dates-only reading, into memory a longer text used before, gives the same lines.
        HistoryDates dates;
        ReadHistoryDates(h + "\n" + kRowA + "\n" + kRowB + "\n" + kRowA, dates);
        ReadHistoryDates(c.bytes, dates);
        EXPECT_EQ(dates.readable, c.readable);
        EXPECT_EQ(dates.header, c.header);
        ASSERT_EQ(dates.lines.size(), read.lines.size());
        for (size_t i = 0; i < read.lines.size(); ++i) {
            EXPECT_EQ(dates.lines[i].text, read.lines[i].text);
            EXPECT_EQ(dates.lines[i].date, read.lines[i].date);
            EXPECT_EQ(ReadHistoryFields(dates.lines[i]).damaged, read.lines[i].damaged);
        }
    }
}

TEST(ReadHistoryText, FieldsAndValues) {
    const HistoryText read =
        ReadHistoryText("Datum; Put; Call; Som; AEX\r\n" + kRowB +
                        "\r\n07-12-2026 9:12:05; 05,20; 00.0; 05,20; \r\n08-12-2026; 1; 2");
    ASSERT_EQ(read.lines.size(), 3u);
    const HistoryTextLine& b = read.lines[0];
    EXPECT_EQ(b.text, kRowB);
    EXPECT_EQ(b.date, (Date{2026, 12, 6}));
    EXPECT_EQ(b.dateTime, "06-12-2026 17:35:00");
    EXPECT_EQ(b.put, "12,35");
    EXPECT_EQ(b.aex, "912,34");
    EXPECT_DOUBLE_EQ(*b.putValue, 12.35);
    EXPECT_DOUBLE_EQ(*b.callValue, 8.4);
    EXPECT_DOUBLE_EQ(*b.somValue, 20.75);
    EXPECT_DOUBLE_EQ(*b.aexValue, 912.34);
    const HistoryTextLine& single = read.lines[1];
    EXPECT_TRUE(single.IsRow());
    EXPECT_DOUBLE_EQ(*single.callValue, 0);
    EXPECT_FALSE(single.aexValue);
    const HistoryTextLine& cut = read.lines[2];
    EXPECT_TRUE(cut.damaged);
    EXPECT_FALSE(cut.ended);
    EXPECT_TRUE(read.lines[0].ended);
    EXPECT_EQ(read.RowCount(), 2u);
}

TEST(ReadHistoryText, ASpreadsheetsLineIsReadInTheProgramsForm) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"2026-12-05 17:35\",\"12.00\",8,20,910.5",
         "05-12-2026 17:35:00; 12,00; 08,00; 20,00; 910,5"},
        {"5/12/2026 9:05:00 AM\t12,00\t8\t20\t", "05-12-2026 9:05:00; 12,00; 08,00; 20,00; "},
        {"05-12-2026 12:00:00 AM;\"\xE2\x82\xAC 12,00\";8;20;910",
         "05-12-2026 0:00:00; 12,00; 08,00; 20,00; 910"},
        {kRowA, kRowA},
    };
    for (const auto& [line, own] : cases) {
        const HistoryText read = ReadHistoryText(line + "\r\n");
        ASSERT_EQ(read.lines.size(), 1u) << line;
        EXPECT_EQ(read.lines[0].text, own);
        EXPECT_TRUE(read.lines[0].IsRow()) << line;
        EXPECT_EQ(read.spreadsheet, line != kRowA) << line;
    }
}

TEST(ReadHistoryText, PricesReadAsParseNumberReadsThem) {
    for (const char* price : {"12,35", "00.0", "0,65", "-1,5", ",5", "5,", "-,5", "007", "0,001",
                              "999999,99", "00000000000000000012,350000000000000000000"}) {
        const HistoryText read = ReadHistoryText(std::string("06-12-2026; ") + price + "; 1; 2; 3");
        ASSERT_EQ(read.lines.size(), 1u);
        ASSERT_TRUE(read.lines[0].putValue) << price;
        EXPECT_DOUBLE_EQ(*read.lines[0].putValue, ParseNumber(price)) << price;
    }
}

TEST(ReadHistoryText, ViewsOutliveTheBytesAndSurviveCopiesAndMoves) {
    HistoryText kept;
    {
        // Short enough to sit inside a std::string object: a view into a moved string dangles.
        std::string bytes = "1-1-2027;1;1;2;\n";
        HistoryText read = ReadHistoryText(bytes);
        bytes.assign(bytes.size(), 'x');
        const HistoryText copy = read;
        kept = std::move(read);
        EXPECT_EQ(copy.lines.at(0).text, "1-1-2027;1;1;2;");
    }
    ASSERT_EQ(kept.lines.size(), 1u);
    EXPECT_EQ(kept.lines[0].put, "1");
    EXPECT_TRUE(kept.lines[0].IsRow());
}

TEST(ParseHistoryDate, OnlyRealDatesWithFourDigitYears) {
    const std::pair<const char*, std::optional<Date>> cases[] = {
        {"06-12-2026", Date{2026, 12, 6}}, {"6-1-2027", Date{2027, 1, 6}},
        {"29-02-2028", Date{2028, 2, 29}}, {"29-02-2027", std::nullopt},
        {"31-02-2026", std::nullopt},      {"02-12-26", std::nullopt},
        {"02-12-0000", std::nullopt},      {"06-12-20260", std::nullopt},
        {"006-12-2026", std::nullopt},     {"06-12-2026 ", std::nullopt},
        {"+6-12-2026", std::nullopt},      {"", std::nullopt},
    };
    for (const auto& [text, date] : cases) {
        EXPECT_EQ(ParseHistoryDate(text), date) << text;
    }
}

}  // namespace
}  // namespace rendaal
