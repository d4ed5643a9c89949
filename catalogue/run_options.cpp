#include "catalogue/run_options.h"

namespace velodex {

int16_t OptionCode(const RunOptions& options) {
  return static_cast<int16_t>(2 * options.separateByRideType() +
                              4 * options.copyTracksToSubdirectory() +
                              8 * options.useZipFiles() + 16 * options.namesAsHyperlinks());
}

}  // namespace velodex
