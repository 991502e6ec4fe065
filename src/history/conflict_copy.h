#pragma once

#include <optional>
#include <string>
#include <string_view>

// Sync tools keep the losing side of a file changed on two machines as a copy beside it, under a
// name of their own. Such a copy holds what the other machine wrote: it is merged or shown, never
// cleaned up as a stranger's file.
namespace rendaal {

enum class SyncTool { Syncthing, Nextcloud, OwnCloud, Dropbox };

struct ConflictCopyName {
    std::string original;  // the name of the file it is a copy of
    SyncTool tool = SyncTool::Syncthing;
};

// The original name when name is a sync tool's conflict copy (of a copy, too); empty otherwise.
std::optional<ConflictCopyName> ParseConflictCopyName(std::string_view name);

inline bool IsConflictCopyName(std::string_view name) {
    return ParseConflictCopyName(name).has_value();
}

}  // namespace rendaal
