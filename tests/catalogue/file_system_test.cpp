// Path tests, pattern matching and listing as the designs' home platform does them.
#include "catalogue/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/error.h"
#include "catalogue/file_lister.h"
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
  const Case cases[] = {
      {"Loop.td4", "*.td4", true},     {"LOOP.TD4", "*.td4", true},
      {"loop.Td4", "*.TD4", true},     {"loop.td40", "*.td4", false},
      {"loop.td4.bak", "*.td4", false}, {".td4", "*.td4", true},
      {"td4", "*.td4", false},         {"a.zip", "*.zip", true},
      {"a.zip", "*.td4", false},       {"anything", "*.*", true},
      {"any.thing", "*.*", true},      {"ab.td4", "a?.td4", true},
      {"abc.td4", "a?.td4", false},    {"aaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*b", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*b", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  }
}

TEST(PathTests, TellFilesFoldersAndMissingPathsApart) {
  TempFolder temp;
  WriteFile(temp / "file.td4", "x");
  fs::create_directory(temp / "folder");
  fs::create_symlink(temp / "nowhere", temp / "dangling");
  EXPECT_TRUE(FileExists(temp / "file.td4"));
  EXPECT_FALSE(FileExists(temp / "folder"));
  EXPECT_FALSE(FileExists(temp / "missing"));
  EXPECT_FALSE(FileExists(temp / "dangling"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(IsDirectory(temp / "folder"));
  EXPECT_FALSE(IsDirectory(temp / "file.td4"));
  EXPECT_FALSE(IsDirectory(temp / "missing"));
  EXPECT_FALSE(IsDirectory(""));
  EXPECT_FALSE(IsDirectory(temp / "file.td4/below"));
}

TEST(ListMatchingFiles, ListsOnlyPlainFilesSortedByName) {
  TempFolder temp;
  for (const char* name : {"b.TD4", "a.td4", "C.Td4", "d.tp4", "readme.txt"}) {
    WriteFile(temp / name, "x");
  }
  fs::create_directory(temp / "folder.td4");
  EXPECT_EQ(ListMatchingFiles(temp.path(), "*.td4"),
            (std::vector<std::string>{"C.Td4", "a.td4", "b.TD4"}));
  EXPECT_TRUE(ListMatchingFiles(temp / "missing", "*.td4").empty());
}

TEST(DirectoryLister, SeesTheFolderAsItIsAfterARefresh) {
  TempFolder temp;
  DirectoryLister lister;
  lister.setPath(temp.path());
  lister.setPattern("*.td4");
  EXPECT_EQ(lister.count(), 0);
  WriteFile(temp / "new.td4", "x");
  lister.refresh();
  ASSERT_EQ(lister.count(), 1);
  EXPECT_EQ(lister.name(0), "new.td4");
  EXPECT_EQ(lister.name(1), "");
  EXPECT_EQ(lister.path(), temp.path());
  lister.setPattern("*.zip");
  EXPECT_EQ(lister.count(), 0);
}

TEST(FindFileIgnoringCase, PrefersTheExactNameThenAnyCase) {
  TempFolder temp;
  WriteFile(temp / "LOOP.TD4", "upper");
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "Loop.td4"), temp / "LOOP.TD4");
  WriteFile(temp / "Loop.td4", "exact");
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "Loop.td4"), temp / "Loop.td4");
  EXPECT_EQ(FindFileIgnoringCase(temp.path(), "other.td4"), "");
}

}  // namespace
}  // namespace velodex
