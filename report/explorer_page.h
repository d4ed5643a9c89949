// The explorer page, "explorer.htm": every catalogue row of a run in one self-contained page
// that sorts, searches and filters in the browser, and shows which designs are copies of
// each other. An addition the person switches on; the report's own pages are untouched.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/catalogue_database.h"
#include "catalogue/run_options.h"

namespace velodex {

inline constexpr const char* kExplorerPageName = "explorer.htm";

// Writes the page to pagePath from every row of rows (a catalogue query just opened, so on
// its first row), in that order; the page itself opens sorted by the run's sort field. An existing
// file is replaced only when it is an explorer page itself; any other file there is left alone and
// Error names it. Throws Error when the page cannot be written or a column is missing.
// pictures is the folder of the designs' pictures (PictureFileName) relative to the page's,
// with "/" between its parts, or empty when the run drew none: the page then shows them.
// Texts are read as UTF-8 through Utf8Text (in the ANSI code page on Windows).
void WriteExplorerPage(const RunOptions& options, const std::string& pagePath, RecordSet& rows,
                       const std::string& pictures = {});

// Appends text as a JSON string that can sit inside an HTML script element: quotes,
// backslashes, control characters and "<" escaped; valid UTF-8 kept; any other byte B
// written as the lone code unit 0xDC00 + B, which the page turns back into the byte.
void AppendScriptJsonString(std::string& out, std::string_view text);

}  // namespace velodex
