#pragma once

#include <string>

#include "download/download_run.h"

// What a download run of the window and of the companion takes from the platform and the stored
// settings, built in one place; the caller adds its combination lines, years and display.
namespace rendaal {

class Clock;
class SettingsStore;

struct PageAddresses {
    std::string indexUrlBase = std::string(kDefaultIndexUrl);
    std::string optionUrlBase = std::string(kDefaultOptionUrl);
};
// As stored ("IndexUrl", "OptionUrl"), else the quote sites.
PageAddresses StoredPageAddresses(const SettingsStore& settings);

// The program clock unless clock is given, the fetcher, the data folder and the addresses.
RunEnvironment BaseRunEnvironment(PageFetcher& fetcher, const std::string& dataFolder,
                                  const PageAddresses& addresses, const Clock* clock = nullptr);

}  // namespace rendaal
