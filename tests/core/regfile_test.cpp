#include "core/regfile.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

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
    const RegFile f = *RegFile::Parse(text);
    EXPECT_EQ(f.ReadInteger(kKey, "Left"), -8);
    EXPECT_EQ(f.ReadInteger(kKey, "aantal MINUTEN"), 90);
    EXPECT_FALSE(f.ReadInteger(kKey, "Bin"));
    EXPECT_EQ(f.Find(kKey, "IndexUrl")->text, "http://127.0.0.1:8080");
    const RegFile again = *RegFile::Parse(f.Serialize());
    EXPECT_EQ(again.Serialize(), f.Serialize());
    EXPECT_EQ(again.Find("HKEY_CURRENT_USER\\Software\\Other", "X")->text, "y");
    EXPECT_EQ(again.Find(kKey, "Bin")->text, "hex:01,02,\\\r\n  03");
}

TEST(RegFile, IntegersKeepTheKindTheyAlreadyHave) {
    RegFile f =
        *RegFile::Parse("REGEDIT4\n\n[" + std::string(kKey) + "]\n\"Aantal dagen\"=\"45\"\n");
    f.WriteInteger(kKey, "Aantal dagen", 60);
    f.WriteInteger(kKey, "Aantal jaren", 2);
    EXPECT_EQ(f.Find(kKey, "Aantal dagen")->type, RegValue::Type::String);
    EXPECT_EQ(f.Find(kKey, "Aantal dagen")->text, "60");
    EXPECT_EQ(f.Find(kKey, "Aantal jaren")->type, RegValue::Type::Dword);
    EXPECT_EQ(f.ReadInteger(kKey, "Aantal jaren"), 2);
}

using namespace std::string_literals;

// Little-endian with a byte order mark, as the registry editor writes.
std::string Utf16Le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

struct DamagedCase {
    const char* name;
    std::string bytes;
    bool parses;
    std::optional<int64_t> left;
};

TEST(RegFile, DamagedFilesGiveMissingValuesOrNoFile) {
    const std::string head = "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n";
    const std::string wide = Utf16Le(u"Windows Registry Editor Version 5.00\r\n");
    const DamagedCase cases[] = {
        {"empty", "", true, std::nullopt},
        {"only blank lines", "\r\n \r\n", true, std::nullopt},
        {"garbage", "\x01\xff garbage \0 here"s, false, std::nullopt},
        {"no header", "[" + std::string(kKey) + "]\r\n\"Left\"=\"5\"\r\n", false, std::nullopt},
        {"other header", "REGEDIT5\r\n", false, std::nullopt},
        {"UTF-16 big endian", "\xFE\xFF\0R\0E\0G"s, false, std::nullopt},
        {"UTF-16 lone surrogate", wide + "\x00\xD8"s, false, std::nullopt},
        {"UTF-16 odd last byte", wide + "x", true, std::nullopt},
        {"truncated string", head + "\"Left\"=\"5", true, std::nullopt},
        {"truncated dword", head + "\"Left\"=dword:", true, std::nullopt},
        {"long dword", head + "\"Left\"=dword:123456789", true, std::nullopt},
        {"text in number", head + "\"Left\"=\"abc\"", true, std::nullopt},
        {"hex kind", head + "\"Left\"=hex:01", true, std::nullopt},
        {"spaces", head + "\"Left\"=\" 12 \"", true, 12},
        {"overflow", head + "\"Left\"=\"99999999999\"", true, std::nullopt},
        {"good after bad", head + "junk line\r\n\"Left\"=\"7\"\r\n", true, 7},
        {"value before key", "REGEDIT4\r\n\"Left\"=\"7\"\r\n", true, std::nullopt},
        {"LF only", "REGEDIT4\n\n[" + std::string(kKey) + "]\n\"Left\"=\"3\"\n", true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto f = RegFile::Parse(c.bytes);
        ASSERT_EQ(f.has_value(), c.parses);
        if (!f) {
            continue;
        }
        EXPECT_EQ(f->ReadInteger(kKey, "Left"), c.left);
        // Whatever was read, what gets written is a whole, valid file again.
        const std::string out = f->Serialize();
        const auto again = RegFile::Parse(out);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->Serialize(), out);
    }
}

std::string Fixture(const std::string& name) {
    return test::ReadAll(std::string(RENDAAL_REGFILES) + name);
}

// Registry editor exports: version5-utf16-wine.reg is what `reg export` wrote (Wine 8); the
// others hold the same keys in the other forms and encodings.
TEST(RegFile, ExportsOfBothFormsReadAndWriteBackInTheirForm) {
    const struct {
        const char* file;
        RegForm form;
        const char* writtenAs;
    } cases[] = {
        {"version5-utf16-wine.reg", RegForm::Version5, "version5-utf16-wine.reg"},
        {"version5-utf8-bom.reg", RegForm::Version5, "version5-utf16-wine.reg"},
        {"regedit4-cp1252.reg", RegForm::Regedit4, "regedit4-cp1252.reg"},
        {"regedit4-utf8.reg", RegForm::Regedit4, "regedit4-cp1252.reg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto f = RegFile::Parse(Fixture(c.file));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->form(), c.form);
        EXPECT_EQ(f->Find(kKey, "Naam")->text, "\u00c4\u00e4b\u00e9");
        EXPECT_EQ(f->Find(kKey, "Pad")->text, "C:\\Map \"x\"");
        EXPECT_EQ(f->ReadInteger(kKey, "Aantal minuten"), 90);
        EXPECT_EQ(f->ReadInteger(kKey, "Aantal dagen"), 45);
        EXPECT_EQ(f->Find(kKey, "Bin")->text, "hex:00,ff,10");
        EXPECT_EQ(f->Serialize(), Fixture(c.writtenAs));
    }
}

TEST(RegFile, Regedit4SwitchesToVersion5OnlyForTextsCodePage1252CannotCarry) {
    const struct {
        const char* name;
        std::string text;
        RegForm writtenAs;
    } cases[] = {
        {"ascii", "abc", RegForm::Regedit4},
        {"euro and accents", "\u20ac \u00c4\u00e4b\u00e9", RegForm::Regedit4},
        {"Greek", "\u03a9", RegForm::Version5},
        {"beyond 16 bits", "\U0001F600", RegForm::Version5},
        // Its code page 1252 bytes are valid UTF-8 and would read back as another text.
        {"reads back as UTF-8", "\u00c3\u00a9", RegForm::Version5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegFile f;
        f.SetString(kKey, "Naam", c.text);
        const auto again = RegFile::Parse(f.Serialize());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->form(), c.writtenAs);
        EXPECT_EQ(again->Find(kKey, "Naam")->text, c.text);
    }
}

TEST(RegFileTest, ALineBreakInAValueCannotAddAValue) {
    RegFile f;
    f.SetString(kKey, "Naam", "a\r\n\"PushToken\"=\"x\"\n[HKEY_CURRENT_USER\\Other]");
    const auto again = RegFile::Parse(f.Serialize());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Find(kKey, "PushToken"), nullptr);
    EXPECT_EQ(again->Find(kKey, "Naam")->text, "a  \"PushToken\"=\"x\" [HKEY_CURRENT_USER\\Other]");
}

}  // namespace
}  // namespace rendaal
