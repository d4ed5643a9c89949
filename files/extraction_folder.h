// The extraction folder as the unzip layer writes it: the names a member may take there,
// what stands at a name (never following a link), and one member's file at a time, written
// under a new temporary name and renamed over its name only once it is complete.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#ifdef _WIN32
#include "catalogue/file_system.h"
#endif

namespace velodex {

// The name a member stored as stored is written under: the last component, split at both
// '/' and '\' since archives made on either kind of system carry either. nullopt when no
// safe name is left: "", ".", "..", more than 255 bytes, or on Windows a name the system
// would not take as a plain file in the folder (a device such as "CON" or "com1.td4", a
// stream of another file "a:b", a character it forbids, a trailing dot or space).
std::optional<std::string> WrittenName(const std::string& stored);

// A failed step: the text for the print routine ("cannot write 'PATH': CAUSE"), and whether
// the disk is full, so that nothing more will fit.
struct WriteFailure {
  std::string text;
  bool diskFull = false;
};
using Written = std::optional<WriteFailure>;  // nullopt when the step succeeded

// On POSIX the folder is held open and every name is looked up, made and renamed relative
// to it (fstatat, openat, renameat) rather than through AtomicFile, which works on paths and
// reports failures as text only. That keeps three promises: a folder swapped for a link
// while an archive is extracted cannot send a member elsewhere; a full disk is told apart
// from other failures; and the temporary name is short, so a 255-byte member name still
// fits. On Windows member files go through AtomicFile, and a full disk is not told apart.
class ExtractionFolder {
 public:
  enum class Entry { kNone, kRegularFile, kOther };

  ExtractionFolder() = default;
  ExtractionFolder(const ExtractionFolder&) = delete;
  ExtractionFolder& operator=(const ExtractionFolder&) = delete;
  ~ExtractionFolder();  // discards a file begun and not committed

  // Opens the folder, making it (not its parents) when missing.
  Written open(const std::string& path);
  // What stands at name without following a link: nothing, a regular file, or anything
  // else (a link, a folder, a device, an entry that cannot be read).
  Entry lookup(const std::string& name) const;
  // Starts the file for name under a new temporary name in the folder, made exclusively so
  // that no existing entry or link is ever opened.
  Written begin(const std::string& name);
  Written write(const char* data, std::size_t size);
  // Renames the file over its name, replacing what stands there: a link there is replaced,
  // never written through.
  Written commit();
  // Removes the temporary file of a file begun and not committed.
  void discard();

 private:
  std::string path_;
  std::string name_;  // the name the file begun is put in place as
#ifdef _WIN32
  std::optional<AtomicFile> file_;
#else
  int folder_ = -1;
  int out_ = -1;
  std::string temporary_;
  unsigned long counter_ = 0;
#endif
};

}  // namespace velodex
