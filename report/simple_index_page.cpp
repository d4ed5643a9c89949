// The single sorted page of a run that does not separate by ride type.
#include "report/simple_index_page.h"

#include <cstdint>

#include "report/page_framing.h"
#include "report/ride_row.h"

namespace velodex {
namespace {

constexpr int kCopyCode = 4;
constexpr int kHyperlinksCode = 16;

// The design name cell of this page. The run sends this page the option codes 0, 4, 8, 16
// and 20; the content line follows from the code's hyperlink and copy switches, so any
// other code gets the same rule: a bare file name without hyperlinks, else a link to the
// design beside the page, or in its ride type folder when the designs were copied there.
void WriteNameCell(PageFile& page, int optionCode, RecordSet& rows) {
  const std::string fileName = CellText(rows.field("File_Name"));
  page.writeLine("<TD>");
  if ((optionCode & kHyperlinksCode) == 0) {
    page.writeLine(EscapeText(fileName));
  } else if ((optionCode & kCopyCode) == 0) {
    WriteLink(page, fileName, NameAsLinkTarget(DiskName(rows)));
  } else {
    WriteLink(page, fileName, CellText(rows.field("Ride_Name")) + "/" + NameAsLinkTarget(fileName));
  }
  page.writeLine("</TD>");
}

}  // namespace

void WriteSpecificationPage(const RunOptions& options, const std::string& pagePath,
                            RecordSet& sortedRows) {
  const int optionCode = OptionCode(options);

  PageFile page(pagePath);
  WritePageHead(page, options, "Roller Coaster Specifications");
  // An empty catalogue (every design rejected) still gets a page: head and foot, no rows.
  const int64_t rowCount = sortedRows.recordCount();
  if (rowCount > 0) sortedRows.moveFirst();
  for (int64_t k = 0; k < rowCount; ++k) {
    page.writeLine("<TR>");
    if (options.column(0)) WriteNameCell(page, optionCode, sortedRows);
    WriteRideRowCells(page, options, sortedRows);
    page.writeLine("</TR>");
    sortedRows.moveNext();
  }
  WritePageFoot(page, options, 0);
  page.close();
}

}  // namespace velodex
