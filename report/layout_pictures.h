// Pictures of a design's layout as SVG: the plan (top-down, north up, coloured by height,
// stations red, chain lifts dotted, a scale bar in tiles) and the side profile (height along
// the track). Path data is written in relative steps of half tiles, so even a long ride's
// small plan stays within a kilobyte and a half.
#pragma once

#include <cstddef>
#include <string>

#include "catalogue/track_layout.h"

namespace velodex {

// The most bytes SmallPlanSvg writes for any layout.
inline constexpr size_t kSmallPlanBudget = 1536;

// The plan at full detail, covered tiles shaded grey, the start marked, with a north arrow.
std::string PlanSvg(const TrackLayout& layout);

// The plan for a list of many designs: no shaded tiles, and at most `budget` bytes. A plan
// that would be larger loses detail step by step (curves become straight joints, fewer
// height colours, then the track is simplified) until it fits.
std::string SmallPlanSvg(const TrackLayout& layout, size_t budget = kSmallPlanBudget);

// The side profile: height in height units against distance along the track, with the
// start's height marked, loop tops shown, stations red and chain lifts dotted.
std::string ProfileSvg(const TrackLayout& layout);

// Plan and profile side by side under a caption: title (escaped) and the layout's facts.
std::string LayoutSvg(const TrackLayout& layout, const std::string& title);

// The name of a design's picture: the design's file name ending in "svg" instead of "td4"
// ("Loop.td4" -> "Loop.svg"), after its archive's name for a design from an archive
// ("pack.zip - Loop.svg"), so that designs of one name in two archives keep a picture each.
// zipFileName is "none" for a loose design.
std::string PictureFileName(const std::string& designName, const std::string& zipFileName);

}  // namespace velodex
