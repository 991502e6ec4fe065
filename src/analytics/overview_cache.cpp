#include "analytics/overview_cache.h"

#include <sys/stat.h>

#include "core/combination.h"
#include "core/fileio.h"
#include "history/history_file.h"
#include "history/history_text.h"
#include "history/rows.h"

namespace rendaal {

std::optional<OverviewCache::Stamp> OverviewCache::StampOf(const std::string& path) {
    // A FIFO in a history file's place would block the open.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return Stamp{static_cast<int64_t>(st.st_size),
                 static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                 static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<std::vector<IvRow>> OverviewCache::Iv(const std::string& folder,
                                                    const std::string& fileName,
                                                    const Rates& rates) {
    const std::string path = folder + fileName;
    const auto stamp = IsPlainFileName(fileName) ? StampOf(path) : std::nullopt;
    if (!stamp) {
        return std::nullopt;
    }
    if (auto it = ivEntries_.find(path); it != ivEntries_.end() && it->second.stamp == *stamp &&
                                         it->second.rates.r == rates.r &&
                                         it->second.rates.q == rates.q) {
        return it->second.rows;
    }
    ++filesRead_;
    std::string text;
    if (!ReadFileInto(path, text)) {
        return std::nullopt;
    }
    // Moving up and down the list asks for a few files again and again; more are not kept.
    if (ivEntries_.size() >= 32) {
        ivEntries_.clear();
    }
    auto rows = IvHistory(fileName, ReadHistoryText(text), rates);
    ivEntries_[path] = IvEntry{*stamp, rates, rows};
    return rows;
}

std::optional<std::vector<OverviewRow>> OverviewCache::Load(const std::string& folder,
                                                            const std::vector<std::string>& lines,
                                                            const Rates& rates, const DateTime& now,
                                                            const std::function<bool()>& stop) {
    std::vector<OverviewRow> rows;
    rows.reserve(lines.size());
    std::unordered_map<std::string, Entry> seen;
    const Date notAfter = TradingStamp(now).date();
    for (const auto& line : lines) {
        if (stop && stop()) {
            entries_.merge(seen);
            return std::nullopt;
        }
        const std::string name = HistoryFileName(line);
        const std::string path = folder + name;
        const auto stamp = IsPlainFileName(name) ? StampOf(path) : std::nullopt;
        if (!stamp) {
            rows.push_back(OverviewOf(line, nullptr, rates, now));
            continue;
        }
        // Stamped before the read: a file that grows meanwhile differs from its stamp next time.
        const Entry* entry = nullptr;
        if (auto it = seen.find(path); it != seen.end()) {
            entry = &it->second;
        } else if (auto old = entries_.find(path); old != entries_.end() &&
                                                   old->second.stamp == *stamp &&
                                                   old->second.notAfter == notAfter) {
            entry = &seen.emplace(path, std::move(old->second)).first->second;
        } else {
            ++filesRead_;
            if (!ReadFileInto(path, buffer_)) {
                rows.push_back(OverviewOf(line, nullptr, rates, now));
                continue;
            }
            // The overview needs two or three lines of a history: the others are read for their
            // dates.
            ReadHistoryDates(buffer_, dates_);
            entry = &seen.emplace(path,
                                  Entry{*stamp, notAfter, SummarizeHistory(name, dates_, notAfter)})
                         .first->second;
        }
        OverviewRow row = SummaryOverview(name, entry->summary, rates, now);
        row.key = CombinationKey(line);
        rows.push_back(std::move(row));
    }
    // Files no longer listed are forgotten.
    entries_ = std::move(seen);
    return rows;
}

}  // namespace rendaal
