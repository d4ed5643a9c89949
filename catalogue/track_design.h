// Decoding of a track design file (".td4"): a run-length compressed body followed by a
// four-byte trailer whose value is never examined. An accepted design decodes to exactly
// 8,198 or 8,058 bytes; its ride statistics lie in the first 54 decoded bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace velodex {

inline constexpr int kDecodedCapacity = 8199;
inline constexpr int kFullDesignLength = 8198;
inline constexpr int kShortDesignLength = 8058;

struct DecodedDesign {
  std::array<uint8_t, kDecodedCapacity> bytes;
  int length = 0;  // D: bytes produced
};

struct DesignStats {
  uint8_t rideTypeCode = 0;
  uint8_t trainColorScheme = 0;
  uint8_t minWaitTime = 0;
  uint8_t maxWaitTime = 0;
  float maxSpeed = 0;
  float avgSpeed = 0;
  float rideLength = 0;
  float posGs = 0;
  float negGs = 0;
  float latGs = 0;
  int16_t invs = 0;
  int16_t drops = 0;
  int16_t maxDropHeight = 0;
  float ex = 0;
  float intensity = 0;  // Int
  float na = 0;
  float rating = 0;
};

// What reading a design file found.
enum class DesignVerdict {
  kAccepted,    // decoded to an accepted length
  kRejected,    // read and found wanting: not a design
  kUnreadable,  // could not be opened or read, or is no plain file: nothing is known of it
};

struct DesignReading {
  DesignVerdict verdict;
  std::error_code cause;  // why the file could not be read (kUnreadable only)
};

// Decodes the body of a whole file already in memory into out (which is reused from design
// to design without clearing). Returns false when the file is rejected: shorter than its
// trailer, a literal run past the first trailer byte, more than 8,199 decoded bytes, or a
// decoded length other than 8,198 or 8,058.
bool DecodeTrackDesignBytes(std::span<const uint8_t> file, DecodedDesign& out);

// Loads the file at path and decodes it as above: accepted, rejected, or unreadable with
// the system's cause (open or read failed, or not a plain file; a folder gives "Is a
// directory"). A file longer than 16,400 bytes could only decode past every accepted length,
// so it is rejected without being read: no length, however far past what 16-bit positions
// could address, is ever walked or loaded.
DesignReading DecodeTrackDesign(const std::string& path, DecodedDesign& out);

// Reads the statistics from the fixed offsets of an accepted design.
DesignStats ExtractDesignStats(const DecodedDesign& design);

// The name a rejected file is renamed to: its name without the last three characters,
// followed by "bad" (Loop.td4 becomes Loop.bad).
std::string BadDesignName(const std::string& fileName);

}  // namespace velodex
