// The catalogue as a data file, for spreadsheets and scripts: every row of a run with every
// column, the name on disk and the duplicate group. CSV (RFC 4180, with a header line) or
// JSON (an array of objects, numbers as numbers).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue_database.h"

namespace velodex {

enum class ExportFormat { kCsv, kJson };

// The format a file name asks for by its ending (".csv", ".json", any letter case), or
// nullopt for any other name.
std::optional<ExportFormat> ExportFormatOf(const std::string& path);

// The length of the valid UTF-8 sequence that starts at text[i] (2 to 4), or 0 when the
// byte there starts none: a lone or stray byte, an overlong form, a surrogate or a value past
// U+10FFFF.
size_t ValidUtf8Length(std::string_view text, size_t i);

// A number as data files carry it: the text a page cell shows, always with "." as the
// decimal point; "null" for a database null.
std::string DataNumberText(const FieldValue& value);

// Writes every row of rows (a set just opened, on its first row) to path in format. An existing
// file is replaced only when it begins as such an export does; any other file is left alone and
// Error names it. Throws Error when the file cannot be written or a column is missing. CSV
// keeps texts byte for byte; JSON reads them as UTF-8 through Utf8Text (in the ANSI code page
// on Windows).
void ExportCatalogue(RecordSet& rows, const std::string& path, ExportFormat format);

}  // namespace velodex
