#include "files/unzip_layer.h"

#include <zip.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/extraction_folder.h"

namespace velodex {
namespace {

// A member's password is asked for at most this many times.
constexpr int kPasswordRounds = 3;

struct ArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ArchiveCloser>;

struct MemberCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipMember = std::unique_ptr<zip_file_t, MemberCloser>;

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

std::string ZipErrorText(int zipError) {
  zip_error_t error;
  zip_error_init_with_code(&error, zipError);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

enum class MemberKind { kFile, kFolder, kLink, kSpecial };

MemberKind KindOf(zip_t* archive, zip_uint64_t index, const std::string& stored) {
  if (!stored.empty() && (stored.back() == '/' || stored.back() == '\\')) {
    return MemberKind::kFolder;
  }
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

// Stored, deflated and bzip2 members only: the methods designs come in. Others (xz, zstd)
// are refused like any unknown method, which also keeps their decoders' memory appetite
// away from untrusted archives.
bool MethodSupported(zip_int32_t method) {
  return (method == ZIP_CM_STORE || method == ZIP_CM_DEFLATE || method == ZIP_CM_BZIP2) &&
         zip_compression_method_supported(method, 0);
}

// "compression method 9, deflate64": the number as stored, and its common name when known.
std::string MethodText(zip_int32_t method) {
  static const std::pair<zip_int32_t, const char*> kNames[] = {
      {0, "stored"},  {1, "shrunk"},   {2, "reduced"},  {3, "reduced"},   {4, "reduced"},
      {5, "reduced"}, {6, "imploded"}, {8, "deflate"},  {9, "deflate64"}, {10, "imploded"},
      {12, "bzip2"},  {14, "lzma"},    {18, "terse"},   {19, "lz77"},     {93, "zstd"},
      {95, "xz"},     {96, "jpeg"},    {97, "wavpack"}, {98, "ppmd"}};
  std::string text = "compression method " + std::to_string(method);
  for (const auto& [code, name] : kNames) {
    if (code == method) return text + ", " + name;
  }
  return text;
}

// Hands one line to the print routine, when there is one.
void Print(USERFUNCTIONS& callbacks, std::string text) {
  if (!callbacks.print) return;
  text += '\n';
  callbacks.print(text.data(), static_cast<unsigned long>(text.size()));
}

// One archive's pass over its members, with the counts the return code is made from.
class Extraction {
 public:
  Extraction(zip_t* archive, USERFUNCTIONS& callbacks, const UnzipLimits& limits,
             ExtractionFolder& folder)
      : archive_(archive),
        callbacks_(callbacks),
        limits_(limits),
        folder_(folder),
        buffer_(64 * 1024) {}

  int run(zip_uint64_t count) {
    for (zip_uint64_t index = 0; index < count && !stopped_; ++index) member(index);
    // The library's closing rules: every member refused for its password, or members of
    // an unread method, turn a clean or warning result into their own code.
    if (code_ <= PK_WARN) {
      if (badPassword_ > 0 && badPassword_ == members_) return IZ_BADPWD;
      if (unsupported_ > 0) return IZ_UNSUP;
      if (badPassword_ > 0) return PK_WARN;
    }
    return code_;
  }

 private:
  void send(std::string text) { Print(callbacks_, std::move(text)); }

  void raise(int code) { code_ = std::max(code_, code); }

  void skip(const std::string& stored, const std::string& reason) {
    send("skipping: " + stored + "  (" + reason + ")");
    raise(PK_WARN);
  }

  // A member in a method this layer does not read: named in the text, counted for IZ_UNSUP.
  void unsupported(const zip_stat_t& status, bool encryption) {
    const std::string what =
        encryption ? "encryption method " + std::to_string(status.encryption_method)
        : (status.valid & ZIP_STAT_COMP_METHOD) ? MethodText(status.comp_method)
                                                : std::string("compression method");
    send(std::string("skipping: ") + status.name + "  (unsupported " + what + ")");
    ++unsupported_;
  }

  void member(zip_uint64_t index) {
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(archive_, index, ZIP_FL_ENC_RAW, &status) != 0 ||
        !(status.valid & ZIP_STAT_NAME) || status.name == nullptr) {
      send("error: cannot read the entry of member " + std::to_string(index));
      raise(PK_BADERR);
      return;
    }
    ++members_;
    const std::string stored = status.name;
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
    std::optional<std::string> name = WrittenName(stored);
    if (!name) return skip(stored, "no usable file name");
    if ((status.valid & ZIP_STAT_SIZE) && status.size > limits_.maxMemberSize) {
      return skip(stored, "too large");
    }
    if ((status.valid & ZIP_STAT_SIZE) && status.size > roomLeft()) {
      return skip(stored, "the archive's size limit is reached");
    }
    if (!(status.valid & ZIP_STAT_COMP_METHOD) || !MethodSupported(status.comp_method)) {
      return unsupported(status, false);
    }
    const bool encrypted =
        (status.valid & ZIP_STAT_ENCRYPTION_METHOD) && status.encryption_method != ZIP_EM_NONE;
    if (encrypted && !zip_encryption_method_supported(status.encryption_method, 0)) {
      return unsupported(status, true);
    }
    // A link, folder or other non-file in the way is never replaced.
    if (folder_.lookup(*name) == ExtractionFolder::Entry::kOther) {
      return skip(stored, "'" + *name + "' exists and is not a regular file");
    }
    ZipMember file = open(index, status, encrypted);
    if (file) transfer(file.get(), status, *name);
  }

  std::uint64_t roomLeft() const {
    return limits_.maxArchiveSize - std::min(written_, limits_.maxArchiveSize);
  }

  // Opens the member; for an encrypted one, tries the password that opened an earlier
  // member, then asks the password routine. Opening checks only the encryption header's
  // check value, so a wrong password may still pass here; the read then fails its CRC and
  // the member is dropped.
  ZipMember open(zip_uint64_t index, const zip_stat_t& status, bool encrypted) {
    int error = ZIP_ER_OK;
    if (!encrypted) {
      ZipMember file = attempt(index, nullptr, error);
      if (!file) failed(status, error);
      return file;
    }
    if (password_) {
      ZipMember file = attempt(index, password_->c_str(), error);
      if (file) return file;
      if (error != ZIP_ER_WRONGPASSWD) return failed(status, error), nullptr;
    }
    for (int round = 0; round < kPasswordRounds; ++round) {
      char buffer[kPasswordBufferSize] = {};
      const char* prompt = round == 0 ? "Enter the password for " : "Wrong password; again for ";
      if (!callbacks_.password ||
          callbacks_.password(buffer, kPasswordBufferSize, prompt, status.name) != IZ_PW_ENTERED) {
        break;
      }
      buffer[kPasswordBufferSize - 1] = '\0';
      std::string candidate = buffer;
      ZipMember file = attempt(index, candidate.c_str(), error);
      if (file) {
        password_ = candidate;
        return file;
      }
      if (error != ZIP_ER_WRONGPASSWD) return failed(status, error), nullptr;
    }
    send(std::string("skipping: ") + status.name + "  (incorrect or missing password)");
    ++badPassword_;
    return nullptr;
  }

  ZipMember attempt(zip_uint64_t index, const char* password, int& error) {
    zip_error_clear(archive_);
    ZipMember file(zip_fopen_index_encrypted(archive_, index, 0, password));
    error = file ? ZIP_ER_OK : zip_error_code_zip(zip_get_error(archive_));
    return file;
  }

  void failed(const zip_stat_t& status, int zipError) {
    if (zipError == ZIP_ER_COMPNOTSUPP || zipError == ZIP_ER_ENCRNOTSUPP) {
      return unsupported(status, zipError == ZIP_ER_ENCRNOTSUPP);
    }
    send(std::string("error: ") + status.name + ": " + ZipErrorText(zipError));
    raise(MemberErrorCode(zipError));
  }

  // Reads the member to its end (so that its CRC is checked) into a temporary file that
  // is put in place as name only when everything read and wrote well.
  void transfer(zip_file_t* file, const zip_stat_t& status, const std::string& name) {
    if (Written failure = folder_.begin(name)) return writeFailed(*failure);
    std::uint64_t total = 0;
    for (;;) {
      zip_int64_t read = zip_fread(file, buffer_.data(), buffer_.size());
      if (read < 0) {
        folder_.discard();
        return failed(status, zip_error_code_zip(zip_file_get_error(file)));
      }
      if (read == 0) break;
      total += static_cast<std::uint64_t>(read);
      // The headers' sizes were checked before; these count what really came out.
      if (total > limits_.maxMemberSize) {
        folder_.discard();
        return skip(status.name, "too large");
      }
      if (total > roomLeft()) {
        folder_.discard();
        return skip(status.name, "the archive's size limit is reached");
      }
      if (Written failure = folder_.write(buffer_.data(), static_cast<std::size_t>(read))) {
        folder_.discard();
        return writeFailed(*failure);
      }
    }
    if (Written failure = folder_.commit()) {
      folder_.discard();
      return writeFailed(*failure);
    }
    written_ += total;
    send("  inflating: " + name);
  }

  void writeFailed(const WriteFailure& failure) {
    send("error: " + failure.text);
    raise(failure.diskFull ? PK_DISK : PK_ERR);
    if (failure.diskFull) stopped_ = true;  // nothing more will fit
  }

  zip_t* archive_;
  USERFUNCTIONS& callbacks_;
  const UnzipLimits& limits_;
  ExtractionFolder& folder_;
  std::vector<char> buffer_;

  int code_ = PK_OK;
  bool stopped_ = false;
  std::uint64_t members_ = 0;      // members whose entry could be read
  std::uint64_t badPassword_ = 0;  // members skipped for their password
  std::uint64_t unsupported_ = 0;  // members skipped for their method
  std::uint64_t written_ = 0;      // bytes written for this archive
  std::optional<std::string> password_;
};

}  // namespace

int Wiz_SingleEntryUnzip(const DCL& options, USERFUNCTIONS& callbacks, const UnzipLimits& limits) {
  int zipError = ZIP_ER_OK;
  ZipArchive archive(zip_open(options.lpszZipFN.c_str(), ZIP_RDONLY, &zipError));
  if (!archive) {
    Print(callbacks, "error: cannot open " + options.lpszZipFN + ": " + ZipErrorText(zipError));
    return OpenErrorCode(zipError);
  }
  zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  if (count <= 0) {
    Print(callbacks, "warning: " + options.lpszZipFN + " is empty");
    return PK_WARN;
  }
  ExtractionFolder folder;
  if (Written failure = folder.open(options.lpszExtractDir)) {
    Print(callbacks, "error: " + failure->text);
    return PK_ERR;
  }
  return Extraction(archive.get(), callbacks, limits, folder).run(static_cast<zip_uint64_t>(count));
}

}  // namespace velodex
