// The settings file: any bytes parse or are refused, and what is written back parses to the same
// file in either form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/regfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    rendaal::RegFile file = rendaal::RegFile::Parse(bytes).value_or(rendaal::RegFile());
    const char* key = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";
    (void)file.ReadInteger(key, "Aantal minuten");
    file.WriteInteger(key, "Aantal jaren", 3);
    file.SetString(key, "Left", "1\\\"00");
    const std::string once = file.Serialize();
    const auto again = rendaal::RegFile::Parse(once);
    if (!again || again->Serialize() != once) {
        std::abort();
    }
    return 0;
}
