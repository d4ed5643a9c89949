// The picture of a design's layout as SVG: the plan (top-down, north up, coloured by height,
// covered tiles shaded, stations red, chain lifts dotted, a scale bar in tiles) and the side
// profile (height along the track, loop tops shown). Path data is written in relative steps
// of half tiles, so even a long ride's picture stays within a kilobyte and a half.
#pragma once

#include <cstddef>
#include <string>

#include "catalogue/track_layout.h"

namespace velodex {

// The most bytes PictureSvg writes for any layout.
inline constexpr size_t kPictureBudget = 1536;

// The picture of a layout in at most budget bytes: a 100 by 134 view box (no size of its own:
// it fills what shows it) with the plan fitted into its top 100 by 100, at the foot of that
// square, and the side profile into the 100 by 30 below it, at its top, so a page can show
// the plan alone by cutting off the foot. A layout whose picture would be larger loses detail
// step by step (the shaded tiles, fine detail of the profile, its scale bar, all but three
// height colours, the profile's marks, its labels, curves between the joints, the plan's
// labels, the station and chain marks; then the lines are simplified ever more coarsely)
// until it fits.
std::string PictureSvg(const TrackLayout& layout, size_t budget = kPictureBudget);

// The name of a design's picture: the design's file name ending in "svg" instead of "td4"
// ("Loop.td4" -> "Loop.svg"), after its archive's name for a design from an archive
// ("pack.zip - Loop.svg"), so that designs of one name in two archives keep a picture each.
// zipFileName is "none" for a loose design.
std::string PictureFileName(const std::string& designName, const std::string& zipFileName);

}  // namespace velodex
