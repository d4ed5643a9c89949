// The one place where the program meets the file system: path tests that never fail,
// case-insensitive name matching as on the designs' home platform, one folder walk with one
// rule about links, files written whole or not at all, our error for a failed system call,
// and the places the program keeps its own files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/error.h"

namespace velodex {

// The separator placed between a folder text and a name ("/" on POSIX, "\" on Windows).
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// Our error for a failed system call: "cannot ACTION 'PATH': CAUSE", the cause in the
// system's words ("cannot write page '/home/ann/rideindex.htm': Permission denied").
Error FileError(const std::string& action, const std::string& path, std::error_code cause);
// The same for an errno value.
Error FileError(const std::string& action, const std::string& path, int errorNumber);

// folder + separator + name, without testing folder for a trailing separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// name with its last three characters replaced by ending ("Loop.TD4", "bad" -> "Loop.bad").
// A name of fewer than three characters loses all of them ("ab" -> "bad").
std::string ReplaceEnding(const std::string& name, std::string_view ending);

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

// What a folder entry is, seen without following links.
enum class EntryKind { kFile, kFolder, kLink, kOther };

struct FolderEntry {
  std::string name;  // no folder part
  EntryKind kind;
};

// Calls visit for every entry directly in folder, in the platform's order, never recursing.
// A link is reported as kLink and never followed: whoever wants what it points at asks
// (FileExists). A missing or unreadable folder has no entries.
void ForEachEntry(const std::string& folder, const std::function<void(const FolderEntry&)>& visit);

// True for a plain file, or a link to one: the entries the program reads as designs.
bool IsReadableFileEntry(const std::string& folder, const FolderEntry& entry);

// The names of the readable files (IsReadableFileEntry) directly in folder that match
// pattern, sorted by byte value so a listing is the same on every run. An unreadable or
// missing folder lists nothing.
std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern);

// The readable files of one folder by name, read once, so that many names can be looked
// up without regard to case without listing the folder again for each.
class FolderNames {
 public:
  explicit FolderNames(const std::string& folder);

  // The name on disk for name: name itself when the folder holds it (two files differing
  // only in case are two files), else the first other spelling in byte order, else empty.
  std::string find(const std::string& name) const;

 private:
  std::unordered_set<std::string> names_;
  std::unordered_map<std::string, std::string> byFoldedName_;
};

// The path of the file in folder whose name equals name without regard to ASCII case,
// preferring an exact match; empty when there is none. Lets a catalogue name X.td4 find
// X.TD4 on disk.
std::string FindFileIgnoringCase(const std::string& folder, const std::string& name);

// A file written under a new temporary name in its own folder (NAME.velodex-XXXXXX) and put
// in place by commit, so that the name shows the old file or the whole new one, never a
// part. The temporary name is always made new: no existing file is ever written through.
// Commit renames over the name, replacing a file or a link standing there (the link itself,
// never what it points to); a device, pipe or socket there fails the commit with "File
// exists". Without a commit, the destructor removes the temporary file. Every failure
// throws FileError(action, path, cause).
class AtomicFile {
 public:
  explicit AtomicFile(std::string path, std::string action = "write");
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends bytes (buffered).
  void Write(std::string_view bytes);
  // Gives the file these permissions once it is in place (else the platform's default for
  // a new file).
  void SetPermissions(std::filesystem::perms permissions);
  // Writes out what is buffered, with sync also to the disk (file and folder), closes the
  // file and renames it to the path.
  void Commit(bool sync);

  const std::string& path() const { return path_; }

 private:
  void flush();
  [[noreturn]] void fail(std::error_code cause) const;

  std::string path_;
  std::string action_;
  std::string temporary_;
  std::string buffer_;
  std::intptr_t handle_;
  bool committed_ = false;
};

// Writes bytes to path through an AtomicFile.
void WriteFileAtomically(const std::string& path, std::string_view bytes, bool sync = false);

// Copies from to to through an AtomicFile, the copy taking the source's permissions.
// Throws FileError("copy 'FROM' to", to, cause) when either side fails.
void CopyFileAtomically(const std::string& from, const std::string& to);

// Renames from to to, never replacing anything that stands at to (a taken name fails with
// "File exists"). Throws FileError("rename 'FROM' to", to, cause).
void RenameWithoutReplacing(const std::string& from, const std::string& to);

// Deletes the file at path when there is one. Throws FileError("delete", path, cause).
void RemoveFile(const std::string& path);

// True for a name AtomicFile gives its temporary files: any name, ".velodex-", and six
// letters or digits.
bool IsAtomicTemporaryName(const std::string& name);

// Removes the temporary files that AtomicFile writers killed midway left directly in folder:
// plain files with such a name only, never a link or a folder. What cannot be removed stays.
void RemoveAtomicLeftovers(const std::string& folder);

// The stand-in for the drive root "c:\": the user's home folder on POSIX, C:\ on Windows.
std::string DriveRoot();

// The default unknown ride type log: DriveRoot() + "unknowns.txt".
std::string DefaultUnknownsLog();

// The folder that holds the running program file.
std::string ProgramFolder();

}  // namespace velodex
