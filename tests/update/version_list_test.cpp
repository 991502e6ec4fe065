#include "update/version_list.h"

#include <gtest/gtest.h>

#include <string>

namespace rendaal {
namespace {

constexpr char kVersion[] = "versie 1.10a";
const std::string kOther = "Parlith,setup1209a.exe,a,1800,-,padding to make the list long\r\n";

std::string List(const std::string& record) {
    return kOther + record + "\r\nTail,x,y,1,2\r\n";
}

TEST(OwnVersion, DigitsWithoutTheFirstDotAndTheLastLetter) {
    const OwnVersion v = ParseOwnVersion(kVersion);
    EXPECT_EQ(v.digits, "110");
    EXPECT_EQ(v.letter, 'a');
    EXPECT_EQ(ParseOwnVersion("versie 1.10").letter, 0);
    EXPECT_EQ(ParseOwnVersion("versie 110").digits, "");  // no "." at all
}

struct CompareCase {
    const char* name;
    std::string record;
    int code;
    const char* newest;
};

TEST(ReadVersionList, ComparesWithTheOwnVersion) {
    const CompareCase cases[] = {
        {"newer letter", "Rendaal,setup110b.exe,b,2500,x", kUpdateAdvised, "1.10b"},
        {"same version", "Rendaal,setup110a.exe,a,2500,x", kNoUpdateNeeded, "1.10a"},
        {"older digits", "Rendaal,setup109z.exe,z,2500,x", kNoUpdateNeeded, "1.09z"},
        {"compared as text", "Rendaal,setup99.exe,a,2500,x", kUpdateAdvised, "9.9a"},
        {"newer digits", "Rendaal,setup111.exe,,2500,x", kUpdateAdvised, "1.11"},
        {"empty field 1", "Rendaal,,b,2500,x", kNoUpdateNeeded, ".b"},
        {"name without dot", "Rendaal,setup111,b,2500,x", kNoUpdateNeeded, ".b"},
        {"extra fields", "Rendaal,setup110b.exe,b,2500,x,y,z", kUpdateAdvised, "1.10b"},
    };
    for (const CompareCase& c : cases) {
        const VersionCheck r = ReadVersionList(List(c.record), "Rendaal", kVersion);
        EXPECT_FALSE(r.damaged()) << c.name << ": " << DamagedListText(r, false);
        EXPECT_EQ(r.code, c.code) << c.name;
        EXPECT_EQ(r.newestText, c.newest) << c.name;
    }
}

TEST(ReadVersionList, KeepsTheRecordFields) {
    const std::string digest(64, 'A');
    const VersionCheck r =
        ReadVersionList(List("Rendaal,setup110b.exe,b, 2500 ," + digest), "Rendaal", kVersion);
    EXPECT_EQ(r.downloadName, "setup110b.exe");
    EXPECT_EQ(r.installerSizeKb, 2500);
    EXPECT_EQ(r.sha256, std::string(64, 'a'));
    // Field 4 is free text: anything but a digest leaves the installer unverifiable.
    EXPECT_EQ(ReadVersionList(List("Rendaal,s110b.exe,b,1,-"), "Rendaal", kVersion).sha256, "");
}

TEST(ReadVersionList, ParlithRuleComparesForInequality) {
    const std::string list = "Rendaal,setup110a.exe,a,2500,x\r\nParlith,setup1208a.exe,a,1,x\r\n";
    VersionCheck r = ReadVersionList(list, "Parlith", "versie 1.209a");
    EXPECT_EQ(r.code, kUpdateAdvised);  // older digits still differ
    EXPECT_EQ(r.newestText, "1.208a");
    r = ReadVersionList("Parlith,setup1209a.exe,a,1,x padding padding padding padding\r", "Parlith",
                        "versie 1.209a");
    EXPECT_EQ(r.code, kNoUpdateNeeded);
    EXPECT_EQ(r.newestText, "1.209a");
}

TEST(ReadVersionList, FirstOccurrenceStartsTheRecord) {
    // "Rendaal" first appears inside another record; the record runs from there.
    const std::string list =
        "Other,xRendaal,setup120.exe,b,100,x\r\nRendaal,setup110a.exe,a,2500,x\r\n";
    const VersionCheck r = ReadVersionList(list, "Rendaal", kVersion);
    EXPECT_EQ(r.downloadName, "setup120.exe");
    EXPECT_EQ(r.code, kUpdateAdvised);
}

struct BadCase {
    const char* name;
    std::string text;
    int code;  // when not damaged
    bool damaged;
};

TEST(ReadVersionList, BadListsGiveACodeOrAMessage) {
    const std::string record = "Rendaal,setup110b.exe,b,2500,x";
    const BadCase cases[] = {
        {"empty", "", kListTooSmall, false},
        {"49 characters", (record + std::string(49, ' ')).substr(0, 49), kListTooSmall, false},
        {"Default.htm", "Default.htm", kListTooSmall, false},
        {"name missing", std::string(200, 'x'), kNameNotFound, false},
        {"no carriage return after the record", kOther + record, kUpdateAdvised, false},
        {"line feeds only", "Rendaal,setup110b.exe,b,2500,x\nOther,y,z,1,2 and some padding\n",
         kUpdateAdvised, false},
        {"field 4 missing", List("Rendaal,setup110b.exe,b,2500"), 0, true},
        {"field 4 missing, line feed", "Rendaal,setup110b.exe,b,2500\nOther,1,2,3,4,5,6 padding\n",
         0, true},
        {"comma at the end adds no field", List("Rendaal,setup110b.exe,b,2500,"), 0, true},
        {"only the name", List("Rendaal"), 0, true},
        {"size not a number", List("Rendaal,setup110b.exe,b,25OO,x"), 0, true},
        {"size empty", List("Rendaal,setup110b.exe,b,,x"), 0, true},
        {"size 2^40", List("Rendaal,setup110b.exe,b,1099511627776,x"), 0, true},
        {"negative size", List("Rendaal,setup110b.exe,b,-5,x"), 0, true},
        {"size at the ceiling", List("Rendaal,setup110b.exe,b,262144,x"), kUpdateAdvised, false},
        {"size above the ceiling", List("Rendaal,setup110b.exe,b,262145,x"), 0, true},
        {"size 2^31-1", List("Rendaal,setup110b.exe,b,2147483647,x"), 0, true},
        {"name climbs out", List("Rendaal,../../.bashrc,b,2500,x"), 0, true},
        {"absolute name", List("Rendaal,/tmp/x.exe,b,2500,x"), 0, true},
        {"backslash name", List("Rendaal,..\\x.exe,b,2500,x"), 0, true},
        {"hidden name", List("Rendaal,.setup110b.exe,b,2500,x"), 0, true},
    };
    for (const BadCase& c : cases) {
        const VersionCheck r = ReadVersionList(c.text, "Rendaal", kVersion);
        EXPECT_EQ(r.damaged(), c.damaged) << c.name << ": " << DamagedListText(r, false);
        if (!c.damaged) {
            EXPECT_EQ(r.code, c.code) << c.name;
        } else {
            EXPECT_TRUE(r.downloadName.empty() || IsSafeDownloadName(r.downloadName)) << c.name;
        }
    }
}

TEST(ReadVersionList, TenMebibytesOfGarbage) {
    std::string garbage(10u << 20, '\0');
    uint32_t x = 12345;
    for (char& ch : garbage) {
        x = x * 1103515245u + 12345u;
        ch = static_cast<char>(x >> 24);
    }
    const VersionCheck r = ReadVersionList(VersionListText(garbage), "Rendaal", kVersion);
    EXPECT_TRUE(r.code == kNameNotFound || r.damaged());
    garbage.replace(5u << 20, 8, "Rendaal,");  // a record start inside the noise
    const VersionCheck r2 = ReadVersionList(garbage, "Rendaal", kVersion);
    EXPECT_TRUE(r2.damaged() || r2.code == kNoUpdateNeeded || r2.code == kUpdateAdvised);
    EXPECT_TRUE(r2.downloadName.empty() || IsSafeDownloadName(r2.downloadName));
}

TEST(VersionListText, EachChunkEndsAtItsFirstZeroByte) {
    std::string body(2048, 'a');
    body[10] = '\0';
    body += "bcd";
    EXPECT_EQ(VersionListText(body), std::string(10, 'a') + "bcd");
}

TEST(ResultLines, DutchAndEnglish) {
    EXPECT_EQ(
        ResultLines(kNoUpdateNeeded, true),
        (std::vector<std::string>{"Een Update is niet nodig,", "u heeft de nieuwste versie."}));
    EXPECT_EQ(ResultLines(kListTooSmall, false),
              std::vector<std::string>{"File not downloaded correctly"});
    EXPECT_EQ(ResultLines(kSomethingWrong, true),
              std::vector<std::string>{"Er is iets niet goed gegaan"});
}

TEST(InstallerDisplayName, DigitsRemovedFirstLetterUpper) {
    EXPECT_EQ(InstallerDisplayName("setup110a.exe"), "Setupa");
    EXPECT_EQ(InstallerDisplayName("Rendaal1.10.exe"), "Rendaal");
    EXPECT_EQ(InstallerDisplayName("noextension"), "");
}

}  // namespace
}  // namespace rendaal
