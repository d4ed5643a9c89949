// Table rows of the report pages.
#include "report/ride_row.h"

#include <array>
#include <string>

namespace velodex {
namespace {

// The catalogue field under each report column; column 0 has a cell of its own.
constexpr std::array<const char*, kColumnCount> kColumnFields = {
    "File_Name", "Ride_Type", "Max_Speed", "Avg_Speed",       "Ride_Length", "PosGs", "NegGs",
    "LatGs",     "Invs",      "Drops",     "Max_Drop_Height", "Ex",          "Int",   "Na"};

}  // namespace

void WriteRideRow(PageFile& page, const RunOptions& options, RecordSet& rows) {
  page.writeLine("<TR>");
  if (options.column(0)) {
    const std::string fileName = CellText(rows.field("File_Name"));
    if (options.namesAsHyperlinks()) {
      page.writeLine("<TD>");
      // The page lies in a ride type folder: the design sits beside it only when copied
      // there (under the catalogue's spelling), otherwise in the scanned folder one level up.
      WriteLink(page, fileName,
                options.copyTracksToSubdirectory() ? NameAsLinkTarget(fileName)
                                                   : "../" + NameAsLinkTarget(DiskName(rows)));
      page.writeLine("</TD>");
    } else {
      page.write("<TD>");
      page.write(EscapeText(fileName));
      page.writeLine("</TD>");
    }
  }
  WriteRideRowCells(page, options, rows);
  page.writeLine("</TR>");
}

std::string DiskName(RecordSet& rows) {
  const FieldValue onDisk = rows.field("Disk_Name");
  return onDisk.isText() && !onDisk.text().empty() ? onDisk.text()
                                                   : CellText(rows.field("File_Name"));
}

void WriteRideRowCells(PageFile& page, const RunOptions& options, RecordSet& rows) {
  for (int i = 1; i < kColumnCount; ++i) {
    if (!options.column(i)) continue;
    page.write("<TD>");
    page.write(EscapeText(CellText(rows.field(kColumnFields[static_cast<size_t>(i)]))));
    page.writeLine("</TD>");
  }
  if (!options.useZipFiles()) return;

  const std::string author = CellText(rows.field("Author"));
  const std::string authorLink = CellText(rows.field("Alink"));
  page.write("<TD>");
  // A link in a scheme that could run script or reach local files is not offered as a
  // link at all: the author's name alone is what the cell is for.
  if (authorLink == "none" || !IsSafeAuthorLink(authorLink)) {
    page.write(EscapeText(author));
  } else if (authorLink.find('@') != std::string::npos) {
    WriteMailLink(page, author, authorLink);
  } else {
    WriteLink(page, author, authorLink);
  }
  page.write("</TD>");

  const std::string archive = CellText(rows.field("zipfilename"));
  page.write("<TD>");
  WriteLink(page, archive, NameAsLinkTarget(archive));
  page.write("</TD>");
}

}  // namespace velodex
