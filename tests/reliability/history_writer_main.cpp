// Helper process of the crash loop: appends history lines through the download code until it is
// killed, and reports each finished append on stdout before it starts the next one.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_file.h"
#include "reliability/crash_model.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: history_writer FOLDER/ FIRST\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (long n = std::atol(argv[2]);; ++n) {
        const auto result = rendaal::AppendHistoryLine(
            folder, rendaal::reliability::kCrashFile, rendaal::reliability::CrashFields(n),
            "949,86", rendaal::reliability::CrashSom(n), rendaal::reliability::CrashNow(n));
        if (!result.ok) {
            std::fprintf(stderr, "%s\n", result.error.c_str());
            return 1;
        }
        std::printf("%ld\n", n);
        std::fflush(stdout);
    }
}
