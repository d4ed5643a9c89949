// Where the catalogue file lives: the program's folder when the program may write there
// (a build tree or a portable copy), else the per-user data folder, seeded once from the
// empty catalogue installed with the program.
#pragma once

#include <string>

namespace velodex {

inline constexpr const char* kCatalogueFileName = "velodex.mdb";
inline constexpr const char* kCompactedFileName = "velodex2.mdb";

// The per-user data folder for Velodex: $XDG_DATA_HOME/velodex (default
// ~/.local/share/velodex) on POSIX, %LOCALAPPDATA%\velodex on Windows.
std::string UserDataFolder();

// The folder holding velodex.mdb for a program in programFolder. Uses programFolder when it
// holds a catalogue and is writable; otherwise the per-user data folder, copying the
// installed empty catalogue there when it has none yet. Throws Error naming the folders when
// neither holds a catalogue and none is installed.
std::string ResolveCatalogueFolder(const std::string& programFolder);

}  // namespace velodex
