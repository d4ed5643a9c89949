// The user's choices as the run reads them. The wizard answers from its controls, the batch
// front end and the tests from a plain record; either way every read returns the current
// value, so the run's own replacements of empty texts are seen by every later step.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velodex {

inline constexpr int kColumnCount = 14;

// Column i's caption: the wizard's check box caption, the page's heading text and the
// settings key, all at once.
inline constexpr std::array<const char*, kColumnCount> kColumnCaptions = {
    "Ride Name",       "Coaster Type", "Max Speed", "Avg Speed", "Ride Length",
    "Pos. Gs",         "Neg. Gs",      "Lat Gs",    "Invs",      "Drops",
    "Max Drop Height", "Excitement",   "Intensity", "Nausea"};

class RunOptions {
 public:
  virtual ~RunOptions() = default;

  // The chosen folder, without a trailing separator except at a drive root.
  virtual std::string folder() const = 0;
  // Text meant to hold a whole number; readers convert it when they need the number.
  virtual std::string ridesPerPage() const = 0;
  virtual void setRidesPerPage(const std::string& text) = 0;
  // Whether report column index (0 to 13) is switched on.
  virtual bool column(int index) const = 0;
  // Text meant to name a column of the catalogue table, used unchanged in ORDER BY.
  virtual std::string sortField() const = 0;
  virtual void setSortField(const std::string& text) = 0;
  // True unless the ascending choice is selected (both unselected sorts descending).
  virtual bool sortDescending() const = 0;
  virtual bool namesAsHyperlinks() const = 0;
  virtual bool useZipFiles() const = 0;
  virtual bool separateByRideType() const = 0;
  virtual bool copyTracksToSubdirectory() const = 0;
  // Whether the run also writes the explorer page after its own pages. An addition the
  // person switches on; a front end that does not offer it leaves it off.
  virtual bool explorerPage() const { return false; }
};

// 2 x separate + 4 x copy + 8 x zip + 16 x hyperlinks: the even numbers 0 to 30.
int16_t OptionCode(const RunOptions& options);

// The options as a plain record, for the batch front end and the tests.
struct PlainRunOptions final : RunOptions {
  std::string folderText;
  std::string ridesPerPageText = "10";
  std::array<bool, kColumnCount> columns{};
  std::string sortFieldText;
  bool descending = true;
  bool hyperlinks = false;
  bool zip = false;
  bool separate = false;
  bool copy = false;
  bool explorer = false;

  std::string folder() const override { return folderText; }
  std::string ridesPerPage() const override { return ridesPerPageText; }
  void setRidesPerPage(const std::string& text) override { ridesPerPageText = text; }
  bool column(int index) const override {
    return index >= 0 && index < kColumnCount && columns[static_cast<size_t>(index)];
  }
  std::string sortField() const override { return sortFieldText; }
  void setSortField(const std::string& text) override { sortFieldText = text; }
  bool sortDescending() const override { return descending; }
  bool namesAsHyperlinks() const override { return hyperlinks; }
  bool useZipFiles() const override { return zip; }
  bool separateByRideType() const override { return separate; }
  bool copyTracksToSubdirectory() const override { return copy; }
  bool explorerPage() const override { return explorer; }
};

}  // namespace velodex
