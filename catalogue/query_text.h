// The callers' query texts, as the run and the page writers build them, put into SQLite's
// dialect. In the callers' dialect a text between double quotes is a value ("Wooden"), never
// a column; in SQLite's it is a name.
#pragma once

#include <string>

namespace velodex {

// Rewrites text for SQLite: a text between double quotes (a doubled double quote stands for
// one inside it) becomes a single-quoted literal, with its single quotes doubled.
// Single-quoted literals, [bracketed] and `backquoted` names and comments pass unchanged, as
// does the letter case of everything. Trailing blanks and semicolons are dropped so the text
// can be nested in a COUNT(*). An unclosed double quote becomes an unclosed literal, which
// SQLite then refuses.
std::string TranslateQueryText(const std::string& text);

}  // namespace velodex
