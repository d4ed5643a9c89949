// The ride type table: which codes have names, and how keys are written.
#include "catalogue/ride_type_table.h"

#include <gtest/gtest.h>

#include <set>

#include "catalogue/error.h"

namespace velodex {
namespace {

RideTypeTable FilledTable() {
  RideTypeTable table;
  FillRideTypeTable(table);
  return table;
}

TEST(RideTypeTable, KnowsExactlyTheFortyOneCodes) {
  const std::set<int> known = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                               14, 15, 16, 17, 18, 19, 20, 22, 23, 24, 42, 44, 50, 51,
                               52, 53, 54, 59, 60, 61, 62, 63, 65, 66, 67, 69, 72};
  const RideTypeTable table = FilledTable();
  EXPECT_EQ(table.size(), 41u);
  for (int code = 0; code <= 255; ++code) {
    EXPECT_EQ(table.lookup(code).has_value(), known.count(code) == 1) << code;
  }
}

TEST(RideTypeTable, NamesOfCodes) {
  // Every entry: the names are catalogue values, page titles, file and folder names, so one
  // wrong letter shows everywhere.
  const std::pair<int, const char*> cases[] = {
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
  for (const auto& [code, name] : cases) {
    EXPECT_EQ(table.lookup(code), std::optional<std::string>(name)) << code;
    EXPECT_EQ(table.lookup(std::to_string(code)), std::optional<std::string>(name)) << code;
  }
}

TEST(RideTypeTable, KeysArePlainDecimalText) {
  const RideTypeTable table = FilledTable();
  EXPECT_EQ(table.lookup("5"), std::optional<std::string>("Miniature_Railroad"));
  for (const char* key : {"05", " 5", "5 ", "+5", "0x5", "", "-0", "Wooden"}) {
    EXPECT_FALSE(table.lookup(key).has_value()) << "'" << key << "'";
  }
  EXPECT_FALSE(table.lookup(-5).has_value());
  EXPECT_FALSE(table.lookup(255).has_value());
}

TEST(RideTypeTable, AddingAPresentKeyThrows) {
  RideTypeTable table = FilledTable();
  EXPECT_THROW(table.add("0", "Wooden"), Error);
  EXPECT_THROW(table.add("72", "Something_Else"), Error);
  EXPECT_THROW(FillRideTypeTable(table), Error);
  // A failed add changes nothing.
  EXPECT_EQ(table.lookup("72"), std::optional<std::string>("Cycle_Railway"));
  table.add("21", "Spare");
  EXPECT_EQ(table.lookup(21), std::optional<std::string>("Spare"));
}

TEST(RideTypeTable, EmptyTableKnowsNothing) {
  const RideTypeTable table;
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(table.lookup(0).has_value());
}

}  // namespace
}  // namespace velodex
