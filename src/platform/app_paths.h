#pragma once

#include <string>

// Where the program finds its shipped files and keeps its own. Folder texts end with "/".
namespace rendaal {

// $XDG_CONFIG_HOME/Rendaal/ (default ~/.config/Rendaal/).
std::string ConfigFolder();
// $XDG_STATE_HOME/Rendaal/ (default ~/.local/state/Rendaal/): what the program keeps for itself
// when the data folder cannot hold it.
std::string StateFolder();
// $XDG_DATA_HOME/ (default ~/.local/share/): the per-user base of the data folder.
std::string DataFolderBase();
// DataFolderBase() + name + "/", created with its parents when missing (the current directory
// stays as it was). The text is returned also when the folder cannot be created.
std::string DataFolderFor(const std::string& name);
// The folder of the shipped start files and help pages: $RENDAAL_START_FOLDER when set, else
// <executable folder>/../share/rendaal/ when it exists (an installed program, any prefix),
// else the source tree's data/ (a program run from its build tree).
std::string StartFolder();
// Folder of the running executable.
std::string ExecutableFolder();

}  // namespace rendaal
