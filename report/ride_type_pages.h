// The page sets of a report separated by ride type: for each ride type in the catalogue,
// its designs sorted as the user chose, ridesPerPage to a page. A type that fits on one page
// gets N.htm with the ordinary foot; a larger one gets N0.htm, N<p>.htm, N<2p>.htm, ... each
// ending in the paged foot with its Previous / Main Index / Next links.
#pragma once

#include <string>

#include "catalogue/catalogue_database.h"
#include "catalogue/progress_display.h"
#include "catalogue/run_options.h"
#include "report/page_framing.h"

namespace velodex {

// Writes every ride type's page set, in RideTypeQuery's order, into folder (useZipFiles on)
// or into folder's ride type folder named after the type, which must exist. Shows the
// status "Writing Ride Type Files", the type name and the design count (or, for a single
// page, the running row number) on progress. An empty RideTypeQuery writes no page.
// Throws Error for a missing query, a bad rides-per-page text or a page that cannot be
// written (a missing ride type folder among them); pages written so far stay.
// Counts are 32-bit, so a type may hold more designs than a 16-bit counter could.
void WriteRideTypePages(const RunOptions& options, ProgressDisplay& progress,
                        const std::string& folder, CatalogueDatabase& database);

// Ends a page of a multi-page set: "</table>", the navigation links (first page: Main
// Index, Next; last page: Previous, Main Index; others all three, link texts naming
// ridesPerPage), "<p>" and the credit lines. The index link targets "rideindex.htm" with
// useZipFiles, else "../rideindex.htm". isLastPage is 1 for the set's last page.
void WritePagedFoot(PageFile& page, const RunOptions& options, const std::string& rideTypeName,
                    int firstRow, int ridesPerPage, int isLastPage);

}  // namespace velodex
