// The sorted, paged pages of each ride type.
#include "report/ride_type_pages.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/option_checks.h"
#include "report/ride_row.h"

namespace velodex {
namespace {

// The per-type query: the type's designs with the columns the rows show, in the chosen
// order. The name and the sort field go in unchanged.
std::string PerTypeQuery(const RunOptions& options, const std::string& rideTypeName) {
  return "SELECT velodex.File_Name, velodex.Ride_Type, velodex.Ride_Name, velodex.Max_Speed, "
         "velodex.Avg_Speed, velodex.Ride_Length, velodex.PosGs, velodex.NegGs, "
         "velodex.LatGs, velodex.Invs, velodex.Drops, velodex.Max_Drop_Height, velodex.Ex, "
         "velodex.Int, velodex.Rating, velodex.Na, velodex.Ride_Category, velodex.Author, "
         "velodex.Alink, velodex.ZipFileName, velodex.Disk_Name From Velodex"
         " WHERE velodex.Ride_Name=\"" +
         rideTypeName + "\" ORDER BY " + options.sortField() +
         (options.sortDescending() ? " DESC" : " ASC");
}

// Pages go beside the archives with useZipFiles, else into the type's own folder.
std::string PagePath(const RunOptions& options, const std::string& folder,
                     const std::string& rideTypeName, const std::string& fileName) {
  if (options.useZipFiles()) return JoinPath(folder, fileName);
  return JoinPath(JoinPath(folder, rideTypeName), fileName);
}

void WriteSinglePage(const RunOptions& options, ProgressDisplay& progress, const std::string& path,
                     const std::string& rideTypeName, RecordSet& designs, int designCount) {
  PageFile page(path);
  WritePageHead(page, options, rideTypeName);
  for (int k = 1; k <= designCount; ++k) {
    progress.setText(ProgressLabel::kCount, std::to_string(k));
    progress.repaint(ProgressLabel::kCount);
    WriteRideRow(page, options, designs);
    designs.moveNext();
  }
  WritePageFoot(page, options, 1);
  page.close();
}

// One forward pass over the type's designs: page j holds the rows j to j + p - 1, the
// last page what remains, and no page is ever empty.
void WritePageSet(const RunOptions& options, const std::string& folder,
                  const std::string& rideTypeName, RecordSet& designs, int designCount,
                  int ridesPerPage) {
  for (int firstRow = 0; firstRow < designCount; firstRow += ridesPerPage) {
    const int rowsOnPage = std::min(ridesPerPage, designCount - firstRow);
    const bool isLastPage = designCount - firstRow <= ridesPerPage;
    PageFile page(
        PagePath(options, folder, rideTypeName, rideTypeName + std::to_string(firstRow) + ".htm"));
    WritePageHead(page, options, rideTypeName);
    for (int k = 0; k < rowsOnPage; ++k) {
      WriteRideRow(page, options, designs);
      designs.moveNext();
    }
    WritePagedFoot(page, options, rideTypeName, firstRow, ridesPerPage, isLastPage ? 1 : 0);
    page.close();
    // Stops before firstRow + ridesPerPage could pass the int range.
    if (isLastPage) break;
  }
}

int CountAsInt(int64_t count, const std::string& what) {
  if (count < 0 || count > std::numeric_limits<int>::max()) {
    throw Error("too many designs of ride type '" + what + "': " + std::to_string(count));
  }
  return static_cast<int>(count);
}

}  // namespace

void WriteRideTypePages(const RunOptions& options, ProgressDisplay& progress,
                        const std::string& folder, CatalogueDatabase& database) {
  RecordSet rideTypes = database.openStoredQuery("RideTypeQuery");
  const int ridesPerPage = RidesPerPageNumber(options);
  const int64_t typeCount = rideTypes.recordCount();
  if (typeCount > 0) rideTypes.moveFirst();

  progress.setText(ProgressLabel::kStatus, "Writing Ride Type Files");
  for (int64_t t = 0; t < typeCount; ++t) {
    const std::string rideTypeName = CellText(rideTypes.field("Ride_Name"));
    progress.setText(ProgressLabel::kCurrentItem, rideTypeName);
    progress.repaint(ProgressLabel::kCurrentItem);

    RecordSet designs = database.openQuery(PerTypeQuery(options, rideTypeName));
    const int designCount = CountAsInt(designs.recordCount(), rideTypeName);
    progress.setText(ProgressLabel::kCount, std::to_string(designCount));
    progress.repaint(ProgressLabel::kCount);
    if (designCount > 0) designs.moveFirst();

    if (designCount <= ridesPerPage) {
      WriteSinglePage(options, progress,
                      PagePath(options, folder, rideTypeName, rideTypeName + ".htm"), rideTypeName,
                      designs, designCount);
    } else {
      WritePageSet(options, folder, rideTypeName, designs, designCount, ridesPerPage);
    }
    designs.close();
    rideTypes.moveNext();
  }
  rideTypes.close();
}

void WritePagedFoot(PageFile& page, const RunOptions& options, const std::string& rideTypeName,
                    int firstRow, int ridesPerPage, int isLastPage) {
  const std::string pageSize = std::to_string(ridesPerPage);
  const auto writePrevious = [&] {
    WriteLink(page, "Previous " + pageSize,
              rideTypeName + std::to_string(firstRow - ridesPerPage) + ".htm");
  };
  const auto writeIndex = [&] {
    WriteLink(page, "Main Index", options.useZipFiles() ? "rideindex.htm" : "../rideindex.htm");
  };
  const auto writeNext = [&] {
    WriteLink(page, "Next " + pageSize,
              rideTypeName + std::to_string(firstRow + ridesPerPage) + ".htm");
  };

  page.writeLine("</table>");
  // The first-page test comes first: a first page is never treated as a last one.
  if (firstRow == 0) {
    writeIndex();
    writeNext();
  } else if (isLastPage == 1) {
    writePrevious();
    writeIndex();
  } else {
    writePrevious();
    writeIndex();
    writeNext();
  }
  page.writeLine("<p>");
  WriteCreditLines(page);
}

}  // namespace velodex
