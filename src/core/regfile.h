#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings file in the registry editor's export formats, so that it can be moved to and from
// a Windows registry as it is. Keys, values and value kinds are kept, also those this program
// does not know. Texts are held as UTF-8; the file's bytes are in the form it was read in.
namespace rendaal {

// "REGEDIT4" files are in the ANSI code page (1252); "Windows Registry Editor Version 5.00"
// files are UTF-16LE with a byte order mark, which is what the registry editor writes by default.
enum class RegForm { Regedit4, Version5 };

struct RegValue {
    enum class Type { String, Dword, Raw };
    std::string name;
    Type type = Type::String;
    std::string text;    // String: the unescaped text; Raw: everything after "="
    uint32_t dword = 0;  // Dword
};

class RegFile final {
public:
    // The bytes of a file in either form: UTF-16LE with a byte order mark, or 8-bit text with or
    // without a UTF-8 one. 8-bit text that is valid UTF-8 is read as UTF-8 (older files of this
    // program), any other as code page 1252. Empty when the first line names neither form;
    // lines that cannot be understood inside a file are dropped. An empty file is an empty
    // registry file.
    static std::optional<RegFile> Parse(std::string_view bytes);
    // CR LF line ends, in the form read (a new file: REGEDIT4). A REGEDIT4 file holding a text that
    // code page 1252 cannot hold, or that would read back differently, is written as Version 5.00.
    std::string Serialize() const;
    RegForm form() const { return form_; }

    const RegValue* Find(std::string_view key, std::string_view name) const;
    void SetString(std::string_view key, std::string_view name, std::string_view value);
    void SetDword(std::string_view key, std::string_view name, uint32_t value);

    // A DWORD as a signed 32-bit value, a string holding a decimal integer as that integer;
    // anything else (missing, not a number, another kind) is empty.
    std::optional<int64_t> ReadInteger(std::string_view key, std::string_view name) const;
    // Written as a DWORD unless the value already exists as a string.
    void WriteInteger(std::string_view key, std::string_view name, int64_t value);

private:
    struct Key {
        std::string name;
        std::vector<RegValue> values;
    };
    RegValue& Slot(std::string_view key, std::string_view name);
    std::vector<Key> keys_;
    RegForm form_ = RegForm::Regedit4;
};

}  // namespace rendaal
