// The one-run lock: flock on POSIX, LockFileEx on Windows, on the file beside the catalogue.
#include "catalogue/run_lock.h"

#include "catalogue/error.h"
#include "catalogue/file_system.h"

#ifdef _WIN32
#include "catalogue/windows_api.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velodex {
namespace {

[[noreturn]] void ThrowHeld(const std::string& cataloguePath) {
  throw Error("another run is using the catalogue '" + cataloguePath +
              "'; wait until it has ended and try again");
}

}  // namespace

std::string RunLockPath(const std::string& cataloguePath) { return cataloguePath + ".lock"; }

#ifdef _WIN32

RunLock::RunLock(const std::string& cataloguePath) {
  const std::string lockPath = RunLockPath(cataloguePath);
  HANDLE handle = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw FileError("lock", lockPath, LastSystemError());
  OVERLAPPED whole{};
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const bool held = GetLastError() == ERROR_LOCK_VIOLATION;
    // The cause in the same words as every other failed call ("Permission denied").
    const std::error_code cause = LastSystemError();
    CloseHandle(handle);
    if (held) ThrowHeld(cataloguePath);
    throw FileError("lock", lockPath, cause);
  }
  handle_ = handle;
}

// Closing the handle releases the lock; the system does the same for a killed process.
RunLock::~RunLock() { CloseHandle(static_cast<HANDLE>(handle_)); }

#else

RunLock::RunLock(const std::string& cataloguePath) {
  const std::string lockPath = RunLockPath(cataloguePath);
  // flock rather than fcntl: an fcntl lock belongs to the process and would not keep out a
  // second run started in the same process (the wizard walked again), and closing any other
  // descriptor of the file would drop it.
  const int descriptor = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (descriptor < 0) {
    throw FileError("lock", lockPath, errno);
  }
  int result;
  do {
    result = flock(descriptor, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    close(descriptor);
    if (error == EWOULDBLOCK) ThrowHeld(cataloguePath);
    throw FileError("lock", lockPath, error);
  }
  descriptor_ = descriptor;
}

RunLock::~RunLock() { close(descriptor_); }

#endif

}  // namespace velodex
