// The rules file: any bytes load without a crash, and what loads saves and loads back the same.
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
        (void)rendaal::HistoryFileName(line);
        (void)rendaal::IsPlainFileName(rendaal::HistoryFileName(line));
        saved += line + "\r\n";
    }
    if (rendaal::ParseRules(saved) != lines) {
        std::abort();
    }
    return 0;
}
