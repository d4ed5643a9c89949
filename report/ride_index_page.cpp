// The ride index page.
#include "report/ride_index_page.h"

#include <cstdint>

#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/option_checks.h"
#include "report/page_framing.h"

namespace velodex {
namespace {

// The first page of a type's set, as the ride type pages name and place it.
std::string FirstPageTarget(const RunOptions& options, const std::string& rideTypeName,
                            int64_t designCount, int ridesPerPage) {
  std::string target = options.useZipFiles() ? "" : rideTypeName + "/";
  target += rideTypeName;
  target += designCount <= ridesPerPage ? ".htm" : "0.htm";
  return target;
}

int64_t DesignCount(const FieldValue& value, const std::string& rideTypeName) {
  if (!value.isInteger()) {
    throw Error("RideTypeQuery gives no design count for ride type '" + rideTypeName + "'");
  }
  return value.integer();
}

}  // namespace

void WriteRideIndexPage(const RunOptions& options, const std::string& folder,
                        CatalogueDatabase& database) {
  RecordSet rideTypes = database.openStoredQuery("RideTypeQuery");
  const int ridesPerPage = RidesPerPageNumber(options);

  PageFile page(JoinPath(folder, "rideindex.htm"));
  page.writeLine("<html><head><title>Rides Index</title></head><body>");
  page.writeLine("<table border=1>");
  page.writeLine("<TR>");
  page.writeLine("<TD>Ride Type</TD><TD>Number of Rides</TD></TR>");

  for (; !rideTypes.atEnd(); rideTypes.moveNext()) {
    page.writeLine("<TR>");
    page.writeLine("<TD>");
    const std::string rideTypeName = CellText(rideTypes.field("Ride_Name"));
    // Kept wide: a large collection may hold more designs of a type than 16 bits count.
    const int64_t designCount = DesignCount(rideTypes.field("CountOfRide_Name"), rideTypeName);
    WriteLink(page, rideTypeName,
              FirstPageTarget(options, rideTypeName, designCount, ridesPerPage));
    page.writeLine("</TD>");
    page.writeLine("<TD>");
    page.writeLine(" " + std::to_string(designCount) + " ");
    page.writeLine("</TD>");
    page.writeLine("</TR>");
  }

  WritePageFoot(page, options, 0);
  page.close();
  rideTypes.close();
}

}  // namespace velodex
