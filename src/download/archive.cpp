#include "download/archive.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <system_error>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/history.h"
#include "history/conflict_copy.h"

namespace rendaal {
namespace {

constexpr std::string_view kUnreadableMark = "onleesbaar";
constexpr std::string_view kReadMark = "gelezen";
constexpr std::string_view kPageSuffix = ".html.gz";

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// An index of some machine: ours, another's that shares the folder through a sync tool, the one
// of older versions (kArchiveIndexName), or a sync tool's conflict copy of one.
bool IsIndexName(std::string_view name) {
    if (const auto copy = ParseConflictCopyName(name)) {
        return IsIndexName(copy->original);
    }
    return name == kArchiveIndexName ||
           (name.starts_with("inhoud-") && EndsWith(name, ".txt") && IsPlainFileName(name));
}

// Every index of a day folder as one text, by name: what any machine archived there.
std::string AllIndexes(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsIndexName(name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const auto& name : names) {
        struct stat st {};
        // Never read through a link, as nothing in the archive is written through one.
        if (::lstat((folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            text += ReadFile(folder + name).value_or("");
            text += "\r\n";
        }
    }
    return text;
}

std::vector<std::string> SplitTabs(std::string_view line) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        const auto tab = line.find('\t', from);
        fields.emplace_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
        if (tab == std::string_view::npos) {
            return fields;
        }
        from = tab + 1;
    }
}

// A URL is written between tabs on one line: a control byte in it would split the entry.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return out;
}

std::optional<DateTime> ParseEntryTime(std::string_view text) {
    // "dd-mm-yyyy hh:mm:ss"
    if (text.size() != 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto date = ParseDmy(text.substr(0, 10));
    const auto num = [&](size_t at) -> int {
        const char a = text[at];
        const char b = text[at + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') {
            return -1;
        }
        return (a - '0') * 10 + (b - '0');
    };
    const int h = num(11);
    const int m = num(14);
    const int s = num(17);
    if (!date || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) {
        return std::nullopt;
    }
    return DateTime{date->year, date->month, date->day, h, m, s, 0};
}

std::string EntryLine(const ArchiveEntry& e) {
    std::string line = FormatDmyHms(e.time);
    line += '\t';
    line += e.unreadable ? kUnreadableMark : kReadMark;
    line += '\t' + e.indexFile + '\t' + (e.index ? OneLine(e.index->url) : std::string());
    line += '\t' + e.optionFile + '\t' + (e.option ? OneLine(e.option->url) : std::string());
    for (const auto& name : e.written) {
        line += '\t' + name;
    }
    return line;
}

// A page file's name as the index may list it: no path, our own suffix.
bool IsPageFileName(std::string_view name) {
    return IsPlainFileName(name) && EndsWith(name, kPageSuffix);
}

std::optional<ArchiveEntry> ParseEntry(std::string_view line) {
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() < 6) {
        return std::nullopt;
    }
    const auto time = ParseEntryTime(f[0]);
    if (!time || (f[1] != kReadMark && f[1] != kUnreadableMark) ||
        (!f[2].empty() && !IsPageFileName(f[2])) || (!f[4].empty() && !IsPageFileName(f[4]))) {
        return std::nullopt;
    }
    ArchiveEntry e;
    e.time = *time;
    e.unreadable = f[1] == kUnreadableMark;
    e.indexFile = f[2];
    if (!e.indexFile.empty()) {
        e.index = ArchivedPage{f[3], {}};
    }
    e.optionFile = f[4];
    if (!e.optionFile.empty()) {
        e.option = ArchivedPage{f[5], {}};
    }
    for (size_t i = 6; i < f.size(); ++i) {
        if (!f[i].empty()) {
            e.written.push_back(f[i]);
        }
    }
    return e;
}

// Only a real folder of ours: a symlink could lead the pages anywhere, a file is not ours to
// replace.
std::string EnsureRealFolder(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? std::string() : path + " is geen map";
    }
    if (errno != ENOENT) {
        return FileErrorText(path, "gelezen", errno);
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        return FileErrorText(path, "gemaakt", errno);
    }
    return {};
}

bool IsRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Date TradingDay(const DateTime& time) {
    return TradingStamp(time).date();
}

std::string TimeName(const DateTime& t) {
    return TwoDigits(t.hour) + TwoDigits(t.minute) + TwoDigits(t.second);
}

// A page name not used by any listed entry nor present on disk.
std::string FreePageName(const std::string& dayFolder, const DateTime& t, std::string_view kind,
                         const std::set<std::string>& used) {
    for (int n = 1;; ++n) {
        std::string name = TimeName(t) + (n == 1 ? "" : "-" + std::to_string(n));
        name += '-';
        name += kind;
        name += kPageSuffix;
        if (!used.count(name) && !FileExists(dayFolder + name)) {
            return name;
        }
    }
}

// Which of the day's passes stay: per history file the last that wrote its line, the last
// unreadable one, and the last of all. entries are in the order they were made.
std::vector<bool> KeptPasses(const std::vector<ArchiveEntry>& entries) {
    std::vector<bool> keep(entries.size(), false);
    if (entries.empty()) {
        return keep;
    }
    std::set<std::string> seen;
    bool unreadableSeen = false;
    for (size_t i = entries.size(); i-- > 0;) {
        const ArchiveEntry& e = entries[i];
        if (i + 1 == entries.size()) {
            keep[i] = true;
        }
        if (e.unreadable && !unreadableSeen) {
            unreadableSeen = true;
            keep[i] = true;
        }
        for (const auto& name : e.written) {
            if (seen.insert(name).second) {
                keep[i] = true;
            }
        }
    }
    return keep;
}

}  // namespace

std::string GzipCompress(std::string_view data) {
    z_stream z{};
    // 15 + 16: a gzip header and trailer, so that zcat reads the file.
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

std::optional<std::string> GzipDecompress(std::string_view data, size_t maxBytes) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) {
        return std::nullopt;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(std::min<size_t>(data.size(), std::numeric_limits<uInt>::max()));
    std::string out;
    char buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            break;
        }
        out.append(buf, sizeof buf - z.avail_out);
        if (out.size() > maxBytes) {
            rc = Z_MEM_ERROR;
            break;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            rc = Z_BUF_ERROR;  // cut off before its trailer
        }
    }
    inflateEnd(&z);
    // Bytes after the stream mean the file is not what was written.
    if (rc != Z_STREAM_END || z.avail_in != 0) {
        return std::nullopt;
    }
    return out;
}

std::string ArchiveDayFolder(const std::string& dataFolder, const Date& tradingDay) {
    return dataFolder + std::string(kArchiveFolderName) + "/" + PadLeft(tradingDay.year, 4) + "-" +
           TwoDigits(tradingDay.month) + "-" + TwoDigits(tradingDay.day) + "/";
}

std::optional<Date> ArchiveFolderDate(std::string_view name) {
    if (name.size() != 10 || name[4] != '-' || name[7] != '-') {
        return std::nullopt;
    }
    std::string dmy(name.substr(8, 2));
    dmy += '-';
    dmy += name.substr(5, 2);
    dmy += '-';
    dmy += name.substr(0, 4);
    const auto date = ParseDmy(dmy);
    // Only the form this program writes: "2026-1-5" is not one of its folders.
    if (!date || ArchiveDayFolder("", *date) !=
                     std::string(kArchiveFolderName) + "/" + std::string(name) + "/") {
        return std::nullopt;
    }
    return date;
}

std::vector<ArchiveEntry> ReadArchiveDay(const std::string& dayFolder, const Date& day) {
    std::vector<ArchiveEntry> entries;
    for (const auto& line : SplitLines(AllIndexes(dayFolder))) {
        auto entry = ParseEntry(line);
        // Pages copied in from another day's folder say by their time which day they are.
        if (entry && TradingDay(entry->time) == day) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

namespace {

// A day folder's index split into this day's passes and the lines of other days, which stay
// as they are; used holds every page name listed.
struct DayIndex {
    std::vector<ArchiveEntry> entries;
    std::vector<std::string> foreign;
    std::set<std::string> used;
};

DayIndex ReadDayIndex(const std::string& folder, const Date& day) {
    DayIndex index;
    // Another machine's pages are listed in its own index: their names are taken.
    for (const auto& line : SplitLines(AllIndexes(folder))) {
        if (const auto entry = ParseEntry(line)) {
            index.used.insert(entry->indexFile);
            index.used.insert(entry->optionFile);
        }
    }
    const auto text = ReadFile(folder + OwnArchiveIndexName());
    for (const auto& line : text ? SplitLines(*text) : std::vector<std::string>{}) {
        auto entry = ParseEntry(line);
        if (!entry) {
            continue;
        }
        index.used.insert(entry->indexFile);
        index.used.insert(entry->optionFile);
        if (TradingDay(entry->time) == day) {
            index.entries.push_back(std::move(*entry));
        } else {
            index.foreign.push_back(line);
        }
    }
    return index;
}

// Packs one page into a fresh file of the day folder; file gets its name.
bool StorePage(const std::string& folder, const ArchiveEntry& pass,
               const std::optional<ArchivedPage>& page, std::string_view kind,
               std::set<std::string>& used, std::string& file, std::string& error) {
    if (!page) {
        file.clear();
        return true;
    }
    file = FreePageName(folder, pass.time, kind, used);
    used.insert(file);
    const std::string packed = GzipCompress(page->bytes);
    if (packed.empty()) {
        error = folder + file + ": inpakken mislukt";
        return false;
    }
    return WriteFileAtomic(folder + file, packed, &error);
}

// The index text to write, and the page names it lists.
std::string DayIndexText(const DayIndex& index, std::set<std::string>& listed) {
    const std::vector<bool> keep = KeptPasses(index.entries);
    std::string text;
    const auto list = [&](const std::string& line, const ArchiveEntry& e) {
        text += line;
        text += "\r\n";
        listed.insert(e.indexFile);
        listed.insert(e.optionFile);
    };
    for (const auto& line : index.foreign) {
        list(line, ParseEntry(line).value_or(ArchiveEntry{}));
    }
    for (size_t i = 0; i < index.entries.size(); ++i) {
        if (keep[i]) {
            list(EntryLine(index.entries[i]), index.entries[i]);
        }
    }
    return text;
}

// Pages no pass of this machine lists any more, and the temporaries of a writer that was killed.
void RemoveDropped(const std::string& folder, const std::set<std::string>& dropped) {
    for (const auto& name : dropped) {
        if (IsPageFileName(name)) {
            RemoveFile(folder + name);
        }
    }
    RemoveStaleTemporaryFiles(
        folder, [](std::string_view name) { return IsPageFileName(name) || IsIndexName(name); });
}

std::string NotArchived(const std::string& why) {
    return "De pagina's van deze download zijn niet bewaard in het archief (" + why +
           "); de koersen zelf zijn wel opgeslagen.";
}

}  // namespace

std::string OwnArchiveIndexName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::string key = host;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    key += '\n';
    key += config && *config ? config : std::string(home ? home : "") + "/.config";
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : key) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char text[32];
    std::snprintf(text, sizeof text, "inhoud-%08llx.txt",
                  static_cast<unsigned long long>(hash & 0xffffffffull));
    return text;
}

std::string ArchivePass(const std::string& dataFolder, const ArchiveEntry& pass) {
    if (!pass.index && !pass.option) {
        return {};
    }
    const Date day = TradingDay(pass.time);
    const std::string folder = ArchiveDayFolder(dataFolder, day);
    for (const std::string& path :
         {dataFolder + std::string(kArchiveFolderName), folder.substr(0, folder.size() - 1)}) {
        if (const std::string why = EnsureRealFolder(path); !why.empty()) {
            return NotArchived(why);
        }
    }
    DayIndex index = ReadDayIndex(folder, day);
    ArchiveEntry added = pass;
    std::string error;
    if (!StorePage(folder, pass, pass.index, "index", index.used, added.indexFile, error) ||
        !StorePage(folder, pass, pass.option, "opties", index.used, added.optionFile, error)) {
        if (!added.indexFile.empty()) {
            RemoveFile(folder + added.indexFile);
        }
        return NotArchived(error);
    }
    // Only pages this machine drops from its own index go: one it never listed may be another
    // machine's whose index a sync tool has not brought yet, or dropped.
    std::set<std::string> dropped;
    for (const auto& e : index.entries) {
        dropped.insert(e.indexFile);
        dropped.insert(e.optionFile);
    }
    index.entries.push_back(std::move(added));
    std::set<std::string> listed;
    const std::string text = DayIndexText(index, listed);
    for (const auto& name : listed) {
        dropped.erase(name);
    }
    if (!WriteFileAtomic(folder + OwnArchiveIndexName(), text, &error)) {
        RemoveFile(folder + index.entries.back().indexFile);
        RemoveFile(folder + index.entries.back().optionFile);
        return NotArchived(error);
    }
    RemoveDropped(folder, dropped);
    return {};
}

ArchiveDays ReadArchive(const std::string& dataFolder) {
    ArchiveDays archive;
    const std::string root = dataFolder + std::string(kArchiveFolderName);
    struct stat st {};
    if (::lstat(root.c_str(), &st) != 0) {
        return archive;
    }
    if (!S_ISDIR(st.st_mode)) {
        archive.problem = root + " is geen map";
        return archive;
    }
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(root, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto day = ArchiveFolderDate(name);
        std::string folder = root;
        folder += '/';
        folder += name;
        if (!day || !IsRealFolder(folder)) {
            continue;
        }
        folder += '/';
        for (const auto& line : SplitLines(AllIndexes(folder))) {
            if (auto entry = ParseEntry(line)) {
                entry->folder = folder;
                archive.days[DayNumber(TradingDay(entry->time))].push_back(std::move(*entry));
            }
        }
    }
    for (auto& [day, entries] : archive.days) {
        std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return ToSerial(a.time) < ToSerial(b.time);
        });
    }
    return archive;
}

bool LoadArchivedPages(const std::string& dayFolderOrEmpty, ArchiveEntry& entry, std::string& why,
                       size_t maxPageBytes) {
    const std::string& dayFolder = dayFolderOrEmpty.empty() ? entry.folder : dayFolderOrEmpty;
    const auto load = [&](const std::string& file, std::optional<ArchivedPage>& page) {
        if (!page || file.empty()) {
            return true;
        }
        // A page within the cap packs to far less; a larger file is not one of ours.
        const FileRead read = ReadFileChecked(dayFolder + file, maxPageBytes + (1u << 20));
        if (!read.text) {
            why = read.missing ? dayFolder + file + " ontbreekt" : read.error;
            return false;
        }
        auto bytes = GzipDecompress(*read.text, maxPageBytes);
        if (!bytes) {
            why = dayFolder + file + " is beschadigd";
            return false;
        }
        page->bytes = std::move(*bytes);
        return true;
    };
    return load(entry.indexFile, entry.index) && load(entry.optionFile, entry.option);
}

std::vector<std::string> ArchiveFoldersToCleanUp(const std::string& dataFolder,
                                                 const std::vector<std::string>& combinations,
                                                 double dayLimit, const DateTime& now) {
    std::vector<std::string> chosen;
    int64_t oldest = std::numeric_limits<int64_t>::max();
    if (combinations.empty()) {
        return chosen;
    }
    for (const auto& line : combinations) {
        const std::string name = HistoryFileName(line);
        if (line.empty() || line[0] == ';' || !IsPlainFileName(name)) {
            continue;
        }
        bool any = false;
        for (const std::string& file : {name, BackupFileName(name)}) {
            const auto text = ReadFile(dataFolder + file);
            if (!text) {
                continue;
            }
            for (const int64_t day : HistoryDays(*text)) {
                any = true;
                oldest = std::min(oldest, day);
            }
        }
        if (!any) {
            return chosen;
        }
    }
    const std::string root = dataFolder + std::string(kArchiveFolderName) + "/";
    if (!IsRealFolder(root.substr(0, root.size() - 1))) {
        return chosen;
    }
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(root, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto day = ArchiveFolderDate(name);
        if (!day || !IsRealFolder(root + name)) {
            continue;
        }
        const int64_t n = DayNumber(*day);
        if (n < oldest && ToSerial(now) - static_cast<double>(n) > dayLimit + 1) {
            chosen.push_back(std::string(kArchiveFolderName) + "/" + name);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

}  // namespace rendaal
