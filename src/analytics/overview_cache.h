#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analytics/overview.h"
#include "history/history_text.h"

namespace rendaal {

// Overview rows that remember each history file by its size, modification time and identity,
// so that a scan reads again only the files that changed since the previous one. Not shared
// between threads.
class OverviewCache {
public:
    // As LoadOverview. stop is asked before every file; when it says so the scan is abandoned
    // and nothing is returned.
    std::optional<std::vector<OverviewRow>> Load(const std::string& folder,
                                                 const std::vector<std::string>& lines,
                                                 const Rates& rates, const DateTime& now,
                                                 const std::function<bool()>& stop = {});
    // The volatility history of one history file in folder, read again only when the file or
    // the rates changed. Empty when the name has folder parts or the file is no regular file
    // or cannot be read.
    std::optional<std::vector<IvRow>> Iv(const std::string& folder, const std::string& fileName,
                                         const Rates& rates);
    // History files read (not taken from memory) since the cache was made.
    int64_t FilesRead() const { return filesRead_; }

private:
    struct Stamp {
        int64_t size = -1;
        int64_t mtimeNs = 0;
        uint64_t device = 0;
        uint64_t inode = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    struct Entry {
        Stamp stamp;
        Date notAfter;  // a new trading day may make a line of the file count
        HistorySummary summary;
    };
    struct IvEntry {
        Stamp stamp;
        Rates rates;
        std::vector<IvRow> rows;
    };
    static std::optional<Stamp> StampOf(const std::string& path);
    std::unordered_map<std::string, Entry> entries_;
    std::unordered_map<std::string, IvEntry> ivEntries_;
    int64_t filesRead_ = 0;
    // Kept from file to file: fresh memory for each costs more than reading it.
    std::string buffer_;
    HistoryDates dates_;
};

}  // namespace rendaal
