#include "app/command_support.h"

#include <sys/stat.h>

#include <cstdio>

#include "analytics/overview.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "platform/app_paths.h"

namespace rendaal {

void Complain(const std::string& text) {
    std::fprintf(stderr, "rendaal-sched: %s\n", text.c_str());
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<NamedHistory> SplitHistoryArgument(const std::string& argument) {
    const auto slash = argument.rfind('/');
    NamedHistory h;
    if (slash == std::string::npos) {
        h.folder = DataFolderFor("Rendaal");
        h.name = argument;
    } else {
        h.folder = argument.substr(0, slash + 1);
        h.name = argument.substr(slash + 1);
    }
    if (!IsPlainFileName(h.name)) {
        return std::nullopt;
    }
    return h;
}

HistoryArgumentText ReadHistoryArgument(const NamedHistory& history) {
    const std::string path = history.folder + history.name;
    auto text = IsRegularFile(path) ? ReadFile(path) : std::nullopt;
    if (!text) {
        Complain("kan het koersbestand niet lezen: " + path);
        return {std::nullopt, 1};
    }
    if (!IsHistoryFile(history.name, *text)) {
        Complain("geen koersbestand van een combinatie: " + path);
        return {std::nullopt, 2};
    }
    return {std::move(text), 0};
}

}  // namespace rendaal
