#include "download/archive.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <system_error>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/fetch.h"
#include "download/history.h"
#include "history/conflict_copy.h"

namespace rendaal {
namespace {

constexpr std::string_view kUnreadableMark = "onleesbaar";
constexpr std::string_view kReadMark = "gelezen";
// A pass found by its page files alone (the index lost it): what it wrote is not known.
constexpr std::string_view kUnknownMark = "onbekend";
// Every trading day the archive got a folder for, so that a folder lost later is named.
constexpr std::string_view kDayListName = "dagen.txt";
// A day's index is a few lines per pass; a larger file is not one of ours.
constexpr size_t kMaxIndexBytes = 1u << 20;
constexpr std::string_view kPageSuffix = ".html.gz";

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
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

// A URL is written between tabs on one line: a control byte in it would split the entry. The
// index is no place for a password either.
std::string OneLine(std::string_view text) {
    std::string out = WithoutUrlUserInfo(text);
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
    line += e.recovered ? kUnknownMark : e.unreadable ? kUnreadableMark : kReadMark;
    line += '\t' + e.indexFile + '\t' + (e.index ? OneLine(e.index->url) : std::string());
    line += '\t' + e.optionFile + '\t' + (e.option ? OneLine(e.option->url) : std::string());
    for (const auto& name : e.written) {
        if (IsPlainFileName(name)) {
            line += '\t' + name;
        }
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
    if (!time || (f[1] != kReadMark && f[1] != kUnreadableMark && f[1] != kUnknownMark) ||
        (!f[2].empty() && !IsPageFileName(f[2])) || (!f[4].empty() && !IsPageFileName(f[4]))) {
        return std::nullopt;
    }
    ArchiveEntry e;
    e.time = *time;
    e.unreadable = f[1] == kUnreadableMark;
    e.recovered = f[1] == kUnknownMark;
    e.indexFile = f[2];
    if (!e.indexFile.empty()) {
        e.index = ArchivedPage{f[3], {}};
    }
    e.optionFile = f[4];
    if (!e.optionFile.empty()) {
        e.option = ArchivedPage{f[5], {}};
    }
    for (size_t i = 6; i < f.size(); ++i) {
        if (IsPlainFileName(f[i])) {
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
        struct stat st {};
        // Anything at all holds the name: a dangling symlink would be written through.
        if (!used.count(name) && ::lstat((dayFolder + name).c_str(), &st) != 0 && errno == ENOENT) {
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
    // Counted down from the size: "i-- > 0" wraps below zero on its last test.
    for (size_t n = entries.size(); n > 0; --n) {
        const size_t i = n - 1;
        const ArchiveEntry& e = entries[i];
        if (i + 1 == entries.size()) {
            keep[i] = true;
        }
        if (e.recovered) {
            keep[i] = true;  // nothing says which lines stand on it
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

namespace {

// A day folder's index: this day's passes, the lines of other days (which stay as they are),
// and every page name listed. Pages the index does not list (it is lost, damaged or cut) come
// back as passes of their own, by the time in their names, so that nothing removes them and a
// rebuild can still read them.
struct DayIndex {
    std::vector<ArchiveEntry> entries;
    std::vector<ArchiveEntry> foreign;
    std::set<std::string> used;
    std::string problem;  // why the index did not list every page; empty when it did
};

// "hhmmss[-n]-index.html.gz" or "...-opties.html.gz": the pass's time and its stem.
std::optional<std::pair<DateTime, std::string>> PageNameTime(std::string_view name,
                                                             const Date& day) {
    if (name.size() < 6 || !IsPageFileName(name)) {
        return std::nullopt;
    }
    const auto two = [&](size_t at) {
        const char a = name[at];
        const char b = name[at + 1];
        return a < '0' || a > '9' || b < '0' || b > '9' ? -1 : (a - '0') * 10 + (b - '0');
    };
    const int h = two(0);
    const int m = two(2);
    const int s = two(4);
    const auto dash = name.rfind('-', name.size() - kPageSuffix.size());
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || dash == std::string_view::npos ||
        dash < 6) {
        return std::nullopt;
    }
    return std::make_pair(DateTime{day.year, day.month, day.day, h, m, s, 0},
                          std::string(name.substr(0, dash)));
}

void RecoverUnlistedPages(const std::string& folder, const Date& day, DayIndex& index) {
    std::map<std::string, ArchiveEntry> found;  // by stem
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (index.used.count(name) ||
            it->symlink_status(typeError).type() != std::filesystem::file_type::regular) {
            continue;
        }
        const auto time = PageNameTime(name, day);
        if (!time) {
            continue;
        }
        ArchiveEntry& e = found[time->second];
        e.time = time->first;
        e.recovered = true;
        const bool isIndex =
            name.substr(time->second.size()) == "-index" + std::string(kPageSuffix);
        (isIndex ? e.indexFile : e.optionFile) = name;
        (isIndex ? e.index : e.option) = ArchivedPage{};
    }
    if (found.empty()) {
        return;
    }
    if (index.problem.empty()) {
        index.problem = "niet elke pagina staat in " + std::string(kArchiveIndexName);
    }
    std::vector<ArchiveEntry> recovered;
    for (auto& [stem, e] : found) {
        index.used.insert(e.indexFile);
        index.used.insert(e.optionFile);
        recovered.push_back(std::move(e));
    }
    std::stable_sort(recovered.begin(), recovered.end(), [](const auto& a, const auto& b) {
        return ToSerial(a.time) < ToSerial(b.time);
    });
    index.entries.insert(index.entries.begin(), std::make_move_iterator(recovered.begin()),
                         std::make_move_iterator(recovered.end()));
}

DayIndex ReadDayIndex(const std::string& folder, const Date& day) {
    DayIndex index;
    const std::string path = folder + std::string(kArchiveIndexName);
    struct stat st {};
    std::optional<std::string> text;
    // Only a file of our own: a symlink may lead anywhere.
    if (::lstat(path.c_str(), &st) != 0) {
        index.problem = path + (errno == ENOENT ? " ontbreekt" : " kan niet worden gelezen");
    } else if (S_ISLNK(st.st_mode)) {
        index.problem = path + " is een symbolische koppeling";
    } else {
        FileRead read = ReadFileChecked(path, kMaxIndexBytes);
        text = std::move(read.text);
        index.problem = read.error;
    }
    int damaged = 0;
    for (const auto& line : text ? SplitLines(*text) : std::vector<std::string>{}) {
        auto entry = ParseEntry(line);
        if (!entry) {
            damaged += line.empty() ? 0 : 1;
            continue;
        }
        index.used.insert(entry->indexFile);
        index.used.insert(entry->optionFile);
        // Pages copied in from another day's folder say by their time which day they are.
        (TradingDay(entry->time) == day ? index.entries : index.foreign)
            .push_back(std::move(*entry));
    }
    if (damaged > 0 && index.problem.empty()) {
        index.problem = path + ": " + std::to_string(damaged) +
                        (damaged == 1 ? " onleesbare regel" : " onleesbare regels");
    }
    if (text && text->empty()) {
        index.problem = path + " is leeg";
    }
    RecoverUnlistedPages(folder, day, index);
    return index;
}

}  // namespace

std::vector<ArchiveEntry> ReadArchiveDay(const std::string& dayFolder, const Date& day) {
    return ReadDayIndex(dayFolder, day).entries;
}

namespace {

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
    return WriteOwnFileAtomic(folder + file, packed, &error);
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
    for (const auto& e : index.foreign) {
        list(EntryLine(e), e);  // written anew: an older line may hold a password
    }
    for (size_t i = 0; i < index.entries.size(); ++i) {
        if (keep[i]) {
            list(EntryLine(index.entries[i]), index.entries[i]);
        }
    }
    return text;
}

// Pages no pass lists any more, and the leftovers of a writer that was killed.
void RemoveUnlisted(const std::string& folder, const std::set<std::string>& listed) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsPageFileName(name) && !listed.count(name) &&
            it->symlink_status(ec).type() == std::filesystem::file_type::regular) {
            RemoveFile(folder + name);
        }
    }
    RemoveStaleTemporaryFiles(folder, [](std::string_view name) {
        return IsPageFileName(name) || name == kArchiveIndexName;
    });
}

// Two machines sharing the data folder both add to the list: a sync tool keeps the other's as a
// conflict copy, whose days count as well.
std::vector<std::string> DayListCopies(const std::string& root) {
    std::vector<std::string> copies;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(root, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const auto copy = ParseConflictCopyName(name); copy && copy->original == kDayListName) {
            copies.push_back(root + name);
        }
    }
    return copies;
}

std::set<int64_t> ReadDayList(const std::string& root) {
    std::set<int64_t> days;
    std::vector<std::string> paths = DayListCopies(root);
    paths.push_back(root + std::string(kDayListName));
    for (const auto& path : paths) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        const auto text = ReadFile(path, kMaxIndexBytes);
        for (const auto& line : text ? SplitLines(*text) : std::vector<std::string>{}) {
            if (const auto day = ArchiveFolderDate(line)) {
                days.insert(DayNumber(*day));
            }
        }
    }
    return days;
}

// Best effort: without the list a lost folder goes unnamed, the pages are kept all the same.
// days holds what the conflict copies listed, so once it is written they go.
void WriteDayList(const std::string& root, const std::set<int64_t>& days) {
    std::string text;
    for (const int64_t d : days) {
        const std::string folder = ArchiveDayFolder("", FromDayNumber(d));
        text += folder.substr(kArchiveFolderName.size() + 1, 10) + "\r\n";
    }
    const std::vector<std::string> copies = DayListCopies(root);
    if (WriteOwnFileAtomic(root + std::string(kDayListName), text)) {
        for (const auto& copy : copies) {
            RemoveFile(copy);
        }
    }
}

void ListDay(const std::string& root, const Date& day) {
    std::set<int64_t> days = ReadDayList(root);
    if (days.insert(DayNumber(day)).second || !DayListCopies(root).empty()) {
        WriteDayList(root, days);
    }
}

std::string NotArchived(const std::string& why) {
    return "De pagina's van deze download zijn niet bewaard in het archief (" + why +
           "); de koersen zelf zijn wel opgeslagen.";
}

}  // namespace

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
    index.entries.push_back(std::move(added));
    std::set<std::string> listed;
    const std::string text = DayIndexText(index, listed);
    if (!WriteOwnFileAtomic(folder + std::string(kArchiveIndexName), text, &error)) {
        RemoveFile(folder + index.entries.back().indexFile);
        RemoveFile(folder + index.entries.back().optionFile);
        return NotArchived(error);
    }
    RemoveUnlisted(folder, listed);
    ListDay(dataFolder + std::string(kArchiveFolderName) + "/", day);
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
        DayIndex index = ReadDayIndex(folder, *day);
        if (!index.problem.empty() && !index.entries.empty()) {
            archive.indexProblems[DayNumber(*day)] = index.problem;
        }
        for (auto* list : {&index.entries, &index.foreign}) {
            for (auto& entry : *list) {
                entry.folder = folder;
                archive.days[DayNumber(TradingDay(entry.time))].push_back(std::move(entry));
            }
        }
    }
    archive.listedDays = ReadDayList(root + "/");
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

void ForgetArchiveDays(const std::string& dataFolder, const std::vector<std::string>& folders) {
    const std::string root = dataFolder + std::string(kArchiveFolderName) + "/";
    std::set<int64_t> days = ReadDayList(root);
    const size_t before = days.size();
    for (const auto& folder : folders) {
        const auto slash = folder.rfind('/');
        const std::string_view name =
            std::string_view(folder).substr(slash == std::string::npos ? 0 : slash + 1);
        if (const auto day = ArchiveFolderDate(name)) {
            days.erase(DayNumber(*day));
        }
    }
    if (days.size() != before) {
        WriteDayList(root, days);
    }
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
