// Decoding of track design files and reading of their statistics.
//
// Positions and counts are size_t throughout, so a body of any length is walked correctly;
// the file loader still refuses to read more than the longest file that could possibly be
// accepted (see kLongestAcceptableFile).
#include "catalogue/track_design.h"

#include <cerrno>
#include <cstddef>

#include "catalogue/file_system.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velodex {
namespace {

constexpr size_t kTrailerLength = 4;

// Every run turns at most two body bytes into each decoded byte (a one-byte literal run is
// the worst case), and decoding only ends once the whole body is consumed. A body of more
// than 2 x 8,198 bytes therefore always decodes past every accepted length, so a file longer
// than this is rejected without being read: the verdict is the same as decoding it.
constexpr size_t kLongestAcceptableFile = 2 * kFullDesignLength + kTrailerLength;

// One read() of at most size bytes: the count read, 0 at the end of the file, -1 on failure.
long ReadSome(int fd, uint8_t* buffer, size_t size) {
#ifdef _WIN32
  return _read(fd, buffer, static_cast<unsigned>(size));
#else
  return static_cast<long>(read(fd, buffer, size));
#endif
}

// The returned count of a file that holds more than the buffer.
constexpr long kTooLong = -1;

// Why a file that opened is no file to read: a folder, or something else that is not a
// plain file (a pipe, a device).
std::error_code NotAPlainFile(bool isFolder) {
  return std::make_error_code(isFolder ? std::errc::is_a_directory : std::errc::not_supported);
}

// Reads up to capacity bytes of the file at path into buffer with unbuffered system calls,
// so loading a design allocates nothing. Returns the count read, or kTooLong when the file
// holds more than capacity bytes; sets error when the file cannot be opened or read or is
// not a plain file.
long ReadWholeFile(const std::string& path, uint8_t* buffer, size_t capacity,
                   std::error_code& error) {
#ifdef _WIN32
  int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return 0;
  }
  struct _stat64 info {};
  if (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    error = NotAPlainFile((info.st_mode & _S_IFMT) == _S_IFDIR);
    _close(fd);
    return 0;
  }
#else
  // Non-blocking so that a stray FIFO named like a design cannot hang the scan.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return 0;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    error = std::error_code(errno, std::generic_category());
    close(fd);
    return 0;
  }
  if (!S_ISREG(info.st_mode)) {
    error = NotAPlainFile(S_ISDIR(info.st_mode));
    close(fd);
    return 0;
  }
#endif
  // Fill the buffer, then ask for one byte more: an over-long file shows itself without
  // being read to its end, and nothing is ever written past the buffer.
  size_t total = 0;
  bool tooLong = false;
  while (total < capacity) {
    const long got = ReadSome(fd, buffer + total, capacity - total);
    if (got < 0) error = std::error_code(errno, std::generic_category());
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  if (!error && total == capacity) {
    uint8_t probe;
    const long got = ReadSome(fd, &probe, 1);
    if (got < 0) error = std::error_code(errno, std::generic_category());
    tooLong = got > 0;
  }
#ifdef _WIN32
  _close(fd);
#else
  close(fd);
#endif
  return tooLong ? kTooLong : static_cast<long>(total);
}

// Rounds the double-precision result of a product or quotient once to single precision.
float Single(double value) { return static_cast<float>(value); }

// PosGs and LatGs: a byte above 128 keeps only its low four bits, negated. A byte whose low
// four bits are clear (144, 160, ... 240) gives -0.0, as the product does; it equals 0, sorts
// with 0 and pages print it as "0".
float SignedLowNibbleGs(uint8_t b) {
  if (b <= 128) return Single(b * 0.32);
  const int16_t lowBits = b & 15;
  return Single(lowBits * 0.32 * -1.0);
}

// NegGs: a byte above 128 is the two's complement negative, -(256 - b), never zero.
float TwosComplementGs(uint8_t b) {
  if (b <= 128) return Single(b * 0.32);
  return Single((256 - b) * -0.32);
}

}  // namespace

bool DecodeTrackDesignBytes(std::span<const uint8_t> file, DecodedDesign& out) {
  out.length = 0;
  if (file.size() < kTrailerLength) return false;
  // L: the body's length. Index L is the first trailer byte, which the data bytes of a run may
  // still use; control bytes come only from below L.
  const size_t bodyEnd = file.size() - kTrailerLength;
  const uint8_t* input = file.data();
  uint8_t* decoded = out.bytes.data();
  constexpr size_t kCapacity = kDecodedCapacity;
  size_t pos = 0;
  size_t produced = 0;
  while (pos < bodyEnd) {
    const unsigned control = input[pos];
    if (control >= 127) {
      // Repeat run: 257 - c copies (130 for 127, 2 for 255) of the byte at pos + 1, which is
      // at most L because pos < L.
      const size_t count = 257 - control;
      if (count > kCapacity - produced) return false;
      const uint8_t value = input[pos + 1];
      for (size_t i = 0; i < count; ++i) decoded[produced + i] = value;
      produced += count;
      pos += 2;
    } else {
      // Literal run of c + 1 bytes at pos + 1 .. pos + c + 1, the last of which may be index L.
      const size_t count = control + 1;
      if (pos + count > bodyEnd) return false;
      if (count > kCapacity - produced) return false;
      for (size_t i = 0; i < count; ++i) decoded[produced + i] = input[pos + 1 + i];
      produced += count;
      pos += count + 1;
    }
  }
  if (produced != kFullDesignLength && produced != kShortDesignLength) return false;
  out.length = static_cast<int>(produced);
  return true;
}

DesignReading DecodeTrackDesign(const std::string& path, DecodedDesign& out) {
  out.length = 0;
  uint8_t file[kLongestAcceptableFile];
  std::error_code error;
  const long length = ReadWholeFile(path, file, sizeof file, error);
  if (error) return {DesignVerdict::kUnreadable, error};
  if (length == kTooLong) return {DesignVerdict::kRejected, {}};
  const bool accepted =
      DecodeTrackDesignBytes(std::span<const uint8_t>(file, static_cast<size_t>(length)), out);
  return {accepted ? DesignVerdict::kAccepted : DesignVerdict::kRejected, {}};
}

DesignStats ExtractDesignStats(const DecodedDesign& design) {
  const uint8_t* b = design.bytes.data();
  DesignStats stats;
  stats.rideTypeCode = b[0];
  stats.trainColorScheme = b[7];
  stats.minWaitTime = b[38];
  stats.maxWaitTime = b[39];
  stats.maxSpeed = Single(b[41] * 2.25);
  stats.avgSpeed = Single(b[42] * 2.25);
  stats.rideLength = Single((b[43] + 256 * b[44]) / 0.3048);
  stats.posGs = SignedLowNibbleGs(b[45]);
  stats.negGs = TwosComplementGs(b[46]);
  stats.latGs = SignedLowNibbleGs(b[47]);
  stats.invs = static_cast<int16_t>(b[48] & 31);
  stats.drops = static_cast<int16_t>(b[49] & 63);
  stats.maxDropHeight = b[50];
  stats.ex = Single(b[51] * 0.1);
  stats.intensity = Single(b[52] * 0.1);
  stats.na = Single(b[53] * 0.1);
  // Each step in single precision: the sum is rounded before the difference is taken.
  const float strain = stats.intensity + stats.na;
  stats.rating = stats.ex - strain;
  return stats;
}

std::string BadDesignName(const std::string& fileName) { return ReplaceEnding(fileName, "bad"); }

}  // namespace velodex
