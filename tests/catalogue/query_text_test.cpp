// The callers' query texts in SQLite's dialect: a value between double quotes becomes a
// literal, and nothing else changes.
#include "catalogue/query_text.h"

#include <gtest/gtest.h>

namespace velodex {
namespace {

TEST(TranslateQueryText, TurnsDoubleQuotedValuesIntoLiteralsAndLeavesTheRest) {
  const struct {
    const char* text;
    const char* sql;
  } cases[] = {
      // The two texts the callers build; the closing semicolon goes.
      {"SELECT * From velodex ORDER BY Rating DESC;", "SELECT * From velodex ORDER BY Rating DESC"},
      {"SELECT velodex.File_Name From Velodex WHERE velodex.Ride_Name=\"Wooden\" ORDER BY Ex ASC",
       "SELECT velodex.File_Name From Velodex WHERE velodex.Ride_Name='Wooden' ORDER BY Ex ASC"},
      // A value that is also a column name stays a value.
      {"WHERE Ride_Name=\"Ride_Name\"", "WHERE Ride_Name='Ride_Name'"},
      // Single quotes in a value are doubled; a doubled double quote is one inside it.
      {"x=\"O'Brien\"", "x='O''Brien'"},
      {"x=\"a\"\"b\"", "x='a\"b'"},
      {"x=\"\"", "x=''"},
      // Letter case passes as it is, in names, keywords and values.
      {"select * from VELODEX where RIDE_NAME=\"wOoDeN\"",
       "select * from VELODEX where RIDE_NAME='wOoDeN'"},
      // Double quotes inside literals, bracketed and backquoted names and comments stay.
      {"x='say \"hi\"' AND y='it''s \"x\"'", "x='say \"hi\"' AND y='it''s \"x\"'"},
      {"[Ride \"Name\"]=\"v\"", "[Ride \"Name\"]='v'"},
      {"`a\"b`=\"v\"", "`a\"b`='v'"},
      {"x=1 -- a \"comment\"\nAND y=\"v\"", "x=1 -- a \"comment\"\nAND y='v'"},
      {"x=1 /* \"c\" */ AND y=\"v\"", "x=1 /* \"c\" */ AND y='v'"},
      {"x=1 /* \"unclosed", "x=1 /* \"unclosed"},
      {"x=1 -- \"to the end", "x=1 -- \"to the end"},
      // An unclosed value stays unclosed, for SQLite to refuse.
      {"x=\"Wooden ORDER BY Rating", "x='Wooden ORDER BY Rating"},
      // Trailing blanks and semicolons go, those inside a value stay.
      {"x=\"a; \" ; \r\n;; ", "x='a; '"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TranslateQueryText(c.text), c.sql) << c.text;
  }
}

}  // namespace
}  // namespace velodex
