// The settings file: any bytes parse or are refused, and what is written back parses to the same
// file in either form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/regfile.h"
#include "core/settings_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    rendaal::RegFile file = rendaal::RegFile::Parse(bytes).value_or(rendaal::RegFile());
    const char* key = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";
    const rendaal::UserSettings settings = rendaal::ReadUserSettings(file, key);
    if (rendaal::TimerIntervalMs(settings.minutes) <= 0) {
        std::abort();
    }
    rendaal::WriteUserSettings(file, key, settings);
    file.WriteInteger(key, "Aantal jaren", 3);
    file.SetString(key, "Left", "1\\\"00");
    const std::string once = file.Serialize();
    const auto again = rendaal::RegFile::Parse(once);
    if (!again || again->Serialize() != once) {
        std::abort();
    }
    return 0;
}
