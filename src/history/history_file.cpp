#include "history/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <optional>
#include <unordered_set>

#include "core/combination.h"
#include "core/file_copy.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/text.h"
#include "history/history_text.h"

namespace rendaal {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

DateTime PreviousDay(const DateTime& t) {
    return AddDays(t, -1);
}

// A file or folder without any write bit is read-only to this program, also when it runs with
// rights that would let it replace the file anyway.
bool ReadOnly(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

}  // namespace

DateTime TradingStamp(const DateTime& now) {
    DateTime stamp = now;
    const int wd = Weekday(stamp.date());
    if (wd >= 3 && wd <= 7 && IsBeforeOpening(stamp)) {
        stamp = ClosingTime(PreviousDay(stamp).date());
    }
    if (Weekday(stamp.date()) == 7) {
        stamp = AddDays(stamp, -1);
    }
    if (Weekday(stamp.date()) == 1) {
        stamp = AddDays(stamp, -2);
    }
    return stamp;
}

std::string FormatHistoryStamp(const DateTime& stamp) {
    std::string text = FormatDmy(stamp.date());
    if (stamp.hour != 0 || stamp.minute != 0 || stamp.second != 0) {
        text += ' ';
        text += FormatTimeShort(stamp);
    }
    return text;
}

std::string WithLeadingZero(std::string text) {
    if (text.size() < 5) {
        text.insert(text.begin(), '0');
    }
    return text;
}

std::string SomText(double som) {
    // Whole, never cut to a width: the sum of two prices that passed their checks is small, but
    // a cut text would be a wrong number in the file.
    if (!std::isfinite(som)) {
        som = 0;
    }
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%4.2f", som);
    std::string text(buf,
                     n > 0 && static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : 0);
    if (const auto p = text.find('.'); p != std::string::npos) {
        text[p] = kDecimalSeparator;
    }
    return WithLeadingZero(text);
}

std::string HistoryLine(const DateTime& now, std::string_view fields, std::string_view indexText,
                        double som) {
    std::string line = FormatHistoryStamp(TradingStamp(now));
    line += fields;
    line += "; ";
    line += SomText(som);
    line += "; ";
    // Whatever the index page held, only a level is written; otherwise the column stays empty.
    if (ParseIndexLevel(indexText)) {
        line += indexText;
    }
    // A line break or other control byte from a page would split or garble the line.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return line;
}

bool IsUsableHistoryName(std::string_view name) {
    return IsPlainFileName(name) && name.size() <= kMaxHistoryNameBytes;
}

std::string BackupFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot)) + ".bak";
}

namespace {

struct DatedLine {
    int64_t day = 0;
    size_t source = 0;
    const HistoryTextLine* line = nullptr;
};

struct AsideCandidate {
    std::string_view text;
    HistoryAsideLine::Why why = HistoryAsideLine::Why::Unreadable;
    std::optional<Date> date;
    size_t source = 0;
};

// The last row and the last damaged line of one date in one source: of a source's own lines the
// latest download comes last.
struct SourcePick {
    const HistoryTextLine* row = nullptr;
    const HistoryTextLine* damaged = nullptr;
};

// A last line without its end that another copy holds whole was cut off, not corrected by hand.
bool CutOffVersionOf(const HistoryTextLine& cut, const HistoryTextLine& whole) {
    return !cut.ended && whole.text.size() > cut.text.size() &&
           whole.text.substr(0, cut.text.size()) == cut.text;
}

bool CutOffByAnother(const std::vector<SourcePick>& picks) {
    for (size_t s = 1; s < picks.size(); ++s) {
        if (picks[s].row && CutOffVersionOf(*picks[0].row, *picks[s].row)) {
            return true;
        }
    }
    return false;
}

// The line a date keeps and the source it comes from.
std::pair<const HistoryTextLine*, size_t> Choose(const std::vector<SourcePick>& picks,
                                                 HistoryMerge& m) {
    const SourcePick& file = picks[0];
    if (file.row && !CutOffByAnother(picks)) {
        return {file.row, 0};
    }
    for (size_t s = 1; s < picks.size(); ++s) {
        if (picks[s].row) {
            ++(file.row || file.damaged ? m.rowsFromBackup : m.datesFromBackup);
            return {picks[s].row, s};
        }
    }
    // No row anywhere: the damaged line still holds the date, so it stays.
    if (file.damaged) {
        return {file.damaged, 0};
    }
    for (size_t s = 1; s < picks.size(); ++s) {
        if (picks[s].damaged) {
            ++m.datesFromBackup;
            return {picks[s].damaged, s};
        }
    }
    return {nullptr, 0};
}

// The dated lines of a text that reads as history go to dated, the others aside; a text that
// does not read is kept aside whole. A date after lastDay is no row of this history yet.
void Collect(const HistoryText& text, std::string_view bytes, size_t source, int64_t lastDay,
             HistoryMerge& m, std::vector<DatedLine>& dated, std::vector<AsideCandidate>& aside) {
    if (!text.readable) {
        m.fileUnreadable = m.fileUnreadable || source == 0;
        m.backupUnreadable = m.backupUnreadable || source == 1;
        const auto kind = source == 0   ? HistoryAside::Kind::File
                          : source == 1 ? HistoryAside::Kind::Backup
                                        : HistoryAside::Kind::Copy;
        m.aside.push_back({kind, std::string(bytes), source, 0});
        return;
    }
    for (const auto& line : text.lines) {
        if (!line.date) {
            aside.push_back({line.text, HistoryAsideLine::Why::Unreadable, {}, source});
        } else if (const int64_t day = DayNumber(*line.date); day > lastDay) {
            aside.push_back({line.text, HistoryAsideLine::Why::Future, line.date, source});
        } else {
            dated.push_back({day, source, &line});
        }
    }
}

// Writes the line chosen for the date of dated[begin, end) and sets aside what else must not go:
// damaged lines, and the file's other rows of the date. A later source's rows that lose are
// earlier states of the same history (the backup holds each day's earlier downloads).
void MergeDay(const DatedLine* begin, const DatedLine* end, std::vector<SourcePick>& picks,
              HistoryMerge& m, std::vector<AsideCandidate>& aside) {
    std::fill(picks.begin(), picks.end(), SourcePick{});
    for (const DatedLine* d = begin; d != end; ++d) {
        (d->line->IsRow() ? picks[d->source].row : picks[d->source].damaged) = d->line;
    }
    const auto [chosen, from] = Choose(picks, m);
    m.text += chosen->text;
    m.text += kLineEnd;
    for (const DatedLine* d = begin; d != end; ++d) {
        const HistoryTextLine* line = d->line;
        if (line == chosen || line->text == chosen->text) {
            continue;
        }
        if (!line->IsRow()) {
            aside.push_back({line->text, HistoryAsideLine::Why::Unreadable, line->date, d->source});
        } else if (d->source == 0) {
            const bool duplicate = from == 0;
            aside.push_back(
                {line->text,
                 duplicate ? HistoryAsideLine::Why::Duplicate : HistoryAsideLine::Why::Unreadable,
                 line->date, 0});
        }
    }
}

// The set-aside lines as one text, each once.
void KeepLinesAside(const std::vector<AsideCandidate>& candidates, HistoryMerge& m) {
    std::unordered_set<std::string_view> seen;
    HistoryAside lines{HistoryAside::Kind::Lines, {}, 0, 0};
    std::vector<const AsideCandidate*> kept;
    for (const AsideCandidate& c : candidates) {
        if (seen.insert(c.text).second) {
            kept.push_back(&c);
            lines.text += c.text;
            lines.text += kLineEnd;
            lines.sources |= 1u << std::min<size_t>(c.source, 31);
        }
    }
    if (kept.empty()) {
        return;
    }
    m.aside.push_back(std::move(lines));
    for (const AsideCandidate* c : kept) {
        m.asideLines.push_back({c->why, std::string(c->text), c->date});
    }
    m.linesAside = static_cast<int>(kept.size());
}

}  // namespace

HistoryMerge MergeHistorySources(const std::vector<std::string_view>& sources,
                                 const HistoryMergeOptions& options) {
    HistoryMerge m;
    std::vector<HistoryText> read;
    read.reserve(sources.size());
    size_t lines = 0;
    for (const std::string_view bytes : sources) {
        lines += read.emplace_back(ReadHistoryText(bytes)).lines.size();
    }
    const int64_t lastDay =
        options.lastDay ? DayNumber(*options.lastDay) : std::numeric_limits<int64_t>::max();
    std::vector<DatedLine> dated;
    dated.reserve(lines);
    std::vector<AsideCandidate> aside;  // in the order met
    for (size_t s = 0; s < sources.size(); ++s) {
        Collect(read[s], sources[s], s, lastDay, m, dated, aside);
    }
    m.fileFromSpreadsheet = !read.empty() && read[0].spreadsheet && read[0].readable;
    // Stable: within a date the sources stay in their order, each with its lines in file order.
    std::stable_sort(dated.begin(), dated.end(),
                     [](const DatedLine& a, const DatedLine& b) { return a.day < b.day; });
    m.text.reserve((sources.empty() ? 0 : sources[0].size()) + kHistoryHeader.size() + 2);
    m.text += kHistoryHeader;
    m.text += kLineEnd;
    std::vector<SourcePick> picks(std::max<size_t>(sources.size(), 1));
    for (size_t i = 0; i < dated.size();) {
        size_t end = i + 1;
        while (end < dated.size() && dated[end].day == dated[i].day) {
            ++end;
        }
        MergeDay(dated.data() + i, dated.data() + end, picks, m, aside);
        i = end;
    }
    KeepLinesAside(aside, m);
    return m;
}

HistoryMerge MergeHistoryTexts(std::string_view fileBytes, std::string_view backupBytes,
                               const HistoryMergeOptions& options) {
    return MergeHistorySources({fileBytes, backupBytes}, options);
}

std::string CompactHistoryText(std::string_view text) {
    return MergeHistoryTexts(text, {}).text;
}

std::vector<int64_t> HistoryDays(std::string_view text) {
    const HistoryText read = ReadHistoryText(text);
    std::vector<int64_t> days;
    if (!read.readable) {
        return days;
    }
    days.reserve(read.lines.size());
    for (const auto& line : read.lines) {
        if (line.date) {
            days.push_back(DayNumber(*line.date));
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

bool HoldsEveryDate(std::string_view text, std::string_view of) {
    const std::vector<int64_t> have = HistoryDays(text);
    const std::vector<int64_t> need = HistoryDays(of);
    return std::includes(have.begin(), have.end(), need.begin(), need.end());
}

namespace {

// The parts of a message, joined.
std::string Said(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

std::string Count(int n, std::string_view one, std::string_view more) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : more);
}

std::string SideFileName(const std::string& base, int n) {
    return n == 1 ? base : base + "." + std::to_string(n);
}

// The side files a history has: "<backup name>.onleesbaar", ".2", ... Only regular files count
// as kept text; a link, FIFO or folder in a name's place only occupies it.
struct SideFiles {
    std::string base;
    std::vector<std::string> names;  // regular files, in number order
    std::vector<std::string> texts;
    std::unordered_set<std::string> lines;
};

SideFiles FindSideFiles(const std::string& folder, const std::string& fileName) {
    SideFiles sides;
    sides.base = folder + BackupFileName(fileName) + std::string(kUnreadableSuffix);
    for (int n = 1; n <= kMaxSideFiles; ++n) {
        const std::string name = SideFileName(sides.base, n);
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        if (auto text = ReadFile(name)) {
            for (auto& line : SplitLines(*text)) {
                sides.lines.insert(std::move(line));
            }
            sides.names.push_back(name);
            sides.texts.push_back(std::move(*text));
        }
    }
    return sides;
}

struct SideWrite {
    std::string path;
    bool already = false;   // the same text was kept before: nothing written, nothing said
    bool appended = false;  // no free name: added to the end of the last side file
    std::vector<const HistoryAsideLine*> fresh;  // of the lines: those not kept before
};

// The first free name gets the text; with none left, the last side file gets it at its end, so
// that a run never fails for lack of a name while a text is kept anywhere.
bool KeepText(SideFiles& sides, std::string_view text, unsigned mask, SideWrite& out,
              std::string& why) {
    for (int n = 1; n <= kMaxSideFiles; ++n) {
        std::string name = SideFileName(sides.base, n);
        struct stat st {};
        if (::lstat(name.c_str(), &st) == 0 || errno != ENOENT) {
            continue;
        }
        if (!WriteFileAtomic(name, text, &why, mask)) {
            return false;
        }
        for (auto& line : SplitLines(text)) {
            sides.lines.insert(std::move(line));
        }
        sides.names.push_back(name);
        sides.texts.emplace_back(text);
        out.path = std::move(name);
        return true;
    }
    if (sides.names.empty()) {
        why = "geen vrije naam naast " + sides.base;
        return false;
    }
    const std::string& last = sides.names.back();
    const std::string& had = sides.texts.back();
    const std::string separated =
        (had.empty() || had.back() == '\n' ? "" : std::string(kLineEnd)) + std::string(text);
    if (!AppendFile(last, separated, &why)) {
        return false;
    }
    sides.texts.back() += separated;
    for (auto& line : SplitLines(text)) {
        sides.lines.insert(std::move(line));
    }
    out.path = last;
    out.appended = true;
    return true;
}

// The permission bits a kept text may have: no wider than any file it came from.
unsigned MaskOf(uint32_t sources, const std::vector<unsigned>& modes) {
    unsigned mask = 07777;
    for (size_t s = 0; s < modes.size() && s < 32; ++s) {
        if ((sources >> s) & 1u) {
            mask &= modes[s];
        }
    }
    return mask;
}

// Keeps every text of the merge beside the history, each once; false (with error) when one cannot
// be kept, so that nothing is dropped that was not kept first.
bool WriteSideFiles(const std::string& folder, const std::string& fileName, const HistoryMerge& m,
                    const std::vector<unsigned>& modes, std::vector<SideWrite>& writes,
                    std::string& error) {
    writes.assign(m.aside.size(), {});
    if (m.aside.empty()) {
        return true;
    }
    SideFiles sides = FindSideFiles(folder, fileName);
    for (size_t i = 0; i < m.aside.size(); ++i) {
        const HistoryAside& aside = m.aside[i];
        SideWrite& out = writes[i];
        std::string_view text = aside.text;
        std::string fresh;
        unsigned mask = 07777;
        if (aside.kind == HistoryAside::Kind::Lines) {
            for (const HistoryAsideLine& line : m.asideLines) {
                if (sides.lines.count(line.text) == 0) {
                    out.fresh.push_back(&line);
                    fresh += line.text;
                    fresh += kLineEnd;
                }
            }
            text = fresh;
            mask = MaskOf(aside.sources, modes);
            out.already = fresh.empty();
        } else {
            const auto same = std::find(sides.texts.begin(), sides.texts.end(), aside.text);
            out.already = same != sides.texts.end();
            mask = MaskOf(1u << std::min<size_t>(aside.source, 31), modes);
        }
        std::string why;
        if (out.already || KeepText(sides, text, mask, out, why)) {
            continue;
        }
        error = Said({"Het koersbestand ", folder, fileName,
                      " is niet bijgewerkt: wat onleesbaar is, kan niet apart worden bewaard (",
                      why.empty() ? "schrijven mislukt" : why, ")."});
        return false;
    }
    return true;
}

// The state of the history file before the merge, as the note names it.
enum class FileState { Missing, Empty, Present };

struct BackupState {
    std::string text;     // what it holds; empty when missing or not kept
    bool keep = false;    // never replaced: not a regular file, unreadable, read-only
    std::string problem;  // why it is not kept up to date, naming it
};

BackupState ReadBackup(const std::string& backup) {
    BackupState b;
    const FileRead read = ReadFileChecked(backup);
    if (read.text) {
        b.text = *read.text;
        if (ReadOnly(backup)) {
            b.keep = true;
            b.problem = FileErrorText(backup, "bijgewerkt", EACCES);
        }
    } else if (!read.missing) {
        b.keep = true;
        b.problem = read.error;
    }
    return b;
}

std::string RestoreSentence(const std::string& path, const std::string& backupName, FileState state,
                            const HistoryMerge& m) {
    const int back = m.datesFromBackup + m.rowsFromBackup;
    if (m.fileUnreadable) {
        return Said({"Uit de reservekopie ", backupName, back == 1 ? " is " : " zijn ",
                     Count(back, "datum", "datums"), " teruggezet."});
    }
    const std::string came = Said(
        {Count(back, "datum is", "datums zijn"), " teruggezet uit de reservekopie ", backupName});
    const char* was = state == FileState::Missing ? "verdwenen"
                      : state == FileState::Empty ? "leeg"
                      : m.datesFromBackup > 0     ? "onvolledig"
                                                  : "beschadigd";
    return Said({"Het koersbestand ", path, " was ", was, "; ", came, "."});
}

void SortDates(std::vector<Date>& dates) {
    std::sort(dates.begin(), dates.end(),
              [](const Date& a, const Date& b) { return DayNumber(a) < DayNumber(b); });
}

// "a", "a en b", "a, b en c"; beyond ten, how many more.
std::string DateList(const std::vector<Date>& dates) {
    constexpr size_t kNamed = 10;
    std::vector<std::string> named;
    for (size_t i = 0; i < dates.size() && i < kNamed; ++i) {
        named.push_back(FormatDmy(dates[i]));
    }
    if (dates.size() > kNamed) {
        named.push_back(
            Count(static_cast<int>(dates.size() - kNamed), "andere datum", "andere datums"));
    }
    std::string text;
    for (size_t i = 0; i < named.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == named.size() ? " en " : ", ") + named[i];
    }
    return text;
}

// What the new lines of a side file are, one sentence per kind of reason.
void SayLinesKept(const std::string& path, const SideWrite& w, const HistoryMergeOptions& options,
                  std::vector<std::string>& said) {
    int unreadable = 0;
    int future = 0;
    std::vector<Date> duplicated;
    std::vector<Date> later;
    for (const HistoryAsideLine* line : w.fresh) {
        if (line->why == HistoryAsideLine::Why::Unreadable) {
            ++unreadable;
            continue;
        }
        auto& dates = line->why == HistoryAsideLine::Why::Duplicate ? duplicated : later;
        future += line->why == HistoryAsideLine::Why::Future ? 1 : 0;
        if (line->date && std::find(dates.begin(), dates.end(), *line->date) == dates.end()) {
            dates.push_back(*line->date);
        }
    }
    const int duplicates = static_cast<int>(w.fresh.size()) - unreadable - future;
    if (unreadable > 0) {
        said.push_back(
            Said({Count(unreadable, "onleesbare regel", "onleesbare regels"), " van ", path,
                  unreadable == 1 ? " is" : " zijn", " bewaard in ", w.path, "."}));
    }
    if (duplicates > 0) {
        SortDates(duplicated);
        said.push_back(
            Said({"Het koersbestand ", path, " had meer dan één regel voor ", DateList(duplicated),
                  duplicated.size() == 1 ? ": de laatste is gebruikt, "
                                         : ": van elke datum is de laatste gebruikt, ",
                  duplicates == 1 ? "de andere is bewaard in " : "de andere zijn bewaard in ",
                  w.path, "."}));
    }
    if (future > 0) {
        SortDates(later);
        const std::string day = options.lastDay ? FormatDmy(*options.lastDay) : "vandaag";
        said.push_back(
            future == 1 ? Said({"Een regel van ", path, " met een datum na ", day, " (",
                                DateList(later), ") telt niet mee en is bewaard in ", w.path, "."})
                        : Said({Count(future, "regel", "regels"), " van ", path,
                                " met een datum na ", day, " (", DateList(later),
                                ") tellen niet mee en zijn bewaard in ", w.path, "."}));
    }
}

std::string KeptWhole(const SideWrite& w) {
    return w.appended ? Said({"bewaard achteraan in ", w.path, " (er is geen vrije naam meer)"})
                      : Said({"bewaard als ", w.path});
}

// One note for everything that happened to one history: dates put back and from where, what was
// set aside and where it is now. Text kept before is not told again.
std::string MergeNote(const std::string& path, const std::string& backupName, FileState state,
                      const HistoryMerge& m, const std::vector<SideWrite>& writes,
                      const HistoryMergeOptions& options) {
    std::vector<std::string> said;
    for (size_t i = 0; i < m.aside.size(); ++i) {
        if (m.aside[i].kind == HistoryAside::Kind::File && !writes[i].already) {
            said.push_back(Said({"Het koersbestand ", path, " was onleesbaar en is ongewijzigd ",
                                 KeptWhole(writes[i]), "."}));
        }
    }
    if (m.fileFromSpreadsheet) {
        said.push_back(Said({"Het koersbestand ", path,
                             " was door een rekenblad opgeslagen; het is gelezen en in de eigen "
                             "vorm teruggeschreven."}));
    }
    if (m.datesFromBackup + m.rowsFromBackup > 0) {
        said.push_back(RestoreSentence(path, backupName, state, m));
    }
    for (size_t i = 0; i < m.aside.size(); ++i) {
        if (writes[i].already) {
            continue;
        }
        if (m.aside[i].kind == HistoryAside::Kind::Backup) {
            said.push_back(Said({"De reservekopie ", backupName, " van ", path,
                                 " was onleesbaar en is ongewijzigd ", KeptWhole(writes[i]), "."}));
        } else if (m.aside[i].kind == HistoryAside::Kind::Copy) {
            said.push_back(Said({"Een kopie van ", path, " was onleesbaar en is ongewijzigd ",
                                 KeptWhole(writes[i]), "."}));
        } else if (m.aside[i].kind == HistoryAside::Kind::Lines) {
            SayLinesKept(path, writes[i], options, said);
        }
    }
    std::string note;
    for (const auto& sentence : said) {
        note += (note.empty() ? "" : " ") + sentence;
    }
    return note;
}

void AddSentence(std::string& note, const std::string& sentence) {
    note += (note.empty() ? "" : " ") + sentence;
}

void AddLinesAside(HistoryMerge& into, const HistoryMerge& from) {
    for (const auto& aside : from.aside) {
        if (aside.kind != HistoryAside::Kind::Lines) {
            continue;
        }
        auto it = std::find_if(into.aside.begin(), into.aside.end(), [](const HistoryAside& a) {
            return a.kind == HistoryAside::Kind::Lines;
        });
        if (it == into.aside.end()) {
            it = into.aside.insert(into.aside.end(), {HistoryAside::Kind::Lines, {}, 0, 0});
        }
        it->text += aside.text;
        it->sources |= aside.sources;
        into.linesAside += from.linesAside;
    }
    into.asideLines.insert(into.asideLines.end(), from.asideLines.begin(), from.asideLines.end());
}

std::string WithoutLines(std::string_view text, std::string_view lines) {
    const std::vector<std::string> dropped = SplitLines(lines);
    const std::unordered_set<std::string_view> drop(dropped.begin(), dropped.end());
    std::string kept;
    kept.reserve(text.size());
    for (const auto& line : SplitLines(text)) {
        if (drop.count(line) == 0) {
            kept += line;
            kept += kLineEnd;
        }
    }
    return kept;
}

// The permission bits of the file at path (through links); all when there is none.
unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// A write of one history starts from the file and its backup as they are now, merged.
struct HistoryStart {
    std::string path;
    std::string backupName;
    std::string backup;
    std::string fileText;
    FileState state = FileState::Missing;
    BackupState saved;
    HistoryMerge merged;
    HistoryMergeOptions options;
    std::vector<unsigned> modes;  // of the file and the backup
    struct stat seen {};          // the file as it was read; zero when missing
    struct stat backupSeen {};    // the backup's own entry, not what a link points to
};

// A backup the user keeps as it is (read-only, a folder) is said once: at the first write after
// it came to be so. No state is kept anywhere, so the window and the companion agree: a change of
// the backup no earlier than the file's last write is news.
bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool BackupChangedSinceLastWrite(const HistoryStart& start) {
    return start.seen.st_ino == 0 || !Before(start.backupSeen.st_ctim, start.seen.st_mtim);
}

// Where the clock is coarse the write can share the backup's tick; it must read as later, or the
// next run would say it again.
void MarkWrittenAfterBackup(const HistoryStart& start) {
    struct stat now {};
    const timespec& changed = start.backupSeen.st_ctim;
    if (::stat(start.path.c_str(), &now) != 0 || Before(changed, now.st_mtim)) {
        return;
    }
    timespec times[2] = {{0, UTIME_OMIT}, changed};
    if (++times[1].tv_nsec == 1000000000) {
        times[1] = {changed.tv_sec + 1, 0};
    }
    ::utimensat(AT_FDCWD, start.path.c_str(), times, 0);
}

// The file's text when it is no longer the one start read: a sync tool put the other machine's
// version in its place meanwhile.
std::optional<std::string> ChangedSince(const HistoryStart& start) {
    struct stat now {};
    ::stat(start.path.c_str(), &now);
    if (now.st_ino == start.seen.st_ino && now.st_dev == start.seen.st_dev &&
        now.st_size == start.seen.st_size && now.st_mtim.tv_sec == start.seen.st_mtim.tv_sec &&
        now.st_mtim.tv_nsec == start.seen.st_mtim.tv_nsec) {
        return std::nullopt;
    }
    return ReadFile(start.path);
}

// Empty, with why in error, when the file exists but cannot be read: it may hold more than
// anything else, so it is left alone.
std::optional<HistoryStart> StartHistoryWrite(const std::string& folder,
                                              const std::string& fileName,
                                              const HistoryMergeOptions& options,
                                              std::string& error) {
    HistoryStart start;
    start.path = folder + fileName;
    start.backupName = BackupFileName(fileName);
    start.backup = folder + start.backupName;
    ::stat(start.path.c_str(), &start.seen);  // before the read: a change after it is seen
    ::lstat(start.backup.c_str(), &start.backupSeen);
    const FileRead current = ReadFileChecked(start.path);
    if (!current.text && !current.missing) {
        error = "Het koersbestand " + current.error + ".";
        return std::nullopt;
    }
    start.saved = ReadBackup(start.backup);
    start.fileText = current.text.value_or(std::string());
    start.state = !current.text                                   ? FileState::Missing
                  : ReadHistoryText(start.fileText).lines.empty() ? FileState::Empty
                                                                  : FileState::Present;
    start.options = options;
    start.merged = MergeHistoryTexts(start.fileText, start.saved.text, options);
    start.modes = {ModeOf(start.path), ModeOf(start.backup)};
    return start;
}

bool Unwritable(const std::string& folder, const std::string& path) {
    return ReadOnly(path) || ReadOnly(folder.empty() ? "." : folder);
}

// Side files first, then the backup, then the file: a failure leaves the history as it was.
// fallback is written when fileText cannot be.
HistoryWriteResult FinishHistoryWrite(const std::string& folder, const std::string& fileName,
                                      const HistoryStart& start, const std::string& backupText,
                                      const std::string& fileText,
                                      const std::string* fallback = nullptr) {
    std::vector<SideWrite> writes;
    std::string error;
    if (!WriteSideFiles(folder, fileName, start.merged, start.modes, writes, error)) {
        return {false, error, {}};
    }
    HistoryWriteResult result;
    result.note =
        MergeNote(start.path, start.backupName, start.state, start.merged, writes, start.options);
    // Every date the backup held is in the new text, or the backup was set aside whole. It holds
    // the file's text, so it is no more open to others than the file.
    const bool keptNews = start.saved.keep && BackupChangedSinceLastWrite(start);
    if (!start.saved.keep) {
        std::string why;
        if (!WriteFileAtomic(start.backup, backupText, &why, start.modes[0])) {
            AddSentence(result.note, Said({"Geen reservekopie van ", start.path, ": ", why, "."}));
        }
    } else if (keptNews) {
        AddSentence(result.note,
                    Said({"Geen reservekopie van ", start.path, ": ", start.saved.problem, "."}));
    }
    // Two machines share no lock: the other's dates are merged in, never written over.
    std::string text = fileText;
    if (const std::optional<std::string> theirs = ChangedSince(start)) {
        const HistoryMerge again = MergeHistorySources({fileText, *theirs}, start.options);
        std::vector<SideWrite> more;
        if (!WriteSideFiles(folder, fileName, again, start.modes, more, error)) {
            return {false, error, {}};
        }
        text = again.text;
    }
    std::string why;
    if (WriteFileAtomic(start.path, text, &why) ||
        (fallback != nullptr && WriteFileAtomic(start.path, *fallback))) {
        if (keptNews) {
            MarkWrittenAfterBackup(start);
        }
        return result;
    }
    return {false, "Het koersbestand " + why + ".", {}};
}

}  // namespace

HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now) {
    std::string error;
    // A line dated after today's trading day is a typing error, not where the combination stands.
    const HistoryMergeOptions options{TradingStamp(now).date()};
    std::optional<HistoryStart> start = StartHistoryWrite(folder, fileName, options, error);
    if (!start) {
        return {false, error, {}};
    }
    if (Unwritable(folder, start->path)) {
        return {false,
                "Het koersbestand " + FileErrorText(start->path, "geschreven", EACCES) + ".",
                {}};
    }
    // The backup holds the appended text (two lines of today when a second download came), the
    // file its form with one line per date. A damaged line of today that the new line replaces
    // is kept aside like every other.
    std::string appended = start->merged.text;
    const std::string line = HistoryLine(now, fields, indexText, som) + std::string(kLineEnd);
    // A writer killed between the backup and the file left this very line in the backup, and
    // the merge has just brought it back: it is not appended twice.
    if (appended.size() < line.size() ||
        appended.compare(appended.size() - line.size(), line.size(), line) != 0) {
        appended += line;
    }
    // The new line is a later download than the row of today the merge holds: it wins the date
    // as a source of its own, and the earlier row stays in the backup only.
    const HistoryMerge compacted = MergeHistorySources({line, start->merged.text}, options);
    if (compacted.linesAside > 0) {
        AddLinesAside(start->merged, compacted);
        // Or the next run would find them in the backup and set them aside once more.
        appended = WithoutLines(appended, compacted.aside.back().text);
    }
    return FinishHistoryWrite(folder, fileName, *start, appended, compacted.text, &appended);
}

HistoryWriteResult AddHistoryLines(const std::string& folder, const std::string& fileName,
                                   const std::vector<std::string>& lines,
                                   std::vector<int64_t>* newDays,
                                   const HistoryMergeOptions& options) {
    std::string error;
    const std::optional<HistoryStart> start = StartHistoryWrite(folder, fileName, options, error);
    if (!start) {
        return {false, error, {}};
    }
    // Only dates that neither file holds: an existing line, damaged or not, is never replaced.
    const std::vector<int64_t> had = HistoryDays(start->merged.text);
    std::string added = start->merged.text;
    for (const auto& line : lines) {
        const HistoryText read = ReadHistoryText(line);
        if (read.lines.size() == 1 && read.lines[0].IsRow() &&
            !std::binary_search(had.begin(), had.end(), DayNumber(*read.lines[0].date))) {
            added += line;
            added += kLineEnd;
        }
    }
    const HistoryMerge compacted = MergeHistoryTexts(added, {}, options);
    const std::vector<int64_t> before = HistoryDays(start->fileText);
    const std::vector<int64_t> after = HistoryDays(compacted.text);
    std::vector<int64_t> fresh;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(fresh));
    if (newDays) {
        *newDays = fresh;
    }
    if (fresh.empty()) {
        return {};
    }
    if (Unwritable(folder, start->path)) {
        return {false,
                "Het koersbestand " + FileErrorText(start->path, "geschreven", EACCES) + ".",
                {}};
    }
    HistoryWriteResult result =
        FinishHistoryWrite(folder, fileName, *start, compacted.text, compacted.text);
    if (!result.ok && newDays) {
        newDays->clear();
    }
    return result;
}

HistoryWriteResult MergeHistoryCopy(const std::string& folder, const std::string& fileName,
                                    std::string_view copy, std::vector<int64_t>* newDays,
                                    const HistoryMergeOptions& options) {
    std::string error;
    std::optional<HistoryStart> start = StartHistoryWrite(folder, fileName, options, error);
    if (newDays) {
        newDays->clear();
    }
    if (!start) {
        return {false, error, {}};
    }
    HistoryMerge merged = MergeHistorySources({start->fileText, start->saved.text, copy}, options);
    // The note tells what the backup put back; the copy's dates are its caller's to name.
    merged.datesFromBackup = start->merged.datesFromBackup;
    merged.rowsFromBackup = start->merged.rowsFromBackup;
    if (merged.text == start->fileText && merged.aside.empty()) {
        return {};
    }
    const std::vector<int64_t> before = HistoryDays(start->fileText);
    const std::vector<int64_t> after = HistoryDays(merged.text);
    std::vector<int64_t> fresh;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(fresh));
    if (Unwritable(folder, start->path)) {
        return {false,
                "Het koersbestand " + FileErrorText(start->path, "geschreven", EACCES) + ".",
                {}};
    }
    start->merged = std::move(merged);
    HistoryWriteResult result =
        FinishHistoryWrite(folder, fileName, *start, start->merged.text, start->merged.text);
    if (result.ok && newDays) {
        *newDays = std::move(fresh);
    }
    return result;
}

bool CompactHistoryFile(const std::string& folder, const std::string& fileName, bool daylightSaving,
                        double daylightOffset) {
    const std::string path = folder + fileName;
    if (!FileExists(path)) {
        return true;
    }
    const auto text = ReadFile(path);
    if (!text) {
        return false;
    }
    const std::string backup = folder + BackupFileName(fileName);
    const BackupState saved = ReadBackup(backup);
    const HistoryMerge merged = MergeHistoryTexts(*text, saved.text);
    std::vector<SideWrite> writes;
    std::string error;
    if (!WriteSideFiles(folder, fileName, merged, {ModeOf(path), ModeOf(backup)}, writes, error)) {
        return false;
    }
    // The backup gets the file as it was only when that holds every date the backup holds.
    const bool backedUp = !saved.keep &&
                          (merged.backupUnreadable || HoldsEveryDate(*text, saved.text)) &&
                          CopyFileKeepTime(path, backup, false, daylightSaving, daylightOffset);
    if (WriteFileAtomic(path, merged.text)) {
        return true;
    }
    // The rewrite is atomic, so the file still holds its old text; putting the backup back only
    // matters if something else touched it in between.
    if (backedUp) {
        CopyFileKeepTime(backup, path, false, daylightSaving, daylightOffset);
    }
    return false;
}

}  // namespace rendaal

namespace rendaal {

double LastHistoryIndexValueIn(const std::string& folder, const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        const std::string name = HistoryFileName(line);
        if (line.empty() || line[0] == ';' || !IsPlainFileName(name)) {
            continue;
        }
        const auto text = ReadFile(folder + name);
        if (!text) {
            continue;
        }
        const HistoryText read = ReadHistoryText(*text);
        // A last line without a level (index page failed, or damaged) gives none either.
        if (!read.lines.empty() && read.lines.back().IsRow()) {
            if (const auto level = ParseIndexLevel(read.lines.back().aex)) {
                return *level;
            }
        }
    }
    return 0.0;
}

}  // namespace rendaal
