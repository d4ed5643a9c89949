// velodex-cli as a user meets it: its exit status, what it writes where, and what it leaves
// on disk when options are bad, another run holds the catalogue or a run is killed midway.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "catalogue/catalogue_database.h"
#include "catalogue/run_lock.h"
#include "tests/files/archive_builder.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
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

// Every entry under folder by relative path: a file's bytes, or a folder. Compared with
// EXPECT_TRUE, as a catalogue's bytes make no readable failure message.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    entries[entry.path().lexically_relative(folder).string()] =
        entry.is_regular_file() ? ReadFile(entry.path().string()) : "(folder)";
  }
  return entries;
}

// The status lines a run prints up to the scan, and its summary for one design read.
const std::string kToScan = "Deleting Records\nCompacting Database\nReading Tracks\n";
const std::string kOneDesign =
    "1 design catalogued, 0 rejected (renamed), 0 unreadable (left as they were), 0 of unknown "
    "ride types, 0 archives with problems, 0 designs have copies, in 0 groups\n";

class VelodexCli : public ::testing::Test {
 protected:
  VelodexCli() : designs_(temp_ / "designs"), db_(temp_ / "db") {
    fs::create_directory(designs_);
    fs::create_directory(db_);
    CatalogueDatabase::createEmpty(db_ + "/velodex.mdb");
  }

  std::string Command(const std::string& arguments) const {
    return std::string(VELODEX_CLI_PATH) + " " + arguments + " --database-dir " + Quote(db_) +
           " --unknowns-log " + Quote(temp_ / "unknowns.txt") + " </dev/null";
  }

  // Runs velodex-cli in cwd (default: the test's own) and waits for it.
  CliResult Run(const std::string& arguments, const std::string& cwd = "") {
    const std::string command = (cwd.empty() ? "" : "cd " + Quote(cwd) + " && ") +
                                Command(arguments) + " >" + Quote(temp_ / "out.txt") + " 2>" +
                                Quote(temp_ / "err.txt");
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(temp_ / "out.txt");
    result.err = ReadFile(temp_ / "err.txt");
    return result;
  }

  // Starts velodex-cli and kills it once seen() holds while it runs. False when the run
  // ended before that.
  bool KillWhen(const std::string& arguments, const std::function<bool()>& seen) {
    const std::string command = "exec " + Command(arguments) + " >/dev/null 2>&1";
    const pid_t run = fork();
    if (run == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    while (!seen()) {
      if (waitpid(run, nullptr, WNOHANG) == run) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(run, SIGKILL);
    waitpid(run, nullptr, 0);
    return true;
  }

  TempFolder temp_;
  std::string designs_;
  std::string db_;
};

TEST_F(VelodexCli, EndsAsTheRunEndedWithItsStatusItsPageAloneOnStandardOutput) {
  struct Case {
    std::string arguments;  // the folder included
    bool designs;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {Quote(designs_), true, 0, "Done - Look at " + designs_ + "/simpleindex.htm\n",
       kToScan + kOneDesign},
      // A folder given relative to the working folder, with a trailing separator.
      {"--separate designs/", true, 0, "Done - Look at " + designs_ + "/rideindex.htm\n",
       kToScan + kOneDesign},
      {Quote(designs_), false, 1, "",
       "Deleting Records\nCompacting Database\nNo Ride files found\n"},
      {"--hyperlinks " + Quote(designs_), false, 1, "",
       "Deleting Records\nCompacting Database\nNo Files found\n"},
      {"--zip " + Quote(designs_), false, 1, "",
       "Deleting Records\nCompacting Database\nNo Files found\n"},
  };
  for (const Case& c : cases) {
    fs::remove_all(designs_);
    fs::create_directory(designs_);
    if (c.designs) WriteDesignFile(designs_ + "/A.td4", DesignParams{});
    CliResult r = Run(c.arguments, temp_.path());
    EXPECT_EQ(r.status, c.status) << c.arguments << r.err;
    EXPECT_EQ(r.out, c.out) << c.arguments;
    EXPECT_EQ(r.err, c.err) << c.arguments;
  }
}

TEST_F(VelodexCli, UnreadableDesignsAndArchiveProblemsAreNamedAndEndWithStatusFour) {
  struct Case {
    std::function<void()> arrange;
    std::string arguments;
    std::string err;
  };
  const Case cases[] = {
      {[&] {
         WriteDesignFile(designs_ + "/A.td4", DesignParams{});
         fs::create_symlink("/proc/self/mem", designs_ + "/B.td4");
       },
       "",
       kToScan + "velodex-cli: cannot read design '" + designs_ +
           "/B.td4': Input/output error\n1 design catalogued, 0 rejected (renamed), 1 unreadable "
           "(left as they were), 0 of unknown ride types, 0 archives with problems, 0 designs "
           "have copies, in 0 groups\n"},
      {[&] {
         const std::vector<uint8_t> design = EncodeDesignFile(MakeDecodedDesign(DesignParams{}));
         testing::WriteArchive(designs_ + "/Locked.zip",
                               {{"Secret.td4", std::string(design.begin(), design.end()),
                                 ZIP_CM_DEFLATE, ZIP_EM_AES_256, "secret"}});
       },
       "--zip --password wrong ",
       "Deleting Records\nCompacting Database\narchive 'Locked.zip': 82 (wrong password); "
       "member 'Secret.td4': incorrect or missing password\nReading Tracks\n0 designs catalogued, "
       "0 rejected (renamed), 0 unreadable (left as they "
       "were), 0 of unknown ride types, 1 archive with problems, 0 designs have copies, in 0 "
       "groups\n"},
  };
  if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no file that fails to read";
  for (const Case& c : cases) {
    fs::remove_all(designs_);
    fs::create_directory(designs_);
    c.arrange();
    CliResult r = Run(c.arguments + Quote(designs_));
    EXPECT_EQ(r.status, 4) << c.arguments;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "Done - Look at " + designs_ + "/simpleindex.htm\n");
  }
}

TEST_F(VelodexCli, RefusesWhatTheRunCannotDoBeforeChangingAnything) {
  WriteDesignFile(designs_ + "/A.td4", DesignParams{});
  ASSERT_EQ(Run(Quote(designs_)).status, 0);
  WriteFile(designs_ + "/Broken.td4", "a run would rename this");
  const auto folderBefore = Snapshot(designs_);
  const auto catalogueBefore = Snapshot(db_);
  const std::string folder = " " + Quote(designs_);
  // Our own refusals word for word (the texts' cases are CheckRunOptions'), then usage errors
  // in the option parser's words ("") and what the wizard makes impossible.
  const std::pair<std::string, std::string> cases[] = {
      {"--separate --rides-per-page abc" + folder,
       "rides per page 'abc' is not a whole number from 1 to 32767"},
      {"--sort 'Rating LIMIT 2 --'" + folder,
       "sort field 'Rating LIMIT 2 --' is not a column of the catalogue"},
      {"--zip --hyperlinks" + folder, ""},
      {"--zip --copy" + folder, ""},
      {"--columns 14" + folder, ""},
      {"--columns 1,x" + folder, ""},
      {"--no-such-option" + folder, ""},
      {"--export out.txt" + folder, ""},
      {Quote(temp_ / "no-such-folder"), ""},
      {"", ""},
  };
  for (const auto& [arguments, message] : cases) {
    CliResult r = Run(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    if (message.empty()) {
      EXPECT_FALSE(r.err.empty()) << arguments;
    } else {
      EXPECT_EQ(r.err, "velodex-cli: " + message + "\n");
    }
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Snapshot(designs_) == folderBefore) << arguments;
    EXPECT_TRUE(Snapshot(db_) == catalogueBefore) << arguments;
  }
  // Another run holding the catalogue stops this one before it changes anything.
  const RunLock otherRun(db_ + "/velodex.mdb");
  const auto lockedBefore = Snapshot(db_);
  CliResult r = Run(Quote(designs_));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "velodex-cli: another run is using the catalogue '" + db_ +
                       "/velodex.mdb'; wait until it has ended and try again\n");
  EXPECT_TRUE(Snapshot(designs_) == folderBefore);
  EXPECT_TRUE(Snapshot(db_) == lockedBefore);
}

TEST_F(VelodexCli, ARunKilledMidwayLeavesNothingThatStopsTheNext) {
  const std::vector<uint8_t> design = EncodeDesignFile(MakeDecodedDesign(DesignParams{}));
  const auto holds = [](const std::string& folder,
                        const std::function<bool(const std::string&)>& wanted) {
    bool found = false;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      found = found || wanted(it->path().filename().string());
    }
    return found;
  };
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string killedRun, watched, nextRun;
    std::function<bool(const std::string&)> leftover;
  };
  const Case cases[] = {
      // Killed while it extracts a large member: the extraction folder holds its files.
      {"extracting",
       [&] {
         testing::WriteArchive(designs_ + "/Big.zip",
                               {{"A.td4", std::string(design.begin(), design.end())},
                                {"Big.td4", std::string(60u << 20, '\0')}});
       },
       "--zip ", designs_ + "/quilltemp", "--zip ",
       [](const std::string& name) { return !name.starts_with(".velodex-extraction"); }},
      // Killed while it copies a large companion: a temporary copy lies in the type's folder.
      {"copying",
       [&] {
         WriteDesignFile(designs_ + "/A.td4", DesignParams{});
         WriteFile(designs_ + "/A.tp4", "");
         fs::resize_file(designs_ + "/A.tp4", 200u << 20);
       },
       "--copy ", designs_ + "/Wooden", "--separate ",
       [](const std::string& name) { return name.starts_with("A.tp4.velodex-"); }},
  };
  for (const Case& c : cases) {
    fs::remove_all(designs_);
    fs::create_directory(designs_);
    c.arrange();
    // A busy machine may let a run finish first; it is then started again.
    bool killed = false;
    for (int attempt = 0; attempt < 3 && !killed; ++attempt) {
      killed =
          KillWhen(c.killedRun + Quote(designs_), [&] { return holds(c.watched, c.leftover); });
    }
    ASSERT_TRUE(killed) << c.name << ": the run ended before it could be killed";
    ASSERT_TRUE(holds(c.watched, c.leftover)) << c.name;
    CliResult r = Run(c.nextRun + Quote(designs_));
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_FALSE(holds(c.watched, c.leftover)) << c.name;
    EXPECT_NE(r.err.find("\n1 design catalogued"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(designs_ + "/quilltemp"));
}

// The options' own lines are the option parser's; the exit codes are ours.
TEST_F(VelodexCli, HelpEndsWithTheExitCodes) {
  CliResult r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Exit status:\n"), std::string::npos) << r.out;
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

TEST_F(VelodexCli, WritesTheExplorerAndExportsAndCountsTheCopies) {
  WriteDesignFile(designs_ + "/A.td4", DesignParams{});
  WriteDesignFile(designs_ + "/Same as A.td4", DesignParams{});
  DesignParams other;
  other.ex = 77;
  WriteDesignFile(designs_ + "/B.td4", other);
  for (const char* file : {"rows.csv", "rows.json"}) {
    CliResult r = Run("--explorer --export " + Quote(temp_ / file) + " " + Quote(designs_));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done - Look at " + designs_ + "/simpleindex.htm and " + designs_ +
                         "/explorer.htm\n");
    EXPECT_NE(r.err.find(", 2 designs have copies, in 1 group\n"), std::string::npos) << r.err;
  }
  const std::string csv = ReadFile(temp_ / "rows.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
  EXPECT_EQ(ReadFile(temp_ / "rows.json").rfind("[{\"File_Name\":\"B.td4\",", 0), 0u);
}

}  // namespace
}  // namespace velodex
