// Checks of the rides-per-page and sort texts.
#include "catalogue/option_checks.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "catalogue/error.h"

namespace velodex {
namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

std::string RidesPerPageMessage(const std::string& text) {
  return "rides per page '" + text + "' is not a whole number from 1 to 32767";
}

}  // namespace

std::optional<int> ParseRidesPerPage(const std::string& text) {
  std::string_view number = text;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!number.empty() && isBlank(number.front())) number.remove_prefix(1);
  while (!number.empty() && isBlank(number.back())) number.remove_suffix(1);
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);

  // The text box holds a 16-bit whole number; zero or less would leave pages without rows.
  int16_t value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || error != std::errc() || end != number.data() + number.size() || value < 1) {
    return std::nullopt;
  }
  return value;
}

int RidesPerPageNumber(const RunOptions& options) {
  const std::string text = options.ridesPerPage();
  const std::optional<int> number = ParseRidesPerPage(text);
  if (!number) throw Error(RidesPerPageMessage(text));
  return *number;
}

std::optional<OptionProblem> CheckRunOptions(const RunOptions& options,
                                             const std::vector<std::string>& catalogueColumns) {
  if (options.separateByRideType()) {
    const std::string text = options.ridesPerPage();
    if (!ParseRidesPerPage(text.empty() ? "10" : text)) {
      return OptionProblem{OptionControl::kRidesPerPage, RidesPerPageMessage(text)};
    }
  }
  const std::string sortField = options.sortField().empty() ? "Rating" : options.sortField();
  const bool isColumn =
      std::any_of(catalogueColumns.begin(), catalogueColumns.end(),
                  [&](const std::string& column) { return EqualIgnoringCase(column, sortField); });
  if (!isColumn) {
    return OptionProblem{OptionControl::kSortField, "sort field '" + options.sortField() +
                                                        "' is not a column of the catalogue"};
  }
  return std::nullopt;
}

}  // namespace velodex
