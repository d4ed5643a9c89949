// Our own track design encoder. The decoded layout imitates a saved design closely enough for
// the catalogue (statistics at their offsets, vehicle colours, a list of track pieces ending in
// 0xFF, then zeros to the end).
#include "tools/design_encoder.h"

#include <algorithm>
#include <cstddef>
#include <fstream>

#include "catalogue/error.h"
#include "catalogue/track_layout.h"
#include "tools/track_circuit.h"

namespace velodex {
namespace {

// The longest run real encoders write, for either kind of run.
constexpr size_t kLongestRun = 125;
constexpr size_t kStatsEnd = 54;

uint8_t Byte(int value) { return static_cast<uint8_t>(value); }

// Colours and settings before the statistics: a few cars' body and trim colour pairs, the
// track's colours, and the vehicle colours after the statistics.
void FillHeader(std::vector<uint8_t>& d, SeededRandom& random) {
  d[1] = Byte(random.between(0, 0x5F));  // vehicle type
  if (random.between(0, 2) == 0) d[4] = Byte(random.between(1, 0x0F));
  d[5] = Byte(random.between(0, 1) * 0x80);
  d[6] = Byte(random.between(0, 10));  // operating mode
  const int cars = random.between(1, 12);
  const uint8_t body = Byte(random.between(0, 31));
  const uint8_t trim = Byte(random.between(0, 31));
  for (int car = 0; car < cars; ++car) {
    d[8 + 2 * car] = body;
    d[9 + 2 * car] = trim;
  }
  for (size_t i = 32; i < 38; i += 2) d[i] = Byte(random.between(0, 31));
  d[54] = Byte(random.between(0, 0x40));
  d[55] = Byte(random.between(0, 3));
  // The original format keeps its track colours before the statistics and its list here.
  if (d.size() == static_cast<size_t>(kShortDesignLength) || d.size() < kFullListStart) return;
  for (size_t group = 0; group < 3; ++group) {
    const uint8_t colour = Byte(random.between(0, 31));
    for (size_t i = 0; i < 4; ++i) d[56 + 4 * group + i] = colour;
  }
}

// The track area: the given list or bytes, or a generated circuit (or maze) that fits.
void FillTrack(std::vector<uint8_t>& d, const DesignParams& p, SeededRandom& random) {
  const size_t start =
      d.size() == static_cast<size_t>(kShortDesignLength) ? kShortListStart : kFullListStart;
  if (d.size() <= start) return;
  const size_t room = d.size() - start;
  std::vector<uint8_t> area;
  if (p.trackArea) {
    area = *p.trackArea;
  } else if (p.track || p.rideTypeCode != kMazeRideType) {
    // A generated circuit may run a few dozen pieces past the length asked for.
    constexpr size_t kOvershoot = 200;
    if (!p.track && room / 2 < 2 * kOvershoot) return;
    // About one piece for every seven units of the stored ride length, as real designs have
    // (195 pieces for 1,420; 6 for 50).
    const size_t wanted = 4 + p.rideLength / 7 + static_cast<size_t>(random.between(0, 7));
    const std::vector<TrackElement> track =
        p.track ? *p.track : MakeCircuit(random, std::min(wanted, room / 2 - kOvershoot));
    for (const TrackElement& element : track) {
      area.push_back(element.id);
      area.push_back(element.qualifier);
    }
    area.push_back(0xFF);
  } else {
    area = MakeMaze(random, 4 + p.rideLength / 40);
  }
  if (area.size() > room) {
    throw Error("cannot make a design whose track takes " + std::to_string(area.size()) +
                " bytes: its track area holds " + std::to_string(room));
  }
  std::copy(area.begin(), area.end(), d.begin() + static_cast<std::ptrdiff_t>(start));
}

void AppendRepeat(std::vector<uint8_t>& body, uint8_t value, size_t count) {
  body.push_back(Byte(257 - static_cast<int>(count)));
  body.push_back(value);
}

void AppendLiteral(std::vector<uint8_t>& body, std::span<const uint8_t> bytes) {
  body.push_back(Byte(static_cast<int>(bytes.size()) - 1));
  body.insert(body.end(), bytes.begin(), bytes.end());
}

// A checksum-like value for the trailer; nothing examines it, but real files do not end in
// four zeros either.
uint32_t TrailerFor(std::span<const uint8_t> decoded) {
  uint32_t sum = 0;
  for (uint8_t b : decoded) sum = ((sum << 5) | (sum >> 27)) + b;
  return sum;
}

}  // namespace

std::vector<uint8_t> MakeDecodedDesign(const DesignParams& p) {
  if (p.decodedLength < static_cast<int>(kStatsEnd)) {
    throw Error("cannot make a design of " + std::to_string(p.decodedLength) +
                " decoded bytes: the statistics alone need 54");
  }
  std::vector<uint8_t> d(static_cast<size_t>(p.decodedLength), 0);
  SeededRandom random(p.seed);
  if (d.size() >= kStatsEnd + 2) FillHeader(d, random);
  FillTrack(d, p, random);
  d[0] = p.rideTypeCode;
  d[7] = p.trainColorScheme;
  d[38] = p.minWaitTime;
  d[39] = p.maxWaitTime;
  d[40] = Byte(random.between(0, 3));
  d[41] = p.maxSpeed;
  d[42] = p.avgSpeed;
  d[43] = Byte(p.rideLength & 0xFF);
  d[44] = Byte(p.rideLength >> 8);
  d[45] = p.posGs;
  d[46] = p.negGs;
  d[47] = p.latGs;
  d[48] = p.invs;
  d[49] = p.drops;
  d[50] = p.maxDropHeight;
  d[51] = p.ex;
  d[52] = p.intensity;
  d[53] = p.na;
  return d;
}

std::vector<uint8_t> EncodeRunLength(std::span<const uint8_t> decoded) {
  // Every stretch of two or more equal bytes becomes repeat runs; everything between them
  // goes into literal runs. Both kinds hold at most 125 bytes.
  std::vector<uint8_t> body;
  body.reserve(decoded.size() / 8 + 64);
  size_t literalStart = 0;
  size_t i = 0;
  auto flushLiteral = [&](size_t end) {
    while (literalStart < end) {
      const size_t count = std::min(kLongestRun, end - literalStart);
      AppendLiteral(body, decoded.subspan(literalStart, count));
      literalStart += count;
    }
  };
  while (i < decoded.size()) {
    size_t same = 1;
    while (i + same < decoded.size() && decoded[i + same] == decoded[i]) ++same;
    if (same < 2) {
      ++i;
      continue;
    }
    flushLiteral(i);
    while (same >= 2) {
      const size_t count = std::min(kLongestRun, same);
      AppendRepeat(body, decoded[i], count);
      i += count;
      same -= count;
    }
    // A single byte left over from a long stretch starts the next literal run.
    literalStart = i;
    if (same == 1) ++i;
  }
  flushLiteral(decoded.size());
  return body;
}

std::vector<uint8_t> EncodeDesignFile(std::span<const uint8_t> decoded, uint32_t trailer) {
  std::vector<uint8_t> file = EncodeRunLength(decoded);
  for (int shift = 0; shift < 32; shift += 8) file.push_back(Byte((trailer >> shift) & 0xFF));
  return file;
}

void WriteDesignFile(const std::string& path, const DesignParams& params) {
  const std::vector<uint8_t> decoded = MakeDecodedDesign(params);
  const std::vector<uint8_t> file = EncodeDesignFile(decoded, TrailerFor(decoded));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) throw Error("cannot write design file '" + path + "'");
}

}  // namespace velodex
