// velodex-cli as a user meets it: its exit status, its messages and its last line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "catalogue/catalogue_database.h"
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

class VelodexCli : public ::testing::Test {
 protected:
  VelodexCli() : designs_(temp_ / "designs"), db_(temp_ / "db") {
    fs::create_directory(designs_);
    fs::create_directory(db_);
    CatalogueDatabase::createEmpty(db_ + "/velodex.mdb");
  }

  CliResult Run(const std::string& arguments, bool withDatabase = true) {
    std::string command = std::string(VELODEX_CLI_PATH) + " " + arguments;
    if (withDatabase) command += " --database-dir " + Quote(db_);
    command += " --unknowns-log " + Quote(temp_ / "unknowns.txt");
    command += " </dev/null >" + Quote(temp_ / "out.txt") + " 2>" + Quote(temp_ / "err.txt");
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(temp_ / "out.txt");
    result.err = ReadFile(temp_ / "err.txt");
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
      {"", true, 0, "Done - Look at " + designs_ + "/simpleindex.htm", ""},
      {"--separate --", true, 0, "Done - Look at " + designs_ + "/rideindex.htm", ""},
      {"", false, 1, "Compacting Database", "No Ride files found\n"},
      {"--hyperlinks ", false, 1, "Compacting Database", "No Files found\n"},
      {"--zip ", false, 1, "Compacting Database", "No Files found\n"},
      {"--sort Bogus ", true, 3, "Reading Tracks",
       "velodex-cli: cannot open query 'SELECT * From velodex ORDER BY Bogus DESC;' in "
       "catalogue '" +
           db_ + "/velodex.mdb': no such column: Bogus\n"},
  };
  for (const Case& c : cases) {
    fs::remove_all(designs_);
    fs::create_directory(designs_);
    if (c.designs) WriteDesignFile(designs_ + "/A.td4", DesignParams{});
    // "--" marks a folder given with a trailing separator, which is dropped.
    const bool trailing = c.arguments.ends_with("--");
    CliResult r = Run(c.arguments.substr(0, c.arguments.size() - (trailing ? 2 : 0)) +
                      Quote(designs_ + (trailing ? "/" : "")));
    EXPECT_EQ(r.status, c.status) << c.arguments << r.err;
    EXPECT_EQ(LastLine(r.out), c.lastOut) << c.arguments;
    EXPECT_EQ(r.err, c.err) << c.arguments;
  }
}

TEST_F(VelodexCli, AnUnreadableDesignIsNamedOnStandardErrorAndTheRunGoesOn) {
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
  for (const char* text : {"--rides-per-page", "--columns", "--sort", "--ascending", "--hyperlinks",
                           "--zip", "--separate", "--copy", "--database-dir", "--unknowns-log",
                           "--password", "--pictures", "Exit status"}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
  }
}

TEST_F(VelodexCli, PicturesNamedAfterTheDesignFilesGoIntoAFolderMadeForThem) {
  WriteDesignFile(designs_ + "/Oval.td4", DesignParams{});
  WriteDesignFile(designs_ + "/LOOP.TD4", DesignParams{});
  testing::WriteFile(designs_ + "/Broken.td4", "not a design");
  const std::string pictures = temp_ / "pictures/new";
  CliResult r = Run("--pictures " + Quote(pictures) + " " + Quote(designs_));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing::ListFolder(pictures), (std::vector<std::string>{"LOOP.svg", "Oval.svg"}));
  EXPECT_TRUE(ReadFile(pictures + "/Oval.svg").starts_with("<svg "));
  // A file where the folder should be is a failure naming it.
  testing::WriteFile(temp_ / "taken", "");
  r = Run("--pictures " + Quote(temp_ / "taken") + " " + Quote(designs_));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "velodex-cli: cannot make folder '" + (temp_ / "taken") + "': Not a directory\n");
}

TEST_F(VelodexCli, AFailureIsReportedWithItsCauseAndStatusThree) {
  WriteDesignFile(designs_ + "/A.td4", DesignParams{});
  fs::remove(db_ + "/velodex.mdb");
  CliResult r = Run(Quote(designs_));
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find(db_ + "/velodex.mdb"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(designs_ + "/A.td4"));
}

}  // namespace
}  // namespace velodex
