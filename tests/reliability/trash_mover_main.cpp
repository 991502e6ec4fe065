// Helper process of the trash kill loop: makes a file and moves it to the trash, over and over,
// until it is killed; reports each finished move on stdout.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/trash.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: trash_mover FOLDER/ TRASH/ FIRST\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string trash = argv[2];
    for (long n = std::atol(argv[3]);; ++n) {
        const std::string path = folder + "f" + std::to_string(n) + ".csv";
        FILE* f = std::fopen(path.c_str(), "w");
        if (!f || std::fputs(path.c_str(), f) < 0 || std::fclose(f) != 0) {
            return 1;
        }
        std::string error;
        if (!rendaal::MoveToTrash(path, trash, {2026, 12, 7, 9, 0, 0, 0}, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%ld\n", n);
        std::fflush(stdout);
    }
}
