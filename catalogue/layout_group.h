// Same-layout groups of walked tracks. Only the layout walk's own sources use this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "catalogue/track_layout.h"

namespace velodex {

// The key the group compares of a piece: its id with the chain-lift and inverted bits.
// Colours, station numbers and brake speeds do not make another layout.
inline uint16_t PieceKey(uint8_t id, uint8_t qualifier) {
  return static_cast<uint16_t>(id << 8 | (qualifier & (kChainLiftBit | kInvertedBit)));
}

// The group of a track from its n (at least 1) piece keys in list order: equal for the same
// keys, for a closed circuit listed from another piece, and for the mirror image (each piece
// replaced by its twin). circuit: the walk closed; complete: it reached the end marker.
int64_t TrackGroup(const uint16_t* keys, size_t n, bool circuit, bool complete);

// The group of a maze: equal only for the very same entries; 0 for none.
int64_t MazeGroup(const std::vector<MazeEntry>& entries, bool complete);

// A buffer for piece keys, kept from layout to layout (per thread), as a scan groups one
// design after another.
std::vector<uint16_t>& GroupKeyBuffer();

}  // namespace velodex
