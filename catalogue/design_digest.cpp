// XXH3-128 (libxxhash) over the decoded bytes. A non-cryptographic digest is enough here: it
// only tells which designs to show as copies of each other, 128 bits make an accidental
// collision out of reach for any collection, a crafted one could at worst show two designs
// as copies, and at about 0.5 µs per design it leaves the folder scan's cost unchanged.
#include "catalogue/design_digest.h"

#include <xxhash.h>

#include <cstdio>
#include <unordered_map>

namespace velodex {

std::string DesignDigest(const DecodedDesign& design) {
  const XXH128_hash_t hash = XXH3_128bits(design.bytes.data(), static_cast<size_t>(design.length));
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(hash.high64),
                static_cast<unsigned long long>(hash.low64));
  return text;
}

DuplicateGroups GroupDuplicates(const std::vector<std::string>& digests) {
  std::unordered_map<std::string_view, int> count;
  for (const std::string& digest : digests) {
    if (!digest.empty()) ++count[digest];
  }
  DuplicateGroups result;
  result.groupOf.assign(digests.size(), 0);
  std::unordered_map<std::string_view, int> number;
  for (size_t i = 0; i < digests.size(); ++i) {
    const std::string& digest = digests[i];
    if (digest.empty() || count[digest] < 2) continue;
    auto [it, added] = number.try_emplace(digest, result.groups + 1);
    if (added) ++result.groups;
    result.groupOf[i] = it->second;
    ++result.designsInGroups;
  }
  return result;
}

DuplicateGroups CatalogueDuplicates(CatalogueDatabase& database) {
  RecordSet rows = database.openQuery("SELECT Design_Digest From velodex;");
  std::vector<std::string> digests;
  for (; !rows.atEnd(); rows.moveNext()) {
    const FieldValue digest = rows.field("Design_Digest");
    digests.push_back(digest.isText() ? digest.text() : std::string());
  }
  rows.close();
  return GroupDuplicates(digests);
}

}  // namespace velodex
