#include "core/regfile.h"

#include <gtest/gtest.h>

namespace rendaal {
namespace {

constexpr std::string_view kKey = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";

TEST(RegFile, WritesTheRegistryExportFormat) {
    RegFile f;
    f.SetString(kKey, "Left", "100");
    f.SetDword(kKey, "Aantal jaren", 3);
    f.SetString(kKey, "Pad", "C:\\a \"b\"");
    EXPECT_EQ(f.Serialize(),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n"
              "\"Left\"=\"100\"\r\n"
              "\"Aantal jaren\"=dword:00000003\r\n"
              "\"Pad\"=\"C:\\\\a \\\"b\\\"\"\r\n\r\n");
}

TEST(RegFile, RoundTripKeepsKindsAndUnknownValues) {
    const std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n"
        "\"Left\"=\"-8\"\r\n\"Aantal minuten\"=dword:0000005a\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  03\r\n\"IndexUrl\"=\"http://127.0.0.1:8080\"\r\n"
        "\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"X\"=\"y\"\r\n";
    const RegFile f = RegFile::Parse(text);
    EXPECT_EQ(f.ReadInteger(kKey, "Left"), -8);
    EXPECT_EQ(f.ReadInteger(kKey, "aantal MINUTEN"), 90);
    EXPECT_FALSE(f.ReadInteger(kKey, "Bin"));
    EXPECT_EQ(f.Find(kKey, "IndexUrl")->text, "http://127.0.0.1:8080");
    const RegFile again = RegFile::Parse(f.Serialize());
    EXPECT_EQ(again.Serialize(), f.Serialize());
    EXPECT_EQ(again.Find("HKEY_CURRENT_USER\\Software\\Other", "X")->text, "y");
    EXPECT_EQ(again.Find(kKey, "Bin")->text, "hex:01,02,\\\r\n  03");
}

TEST(RegFile, IntegersKeepTheKindTheyAlreadyHave) {
    RegFile f =
        RegFile::Parse("REGEDIT4\n\n[" + std::string(kKey) + "]\n\"Aantal dagen\"=\"45\"\n");
    f.WriteInteger(kKey, "Aantal dagen", 60);
    f.WriteInteger(kKey, "Aantal jaren", 2);
    EXPECT_EQ(f.Find(kKey, "Aantal dagen")->type, RegValue::Type::String);
    EXPECT_EQ(f.Find(kKey, "Aantal dagen")->text, "60");
    EXPECT_EQ(f.Find(kKey, "Aantal jaren")->type, RegValue::Type::Dword);
    EXPECT_EQ(f.ReadInteger(kKey, "Aantal jaren"), 2);
}

struct DamagedCase {
    const char* name;
    std::string text;
    std::optional<int64_t> left;
};

TEST(RegFile, DamagedFilesGiveMissingValues) {
    const std::string head = "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n";
    const DamagedCase cases[] = {
        {"empty", "", std::nullopt},
        {"garbage", "\x01\xff garbage \0 here", std::nullopt},
        {"no header", "[" + std::string(kKey) + "]\r\n\"Left\"=\"5\"\r\n", std::nullopt},
        {"truncated string", head + "\"Left\"=\"5", std::nullopt},
        {"truncated dword", head + "\"Left\"=dword:", std::nullopt},
        {"long dword", head + "\"Left\"=dword:123456789", std::nullopt},
        {"text in number", head + "\"Left\"=\"abc\"", std::nullopt},
        {"hex kind", head + "\"Left\"=hex:01", std::nullopt},
        {"spaces", head + "\"Left\"=\" 12 \"", 12},
        {"overflow", head + "\"Left\"=\"99999999999\"", std::nullopt},
        {"good after bad", head + "junk line\r\n\"Left\"=\"7\"\r\n", 7},
        {"value before key", "REGEDIT4\r\n\"Left\"=\"7\"\r\n", std::nullopt},
        {"LF only", "REGEDIT4\n\n[" + std::string(kKey) + "]\n\"Left\"=\"3\"\n", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RegFile f = RegFile::Parse(c.text);
        EXPECT_EQ(f.ReadInteger(kKey, "Left"), c.left);
        // Whatever was read, what gets written is a whole, valid file again.
        EXPECT_EQ(f.Serialize().rfind("REGEDIT4\r\n", 0), 0u);
        EXPECT_EQ(RegFile::Parse(f.Serialize()).Serialize(), f.Serialize());
    }
}

}  // namespace
}  // namespace rendaal
