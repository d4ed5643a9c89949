// The ride type table: which codes have names, and how keys are written.
#include "catalogue/ride_type_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace velodex {
namespace {

RideTypeTable FilledTable() {
  RideTypeTable table;
  FillRideTypeTable(table);
  return table;
}

TEST(RideTypeTable, NamesFortyOneCodesByNumberAndByText) {
  const RideTypeTable table = FilledTable();
  EXPECT_EQ(table.size(), 41u);
  // The first and last codes, and codes in the gaps between named ones.
  const std::pair<int, std::optional<std::string>> cases[] = {
      {0, "Wooden"},      {72, "Cycle_Railway"}, {21, std::nullopt},
      {25, std::nullopt}, {73, std::nullopt},    {-1, std::nullopt}};
  for (const auto& [code, name] : cases) EXPECT_EQ(table.lookup(code), name) << code;
  int named = 0;
  for (int code = -1; code <= 256; ++code) {
    EXPECT_EQ(table.lookup(code), table.lookup(std::to_string(code))) << code;
    named += table.lookup(code).has_value();
  }
  EXPECT_EQ(named, 41);
}

TEST(RideTypeTable, KeysArePlainDecimalText) {
  const RideTypeTable table = FilledTable();
  for (const char* key : {"05", " 5", "5 ", "+5", "0x5", "", "-0", "Wooden"}) {
    EXPECT_FALSE(table.lookup(key).has_value()) << "'" << key << "'";
  }
}

}  // namespace
}  // namespace velodex
