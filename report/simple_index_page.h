// The report's single page, "simpleindex.htm": every design of the catalogue in one table,
// in the order of the sorted result set the run hands over.
#pragma once

#include <string>

#include "catalogue/catalogue_database.h"
#include "catalogue/run_options.h"

namespace velodex {

// Writes the whole page to pagePath (created or emptied) and closes it: the head titled
// "Roller Coaster Specifications", one row per row of sortedRows from its first, the foot
// without index link. Its design name cell always takes three lines, its link targets
// worked out for a page in the scanned folder. An empty sortedRows gives head and foot
// only. Moves sortedRows; throws Error when the page cannot be written or a field is
// missing, leaving what was written on disk.
void WriteSpecificationPage(const RunOptions& options, const std::string& pagePath,
                            RecordSet& sortedRows);

}  // namespace velodex
