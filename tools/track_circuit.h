// Tracks for the designs our encoder makes: closed circuits built from pieces a real ride
// uses (stations, lift hills, drops, loops, corkscrews, diagonals, helices), their mirror
// images, and hedge mazes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tools/design_encoder.h"

namespace velodex {

// A closed circuit of about `pieces` elements (at least a station and four corners): four
// sides joined by four equal right-hand corners, each side a row of sections that leave it
// straight, level and on its line, opposite sides padded to equal length. It stays well
// inside the map.
std::vector<TrackElement> MakeCircuit(SeededRandom& random, size_t pieces);

// The same track with each piece replaced by its mirror twin: left turns for right ones.
std::vector<TrackElement> MirrorTrack(std::span<const TrackElement> track);

// The entries of a rectangular hedge maze of about `tiles` tiles, with its entrance and
// exit, ended by an all-zero entry.
std::vector<uint8_t> MakeMaze(SeededRandom& random, int tiles);

}  // namespace velodex
