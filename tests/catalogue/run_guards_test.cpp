// What keeps a run from doing harm: the one-run lock, the checks of the user's choices made
// before anything changes, the bounded author.txt and the words for archive problems.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/archive_problem.h"
#include "catalogue/author_file.h"
#include "catalogue/error.h"
#include "catalogue/option_checks.h"
#include "catalogue/run_lock.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

using testing::ErrorOf;
using testing::TempFolder;

TEST(RunLock, KeepsOutEveryOtherRunUntilItsHolderEndsOrIsKilled) {
  TempFolder folder;
  const std::string catalogue = folder / "velodex.mdb";
  const std::string held = "another run is using the catalogue '" + catalogue +
                           "'; wait until it has ended and try again";
  {
    RunLock lock(catalogue);  // held in this process: a second run here is kept out too
    EXPECT_EQ(ErrorOf([&] { RunLock second(catalogue); }), held);
  }
  EXPECT_EQ(ErrorOf([&] { RunLock again(catalogue); }), "no error");
#ifndef _WIN32  // a holder in another process, killed (Windows: LockFileEx per handle, as above)
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RunLock lock(catalogue);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_EQ(ErrorOf([&] { RunLock second(catalogue); }), held);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(ErrorOf([&] { RunLock afterKill(catalogue); }), "no error");
  close(ready[0]);
  close(ready[1]);
#endif
}

TEST(CheckRunOptions, RefusesWhatTheRunCouldNotCarryOut) {
  struct Case {
    bool separate;
    std::string ridesPerPage, sortField, problem;  // problem "" when the choices are fine
  };
  const std::vector<Case> cases = {
      {false, "abc", "Rating", ""},  // no ride type pages: the number is never used
      {true, "", "", ""},            // the run makes these "10" and "Rating"
      {true, "7", "file_name", ""},
      {true, " 3 ", "Ex", ""},
      {true, "+2", "Ex", ""},
      {true, "32767", "Ex", ""},
      {true, "abc", "Ex", "1: rides per page 'abc' is not a whole number from 1 to 32767"},
      {true, "0", "Nope", "1: rides per page '0' is not a whole number from 1 to 32767"},
      {true, "32768", "Ex", "1: rides per page '32768' is not a whole number from 1 to 32767"},
      {true, "99999999999", "Ex",
       "1: rides per page '99999999999' is not a whole number from 1 to 32767"},
      {true, "-5", "Ex", "1: rides per page '-5' is not a whole number from 1 to 32767"},
      {true, "1e3", "Ex", "1: rides per page '1e3' is not a whole number from 1 to 32767"},
      {true, "12 x", "Ex", "1: rides per page '12 x' is not a whole number from 1 to 32767"},
      {false, "10", "Rating LIMIT 2 --",
       "2: sort field 'Rating LIMIT 2 --' is not a column of the catalogue"},
      {false, "10", "Rating ", "2: sort field 'Rating ' is not a column of the catalogue"},
      {false, "10", "Colour", "2: sort field 'Colour' is not a column of the catalogue"},
  };
  for (const auto& c : cases) {
    PlainRunOptions options;
    options.separate = c.separate;
    options.ridesPerPageText = c.ridesPerPage;
    options.sortFieldText = c.sortField;
    const auto problem = CheckRunOptions(options, CatalogueDatabase::columnNames());
    const std::string shown =
        problem
            ? (problem->control == OptionControl::kRidesPerPage ? "1: " : "2: ") + problem->message
            : "";
    EXPECT_EQ(shown, c.problem) << c.ridesPerPage << " / " << c.sortField;
  }
}

TEST(ReadAuthorFile, SplitsLinesOnAnyLineEndAndCutsEachTextAtItsLimit) {
  const std::string longLine(3000, 'a');
  const std::string cut(kAuthorTextLimit, 'a');
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"", "", "none"},
      {"Ann", "Ann", "none"},
      {"Ann\r\n", "Ann", "none"},
      {"Ann\rlink", "Ann", "link"},
      {"Ann\n\nlast", "Ann", "last"},
      {"\r\nlink", "", "link"},
      {"A\r\nB\r\nC\r\n", "A", "C"},
      {"Ann\r", "Ann", "none"},  // a CR ending the file ends the line, nothing more
      {"Ann\r\r\nx\ny\n\n", "Ann", ""},
      {longLine + "\r\n" + longLine + "b", cut, cut},
  };
  TempFolder folder;
  for (const auto& [text, author, link] : cases) {
    testing::WriteFile(folder / "author.txt", text);
    const AuthorInfo info = ReadAuthorFile(folder / "author.txt");
    EXPECT_EQ(info.author, author);
    EXPECT_EQ(info.link, link);
  }
  EXPECT_NE(ErrorOf([&] { ReadAuthorFile(folder / "missing.txt"); }).find("missing.txt"),
            std::string::npos);
}

#ifndef _WIN32
// A single 60 MiB line is read past in a child process whose address space is capped at
// 32 MiB beyond what it holds already: reading the line into memory would fail there.
TEST(ReadAuthorFile, ReadsAHugeLineInBoundedMemory) {
  TempFolder folder;
  {
    std::ofstream out(folder / "author.txt", std::ios::binary);
    const std::string block(1 << 20, 'x');
    out << "Ann\n";
    for (int i = 0; i < 60; ++i) out << block;
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t cap = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (32 << 20);
    const rlimit limit = {cap, cap};
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
    try {
      const AuthorInfo info = ReadAuthorFile(folder / "author.txt");
      _exit(info.author == "Ann" && info.link == std::string(kAuthorTextLimit, 'x') ? 0 : 3);
    } catch (...) {
      _exit(4);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

TEST(ArchiveProblemText, NamesTheArchiveWhatTheCodeMeansAndTheMembers) {
  EXPECT_EQ(ArchiveProblemText("pack.zip", 82, {}), "archive 'pack.zip': 82 (wrong password)");
  EXPECT_EQ(ArchiveProblemText("p.zip", 81, {"member 'a.td4': unsupported compression method 9"}),
            "archive 'p.zip': 81 (compression method or encryption not supported); member "
            "'a.td4': unsupported compression method 9");
  EXPECT_EQ(ArchiveProblemText("p.zip", 2, {"a", "b", "c", "d", "e"}),
            "archive 'p.zip': 2 (damaged archive); a; b; c; and 2 more");
  EXPECT_EQ(ArchiveCodeText(9), "9 (not a zip archive)");
  EXPECT_EQ(ArchiveCodeText(77), "77 (unknown problem)");
}

}  // namespace
}  // namespace velodex
