// The fixed table from a design's ride type code (byte 0) to its ride type name, filled
// once per program run.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace velodex {

// Keyed by the code in decimal text ("0", "5", "42"); names are letters and "_".
class RideTypeTable {
 public:
  // Adds an entry; throws Error when the key is already present.
  void add(const std::string& key, const std::string& name);
  // The name for a key, or nullopt when the key has no entry.
  std::optional<std::string> lookup(const std::string& key) const;
  // The name for a code, or nullopt (same as lookup(std::to_string(code))).
  std::optional<std::string> lookup(int code) const;
  size_t size() const { return entries_.size(); }

 private:
  std::map<std::string, std::string> entries_;
};

// Adds the 41 known ride types to table in their fixed order.
void FillRideTypeTable(RideTypeTable& table);

}  // namespace velodex
