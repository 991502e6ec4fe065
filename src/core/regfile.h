#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings file in the registry editor's "REGEDIT4" export format, so that it can be moved
// to and from a Windows registry as it is. Keys, values and value kinds are kept, also those
// this program does not know.
namespace rendaal {

struct RegValue {
    enum class Type { String, Dword, Raw };
    std::string name;
    Type type = Type::String;
    std::string text;    // String: the unescaped text; Raw: everything after "="
    uint32_t dword = 0;  // Dword
};

class RegFile final {
public:
    // Anything that is not a "REGEDIT4" file reads as an empty file; lines that cannot be
    // understood inside one are dropped.
    static RegFile Parse(std::string_view text);
    std::string Serialize() const;  // CR LF line ends

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
};

}  // namespace rendaal
