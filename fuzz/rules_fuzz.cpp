// The rules file: any bytes load without a crash, what loads saves and loads back the same, and
// a history name taken as plain holds no control byte.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/combination.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto lines = rendaal::ParseRules(text);
    std::string saved;
    for (const auto& line : lines) {
        if (line.empty() || line[0] == ';') {
            std::abort();
        }
        // A control byte in a name would split the archive's tab-separated index.
        const std::string name = rendaal::HistoryFileName(line);
        if (rendaal::IsPlainFileName(name)) {
            for (const char c : name) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '/') {
                    std::abort();
                }
            }
        }
        saved += line + "\r\n";
    }
    if (rendaal::ParseRules(saved) != lines) {
        std::abort();
    }
    return 0;
}
