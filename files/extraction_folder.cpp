#include "files/extraction_folder.h"

#include <string_view>
#include <utility>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

#ifdef _WIN32
#include <filesystem>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velodex {
namespace {

// Longest name written into the folder (the usual file-system limit).
constexpr std::size_t kMaxWrittenName = 255;

#ifdef _WIN32
bool ForbiddenOnWindows(const std::string& name) {
  if (name.back() == '.' || name.back() == ' ') return true;
  for (unsigned char c : name) {
    if (c < 32 ||
        std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
      return true;
    }
  }
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}
#endif

}  // namespace

std::optional<std::string> WrittenName(const std::string& stored) {
  const std::size_t cut = stored.find_last_of("/\\");
  std::string name = cut == std::string::npos ? stored : stored.substr(cut + 1);
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxWrittenName) {
    return std::nullopt;
  }
#ifdef _WIN32
  if (ForbiddenOnWindows(name)) return std::nullopt;
#endif
  return name;
}

#ifndef _WIN32
namespace {

// Reads errno before anything can change it.
WriteFailure Failure(const char* action, const std::string& folder, const std::string& name) {
  const int error = errno;
  const std::string path = name.empty() ? folder : JoinPath(folder, name);
  return {FileError(action, path, error).what(), error == ENOSPC || error == EDQUOT};
}

}  // namespace

ExtractionFolder::~ExtractionFolder() {
  discard();
  if (folder_ >= 0) ::close(folder_);
}

Written ExtractionFolder::open(const std::string& path) {
  path_ = path;
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return Failure("make", path_, "");
  folder_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) return Failure("open", path_, "");
  return std::nullopt;
}

ExtractionFolder::Entry ExtractionFolder::lookup(const std::string& name) const {
  struct stat status;
  if (::fstatat(folder_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? Entry::kNone : Entry::kOther;
  }
  return S_ISREG(status.st_mode) ? Entry::kRegularFile : Entry::kOther;
}

Written ExtractionFolder::begin(const std::string& name) {
  discard();
  name_ = name;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = ".velodex-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++);
    out_ = ::openat(folder_, temporary_.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out_ >= 0) return std::nullopt;
    if (errno != EEXIST) break;
  }
  temporary_.clear();
  return Failure("write", path_, name_);
}

Written ExtractionFolder::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(out_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return Failure("write", path_, name_);
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return std::nullopt;
}

Written ExtractionFolder::commit() {
  if (::close(std::exchange(out_, -1)) != 0 ||
      ::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
    return Failure("write", path_, name_);
  }
  temporary_.clear();
  return std::nullopt;
}

void ExtractionFolder::discard() {
  if (out_ >= 0) ::close(std::exchange(out_, -1));
  if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
  temporary_.clear();
}

#else
namespace {

namespace fs = std::filesystem;

// Runs one step of AtomicFile, whose failures are our error.
template <typename Step>
Written Guard(const Step& step) {
  try {
    step();
  } catch (const Error& e) {
    return WriteFailure{e.what()};
  }
  return std::nullopt;
}

}  // namespace

ExtractionFolder::~ExtractionFolder() = default;

Written ExtractionFolder::open(const std::string& path) {
  path_ = path;
  std::error_code error;
  fs::create_directory(path, error);
  if (IsDirectory(path)) return std::nullopt;
  if (!error) error = std::make_error_code(std::errc::not_a_directory);
  return WriteFailure{FileError("make", path, error).what()};
}

ExtractionFolder::Entry ExtractionFolder::lookup(const std::string& name) const {
  std::error_code error;
  switch (fs::symlink_status(JoinPath(path_, name), error).type()) {
    case fs::file_type::not_found:
      return Entry::kNone;
    case fs::file_type::regular:
      return Entry::kRegularFile;
    default:
      return Entry::kOther;
  }
}

Written ExtractionFolder::begin(const std::string& name) {
  discard();
  name_ = name;
  return Guard([&] { file_.emplace(JoinPath(path_, name_)); });
}

Written ExtractionFolder::write(const char* data, std::size_t size) {
  return Guard([&] { file_->Write(std::string_view(data, size)); });
}

Written ExtractionFolder::commit() {
  return Guard([&] {
    file_->Commit(false);
    file_.reset();
  });
}

void ExtractionFolder::discard() { file_.reset(); }
#endif

}  // namespace velodex
