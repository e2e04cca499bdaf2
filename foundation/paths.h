// Where the program finds its shipped files and keeps its own.
#pragma once

#include <filesystem>
#include <vector>

namespace vorsa {

// The folder of the running executable.
std::filesystem::path ProgramFolder();

// Where shipped files are looked for, in order: the program's folder, then
// the installed data folder.
std::vector<std::filesystem::path> ShippedFolders();

// The first of ShippedFolders() that holds `name`; the program's folder when
// none does (so that a missing file is reported where it was expected).
std::filesystem::path FindShippedFolder(const std::filesystem::path& name);

// Files the program writes for itself ("ScanSave", "VorsaTemp", crash
// reports): the program's folder when it is writable, else the user's data
// folder ($XDG_DATA_HOME/vorsa or ~/.local/share/vorsa), created on demand.
std::filesystem::path OwnFilesFolder();

// The user's configuration folder ($XDG_CONFIG_HOME/vorsa or ~/.config/vorsa).
std::filesystem::path UserConfigFolder();

}  // namespace vorsa
