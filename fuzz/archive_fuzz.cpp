// A day folder's page index as a hand edit, a sync tool or a cut write may leave it: the input is
// its inhoud.txt. It is read, a pass is added and the rebuild runs over it. The pass just added is
// always listed afterwards with its page, and no password of an address is written.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/fileio.h"
#include "download/archive.h"
#include "download/rebuild.h"

namespace {

using namespace rendaal;

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/rendaal-archive-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return pattern + "/";
    }();
    static const bool removed = std::atexit([] { std::filesystem::remove_all(Folder()); }) == 0;
    (void)removed;
    return folder;
}

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

const std::string kLine =
    "AEX 2612 00925.00 00Geen; Put: dec 2026 925.00; Call: dec 2026 Geen; Single";
constexpr std::string_view kSecret = "geheim-wachtwoord";
const std::string kOptionPage =
    "<table><tr><td>P</td><td>18-12-2026</td><td>925,00</td><td>12,35</td></tr></table>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& f = Folder();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(f, ec)) {
        std::filesystem::remove_all(entry.path(), ec);
    }
    if (data == nullptr) {
        return 0;
    }
    const Date day{2026, 12, 2};
    const std::string folder = ArchiveDayFolder(f, day);
    std::filesystem::create_directories(folder);
    Check(WriteFileAtomic(folder + std::string(kArchiveIndexName),
                          std::string(reinterpret_cast<const char*>(data), size)));
    Check(WriteFileAtomic(folder + "093000-opties.html.gz", GzipCompress(kOptionPage)));
    Check(WriteFileAtomic(folder + "093000-index.html.gz", GzipCompress("AEX 925,00")));
    (void)ReadArchiveDay(folder, day);

    ArchiveEntry pass;
    pass.time = DateTime{2026, 12, 2, 17, 45, 0, 0};
    pass.option = ArchivedPage{"http://u:" + std::string(kSecret) + "@option.test/x", kOptionPage};
    pass.written = {"Single_X.csv"};
    if (ArchivePass(f, pass).empty()) {
        bool listed = false;
        for (const auto& e : ReadArchiveDay(folder, day)) {
            if (e.time.hour != 17 || e.time.minute != 45 || e.written.empty() ||
                e.written.back() != "Single_X.csv") {
                continue;
            }
            struct stat st {};
            listed = ::lstat((folder + e.optionFile).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        }
        Check(listed);
        const auto index = ReadFile(folder + std::string(kArchiveIndexName));
        // The input's own lines stay as they are, so only a password it did not hold counts.
        const std::string_view input(reinterpret_cast<const char*>(data), size);
        Check(index && (input.find(kSecret) != std::string_view::npos ||
                        index->find(kSecret) == std::string::npos));
    }
    (void)RebuildFromArchive(f, {kLine});
    return 0;
}
