// The fixed table of the game's ride type codes and their names.
#include "catalogue/ride_type_table.h"

#include "catalogue/error.h"

namespace velodex {

void RideTypeTable::add(const std::string& key, const std::string& name) {
  if (!entries_.emplace(key, name).second) {
    throw Error("cannot add ride type '" + key + "' (" + name +
                ") to the ride type table: the code is already present");
  }
}

std::optional<std::string> RideTypeTable::lookup(const std::string& key) const {
  auto it = entries_.find(key);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> RideTypeTable::lookup(int code) const {
  return lookup(std::to_string(code));
}

void FillRideTypeTable(RideTypeTable& table) {
  // The order is the game's own; the last six are out of numeric order on purpose.
  static constexpr const char* kEntries[][2] = {
      {"0", "Wooden"},
      {"1", "Stand_Up"},
      {"2", "Suspended"},
      {"3", "Inverted"},
      {"4", "Steel_Mini"},
      {"5", "Miniature_Railroad"},
      {"6", "Monorail"},
      {"7", "Suspended_Single_Rail"},
      {"8", "Boat_Hire"},
      {"9", "Wooden_Crazy_Rodent"},
      {"10", "Single_Rail"},
      {"11", "Car_Ride"},
      {"12", "Whoa_Belly"},
      {"13", "Bobsled"},
      {"14", "Observation_Tower"},
      {"15", "Steel"},
      {"16", "Water_Slide"},
      {"17", "Mine_Train"},
      {"18", "Chairlift"},
      {"19", "Corkscrew"},
      {"20", "Maze"},
      {"22", "Go_Karts"},
      {"23", "Log_Flume"},
      {"24", "River_Rapids"},
      {"42", "Reverse_Whoa_Belly"},
      {"44", "Vertical"},
      {"50", "Ghost_Train"},
      {"51", "Steel_Twister"},
      {"52", "Wooden_Twister"},
      {"53", "Cliffhanger"},
      {"54", "Steel_Wild_Mouse"},
      {"59", "Virginia_Reel"},
      {"60", "River_Ride"},
      {"61", "Cycle_Monorail"},
      {"62", "Flying_Coaster"},
      {"65", "Wooden_Reverser"},
      {"66", "Heartline_Twister"},
      {"63", "Suspended_Monorail"},
      {"69", "Roto_Drop"},
      {"72", "Cycle_Railway"},
      {"67", "Mini_Golf"},
  };
  for (const auto& entry : kEntries) table.add(entry[0], entry[1]);
}

}  // namespace velodex
