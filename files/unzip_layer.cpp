#include "files/unzip_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/file_system.h"

#ifdef _WIN32
#error "the unzip layer writes through POSIX descriptor calls; a Windows writer is still to come"
#endif

namespace velodex {
namespace {

// Longest name written into the extraction folder (the usual file-system limit).
constexpr std::size_t kMaxWrittenName = 255;
// The library asks for a password at most three times per member.
constexpr int kPasswordRounds = 3;
// A replace routine that keeps answering "rename" is given up on after this many names.
constexpr int kRenameRounds = 16;

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ArchiveCloser>;

struct MemberCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipMember = std::unique_ptr<zip_file_t, MemberCloser>;

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { close(); }

  int get() const { return fd_; }
  void reset(int fd) {
    close();
    fd_ = fd;
  }
  // Closes the descriptor; false (errno set) when the close reports a failed write.
  bool close() {
    if (fd_ < 0) return true;
    int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_ = -1;
};

int OpenErrorCode(int zipError) {
  switch (zipError) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_NOZIP:
      return PK_NOZIP;
    case ZIP_ER_MEMORY:
      return PK_MEM;
    case ZIP_ER_EOF:
      return PK_EOF;
    default:  // inconsistent directory, read or seek failures, multi-disk archives
      return PK_BADERR;
  }
}

int MemberErrorCode(int zipError) {
  switch (zipError) {
    case ZIP_ER_MEMORY:
      return PK_MEM3;
    case ZIP_ER_EOF:
      return PK_EOF;
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_INCONS:
      return PK_BADERR;
    default:  // bad CRC, bad compressed data
      return PK_ERR;
  }
}

int WriteErrorCode(int error) { return error == ENOSPC || error == EDQUOT ? PK_DISK : PK_ERR; }

std::string ZipErrorText(int zipError) {
  zip_error_t error;
  zip_error_init_with_code(&error, zipError);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

// The name a member is written under: the last component of its stored name, split at
// both '/' and '\' since archives made on either kind of system carry either. nullopt when
// no safe name is left ("", ".", "..", or longer than a file name may be).
std::optional<std::string> WrittenName(const std::string& stored, bool spaceToUnderscore) {
  std::size_t cut = stored.find_last_of("/\\");
  std::string name = cut == std::string::npos ? stored : stored.substr(cut + 1);
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxWrittenName) {
    return std::nullopt;
  }
  if (spaceToUnderscore) std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

// The include and exclude lists, remembering which patterns matched something.
class Selection {
 public:
  Selection(int ifnc, char** ifnv, int xfnc, char** xfnv, bool ignoreCase)
      : ignoreCase_(ignoreCase) {
    for (int i = 0; i < ifnc; ++i) include_.push_back({ifnv[i] ? ifnv[i] : "", false});
    for (int i = 0; i < xfnc; ++i) exclude_.push_back({xfnv[i] ? xfnv[i] : "", false});
  }

  bool takes(const std::string& stored) {
    bool included = include_.empty();
    for (Pattern& pattern : include_) {
      if (MatchesWildcards(stored, pattern.text, ignoreCase_)) included = pattern.matched = true;
    }
    bool excluded = false;
    for (Pattern& pattern : exclude_) {
      if (MatchesWildcards(stored, pattern.text, ignoreCase_)) excluded = pattern.matched = true;
    }
    return included && !excluded;
  }

  struct Pattern {
    std::string text;
    bool matched;
  };
  const std::vector<Pattern>& include() const { return include_; }
  const std::vector<Pattern>& exclude() const { return exclude_; }

 private:
  bool ignoreCase_;
  std::vector<Pattern> include_;
  std::vector<Pattern> exclude_;
};

class Messages {
 public:
  Messages(USERFUNCTIONS& callbacks, int quiet) : callbacks_(callbacks), quiet_(quiet) {}
  // Progress lines, shown only at quiet level 0.
  void info(const std::string& text) {
    if (quiet_ <= 0) send(text);
  }
  // Warnings and errors, shown below quiet level 2.
  void warning(const std::string& text) {
    if (quiet_ <= 1) send(text);
  }
  void send(std::string text) {
    if (!callbacks_.print) return;
    text += '\n';
    callbacks_.print(text.data(), static_cast<unsigned long>(text.size()));
  }

 private:
  USERFUNCTIONS& callbacks_;
  int quiet_;
};

// The extraction folder, held open so that every name is looked up and written relative
// to it: a member's file is made under a fresh temporary name (O_EXCL, so no existing
// entry or link is ever opened) and renamed over its target, which replaces a directory
// entry and never writes through a link or into a file shared with another folder.
class ExtractionFolder {
 public:
  enum class Entry { kNone, kRegularFile, kOther };

  // Opens the folder, making it (not its parents) when missing; false with errno set.
  bool open(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    folder_.reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder_.get() >= 0;
  }

  Entry lookup(const std::string& name) const {
    struct stat status;
    if (::fstatat(folder_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT ? Entry::kNone : Entry::kOther;
    }
    return S_ISREG(status.st_mode) ? Entry::kRegularFile : Entry::kOther;
  }

  // A new, empty file under a name nothing else uses; false with errno set.
  bool createTemporary(Descriptor& file, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      name = ".velodex-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++) + ".part";
      int fd = ::openat(folder_.get(), name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd >= 0) {
        file.reset(fd);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool replace(const std::string& temporary, const std::string& name) {
    return ::renameat(folder_.get(), temporary.c_str(), folder_.get(), name.c_str()) == 0;
  }

  void remove(const std::string& temporary) { ::unlinkat(folder_.get(), temporary.c_str(), 0); }

 private:
  Descriptor folder_;
  unsigned long counter_ = 0;
};

enum class MemberKind { kFile, kFolder, kLink, kSpecial };

MemberKind KindOf(zip_t* archive, zip_uint64_t index, const std::string& stored) {
  if (!stored.empty() && (stored.back() == '/' || stored.back() == '\\'))
    return MemberKind::kFolder;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
      system == ZIP_OPSYS_UNIX) {
    // The upper half holds the Unix mode; its type bits are the same on every system.
    switch ((attributes >> 16) & 0170000) {
      case 0:
      case 0100000:
        return MemberKind::kFile;
      case 0040000:
        return MemberKind::kFolder;
      case 0120000:
        return MemberKind::kLink;
      default:
        return MemberKind::kSpecial;
    }
  }
  return MemberKind::kFile;
}

// Stored, deflated and bzip2 members only: the methods the library reads. Others (xz,
// zstd) are skipped like any unknown method, which also keeps their decoders' memory
// appetite away from untrusted archives.
bool MethodSupported(zip_int32_t method) {
  return (method == ZIP_CM_STORE || method == ZIP_CM_DEFLATE || method == ZIP_CM_BZIP2) &&
         zip_compression_method_supported(method, 0);
}

const char* MethodName(zip_int32_t method) {
  switch (method) {
    case ZIP_CM_STORE:
      return "Stored";
    case ZIP_CM_DEFLATE:
      return "Deflated";
    case ZIP_CM_BZIP2:
      return "BZip2";
    default:
      return "Unknown";
  }
}

// Saving in percent, or growth in percent with sign '-'.
unsigned CompressionFactor(std::uint64_t size, std::uint64_t compressedSize, char& sign) {
  sign = ' ';
  if (size == 0) return 0;
  double ratio;
  if (compressedSize > size) {
    sign = '-';
    ratio = static_cast<double>(compressedSize - size) / static_cast<double>(size);
  } else {
    ratio = static_cast<double>(size - compressedSize) / static_cast<double>(size);
  }
  return static_cast<unsigned>(std::min(ratio * 100.0 + 0.5, 1.0e6));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// One archive's pass over its members, with the counts the return code is made from.
class Extraction {
 public:
  Extraction(zip_t* archive, const DCL& options, USERFUNCTIONS& callbacks,
             const UnzipLimits& limits, Messages& messages, ExtractionFolder* folder,
             Selection& selection)
      : archive_(archive),
        options_(options),
        callbacks_(callbacks),
        limits_(limits),
        messages_(messages),
        folder_(folder),
        selection_(selection),
        buffer_(64 * 1024) {}

  int run(zip_uint64_t count) {
    for (zip_uint64_t index = 0; index < count && !stopped_; ++index) member(index);
    if (options_.nvflag) {
      char sign;
      callbacks_.CompFactor =
          CompressionFactor(callbacks_.TotalSize, callbacks_.TotalSizeComp, sign);
      callbacks_.NumMembers = members_;
    }
    if (stopped_) return code_;
    for (const Selection::Pattern& pattern : selection_.include()) {
      if (pattern.matched) continue;
      messages_.warning("caution: filename not matched: " + pattern.text);
      if (code_ <= PK_WARN) code_ = PK_FIND;
    }
    for (const Selection::Pattern& pattern : selection_.exclude()) {
      if (pattern.matched) continue;
      messages_.warning("caution: excluded filename not matched: " + pattern.text);
      if (code_ == PK_OK) code_ = PK_WARN;
    }
    // The library's closing rules: nothing selected, every member refused for its
    // password, or members of unknown method all turn a clean or warning result into
    // their own code.
    if (members_ == 0 && code_ <= PK_WARN) {
      code_ = unsupported_ > 0 ? IZ_UNSUP : PK_FIND;
    } else if (members_ == badPassword_ && code_ <= PK_WARN) {
      code_ = IZ_BADPWD;
    } else if (unsupported_ > 0 && code_ <= PK_WARN) {
      code_ = IZ_UNSUP;
    } else if (badPassword_ > 0 && code_ == PK_OK) {
      code_ = PK_WARN;
    }
    return code_;
  }

 private:
  void raise(int code) { code_ = std::max(code_, code); }

  void skip(const std::string& stored, const std::string& reason) {
    messages_.warning("skipping: " + stored + "  (" + reason + ")");
    raise(PK_WARN);
  }

  void member(zip_uint64_t index) {
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(archive_, index, ZIP_FL_ENC_RAW, &status) != 0 ||
        !(status.valid & ZIP_STAT_NAME) || status.name == nullptr) {
      messages_.warning("error: cannot read the entry of member " + std::to_string(index));
      raise(PK_BADERR);
      return;
    }
    const std::string stored = status.name;
    if (!selection_.takes(stored)) return;
    ++members_;
    const std::uint64_t size = (status.valid & ZIP_STAT_SIZE) ? status.size : 0;
    if (options_.nvflag) {
      list(status);
    } else {
      extract(index, status, stored);
    }
    if (callbacks_.ServCallBk && callbacks_.ServCallBk(stored.c_str(), size) != 0) {
      messages_.warning("operation stopped");
      raise(IZ_CTRLC);
      stopped_ = true;
    }
  }

  void list(const zip_stat_t& status) {
    if (!callbacks_.SendApplicationMessage) return;
    const std::uint64_t size = (status.valid & ZIP_STAT_SIZE) ? status.size : 0;
    const std::uint64_t compressed = (status.valid & ZIP_STAT_COMP_SIZE) ? status.comp_size : 0;
    char sign;
    unsigned factor = CompressionFactor(size, compressed, sign);
    struct tm time = {};
    std::time_t when = (status.valid & ZIP_STAT_MTIME) ? status.mtime : 0;
    if (localtime_r(&when, &time) == nullptr) time = {};
    const bool encrypted =
        (status.valid & ZIP_STAT_ENCRYPTION_METHOD) && status.encryption_method != ZIP_EM_NONE;
    callbacks_.SendApplicationMessage(
        size, compressed, factor, static_cast<unsigned>(time.tm_mon + 1),
        static_cast<unsigned>(time.tm_mday), static_cast<unsigned>(time.tm_year + 1900),
        static_cast<unsigned>(time.tm_hour), static_cast<unsigned>(time.tm_min), sign, status.name,
        MethodName(status.comp_method),
        static_cast<unsigned long>((status.valid & ZIP_STAT_CRC) ? status.crc : 0),
        encrypted ? 'E' : ' ');
    callbacks_.TotalSize += size;
    callbacks_.TotalSizeComp += compressed;
  }

  void extract(zip_uint64_t index, const zip_stat_t& status, const std::string& stored) {
    switch (KindOf(archive_, index, stored)) {
      case MemberKind::kFolder:
        return;  // stored folders are dropped
      case MemberKind::kLink:
        return skip(stored, "a link; links are never made");
      case MemberKind::kSpecial:
        return skip(stored, "not a regular file");
      case MemberKind::kFile:
        break;
    }
    std::optional<std::string> name = WrittenName(stored, options_.SpaceToUnderscore != 0);
    if (!name) return skip(stored, "no usable file name");
    if ((status.valid & ZIP_STAT_SIZE) && status.size > limits_.maxMemberSize) {
      return skip(stored, "too large");
    }
    if (folder_ && (status.valid & ZIP_STAT_SIZE) &&
        status.size > limits_.maxArchiveSize - std::min(written_, limits_.maxArchiveSize)) {
      return skip(stored, "the archive's size limit is reached");
    }
    const bool encrypted =
        (status.valid & ZIP_STAT_ENCRYPTION_METHOD) && status.encryption_method != ZIP_EM_NONE;
    if (!(status.valid & ZIP_STAT_COMP_METHOD) || !MethodSupported(status.comp_method) ||
        (encrypted && !zip_encryption_method_supported(status.encryption_method, 0))) {
      messages_.warning("skipping: " + stored + "  (unsupported compression or encryption)");
      ++unsupported_;
      return;
    }
    if (folder_ && !chooseTarget(stored, *name)) return;
    ZipMember file = open(index, stored, encrypted);
    if (!file) return;
    transfer(file.get(), stored, folder_ ? &*name : nullptr,
             (status.valid & ZIP_STAT_MTIME) ? status.mtime : -1);
  }

  // Settles whether the member may be written under name (which a "rename" answer
  // changes). An existing link, folder or other non-file in the way is never replaced.
  bool chooseTarget(const std::string& stored, std::string& name) {
    for (int round = 0; round < kRenameRounds; ++round) {
      switch (folder_->lookup(name)) {
        case ExtractionFolder::Entry::kNone:
          return true;
        case ExtractionFolder::Entry::kOther:
          skip(stored, "'" + name + "' exists and is not a regular file");
          return false;
        case ExtractionFolder::Entry::kRegularFile:
          break;
      }
      if (options_.noflag || replaceAll_) return true;
      if (replaceNone_ || !options_.PromptToOverwrite) return false;
      char buffer[kReplaceNameBufferSize] = {};
      name.copy(buffer, std::min<std::size_t>(name.size(), sizeof buffer - 1));
      int answer =
          callbacks_.replace ? callbacks_.replace(buffer, sizeof buffer) : IDM_REPLACE_NONE;
      buffer[sizeof buffer - 1] = '\0';
      switch (answer) {
        case IDM_REPLACE_YES:
          return true;
        case IDM_REPLACE_ALL:
          replaceAll_ = true;
          return true;
        case IDM_REPLACE_NONE:
          replaceNone_ = true;
          return false;
        case IDM_REPLACE_RENAME: {
          std::optional<std::string> renamed = WrittenName(buffer, false);
          if (!renamed) {
            skip(stored, "no usable new name");
            return false;
          }
          name = *renamed;
          continue;
        }
        default:
          return false;
      }
    }
    skip(stored, "no free name");
    return false;
  }

  // Opens the member; for an encrypted one, tries the password that opened an earlier
  // member, then asks the password routine up to three times. Opening checks only the
  // encryption header's check value, so a wrong password may still pass here; the read
  // then fails its CRC and the member is dropped.
  ZipMember open(zip_uint64_t index, const std::string& stored, bool encrypted) {
    int error = ZIP_ER_OK;
    if (!encrypted) {
      ZipMember file = attempt(index, nullptr, error);
      if (!file) failed(stored, error);
      return file;
    }
    if (password_) {
      ZipMember file = attempt(index, password_->c_str(), error);
      if (file) return file;
      if (error != ZIP_ER_WRONGPASSWD) {
        failed(stored, error);
        return nullptr;
      }
    }
    for (int round = 0; round < kPasswordRounds && !noMorePrompts_; ++round) {
      char buffer[kPasswordBufferSize] = {};
      const char* prompt = round == 0 ? "Enter the password for " : "Wrong password; again for ";
      int answer = callbacks_.password
                       ? callbacks_.password(buffer, kPasswordBufferSize, prompt, stored.c_str())
                       : IZ_PW_CANCEL;
      if (answer == IZ_PW_ERROR) {
        messages_.warning("error: no password could be read for " + stored);
        raise(PK_MEM2);
        return nullptr;
      }
      if (answer != IZ_PW_ENTERED) {
        if (answer == IZ_PW_CANCELALL) noMorePrompts_ = true;
        break;
      }
      buffer[kPasswordBufferSize - 1] = '\0';
      std::string candidate = buffer;
      ZipMember file = attempt(index, candidate.c_str(), error);
      if (file) {
        password_ = candidate;
        return file;
      }
      if (error != ZIP_ER_WRONGPASSWD) {
        failed(stored, error);
        return nullptr;
      }
    }
    messages_.warning("skipping: " + stored + "  (incorrect or missing password)");
    ++badPassword_;
    return nullptr;
  }

  ZipMember attempt(zip_uint64_t index, const char* password, int& error) {
    zip_error_clear(archive_);
    ZipMember file(zip_fopen_index_encrypted(archive_, index, 0, password));
    error = file ? ZIP_ER_OK : zip_error_code_zip(zip_get_error(archive_));
    return file;
  }

  void failed(const std::string& stored, int zipError) {
    if (zipError == ZIP_ER_COMPNOTSUPP || zipError == ZIP_ER_ENCRNOTSUPP) {
      messages_.warning("skipping: " + stored + "  (unsupported compression or encryption)");
      ++unsupported_;
      return;
    }
    messages_.warning("error: " + stored + ": " + ZipErrorText(zipError));
    raise(MemberErrorCode(zipError));
  }

  // Reads the member to its end (so that its CRC is checked) into a temporary file that
  // replaces name only when everything read and wrote well; name null tests only.
  void transfer(zip_file_t* file, const std::string& stored, const std::string* name,
                std::time_t modified) {
    Descriptor out;
    std::string temporary;
    if (name && !folder_->createTemporary(out, temporary)) return writeFailed(*name, errno);
    auto discard = [&] {
      if (!name) return;
      out.close();
      folder_->remove(temporary);
    };
    std::uint64_t total = 0;
    for (;;) {
      zip_int64_t read = zip_fread(file, buffer_.data(), buffer_.size());
      if (read < 0) {
        discard();
        return failed(stored, zip_error_code_zip(zip_file_get_error(file)));
      }
      if (read == 0) break;
      total += static_cast<std::uint64_t>(read);
      // The headers' sizes were checked before; these count what really came out.
      if (total > limits_.maxMemberSize) {
        discard();
        return skip(stored, "too large");
      }
      if (name && total > limits_.maxArchiveSize - std::min(written_, limits_.maxArchiveSize)) {
        discard();
        return skip(stored, "the archive's size limit is reached");
      }
      if (name && !WriteAll(out.get(), buffer_.data(), static_cast<std::size_t>(read))) {
        int error = errno;
        discard();
        return writeFailed(*name, error);
      }
    }
    if (!name) {
      messages_.info("    testing: " + stored + "   OK");
      return;
    }
    if (modified >= 0) {
      const struct timespec times[2] = {{modified, 0}, {modified, 0}};
      ::futimens(out.get(), times);  // a date that cannot be set leaves the file's own
    }
    if (!out.close()) {
      int error = errno;
      folder_->remove(temporary);
      return writeFailed(*name, error);
    }
    if (!folder_->replace(temporary, *name)) {
      int error = errno;
      folder_->remove(temporary);
      return writeFailed(*name, error);
    }
    written_ += total;
    messages_.info("  inflating: " + *name);
  }

  void writeFailed(const std::string& name, int error) {
    messages_.warning("error: cannot write " + name + ": " + std::strerror(error));
    raise(WriteErrorCode(error));
    if (error == ENOSPC || error == EDQUOT) stopped_ = true;  // nothing more will fit
  }

  zip_t* archive_;
  const DCL& options_;
  USERFUNCTIONS& callbacks_;
  const UnzipLimits& limits_;
  Messages& messages_;
  ExtractionFolder* folder_;  // null when testing or listing
  Selection& selection_;
  std::vector<char> buffer_;

  int code_ = PK_OK;
  bool stopped_ = false;
  std::uint64_t members_ = 0;      // selected members
  std::uint64_t badPassword_ = 0;  // members skipped for their password
  std::uint64_t unsupported_ = 0;  // members skipped for their method
  std::uint64_t written_ = 0;      // bytes written for this archive
  std::optional<std::string> password_;
  bool noMorePrompts_ = false;
  bool replaceAll_ = false;
  bool replaceNone_ = false;
};

}  // namespace

unsigned UzpVersion2(UzpVer2& version) {
  if (version.structlen != kUzpVer2Length) return static_cast<unsigned>(kUzpVer2Length);
  version.flag = 2;  // libzip inflates with zlib
  version.betalevel[0] = '\0';
  version.date[0] = '\0';
  version.zlib_version[0] = '\0';
  version.unzip = {VELODEX_VERSION_MAJOR, VELODEX_VERSION_MINOR, VELODEX_VERSION_PATCH, 0};
  version.windll = version.unzip;
  version.zipinfo = {};
  version.os2dll = {};
  return 0;
}

int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL,
                         USERFUNCTIONS* lpUserFunc) {
  return Wiz_SingleEntryUnzip(ifnc, ifnv, xfnc, xfnv, lpDCL, lpUserFunc, UnzipLimits{});
}

int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL,
                         USERFUNCTIONS* lpUserFunc, const UnzipLimits& limits) {
  if (lpDCL == nullptr || lpUserFunc == nullptr || ifnc < 0 || xfnc < 0 ||
      (ifnc > 0 && ifnv == nullptr) || (xfnc > 0 && xfnv == nullptr)) {
    return PK_PARAM;
  }
  const DCL& options = *lpDCL;
  // Only the extraction this program needs (and testing and listing) is offered; the
  // other modes are refused rather than half done.
  if (options.ExtractOnlyNewer || options.ncflag || options.nfflag || options.ndflag ||
      options.naflag || options.nZIflag || options.lpszZipFN.empty()) {
    return PK_PARAM;
  }
  USERFUNCTIONS& callbacks = *lpUserFunc;
  Messages messages(callbacks, options.fQuiet);

  int zipError = ZIP_ER_OK;
  ZipArchive archive(zip_open(options.lpszZipFN.c_str(), ZIP_RDONLY, &zipError));
  if (!archive) {
    messages.warning("error: cannot open " + options.lpszZipFN + ": " + ZipErrorText(zipError));
    return OpenErrorCode(zipError);
  }
  int commentLength = 0;
  const char* comment = zip_get_archive_comment(archive.get(), &commentLength, ZIP_FL_ENC_RAW);
  if (options.nvflag) {
    callbacks.cchComment = static_cast<unsigned short>(std::min(commentLength, 0xffff));
  }
  if (options.nzflag && comment != nullptr && commentLength > 0) {
    messages.send(std::string(comment, static_cast<std::size_t>(commentLength)));
  }

  int code;
  zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  if (count <= 0) {
    messages.warning("warning: " + options.lpszZipFN + " is empty");
    code = PK_WARN;
  } else {
    ExtractionFolder folder;
    const bool writes = !options.ntflag && !options.nvflag;
    const std::string folderPath =
        options.lpszExtractDir.empty() ? std::string(".") : options.lpszExtractDir;
    if (writes && !folder.open(folderPath)) {
      messages.warning("error: cannot use the folder " + folderPath + ": " + std::strerror(errno));
      return PK_ERR;
    }
    Selection selection(ifnc, ifnv, xfnc, xfnv, options.C_flag != 0);
    Extraction extraction(archive.get(), options, callbacks, limits, messages,
                          writes ? &folder : nullptr, selection);
    code = extraction.run(static_cast<zip_uint64_t>(count));
  }
  if (callbacks.sound) callbacks.sound();
  return code;
}

}  // namespace velodex
