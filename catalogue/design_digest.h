// Duplicate designs: the digest of a design's decoded contents, kept in the catalogue's
// Design_Digest column, and the numbering of the groups of designs that share one.
#pragma once

#include <string>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/track_design.h"

namespace velodex {

// The digest of the bytes the design decoded to (all of them, not only the statistics):
// XXH3 with 128 bits, as 32 lower-case hexadecimal digits. Equal contents, equal digest,
// whatever the file's name, archive or run-length encoding.
std::string DesignDigest(const DecodedDesign& design);

// Numbers the groups of equal digests: result[i] is 0 when digests[i] occurs once (and for
// an empty digest, which a row written without one holds), else the group's number, from 1,
// in the order each group first appears in digests.
struct DuplicateGroups {
  std::vector<int> groupOf;
  int groups = 0;           // G: groups of two or more
  int designsInGroups = 0;  // K: designs that have at least one copy
};
DuplicateGroups GroupDuplicates(const std::vector<std::string>& digests);

// The groups of the catalogue's rows, read through database (open).
DuplicateGroups CatalogueDuplicates(CatalogueDatabase& database);

}  // namespace velodex
