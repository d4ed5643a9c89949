// One design as one table row of a report page: a cell per switched-on column, in the
// wizard's column order, and with archives the author and archive cells.
#pragma once

#include "catalogue/catalogue_database.h"
#include "catalogue/run_options.h"
#include "report/page_framing.h"

namespace velodex {

// Writes the table row of the current row of rows as the ride type pages show it: the
// design name cell on one line (or "<TD>", a link, "</TD>" with namesAsHyperlinks, the
// target one folder up unless the designs were copied beside the page), the other cells,
// "</TR>". Reads fields of the current row only; never moves rows. Throws Error for a
// missing field or a failed write, leaving the row unfinished.
void WriteRideRow(PageFile& page, const RunOptions& options, RecordSet& rows);

// The name of the current row's design file as listed on disk (Disk_Name), which links to
// the original design must use: the catalogue spells every name with "td4", the disk may
// say "TD4". A row without it falls back to File_Name.
std::string DiskName(RecordSet& rows);

// Writes the cells that follow the design name cell in every page's rows: columns 1 to 13
// that are on, then, with useZipFiles, the author cell (a mail link when Alink holds "@",
// plain text when it is exactly "none", else a link) and the archive cell. The archive
// cells leave their last line open for the row's "</TR>". Texts are escaped; an author
// link that IsSafeAuthorLink refuses is written as "none" would be.
void WriteRideRowCells(PageFile& page, const RunOptions& options, RecordSet& rows);

}  // namespace velodex
