// The file-system seam: path tests, pattern matching, the folder walk and its rule about
// links, case-insensitive lookup, atomic writes and our error texts.
#include "catalogue/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#ifdef _WIN32
#include "catalogue/windows_api.h"
#endif

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

using testing::TempFolder;
using testing::WriteFile;
namespace fs = std::filesystem;

TEST(MatchesPattern, MatchesWildcardsWithoutRegardToCase) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  };
  // clang-format off
  const Case cases[] = {
      {"Loop.td4", "*.td4", true},      {"LOOP.TD4", "*.td4", true},
      {"loop.Td4", "*.TD4", true},      {"loop.td40", "*.td4", false},
      {"loop.td4.bak", "*.td4", false}, {".td4", "*.td4", true},
      {"td4", "*.td4", false},          {"a.zip", "*.zip", true},
      {"a.zip", "*.td4", false},        {"anything", "*.*", true},
      {"any.thing", "*.*", true},       {"ab.td4", "a?.td4", true},
      {"abc.td4", "a?.td4", false},
      {"aaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*b", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*b", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  }
}

TEST(ForEachEntry, ReportsLinksAsLinksWithoutFollowingThem) {
  TempFolder temp;
  WriteFile(temp / "b.TD4", "x");
  WriteFile(temp / "a.td4", "x");
  WriteFile(temp / "readme.txt", "x");
  fs::create_directory(temp / "folder.td4");
#ifndef _WIN32  // links need a privilege on Windows, which has no pipes in folders
  fs::create_symlink(temp / "a.td4", temp / "link.td4");
  fs::create_symlink(temp / "folder.td4", temp / "linkedfolder.td4");
  fs::create_symlink(temp / "nowhere", temp / "dangling.td4");
  mkfifo((temp / "pipe.td4").c_str(), 0600);
#endif
  struct Seen {
    EntryKind kind;
    bool readable, fileExists, isDirectory;
    bool operator==(const Seen&) const = default;
  };
  using enum EntryKind;
  // clang-format off
  const std::map<std::string, Seen> expected = {
      {"a.td4", {kFile, true, true, false}},          {"b.TD4", {kFile, true, true, false}},
      {"readme.txt", {kFile, true, true, false}},     {"folder.td4", {kFolder, false, false, true}},
#ifndef _WIN32
      {"link.td4", {kLink, true, true, false}},       {"linkedfolder.td4", {kLink, false, false, true}},
      {"dangling.td4", {kLink, false, false, false}}, {"pipe.td4", {kOther, false, false, false}},
#endif
  };
  const std::vector<std::string> listed = {"a.td4", "b.TD4",
#ifndef _WIN32
      "link.td4",
#endif
  };
  // clang-format on
  std::map<std::string, Seen> seen;
  ForEachEntry(temp.path(), [&](const FolderEntry& entry) {
    const std::string path = temp / entry.name;
    seen[entry.name] = {entry.kind, IsReadableFileEntry(temp.path(), entry), FileExists(path),
                        IsDirectory(path)};
  });
  EXPECT_TRUE(seen == expected);
  EXPECT_EQ(ListMatchingFiles(temp.path(), "*.td4"), listed);
  for (const std::string& nothing : {temp / "missing", temp / "a.td4/below", std::string()}) {
    EXPECT_TRUE(ListMatchingFiles(nothing, "*.td4").empty()) << nothing;
    EXPECT_FALSE(FileExists(nothing) || IsDirectory(nothing)) << nothing;
  }
}

TEST(FindFileIgnoringCase, PrefersTheExactNameThenAnyCase) {
  TempFolder temp;
  WriteFile(temp / "LOOP.TD4", "upper");
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "Loop.td4"), temp / "LOOP.TD4");
  WriteFile(temp / "Loop.td4", "exact");
#ifdef _WIN32  // one file under either spelling, which keeps the name it was made with
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "Loop.td4"), temp / "LOOP.TD4");
#else
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "Loop.td4"), temp / "Loop.td4");
#endif
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "other.td4"), "");
}

TEST(AtomicFile, ReplacesTheNameWholeOnCommitAndLeavesNoTemporaryName) {
  TempFolder temp;
  WriteFile(temp / "target", "user's file");
#ifdef _WIN32
  WriteFile(temp / "page.htm", "user's file");
#else
  fs::create_symlink(temp / "target", temp / "page.htm");
#endif
  const std::string big(200 * 1024, 'x');  // more than one buffer's worth
  {
    AtomicFile page(temp / "page.htm");
    page.Write("head ");
    page.Write(big);
    // Until the commit the name shows the old file; the new one waits under a fresh name.
    const std::vector<std::string> during = testing::ListFolder(temp.path());
    ASSERT_EQ(during.size(), 3u);
    EXPECT_EQ(during[1].rfind("page.htm.velodex-", 0), 0u);
    EXPECT_EQ(during[1].size(), std::string("page.htm.velodex-XXXXXX").size());
    EXPECT_EQ(testing::ReadFile(temp / "page.htm"), "user's file");
    page.Commit(true);
  }
  // The link standing at the name was replaced, not written through.
  EXPECT_FALSE(fs::is_symlink(temp / "page.htm"));
  EXPECT_EQ(testing::ReadFile(temp / "page.htm"), "head " + big);
  EXPECT_EQ(testing::ReadFile(temp / "target"), "user's file");
  EXPECT_EQ(testing::ListFolder(temp.path()), (std::vector<std::string>{"page.htm", "target"}));
}

TEST(AtomicFile, WithoutCommitLeavesTheOldFileAlone) {
  TempFolder temp;
  WriteFile(temp / "page.htm", "old");
  {
    AtomicFile page(temp / "page.htm");
    page.Write("half a pa");
  }
  EXPECT_EQ(testing::ReadFile(temp / "page.htm"), "old");
  EXPECT_EQ(testing::ListFolder(temp.path()), (std::vector<std::string>{"page.htm"}));
}

TEST(AtomicFile, FailuresNameTheActionAndThePath) {
  TempFolder temp;
  const std::string missing = temp / "missing/page.htm";
  try {
    AtomicFile page(missing, "write page");
    ADD_FAILURE() << "made a file in a missing folder";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot write page '" + missing + "': No such file or directory");
  }
  // A folder or a pipe standing at the name is left as it is.
  fs::create_directory(temp / "taken");
  EXPECT_THROW(WriteFileAtomically(temp / "taken", "x"), Error);
  EXPECT_TRUE(IsDirectory(temp / "taken"));
#ifndef _WIN32
  mkfifo((temp / "pipe").c_str(), 0600);
  EXPECT_THROW(WriteFileAtomically(temp / "pipe", "x"), Error);
  EXPECT_TRUE(fs::is_fifo(temp / "pipe"));
  EXPECT_EQ(testing::ListFolder(temp.path()), (std::vector<std::string>{"pipe", "taken"}));
#endif
}

TEST(CopyFileAtomically, CopiesBytesAndPermissionsOrNamesBothFiles) {
  TempFolder temp;
  WriteFile(temp / "a.td4", std::string("\0bytes\xff", 7));
  fs::permissions(temp / "a.td4", fs::perms::owner_read | fs::perms::group_read);
  WriteFile(temp / "copy.td4", "earlier copy");
  CopyFileAtomically(temp / "a.td4", temp / "copy.td4");
  EXPECT_EQ(testing::ReadFile(temp / "copy.td4"), std::string("\0bytes\xff", 7));
#ifndef _WIN32  // Windows copies stay writable: a read-only file there refuses replacing
  EXPECT_EQ(fs::status(temp / "copy.td4").permissions(),
            fs::perms::owner_read | fs::perms::group_read);
#endif
  try {
    CopyFileAtomically(temp / "none.td4", temp / "b.td4");
    ADD_FAILURE() << "copied a missing file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot copy '" + temp / "none.td4" + "' to '" +
                                         temp / "b.td4" + "': No such file or directory");
  }
}

TEST(PathText, NamesComeBackAsWrittenAndAnUnspellableNameIsLeftAlone) {
  struct Case {
    std::string name;     // as the program's texts hold it, in byte order
    const wchar_t* wide;  // as Windows keeps it, the ANSI code page being 1252
  };
  const Case cases[] = {
      {"Caf\xE9 Loop.td4", L"Caf\u00e9 Loop.td4"},
      {"Plain Loop.td4", L"Plain Loop.td4"},
      {"\x80uro Loop.td4", L"\u20acuro Loop.td4"},  // 0x80 is the euro sign, not a control code
  };
  TempFolder temp;
  const std::string folder = temp / "Caf\xE9";  // named the same way, for SQLite too
  fs::create_directory(NativePath(folder));
  std::vector<std::string> names;
  for (const Case& c : cases) {
    WriteFileAtomically(JoinPath(folder, c.name), c.name);
    names.push_back(c.name);
  }
  CatalogueDatabase::createEmpty(JoinPath(folder, "velodex.mdb"));
  CatalogueDatabase::compact(JoinPath(folder, "velodex.mdb"), JoinPath(folder, "velodex2.mdb"));
  EXPECT_TRUE(CatalogueDatabase::isComplete(JoinPath(folder, "velodex2.mdb")));
#ifdef _WIN32
  const fs::path unspellable = NativePath(folder) / L"\u0416.td4";
  std::ofstream(unspellable) << "a name the code page has no letter for";
  for (const Case& c : cases) {
    EXPECT_TRUE(GetACP() != 1252 || fs::exists(NativePath(folder) / c.wide)) << c.name;
  }
#endif
  EXPECT_EQ(ListMatchingFiles(folder, "*.td4"), names);
  for (const Case& c : cases) EXPECT_EQ(testing::ReadFile(JoinPath(folder, c.name)), c.name);
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(unspellable));
  // A folder of such a name is reached by its short alias.
  fs::create_directory(unspellable.parent_path() / L"\u0416");
  EXPECT_FALSE(PathText(unspellable.parent_path() / L"\u0416"));
  EXPECT_TRUE(IsDirectory(FolderText(unspellable.parent_path() / L"\u0416").value_or("")));
#endif
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram) {
  // The tests run in a folder of their own, so the current folder would not hold it.
  EXPECT_TRUE(FileExists(JoinPath(ProgramFolder(), VELODEX_TEST_PROGRAM))) << ProgramFolder();
}

}  // namespace
}  // namespace velodex
