#pragma once

#include <string>

#include "core/calendar.h"

// The freedesktop.org home trash: a file moved there can be put back from any desktop's trash
// window. Only the home trash is used, and only for files on its file system; elsewhere a file
// stays where it is.
namespace rendaal {

// $XDG_DATA_HOME/Trash/, else $HOME/.local/share/Trash/; empty when neither is set.
std::string HomeTrashFolder();

// Moves the file at path (a regular file, a symlink or a folder) into trashFolder ("files/" and
// "info/" are made when missing), recording where it came from and when (now, local time). The
// info file is whole and on disk before the move, and names this process as its writer. False,
// with the file untouched, when the trash lies on another file system or cannot be made or
// written; error (when given) then says why.
bool MoveToTrash(const std::string& path, const std::string& trashFolder, const DateTime& now,
                 std::string* error = nullptr);

// Removes the info files that a move of this program left without their file because it was
// killed between the two steps, once that process has ended. Another program's entries are left
// alone. Returns how many were removed.
int RemoveOrphanTrashInfo(const std::string& trashFolder);

}  // namespace rendaal
