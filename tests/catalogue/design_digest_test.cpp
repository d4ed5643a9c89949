// The digest of a design's decoded contents and the numbering of duplicate groups.
#include "catalogue/design_digest.h"

#include <gtest/gtest.h>

namespace velodex {
namespace {

TEST(DesignDigest, DependsOnTheDecodedBytesOnly) {
  DecodedDesign a;
  a.bytes.fill(7);
  a.length = kFullDesignLength;
  DecodedDesign b = a;
  b.bytes[kFullDesignLength] = 9;  // a leftover past the length, as a reused buffer holds
  DecodedDesign c = a;
  c.bytes[53] = 8;
  DecodedDesign d = a;
  d.length = kShortDesignLength;

  const std::string digest = DesignDigest(a);
  EXPECT_EQ(digest.size(), 32u);
  EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(DesignDigest(b), digest);
  EXPECT_NE(DesignDigest(c), digest);
  EXPECT_NE(DesignDigest(d), digest);
}

TEST(GroupDuplicates, NumbersGroupsOfTwoOrMoreInOrderOfFirstAppearance) {
  const struct {
    std::vector<std::string> digests;
    std::vector<int> groupOf;
    int groups, designsInGroups;
  } cases[] = {
      {{}, {}, 0, 0},
      {{"a", "b", "c"}, {0, 0, 0}, 0, 0},
      {{"b", "a", "b", "c", "a", "b"}, {1, 2, 1, 0, 2, 1}, 2, 5},
      {{"", "", "x"}, {0, 0, 0}, 0, 0},  // rows without a digest are nobody's copies
  };
  for (const auto& c : cases) {
    const DuplicateGroups groups = GroupDuplicates(c.digests);
    EXPECT_EQ(groups.groupOf, c.groupOf);
    EXPECT_EQ(groups.groups, c.groups);
    EXPECT_EQ(groups.designsInGroups, c.designsInGroups);
  }
}

}  // namespace
}  // namespace velodex
