#include "platform/run_setup.h"

#include "core/clock.h"
#include "platform/settings_store.h"

namespace rendaal {

PageAddresses StoredPageAddresses(const SettingsStore& settings) {
    PageAddresses addresses;
    addresses.indexUrlBase = settings.ReadString("IndexUrl", kDefaultIndexUrl);
    addresses.optionUrlBase = settings.ReadString("OptionUrl", kDefaultOptionUrl);
    return addresses;
}

RunEnvironment BaseRunEnvironment(PageFetcher& fetcher, const std::string& dataFolder,
                                  const PageAddresses& addresses, const Clock* clock) {
    RunEnvironment env;
    env.clock = clock ? clock : &AppClock();
    env.fetcher = &fetcher;
    env.dataFolder = dataFolder;
    env.indexUrlBase = addresses.indexUrlBase;
    env.optionUrlBase = addresses.optionUrlBase;
    return env;
}

}  // namespace rendaal
