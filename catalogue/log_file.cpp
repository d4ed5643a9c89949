// Appending to a regular file, one platform call sequence each.
#include "catalogue/log_file.h"

#include "catalogue/error.h"
#include "catalogue/file_system.h"

#ifdef _WIN32
#include "catalogue/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velodex {
namespace {

[[noreturn]] void ThrowNotRegular(const std::string& path) {
  throw Error("cannot append to '" + path + "': not a regular file");
}

}  // namespace

#ifdef _WIN32

void AppendLogLine(const std::string& path, std::string_view text) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const auto lastError = [] { return LastSystemError(); };
  if (file == INVALID_HANDLE_VALUE) {
    // Windows refuses to open a folder as a file with "access denied"; say what it is.
    throw FileError(
        "append to", path,
        IsDirectory(path) ? std::make_error_code(std::errc::is_a_directory) : lastError());
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    ThrowNotRegular(path);
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  const std::error_code error = ok ? std::error_code() : lastError();
  CloseHandle(file);
  if (!ok) throw FileError("append to", path, error);
}

#else

void AppendLogLine(const std::string& path, std::string_view text) {
  // O_NONBLOCK: opening a FIFO without a reader fails at once instead of waiting for one.
  const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
  if (file < 0) {
    if (errno == ENXIO) ThrowNotRegular(path);
    throw FileError("append to", path, errno);
  }
  struct stat status {};
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(file);
    ThrowNotRegular(path);
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(file, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      close(file);
      throw FileError("append to", path, error);
    }
    done += static_cast<size_t>(n);
  }
  if (close(file) != 0) throw FileError("append to", path, errno);
}

#endif

}  // namespace velodex
