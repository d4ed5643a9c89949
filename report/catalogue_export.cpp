// Export of the catalogue rows. JSON goes through nlohmann/json (objects keep the column
// order); CSV is simple enough to write by hand.
#include "report/catalogue_export.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/design_digest.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/utf8_text.h"
#include "report/page_framing.h"

namespace velodex {
namespace {

// The columns of a row in the file: the catalogue's own in table order (with the name on disk
// and the layout facts), then the duplicate group.
const std::vector<std::string>& CatalogueColumns() {
  static const std::vector<std::string> columns = CatalogueDatabase::columnNames();
  return columns;
}
constexpr const char* kGroupHeading = "Duplicate_Group";

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string CsvHeader() {
  std::string header;
  for (const std::string& column : CatalogueColumns()) header += column + ',';
  return header + kGroupHeading;
}

// JSON text must be UTF-8. A text is first read as the system spells names (Utf8Text: the
// ANSI code page on Windows, where every byte is then a character); a byte that still starts
// no valid sequence is taken as the Latin-1 character it would be on the systems these names
// come from, so the name stays readable.
std::string AsUtf8(std::string_view bytes) {
  std::string storage;
  const std::string_view text = Utf8Text(bytes, storage);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : ValidUtf8Length(text, i);
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
      ++i;
    }
  }
  return out;
}

nlohmann::ordered_json JsonValue(const FieldValue& value) {
  if (value.isNull()) return nullptr;
  if (value.isText()) return AsUtf8(value.text());
  if (value.isInteger()) return value.integer();
  // The digits a page shows, read back as a number, so the file says 6.5 and not 6.5000001.
  const std::string text = DataNumberText(value);
  if (text == "null") return nullptr;
  return std::stod(text);
}

// Whether the file at path begins as an export of this format does.
bool IsExport(const std::string& path, ExportFormat format) {
  std::ifstream in(path, std::ios::binary);
  std::string start(256, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<size_t>(in.gcount()));
  if (format == ExportFormat::kCsv) return start.rfind(CsvHeader().substr(0, 100), 0) == 0;
  return start.rfind("[]", 0) == 0 || start.rfind("[{\"File_Name\":", 0) == 0;
}

}  // namespace

size_t ValidUtf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

std::optional<ExportFormat> ExportFormatOf(const std::string& path) {
  const auto endsWith = [&](std::string_view ending) {
    if (path.size() < ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i) {
      char c = path[path.size() - ending.size() + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != ending[i]) return false;
    }
    return true;
  };
  if (endsWith(".csv")) return ExportFormat::kCsv;
  if (endsWith(".json")) return ExportFormat::kJson;
  return std::nullopt;
}

std::string DataNumberText(const FieldValue& value) {
  if (value.isNull()) return "null";
  std::string text = CellText(value);
  if (text.find_first_of("0123456789") == std::string::npos) return "null";  // not finite
  for (char& c : text) {
    if (c != '-' && (c < '0' || c > '9')) c = '.';
  }
  return text;
}

void ExportCatalogue(RecordSet& rows, const std::string& path, ExportFormat format) {
  // Someone's own spreadsheet of the same name is not ours to replace.
  if (std::ifstream(path).is_open() && !IsExport(path, format)) {
    throw Error("cannot export to '" + path + "': a file that is not an export is there");
  }

  std::vector<std::vector<FieldValue>> values;
  std::vector<std::string> digests;
  const std::vector<std::string>& columns = CatalogueColumns();
  const size_t digestAt = static_cast<size_t>(
      std::find(columns.begin(), columns.end(), "Design_Digest") - columns.begin());
  // Read once from the first row, where the set opened, without counting it first.
  for (; !rows.atEnd(); rows.moveNext()) {
    std::vector<FieldValue>& row = values.emplace_back();
    for (const std::string& column : columns) row.push_back(rows.field(column));
    digests.push_back(CellText(row[digestAt]));
  }
  const DuplicateGroups groups = GroupDuplicates(digests);

  std::string text;
  if (format == ExportFormat::kCsv) {
    // CSV carries the texts as the pages do, byte for byte, with no mark of an encoding: on
    // Windows that is the ANSI code page, the one a spreadsheet opened by a double click reads
    // a CSV in (UTF-8 would need a byte-order mark there, which every script reading the file
    // then trips over), so "Café" shows as the player's own system spells it.
    text = CsvHeader() + "\r\n";
    for (size_t k = 0; k < values.size(); ++k) {
      for (const FieldValue& value : values[k]) {
        text += (value.isText()   ? CsvField(value.text())
                 : value.isNull() ? std::string()
                                  : DataNumberText(value)) +
                ',';
      }
      text += std::to_string(groups.groupOf[k]) + "\r\n";
    }
  } else {
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (size_t k = 0; k < values.size(); ++k) {
      nlohmann::ordered_json object;
      for (size_t c = 0; c < columns.size(); ++c) {
        object[columns[c]] = JsonValue(values[k][c]);
      }
      object[kGroupHeading] = groups.groupOf[k];
      all.push_back(std::move(object));
    }
    text = all.dump() + "\r\n";
  }

  WriteFileAtomically(path, text);
}

}  // namespace velodex
