// Archive loading end to end through the run (codes 8 and 10): archives made here with
// libzip, the catalogue rows and pages they give, passwords, error codes, hostile archives
// and the extraction folder's life.
#include "run/archive_extraction.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/error.h"
#include "run/catalogue_run.h"
#include "tests/files/archive_builder.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::ListFolder;
using testing::Member;
using testing::PathIn;
using testing::ReadFile;
using testing::RunHarness;
using testing::WriteArchive;
using testing::WriteFile;
namespace fs = std::filesystem;
using Files = std::vector<std::string>;

std::string Design(uint8_t rideTypeCode, uint8_t ex = 50) {
  DesignParams params;
  params.rideTypeCode = rideTypeCode;
  params.ex = ex;
  const std::vector<uint8_t> bytes = EncodeDesignFile(MakeDecodedDesign(params));
  return std::string(bytes.begin(), bytes.end());
}

constexpr uint8_t kWooden = 0, kSteel = 15, kCorkscrew = 19, kSteelTwister = 51;

std::string CellOf(const FieldValue& value) {
  return value.isText() ? value.text() : "(not a text)";
}

// File_Name, zipfilename, Author, Alink and Ride_Name of every row, ordered by archive.
std::vector<Files> Rows(RunHarness& h) {
  std::vector<Files> rows;
  for (auto& row : h.catalogueRows("zipfilename, File_Name")) {
    rows.push_back({CellOf(row["File_Name"]), CellOf(row["zipfilename"]), CellOf(row["Author"]),
                    CellOf(row["Alink"]), CellOf(row["Ride_Name"])});
  }
  return rows;
}

class ArchiveRun : public ::testing::Test {
 protected:
  ArchiveRun() { h.options.zip = true; }

  // The collection most tests share: nested folders, one member name in two archives,
  // author.txt with three, one and no lines and missing, an archive without designs and
  // one with a bad design, and a loose design the archive mode must leave alone.
  void WriteCollection() {
    const std::string& d = h.designs;
    WriteArchive(PathIn(d, "Pack A.zip"),
                 {{"tracks/", ""},
                  {"tracks/Loop.td4", Design(kWooden, 70)},
                  {"tracks/deep/er/Spiral.td4", Design(kSteelTwister)},
                  {"info/author.txt", "Ann\r\nfan mail welcome\r\nhttp://example.com/ann/\r\n"}});
    WriteArchive(PathIn(d, "Pack B.zip"), {{"Loop.td4", Design(kSteel, 60)}});
    WriteArchive(PathIn(d, "Pack C.zip"),
                 {{"author.txt", "Cy\r\n"}, {"Top.td4", Design(kCorkscrew)}});
    WriteArchive(PathIn(d, "Pack D.zip"),
                 {{"AUTHOR.TXT", "Dee\ndee@example.com\n"}, {"Mail.td4", Design(kSteel)}});
    WriteArchive(PathIn(d, "Pack E.zip"), {{"author.txt", ""}, {"Quiet.td4", Design(kWooden)}});
    WriteArchive(PathIn(d, "Readme Only.zip"), {{"readme.txt", "no designs here"}});
    WriteArchive(PathIn(d, "With Bad.zip"),
                 {{"Broken.td4", Design(kSteel).substr(0, 90)}, {"Good.td4", Design(kWooden)}});
    WriteFile(PathIn(d, "Loose.td4"), Design(kWooden));
  }

  const Files kArchives = {"Pack A.zip", "Pack B.zip",      "Pack C.zip",  "Pack D.zip",
                           "Pack E.zip", "Readme Only.zip", "With Bad.zip"};

  RunHarness h;
};

TEST_F(ArchiveRun, CataloguesEachArchivesDesignsWithItsNameAndAuthor) {
  WriteCollection();
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);

  const std::vector<Files> expected = {
      {"Loop.td4", "Pack A.zip", "Ann", "http://example.com/ann/", "Wooden"},
      {"Spiral.td4", "Pack A.zip", "Ann", "http://example.com/ann/", "Steel_Twister"},
      {"Loop.td4", "Pack B.zip", "Anonymous", "none", "Steel"},
      {"Top.td4", "Pack C.zip", "Cy", "none", "Corkscrew"},
      {"Mail.td4", "Pack D.zip", "Dee", "dee@example.com", "Steel"},
      {"Quiet.td4", "Pack E.zip", "", "none", "Wooden"},
      {"Good.td4", "With Bad.zip", "Anonymous", "none", "Wooden"},
  };
  EXPECT_EQ(Rows(h), expected);
  EXPECT_TRUE(h.prompts.messages.empty());  // every archive extracted cleanly
  EXPECT_TRUE(h.prompts.textPrompts.empty());

  // The extraction folder is gone; the archives and the loose design are untouched.
  Files left = kArchives;
  left.insert(left.end(), {"Loose.td4", "simpleindex.htm"});
  std::sort(left.begin(), left.end());
  EXPECT_EQ(ListFolder(h.designs), left);
  // The page has the author and archive columns; the loose design is not on it.
  const std::string page = ReadFile(PathIn(h.designs, "simpleindex.htm"));
  EXPECT_NE(page.find("<TD>Author</TD><TD>Zip File Name</TD></TR>\r\n"), std::string::npos);
  EXPECT_EQ(page.find("Loose.td4"), std::string::npos);
}

TEST_F(ArchiveRun, CodeTenWritesEveryPageIntoTheFolderItself) {
  WriteCollection();
  h.options.separate = true;
  h.options.ridesPerPageText = "2";
  h.options.explorer = true;
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + PathIn(h.designs, "rideindex.htm") + " and " +
                PathIn(h.designs, "explorer.htm"));
  EXPECT_NE(ReadFile(h.designs + "/explorer.htm").find("\"Pack A.zip\""), std::string::npos);
  // Wooden has three designs (two pages), Steel two (one page); no ride type folder.
  for (const char* page : {"rideindex.htm", "Wooden0.htm", "Wooden2.htm", "Steel.htm",
                           "Steel_Twister.htm", "Corkscrew.htm"}) {
    EXPECT_TRUE(fs::is_regular_file(h.designs + "/" + page)) << page;
  }
  for (const char* type : {"Wooden", "Steel", "Steel_Twister", "Corkscrew", "quilltemp"}) {
    EXPECT_FALSE(fs::exists(h.designs + "/" + type)) << type;
  }
}

TEST_F(ArchiveRun, ShowsANonZeroCodeAndGoesOnWithTheNextArchive) {
  WriteFile(PathIn(h.designs, "A Fake.zip"), "not an archive at all");
  WriteArchive(PathIn(h.designs, "B Odd.zip"),
               {{"Odd.td4", Design(kSteel)},
                {"Odd Link.td4", "Odd.td4", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u}});
  WriteFile(PathIn(h.designs, "C Cut.zip"), ReadFile(PathIn(h.designs, "B Odd.zip")).substr(0, 60));
  WriteArchive(PathIn(h.designs, "D Fine.zip"), {{"Fine.td4", Design(kWooden)}});
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);

  Files shown;
  for (const auto& message : h.prompts.messages) {
    shown.push_back(message.text);
    EXPECT_EQ(message.icon, MessageIcon::kNone);
  }
  // Each names the archive, says what its code means and what befell which member.
  const std::string notZip = " 9 (not a zip archive); cannot open " + h.designs + kPathSeparator;
  EXPECT_EQ(shown, (Files{"archive 'A Fake.zip':" + notZip + "A Fake.zip: Not a zip archive",
                          "archive 'B Odd.zip': 1 (some members were skipped); member 'Odd "
                          "Link.td4': a link; links are never made",
                          "archive 'C Cut.zip':" + notZip + "C Cut.zip: Not a zip archive"}));
  EXPECT_EQ(h.context.summary.archiveProblems, shown);
  EXPECT_EQ(Rows(h),
            (std::vector<Files>{{"Odd.td4", "B Odd.zip", "Anonymous", "none", "Steel"},
                                {"Fine.td4", "D Fine.zip", "Anonymous", "none", "Wooden"}}));
  EXPECT_FALSE(fs::exists(PathIn(h.designs, "quilltemp")));
}

TEST_F(ArchiveRun, HostileArchivesWriteNothingOutsideTheExtractionFolder) {
  WriteFile(h.temp / "victim.td4", "the user's file");
  const std::string before = ReadFile(h.temp / "victim.td4");
  WriteArchive(PathIn(h.designs, "Hostile.zip"),
               {{"../victim.td4", Design(kWooden)},
                {"../../../../../../../../tmp/Deep.td4", Design(kSteel)},
                {"/etc/Abs.td4", Design(kCorkscrew)},
                {"..", Design(kSteel)},
                {"x/..", Design(kSteel)},
                {"Link.td4", "../victim.td4", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u},
                {"author.txt", "Mallory\r\n", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u},
                {"Huge.td4", std::string((64u << 20) + 1, '\0')}});
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);

  // Unsafe names were skipped, the others flattened; no link was made or followed.
  EXPECT_EQ(Rows(h),
            (std::vector<Files>{{"Abs.td4", "Hostile.zip", "Anonymous", "none", "Corkscrew"},
                                {"Deep.td4", "Hostile.zip", "Anonymous", "none", "Steel"},
                                {"victim.td4", "Hostile.zip", "Anonymous", "none", "Wooden"}}));
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text,
            "archive 'Hostile.zip': 1 (some members were skipped); member '..': no usable file "
            "name; member 'x/..': no usable file name; member 'Link.td4': a link; links are "
            "never made; and 2 more");
  EXPECT_EQ(ReadFile(h.temp / "victim.td4"), before);
  EXPECT_EQ(ListFolder(h.temp.path()), (Files{"db", "designs", "victim.td4"}));
  EXPECT_EQ(ListFolder(h.designs), (Files{"Hostile.zip", "simpleindex.htm"}));
}

Files FileNames(RunHarness& h) {
  Files names;
  for (const Files& row : Rows(h)) names.push_back(row[0]);
  return names;
}

TEST_F(ArchiveRun, OnlyAnExtractionFolderOfOurOwnIsEmptiedAndReused) {
  WriteArchive(PathIn(h.designs, "Pack.zip"), {{"Loop.td4", Design(kWooden)}});
  const std::string folder = PathIn(h.designs, "quilltemp");
  const auto make = [&] { fs::create_directory(folder); };
  // What stands at the folder's name, and whether the run may take it over.
  const std::vector<std::pair<std::function<void()>, bool>> cases = {
      {[&] {
         make();
         WriteFile(PathIn(folder, "keep.td4"), "someone's file");
       },
       false},
      {[&] {  // a link, or a file where the system makes none
         if (!testing::MakeLink(h.temp.path(), folder)) WriteFile(folder, "someone's file");
       },
       false},
      {[&] { WriteFile(folder, "someone's file"); }, false},
      {make, true},
      // What a killed run left: its mark and what it extracted.
      {[&] {
         make();
         WriteFile(PathIn(folder, ".velodex-extraction"), "");
         WriteFile(PathIn(folder, "Old.td4"), Design(kSteel));
       },
       true},
  };
  for (const auto& [arrange, taken] : cases) {
    fs::remove_all(folder);
    arrange();
    const auto before = fs::symlink_status(folder).type();
    const std::string error = testing::ErrorOf([&] { RunCatalogue(h.context); });
    if (taken) {
      EXPECT_EQ(error, "no error");
      EXPECT_EQ(FileNames(h), Files{"Loop.td4"});
      EXPECT_FALSE(fs::exists(folder));
    } else {
      EXPECT_NE(error.find(folder), std::string::npos) << error;
      EXPECT_EQ(fs::symlink_status(folder).type(), before);
      EXPECT_TRUE(h.catalogueRows().empty());
    }
  }
}

TEST_F(ArchiveRun, APasswordIsAskedForEachArchiveUntilTheUserDeclines) {
  for (const char* name : {"One.zip", "Two.zip", "Three.zip"}) {
    const std::string n = std::string(name).substr(0, std::string(name).find('.'));
    WriteArchive(h.designs + "/" + name, {{"Secret" + n + ".td4", Design(kWooden), ZIP_CM_DEFLATE,
                                           ZIP_EM_AES_128, "secret"},
                                          {"Open" + n + ".td4", Design(kSteel)}});
  }
  // Listed One, Three, Two: the second answer declines, and no later question is asked,
  // in this run or the next of the same program run. An archive whose member went without
  // its password ends with a warning.
  h.prompts.textAnswers = {std::string("secret"), std::string(""), std::string("secret")};
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);
  EXPECT_EQ(h.prompts.textPrompts,
            (Files{"Please Enter The Password!", "Please Enter The Password!"}));
  EXPECT_EQ(h.prompts.messages.size(), 2u);
  EXPECT_TRUE(h.session.skipPasswordQuestions);
  EXPECT_EQ(FileNames(h), (Files{"OpenOne.td4", "SecretOne.td4", "OpenThree.td4", "OpenTwo.td4"}));
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);
  EXPECT_EQ(h.prompts.textPrompts.size(), 2u);
  EXPECT_EQ(FileNames(h), (Files{"OpenOne.td4", "OpenThree.td4", "OpenTwo.td4"}));
}

TEST_F(ArchiveRun, AFailureMidArchiveTakesItsExtractedFilesAway) {
  WriteArchive(PathIn(h.designs, "Pack.zip"),
               {{"Open.td4", Design(kSteel)},
                {"author.txt", "Ann\r\n"},
                {"Secret.td4", Design(kWooden), ZIP_CM_DEFLATE, ZIP_EM_TRAD_PKWARE, "secret"}});
  h.prompts.askTextFailure = "cannot ask for the password: no terminal";
  EXPECT_THROW(RunCatalogue(h.context), Error);
  EXPECT_FALSE(fs::exists(PathIn(h.designs, "quilltemp")));
  EXPECT_EQ(ListFolder(h.designs), Files{"Pack.zip"});

  // Nothing blocks the next run.
  h.prompts.askTextFailure.clear();
  h.prompts.textAnswers = {std::string("secret")};
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);
  EXPECT_EQ(FileNames(h), (Files{"Open.td4", "Secret.td4"}));
}

TEST(ArchiveCallbacks, ThePasswordRoutineStoresTheAnswerInTheClearedBuffer) {
  RunHarness h;
  USERFUNCTIONS callbacks = ArchiveCallbacks(h.context.frontEnd);
  char buffer[kPasswordBufferSize];
  std::memset(buffer, 'x', sizeof buffer);
  h.prompts.textAnswers = {std::string("pass"), std::string(kPasswordBufferSize, 'p'),
                           std::string(kPasswordBufferSize - 1, 'p'), std::nullopt,
                           std::string("pass")};
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer),
            "pass" + std::string(kPasswordBufferSize - 4, '\0'));
  EXPECT_EQ(h.prompts.textPrompts, Files{"Please Enter The Password!"});

  // An answer too long for the buffer is not cut short, nor taken as declining.
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_FALSE(h.session.skipPasswordQuestions);
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 0);
  EXPECT_EQ(std::string(buffer), std::string(kPasswordBufferSize - 1, 'p'));

  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_TRUE(h.session.skipPasswordQuestions);
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_EQ(h.prompts.textPrompts.size(), 4u);
}

}  // namespace
}  // namespace velodex
