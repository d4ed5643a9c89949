// The ride type table: which codes have names, and how keys are written.
#include "catalogue/ride_type_table.h"

#include <gtest/gtest.h>

#include <map>

#include "catalogue/error.h"

namespace velodex {
namespace {

RideTypeTable FilledTable() {
  RideTypeTable table;
  FillRideTypeTable(table);
  return table;
}

TEST(RideTypeTable, NamesExactlyTheFortyOneCodes) {
  // Every entry: the names are catalogue values, page titles, file and folder names, so one
  // wrong letter shows everywhere.
  const std::map<int, std::string> names = {
      {0, "Wooden"},
      {1, "Stand_Up"},
      {2, "Suspended"},
      {3, "Inverted"},
      {4, "Steel_Mini"},
      {5, "Miniature_Railroad"},
      {6, "Monorail"},
      {7, "Suspended_Single_Rail"},
      {8, "Boat_Hire"},
      {9, "Wooden_Crazy_Rodent"},
      {10, "Single_Rail"},
      {11, "Car_Ride"},
      {12, "Whoa_Belly"},
      {13, "Bobsled"},
      {14, "Observation_Tower"},
      {15, "Steel"},
      {16, "Water_Slide"},
      {17, "Mine_Train"},
      {18, "Chairlift"},
      {19, "Corkscrew"},
      {20, "Maze"},
      {22, "Go_Karts"},
      {23, "Log_Flume"},
      {24, "River_Rapids"},
      {42, "Reverse_Whoa_Belly"},
      {44, "Vertical"},
      {50, "Ghost_Train"},
      {51, "Steel_Twister"},
      {52, "Wooden_Twister"},
      {53, "Cliffhanger"},
      {54, "Steel_Wild_Mouse"},
      {59, "Virginia_Reel"},
      {60, "River_Ride"},
      {61, "Cycle_Monorail"},
      {62, "Flying_Coaster"},
      {63, "Suspended_Monorail"},
      {65, "Wooden_Reverser"},
      {66, "Heartline_Twister"},
      {67, "Mini_Golf"},
      {69, "Roto_Drop"},
      {72, "Cycle_Railway"},
  };
  const RideTypeTable table = FilledTable();
  EXPECT_EQ(table.size(), 41u);
  for (int code = -1; code <= 256; ++code) {
    const auto it = names.find(code);
    const std::optional<std::string> expected =
        it == names.end() ? std::nullopt : std::optional<std::string>(it->second);
    EXPECT_EQ(table.lookup(code), expected) << code;
    EXPECT_EQ(table.lookup(std::to_string(code)), expected) << code;
  }
}

TEST(RideTypeTable, KeysArePlainDecimalText) {
  const RideTypeTable table = FilledTable();
  for (const char* key : {"05", " 5", "5 ", "+5", "0x5", "", "-0", "Wooden"}) {
    EXPECT_FALSE(table.lookup(key).has_value()) << "'" << key << "'";
  }
}

TEST(RideTypeTable, AddingAPresentKeyThrowsAndChangesNothing) {
  RideTypeTable table = FilledTable();
  EXPECT_THROW(table.add("72", "Something_Else"), Error);
  EXPECT_THROW(FillRideTypeTable(table), Error);
  EXPECT_EQ(table.lookup("72"), std::optional<std::string>("Cycle_Railway"));
  table.add("21", "Spare");
  EXPECT_EQ(table.lookup(21), std::optional<std::string>("Spare"));
}

}  // namespace
}  // namespace velodex
