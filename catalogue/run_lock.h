// One run per catalogue at a time. The lock is held by the operating system on a small file
// beside the catalogue, so it lasts exactly as long as the process that took it: a run that
// is killed leaves no lock behind, and no stale file needs clearing by hand.
#pragma once

#include <string>

namespace velodex {

// The lock file of the catalogue at cataloguePath: cataloguePath + ".lock".
std::string RunLockPath(const std::string& cataloguePath);

// Holds the catalogue's one-run lock for as long as it lives; another RunLock on the same
// catalogue, in this process or any other, fails at once while this one lives. The lock
// file is made when missing and left in place (removing it would race with the next run).
class RunLock {
 public:
  // Takes the lock without waiting. Throws Error "another run is using the catalogue
  // 'PATH'; ..." when it is held, or "cannot lock 'LOCKPATH': CAUSE" when the lock file
  // cannot be opened or locked.
  explicit RunLock(const std::string& cataloguePath);
  // Releases the lock.
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int descriptor_ = -1;
#endif
};

}  // namespace velodex
