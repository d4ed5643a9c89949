// The entry page of a report separated by ride type, "rideindex.htm": one row per ride
// type with a link to the first page of its page set and its number of designs.
#pragma once

#include <string>

#include "catalogue/catalogue_database.h"
#include "catalogue/run_options.h"

namespace velodex {

// Writes folder + separator + "rideindex.htm" (created or emptied) and closes it: its own
// four head lines, eight lines per RideTypeQuery row in query order, the foot without index
// link. A type's link targets N.htm when its count is at most ridesPerPage, else N0.htm,
// inside the folder N/ unless useZipFiles is on. No ride type gives head and foot only.
// Throws Error for a missing query, a bad rides-per-page text or a page that cannot be
// written; what was written stays on disk.
void WriteRideIndexPage(const RunOptions& options, const std::string& folder,
                        CatalogueDatabase& database);

}  // namespace velodex
