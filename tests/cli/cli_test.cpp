// velodex-cli as a user meets it: its exit status, its messages and its last line.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>

#include "catalogue/catalogue_database.h"
#include "catalogue/file_system.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::ReadFile;
using testing::TempFolder;
namespace fs = std::filesystem;

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

#ifdef _WIN32
// One argument for the program's command line: in double quotes, a quote inside escaped,
// and the backslashes before a quote (the closing one included) doubled.
std::string Quote(const std::string& text) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') quoted.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    quoted += c;
  }
  quoted.append(backslashes, '\\');
  return quoted + "\"";
}
#else
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}
#endif

class VelodexCli : public ::testing::Test {
 protected:
  VelodexCli() : designs_(temp_ / "designs"), db_(temp_ / "db") {
    fs::create_directory(designs_);
    fs::create_directory(db_);
    CatalogueDatabase::createEmpty(db_ + "/velodex.mdb");
  }

  CliResult Run(const std::string& arguments, bool withDatabase = true) {
    std::string command = Quote(JoinPath(ProgramFolder(), VELODEX_CLI_NAME)) + " " + arguments;
    if (withDatabase) command += " --database-dir " + Quote(db_);
    command += " --unknowns-log " + Quote(temp_ / "unknowns.txt");
    CliResult result;
#ifdef _WIN32
    command += " <NUL >" + Quote(temp_ / "out.txt") + " 2>" + Quote(temp_ / "err.txt");
    // The command interpreter drops the first and last quote of a line that starts with one.
    result.status = std::system(("\"" + command + "\"").c_str());
    // The console's text ends its lines in CR LF; the tests read them as lines.
    const auto lines = [](std::string text) {
      for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
      return text;
    };
    result.out = lines(ReadFile(temp_ / "out.txt"));
    result.err = lines(ReadFile(temp_ / "err.txt"));
#else
    command += " </dev/null >" + Quote(temp_ / "out.txt") + " 2>" + Quote(temp_ / "err.txt");
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(temp_ / "out.txt");
    result.err = ReadFile(temp_ / "err.txt");
#endif
    return result;
  }

  static std::string LastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    const size_t start = trimmed.rfind('\n');
    return start == std::string::npos ? trimmed : trimmed.substr(start + 1);
  }

  TempFolder temp_;
  std::string designs_;
  std::string db_;
};

TEST_F(VelodexCli, EndsAsTheRunEndedWithItsStatusAndLastLine) {
  struct Case {
    std::string arguments;  // before the folder
    bool designs;
    int status;
    std::string lastOut;  // the last line of standard output
    std::string err;      // what standard error holds
  };
  const Case cases[] = {
      {"", true, 0, "Done - Look at " + JoinPath(designs_, "simpleindex.htm"), ""},
      {"--separate --", true, 0, "Done - Look at " + JoinPath(designs_, "rideindex.htm"), ""},
      {"", false, 1, "Compacting Database", "No Ride files found\n"},
      {"--hyperlinks ", false, 1, "Compacting Database", "No Files found\n"},
      {"--zip ", false, 1, "Compacting Database", "No Files found\n"},
      {"--sort Bogus ", true, 3, "Reading Tracks",
       "velodex-cli: cannot open query 'SELECT * From velodex ORDER BY Bogus DESC;' in "
       "catalogue '" +
           JoinPath(db_, "velodex.mdb") + "': no such column: Bogus\n"},
  };
  for (const Case& c : cases) {
    fs::remove_all(designs_);
    fs::create_directory(designs_);
    if (c.designs) WriteDesignFile(JoinPath(designs_, "A.td4"), DesignParams{});
    // "--" marks a folder given with a trailing separator, which is dropped.
    const bool trailing = c.arguments.ends_with("--");
    CliResult r = Run(c.arguments.substr(0, c.arguments.size() - (trailing ? 2 : 0)) +
                      Quote(designs_ + (trailing ? std::string(1, kPathSeparator) : "")));
    EXPECT_EQ(r.status, c.status) << c.arguments << r.err;
    EXPECT_EQ(LastLine(r.out), c.lastOut) << c.arguments;
    EXPECT_EQ(r.err, c.err) << c.arguments;
  }
}

TEST_F(VelodexCli, AnUnreadableDesignIsNamedOnStandardErrorAndTheRunGoesOn) {
#ifdef _WIN32
  GTEST_SKIP() << "no file that opens and fails to read";
#endif
  if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no file that fails to read";
  WriteDesignFile(designs_ + "/A.td4", DesignParams{});
  fs::create_symlink("/proc/self/mem", designs_ + "/B.td4");
  CliResult r = Run(Quote(designs_));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "velodex-cli: cannot read design '" + designs_ + "/B.td4': Input/output error\n");
  EXPECT_TRUE(fs::is_symlink(designs_ + "/B.td4"));
  EXPECT_EQ(LastLine(r.out), "Done - Look at " + designs_ + "/simpleindex.htm");
}

TEST_F(VelodexCli, RejectsWhatTheWizardMakesImpossibleAsUsageErrors) {
  const char* usages[] = {"--zip --hyperlinks", "--zip --copy",     "--columns 14",
                          "--columns 1,x",      "--no-such-option", ""};
  for (const char* usage : usages) {
    const std::string folder = std::string(usage).empty() ? "" : Quote(designs_);
    CliResult r = Run(std::string(usage) + " " + folder);
    EXPECT_EQ(r.status, 2) << usage;
    EXPECT_FALSE(r.err.empty()) << usage;
  }
  CliResult missing = Run(Quote(temp_ / "no-such-folder"));
  EXPECT_EQ(missing.status, 2);
}

TEST_F(VelodexCli, HelpDocumentsEveryOptionAndTheExitCodes) {
  CliResult r = Run("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* text :
       {"--rides-per-page", "--columns", "--sort", "--ascending", "--hyperlinks", "--zip",
        "--separate", "--copy", "--database-dir", "--unknowns-log", "--password", "Exit status"}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
  }
}

TEST_F(VelodexCli, AFailureIsReportedWithItsCauseAndStatusThree) {
  WriteDesignFile(JoinPath(designs_, "A.td4"), DesignParams{});
  fs::remove(JoinPath(db_, "velodex.mdb"));
  CliResult r = Run(Quote(designs_));
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find(JoinPath(db_, "velodex.mdb")), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(JoinPath(designs_, "A.td4")));
}

}  // namespace
}  // namespace velodex
