// The system calls behind the file-system seam: POSIX, and Windows.
#include "catalogue/native_file.h"

#include <algorithm>
#include <cerrno>

#include "catalogue/file_system.h"

#ifdef _WIN32
#include "catalogue/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velodex::native {
namespace fs = std::filesystem;

std::error_code LastError() {
#ifdef _WIN32
  // Told by the POSIX cause the system's code stands for where there is one, so that a cause
  // reads the same on every platform and as the C runtime's own errors do ("No such file or
  // directory"); a code without one keeps the system's words.
  const std::error_code code(static_cast<int>(GetLastError()), std::system_category());
  const std::error_condition cause = code.default_error_condition();
  if (cause.category() == std::generic_category()) {
    return std::error_code(cause.value(), std::generic_category());
  }
  return code;
#else
  return std::error_code(errno, std::generic_category());
#endif
}

#ifdef _WIN32
static std::wstring Wide(const std::string& path) { return NativePath(path).native(); }

std::error_code CreateNewFile(const std::string& path, std::intptr_t& handle) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  handle = reinterpret_cast<std::intptr_t>(h);
  return {};
}

// LastError tells both ERROR_FILE_EXISTS and ERROR_ALREADY_EXISTS by their POSIX cause.
bool NameTaken(std::error_code error) { return error == std::errc::file_exists; }

std::error_code WriteAll(std::intptr_t handle, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, chunk, &written, nullptr)) {
      return LastError();
    }
    data += written;
    size -= written;
  }
  return {};
}

std::error_code SyncFile(std::intptr_t handle) {
  return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) ? std::error_code() : LastError();
}

std::error_code CloseFile(std::intptr_t handle) {
  return CloseHandle(reinterpret_cast<HANDLE>(handle)) ? std::error_code() : LastError();
}

std::error_code SetFilePermissions(std::intptr_t, fs::perms) {
  // Windows files carry no POSIX permission bits; a new file is writable by its owner.
  return {};
}

std::error_code RenameReplacing(const std::string& from, const std::string& to, bool sync) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0);
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags) ? std::error_code() : LastError();
}

void RemoveQuietly(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0) ? std::error_code() : LastError();
}
#else
std::error_code CreateNewFile(const std::string& path, std::intptr_t& handle) {
  // 0666 and the user's umask, as for any new file; O_EXCL never opens an existing name.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  handle = fd;
  return {};
}

bool NameTaken(std::error_code error) { return error.value() == EEXIST; }

std::error_code WriteAll(std::intptr_t handle, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(static_cast<int>(handle), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return {};
}

std::error_code SyncFile(std::intptr_t handle) {
  return ::fsync(static_cast<int>(handle)) == 0 ? std::error_code() : LastError();
}

std::error_code CloseFile(std::intptr_t handle) {
  return ::close(static_cast<int>(handle)) == 0 ? std::error_code() : LastError();
}

std::error_code SetFilePermissions(std::intptr_t handle, fs::perms permissions) {
  return ::fchmod(static_cast<int>(handle), static_cast<mode_t>(permissions)) == 0
             ? std::error_code()
             : LastError();
}

std::error_code RenameReplacing(const std::string& from, const std::string& to, bool sync) {
  if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
  if (sync) {
    // The rename itself reaches the disk only with its folder.
    const std::string folder = fs::path(to).parent_path().string();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    const std::error_code error = SyncFile(fd);
    ::close(fd);
    return error;
  }
  return {};
}

void RemoveQuietly(const std::string& path) { ::unlink(path.c_str()); }

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(SYS_renameat2)
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1 /*NOREPLACE*/) == 0) {
    return {};
  }
  if (errno != EINVAL && errno != ENOSYS) return LastError();
    // The file system cannot rename atomically without replacing; fall back to a check.
#endif
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) return std::make_error_code(std::errc::file_exists);
  fs::rename(from, to, ec);
  return ec;
}
#endif

}  // namespace velodex::native
