#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

namespace velodex::testing {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string base = PathText(fs::temp_directory_path()).value_or(".");
  if (base.size() > 1 && (base.back() == '/' || base.back() == kPathSeparator)) base.pop_back();
  std::mt19937 random{std::random_device{}()};
  // A name drawn again while another folder has it.
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string path = JoinPath(base, "velodex-test-" + std::to_string(random()));
    if (fs::create_directory(NativePath(path))) path_ = path;
  }
  if (path_.empty()) throw Error("cannot make a temporary folder in '" + base + "'");
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // Tests may leave read-only entries behind; make them removable first.
  for (auto it = fs::recursive_directory_iterator(NativePath(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(NativePath(path_), ec);
}

std::string TempFolder::operator/(const std::string& name) const { return PathIn(path_, name); }

std::string PathIn(const std::string& folder, std::string relative) {
  std::replace(relative.begin(), relative.end(), '/', kPathSeparator);
  return JoinPath(folder, relative);
}

bool MakeLink(const std::string& target, const std::string& link) {
  std::error_code ec;
  fs::create_symlink(NativePath(target), NativePath(link), ec);
  return !ec;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    throw Error("cannot read '" + path + "'");
  }
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    ADD_FAILURE() << "cannot write " << path;
    throw Error("cannot write '" + path + "'");
  }
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "no error";
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(NativePath(folder))) {
    names.push_back(PathText(entry.path().filename()).value_or("?"));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RealTracksFolder() {
  const std::string folder = VELODEX_REALTRACKS_DIR;
  std::error_code ec;
  return fs::is_directory(folder, ec) ? folder : std::string();
}

namespace {
// Label1, Label2, Label3 in the order the labels are declared.
int LabelNumber(ProgressLabel label) { return static_cast<int>(label) + 1; }
}  // namespace

void RecordingProgress::setText(ProgressLabel label, const std::string& text) {
  texts_[label] = text;
  events.push_back("set " + std::to_string(LabelNumber(label)) + "=" + text);
}

std::string RecordingProgress::text(ProgressLabel label) const {
  auto it = texts_.find(label);
  return it == texts_.end() ? std::string() : it->second;
}

void RecordingProgress::repaint(ProgressLabel label) {
  events.push_back("repaint " + std::to_string(LabelNumber(label)));
}

void ScriptedPrompts::message(const std::string& text, MessageIcon icon) {
  messages.push_back({text, icon});
}

std::optional<std::string> ScriptedPrompts::askText(const std::string& prompt) {
  textPrompts.push_back(prompt);
  if (!askTextFailure.empty()) throw Error(askTextFailure);
  if (textAnswers.empty()) return std::nullopt;
  auto answer = textAnswers.front();
  textAnswers.erase(textAnswers.begin());
  return answer;
}

RunHarness::RunHarness()
    : designs(temp / "designs"),
      databaseFolder(temp / "db"),
      context{.setup = {.rideTypes = rideTypes,
                        .databaseFolder = databaseFolder,
                        .unknownsLog = unknownsLog()},
              .frontEnd = {.options = options,
                           .runLister = runLister,
                           .scanLister = scanLister,
                           .progress = progress,
                           .windows = windows,
                           .prompts = prompts,
                           .session = session}} {
  fs::create_directory(designs);
  fs::create_directory(databaseFolder);
  CatalogueDatabase::createEmpty(JoinPath(databaseFolder, "velodex.mdb"));
  FillRideTypeTable(rideTypes);
  options.folderText = designs;
}

std::vector<std::map<std::string, FieldValue>> RunHarness::catalogueRows(
    const std::string& orderBy) {
  CatalogueDatabase database;
  database.open(JoinPath(databaseFolder, "velodex.mdb"));
  RecordSet rows = database.openQuery("SELECT * From velodex ORDER BY " + orderBy);
  std::vector<std::map<std::string, FieldValue>> result;
  for (; !rows.atEnd(); rows.moveNext()) {
    auto& row = result.emplace_back();
    for (const std::string& column : CatalogueDatabase::columnNames())
      row[column] = rows.field(column);
  }
  return result;
}

}  // namespace velodex::testing
