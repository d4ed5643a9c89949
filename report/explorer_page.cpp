// The explorer page: the page's fixed parts come from report/explorer/ (embedded by the
// build), the data from the catalogue as one JSON object, one array per column.
#include "report/explorer_page.h"

#include <array>
#include <bit>
#include <cstdio>
#include <fstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/design_digest.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/utf8_text.h"
#include "report/catalogue_export.h"
#include "report/explorer_assets.h"
#include "report/page_framing.h"

namespace velodex {
namespace {

// The catalogue column that holds the design's file name as listed on disk. A row without one
// (from a catalogue made before the column) links by its stored name.
constexpr const char* kDiskNameColumn = "Disk_Name";

// The numeric columns, in the order the page's script reads them.
constexpr std::array<const char*, 19> kNumberColumns = {
    "Max_Speed",     "Avg_Speed",   "Ride_Length", "PosGs",           "NegGs",
    "LatGs",         "Invs",        "Drops",       "Max_Drop_Height", "Ex",
    "Int",           "Na",          "Rating",      "Layout_Pieces",   "Layout_Width",
    "Layout_Length", "Layout_Rise", "Layout_Dip",  "Layout_Closed"};

// The marker that tells our own page from a file of the same name we did not write.
constexpr std::string_view kGeneratorMark =
    "<meta name=\"generator\" content=\"Velodex explorer\">";

// An author with the address the author's name links to.
using AuthorKey = std::pair<std::string, std::string>;
struct AuthorHash {
  size_t operator()(const AuthorKey& key) const {
    const std::hash<std::string> hash;
    return hash(key.first) * 31 + hash(key.second);
  }
};

// Values met in row order, each given the index of its first appearance.
template <typename Key, typename Hash = std::hash<Key>>
class IndexList {
 public:
  int indexOf(const Key& key) {
    auto [it, added] = index_.try_emplace(key, static_cast<int>(keys_.size()));
    if (added) keys_.push_back(key);
    return it->second;
  }
  const std::vector<Key>& keys() const { return keys_; }

 private:
  std::unordered_map<Key, int, Hash> index_;
  std::vector<Key> keys_;
};

// The text of each number, worked out once per value: statistics come from bytes, so a
// column holds few distinct values, and formatting is most of the cost of a row.
class NumberTexts {
 public:
  const std::string& of(const FieldValue& value) {
    if (value.isInteger()) {
      other_ = std::to_string(value.integer());
      return other_;
    }
    if (!value.isSingle()) {
      other_ = DataNumberText(value);
      return other_;
    }
    const auto [it, added] = singles_.try_emplace(std::bit_cast<uint32_t>(value.single()));
    if (added) it->second = DataNumberText(value);
    return it->second;
  }

 private:
  std::unordered_map<uint32_t, std::string> singles_;
  std::string other_;
};

void RefuseForeignFile(const std::string& pagePath) {
  std::ifstream existing(pagePath, std::ios::binary);
  if (!existing) return;
  std::string start(1024, '\0');
  existing.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<size_t>(existing.gcount()));
  // Replacing a file that some other program (or the person) put there would lose it.
  if (start.find(kGeneratorMark) == std::string::npos) {
    throw Error("cannot write page '" + pagePath +
                "': a file that is not an explorer page is there");
  }
}

// A text from the catalogue in the page's UTF-8: read in the system's code page on Windows,
// where names are in it (Utf8Text), so a link finds the file by its real name; a byte that is
// still not UTF-8 is kept as AppendScriptJsonString says.
void AppendText(std::string& out, std::string_view text) {
  std::string storage;
  AppendScriptJsonString(out, Utf8Text(text, storage));
}

}  // namespace

void AppendScriptJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (const size_t length = ValidUtf8Length(text, i)) {
        out.append(text.substr(i, length));
        i += length;
      } else {
        out.append("\\udc");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
        ++i;
      }
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == '<' || c == 0x7F) {
      out.append("\\u00");
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
    ++i;
  }
  out.push_back('"');
}

void WriteExplorerPage(const RunOptions& options, const std::string& pagePath, RecordSet& rows,
                       const std::string& pictures) {
  RefuseForeignFile(pagePath);

  // One text per column, appended row by row.
  std::string names, diskNames, types, authors, archives;
  std::array<std::string, kNumberColumns.size()> numbers;
  std::vector<std::string> digests;
  // Designs of the same layout carry the same number: 1 and up in the order met, 0 for none.
  std::string layouts;
  IndexList<int64_t> layoutList;
  IndexList<std::string> typeList, archiveList;
  IndexList<AuthorKey, AuthorHash> authorList;

  // The set is read once from where it opened, its first row: counting it or moving back to
  // the first row would have the engine run the query again.
  NumberTexts numberTexts;
  // Columns are looked up by name once, then read by position row after row.
  const auto at = [&](const char* name) { return rows.columnIndex(name); };
  const int fileNameAt = at("File_Name"), diskNameAt = at(kDiskNameColumn),
            rideTypeAt = at("Ride_Type"), authorAt = at("Author"), alinkAt = at("Alink"),
            archiveAt = at("zipfilename"), digestAt = at("Design_Digest"),
            layoutAt = at("Layout_Group");
  std::array<int, kNumberColumns.size()> numberAt;
  for (size_t c = 0; c < kNumberColumns.size(); ++c) numberAt[c] = at(kNumberColumns[c]);
  for (int64_t k = 0; !rows.atEnd(); ++k, rows.moveNext()) {
    const char* separator = k == 0 ? "" : ",";
    const std::string fileName = CellText(rows.field(fileNameAt));
    names += separator;
    AppendText(names, fileName);
    // Only names on disk that differ from the stored name are carried, by row number.
    const std::string diskName = CellText(rows.field(diskNameAt));
    if (!diskName.empty() && diskName != fileName) {
      if (!diskNames.empty()) diskNames += ',';
      diskNames += '[' + std::to_string(k) + ',';
      AppendText(diskNames, diskName);
      diskNames += ']';
    }
    types += separator;
    types += std::to_string(typeList.indexOf(CellText(rows.field(rideTypeAt))));
    for (size_t c = 0; c < kNumberColumns.size(); ++c) {
      numbers[c] += separator;
      numbers[c] += numberTexts.of(rows.field(numberAt[c]));
    }
    authors += separator;
    authors += std::to_string(
        authorList.indexOf({CellText(rows.field(authorAt)), CellText(rows.field(alinkAt))}));
    archives += separator;
    archives += std::to_string(archiveList.indexOf(CellText(rows.field(archiveAt))));
    digests.push_back(CellText(rows.field(digestAt)));
    const FieldValue layout = rows.field(layoutAt);
    layouts += separator;
    layouts += layout.isInteger() ? std::to_string(layoutList.indexOf(layout.integer()) + 1) : "0";
  }
  const DuplicateGroups groups = GroupDuplicates(digests);

  std::string json = "{\"folder\":";
  AppendText(json, options.folder());
  json += ",\"sort\":[";
  AppendText(json, options.sortField());
  json += options.sortDescending() ? ",1]" : ",0]";
  json += ",\"types\":[";
  for (const std::string& type : typeList.keys()) {
    if (json.back() != '[') json += ',';
    AppendText(json, type);
  }
  json += "],\"authors\":[";
  for (const auto& [author, link] : authorList.keys()) {
    if (json.back() != '[') json += ',';
    json += '[';
    AppendText(json, author);
    json += ',';
    AppendText(json, link);
    json += ']';
  }
  json += "],\"archives\":[";
  for (const std::string& archive : archiveList.keys()) {
    if (json.back() != '[') json += ',';
    AppendText(json, archive);
  }
  json += "],\"groups\":" + std::to_string(groups.groups);
  if (!pictures.empty()) {
    json += ",\"pictures\":";
    AppendText(json, pictures);
  }
  json += ",\"name\":[" + names + "],\"disk\":[" + diskNames + "],\"type\":[" + types + ']';
  for (size_t c = 0; c < kNumberColumns.size(); ++c) {
    json += ",\"" + std::string(kNumberColumns[c]) + "\":[" + numbers[c] + ']';
  }
  json += ",\"author\":[" + authors + "],\"archive\":[" + archives + "],\"group\":[";
  for (size_t i = 0; i < groups.groupOf.size(); ++i) {
    if (i > 0) json += ',';
    json += std::to_string(groups.groupOf[i]);
  }
  json += "],\"layout\":[" + layouts + "]}";

  // Put in place whole, so an interrupted run never leaves half a page behind.
  AtomicFile page(pagePath, "write page");
  page.Write(kExplorerPageHead);
  page.Write(json);
  page.Write(kExplorerPageTail);
  page.Commit(false);
}

}  // namespace velodex
