// The checks of the user's choices that must pass before a run changes anything: a run that
// empties the catalogue, renames rejects and makes folders only to find it cannot write its
// pages would leave the user worse off than before.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalogue/run_options.h"

namespace velodex {

// The control that holds a choice the run cannot work with.
enum class OptionControl { kRidesPerPage, kSortField };

struct OptionProblem {
  OptionControl control;
  std::string message;
};

// The number of designs per page a rides-per-page text stands for: a whole number from 1 to
// 32767, blanks around it and a leading "+" allowed. nullopt for anything else, the empty
// text included.
std::optional<int> ParseRidesPerPage(const std::string& text);

// The rides-per-page number for the page writers. Throws Error "rides per page 'TEXT' is not
// a whole number from 1 to 32767" when ParseRidesPerPage refuses the text.
int RidesPerPageNumber(const RunOptions& options);

// The first choice the run could not carry out, or nullopt. With separateByRideType on, the
// rides-per-page text must give a number (the empty text counts as "10", as the run makes
// it). The sort text must equal one of catalogueColumns without regard to letter case (the
// empty text counts as "Rating"), since the run places it into its query as it stands.
std::optional<OptionProblem> CheckRunOptions(const RunOptions& options,
                                             const std::vector<std::string>& catalogueColumns);

}  // namespace velodex
