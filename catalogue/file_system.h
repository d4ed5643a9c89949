// The few file-system questions the program asks, answered the same way everywhere:
// path tests that never fail, case-insensitive name matching as on the designs' home
// platform, and the places the program keeps its own files.
#pragma once

#include <string>
#include <vector>

namespace velodex {

// The separator placed between a folder text and a name ("/" on POSIX, "\" on Windows).
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// folder + separator + name, without testing folder for a trailing separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// True exactly for an existing folder; any failure (no such path, no permission) is false.
bool IsDirectory(const std::string& path) noexcept;

// True exactly for an existing regular file (links are followed); any failure is false.
bool FileExists(const std::string& path) noexcept;

// True when name matches the wildcard pattern, "*" any run and "?" one character, in the
// plain sense (no special rule for extensions), comparing ASCII letters without regard to
// case when ignoreCase is set.
bool MatchesWildcards(const std::string& name, const std::string& pattern,
                      bool ignoreCase) noexcept;

// True when name matches the wildcard pattern ("*" any run, "?" one character) without
// regard to ASCII letter case, as "*.td4" matches "LOOP.TD4".
bool MatchesPattern(const std::string& name, const std::string& pattern) noexcept;

// The names (no folder part) of the regular files directly in folder that match pattern,
// sorted by byte value so a listing is the same on every run. An unreadable or missing
// folder lists nothing.
std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern);

// The path of the file in folder whose name equals name without regard to ASCII case,
// preferring an exact match; empty when there is none. Lets a catalogue name X.td4 find
// X.TD4 on disk.
std::string FindFileIgnoringCase(const std::string& folder, const std::string& name);

// The stand-in for the drive root "c:\": the user's home folder on POSIX, C:\ on Windows.
std::string DriveRoot();

// The default unknown ride type log: DriveRoot() + "unknowns.txt".
std::string DefaultUnknownsLog();

// The folder that holds the running program file.
std::string ProgramFolder();

}  // namespace velodex
