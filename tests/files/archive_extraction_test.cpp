// Archive loading end to end through the run (codes 8 and 10): archives made here with
// libzip, the catalogue rows and pages they give, passwords, error codes, hostile archives
// and the extraction folder's life.
#include "files/archive_extraction.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_run.h"
#include "catalogue/error.h"
#include "tests/files/archive_builder.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::ListFolder;
using testing::Member;
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

// The targets of the page's links, in page order.
Files LinkTargets(const std::string& page) {
  Files targets;
  const std::string start = "<a href=\"";
  for (size_t at = page.find(start); at != std::string::npos; at = page.find(start, at + 1)) {
    const size_t from = at + start.size();
    targets.push_back(page.substr(from, page.find('"', from) - from));
  }
  return targets;
}

class ArchiveRun : public ::testing::Test {
 protected:
  ArchiveRun() { h.options.zip = true; }

  // The collection most tests share: nested folders, one member name in two archives,
  // author.txt with three, one and no lines and missing, an archive without designs and
  // one with a bad design, and a loose design the archive mode must leave alone.
  void WriteCollection() {
    const std::string& d = h.designs;
    WriteArchive(d + "/Pack A.zip",
                 {{"tracks/", ""},
                  {"tracks/Loop.td4", Design(kWooden, 70)},
                  {"tracks/deep/er/Spiral.td4", Design(kSteelTwister)},
                  {"info/author.txt", "Ann\r\nfan mail welcome\r\nhttp://example.com/ann/\r\n"}});
    WriteArchive(d + "/Pack B.zip", {{"Loop.td4", Design(kSteel, 60)}});
    WriteArchive(d + "/Pack C.zip", {{"author.txt", "Cy\r\n"}, {"Top.td4", Design(kCorkscrew)}});
    WriteArchive(d + "/Pack D.zip",
                 {{"AUTHOR.TXT", "Dee\ndee@example.com\n"}, {"Mail.td4", Design(kSteel)}});
    WriteArchive(d + "/Pack E.zip", {{"author.txt", ""}, {"Quiet.td4", Design(kWooden)}});
    WriteArchive(d + "/Readme Only.zip", {{"readme.txt", "no designs here"}});
    WriteArchive(d + "/With Bad.zip",
                 {{"Broken.td4", Design(kSteel).substr(0, 90)}, {"Good.td4", Design(kWooden)}});
    WriteFile(d + "/Loose.td4", Design(kWooden));
  }

  const Files kArchives = {"Pack A.zip", "Pack B.zip",      "Pack C.zip",  "Pack D.zip",
                           "Pack E.zip", "Readme Only.zip", "With Bad.zip"};

  RunHarness h;
};

TEST_F(ArchiveRun, CataloguesEachArchivesDesignsWithItsNameAndAuthor) {
  WriteCollection();
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);

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
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + h.designs + "/simpleindex.htm");
}

TEST_F(ArchiveRun, TheSpecificationPageCarriesAuthorAndArchiveCells) {
  WriteCollection();
  h.options.columns[0] = true;
  RunCatalogue(h.context());
  const std::string page = ReadFile(h.designs + "/simpleindex.htm");

  const std::string rows[] = {
      "<TR>\r\n<TD>\r\nLoop.td4\r\n</TD>\r\n<TD><a href=\"http://example.com/ann/\">Ann</a>\r\n"
      "</TD><TD><a href=\"Pack A.zip\">Pack A.zip</a>\r\n</TD></TR>\r\n",
      "<TR>\r\n<TD>\r\nLoop.td4\r\n</TD>\r\n<TD>Anonymous</TD><TD><a href=\"Pack B.zip\">Pack "
      "B.zip</a>\r\n</TD></TR>\r\n",
      "<TD>Cy</TD><TD><a href=\"Pack C.zip\">Pack C.zip</a>\r\n</TD></TR>\r\n",
      "<TD><a href=\"mailto:dee@example.com\">Dee</a>\r\n</TD><TD><a href=\"Pack D.zip\">Pack "
      "D.zip</a>\r\n</TD></TR>\r\n",
      "<TD></TD><TD><a href=\"Pack E.zip\">Pack E.zip</a>\r\n</TD></TR>\r\n",
  };
  for (const std::string& row : rows) EXPECT_NE(page.find(row), std::string::npos) << row;
  EXPECT_NE(page.find("\r\n<TD>Ride Name</TD><TD>Author</TD><TD>Zip File Name</TD></TR>\r\n"),
            std::string::npos);
  EXPECT_EQ(page.find("Loose.td4"), std::string::npos);
  EXPECT_EQ(page.find("Broken"), std::string::npos);
}

TEST_F(ArchiveRun, CodeTenWritesEveryPageIntoTheFolderWithTargetsWithoutFolders) {
  WriteCollection();
  h.options.separate = true;
  h.options.ridesPerPageText = "2";
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + h.designs + "/rideindex.htm");

  // Wooden has three designs (two pages), Steel two (one page).
  const std::string index = ReadFile(h.designs + "/rideindex.htm");
  EXPECT_NE(index.find("<TR>\r\n<TD>\r\n<a href=\"Wooden0.htm\">Wooden</a>\r\n</TD>\r\n<TD>\r\n"
                       " 3 \r\n</TD>\r\n</TR>\r\n"),
            std::string::npos);
  // The ride type links, before the foot's own: file names only, no folder part.
  EXPECT_EQ(LinkTargets(index.substr(0, index.find("</table>"))),
            (Files{"Corkscrew.htm", "Steel.htm", "Steel_Twister.htm", "Wooden0.htm"}));

  for (const char* page :
       {"Wooden0.htm", "Wooden2.htm", "Steel.htm", "Steel_Twister.htm", "Corkscrew.htm"}) {
    EXPECT_TRUE(fs::is_regular_file(h.designs + "/" + page)) << page;
  }
  for (const char* type : {"Wooden", "Steel", "Steel_Twister", "Corkscrew", "quilltemp"}) {
    EXPECT_FALSE(fs::exists(h.designs + "/" + type)) << type;
  }
  const std::string steel = ReadFile(h.designs + "/Steel.htm");
  EXPECT_NE(steel.find("<a href=\"rideindex.htm\">Main Index</a>"), std::string::npos);
  EXPECT_EQ(steel.find("../rideindex.htm"), std::string::npos);
  EXPECT_NE(steel.find("<TD>Anonymous</TD><TD><a href=\"Pack B.zip\">Pack B.zip</a>\r\n"
                       "</TD></TR>\r\n"),
            std::string::npos);
  EXPECT_NE(steel.find("<TD><a href=\"mailto:dee@example.com\">Dee</a>\r\n</TD><TD>"
                       "<a href=\"Pack D.zip\">Pack D.zip</a>\r\n"),
            std::string::npos);
}

TEST_F(ArchiveRun, AFolderWithoutArchivesSaysNoFilesFound) {
  WriteFile(h.designs + "/Loose.td4", Design(kWooden));
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kEmptyFolder);
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text, "No Files found");
  EXPECT_EQ(ListFolder(h.designs), Files{"Loose.td4"});
  EXPECT_TRUE(h.catalogueRows().empty());
}

TEST_F(ArchiveRun, ShowsANonZeroCodeAndGoesOnWithTheNextArchive) {
  WriteFile(h.designs + "/A Fake.zip", "not an archive at all");
  WriteArchive(h.designs + "/B Odd.zip",
               {{"Odd.td4", Design(kSteel)},
                {"Odd Link.td4", "Odd.td4", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u}});
  WriteFile(h.designs + "/C Cut.zip", ReadFile(h.designs + "/B Odd.zip").substr(0, 60));
  WriteArchive(h.designs + "/D Fine.zip", {{"Fine.td4", Design(kWooden)}});
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);

  Files shown;
  for (const auto& message : h.prompts.messages) {
    shown.push_back(message.text);
    EXPECT_EQ(message.icon, MessageIcon::kNone);
  }
  EXPECT_EQ(shown,
            (Files{std::to_string(PK_NOZIP), std::to_string(PK_WARN), std::to_string(PK_NOZIP)}));
  EXPECT_EQ(Rows(h),
            (std::vector<Files>{{"Odd.td4", "B Odd.zip", "Anonymous", "none", "Steel"},
                                {"Fine.td4", "D Fine.zip", "Anonymous", "none", "Wooden"}}));
  EXPECT_FALSE(fs::exists(h.designs + "/quilltemp"));
}

TEST_F(ArchiveRun, HostileArchivesWriteNothingOutsideTheExtractionFolder) {
  WriteFile(h.temp / "victim.td4", "the user's file");
  const std::string before = ReadFile(h.temp / "victim.td4");
  WriteArchive(h.designs + "/Hostile.zip",
               {{"../victim.td4", Design(kWooden)},
                {"../../../../../../../../tmp/Deep.td4", Design(kSteel)},
                {"/etc/Abs.td4", Design(kCorkscrew)},
                {"..", Design(kSteel)},
                {"x/..", Design(kSteel)},
                {"Link.td4", "../victim.td4", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u},
                {"author.txt", "Mallory\r\n", ZIP_CM_DEFLATE, ZIP_EM_NONE, "", 0120777u},
                {"Huge.td4", std::string((64u << 20) + 1, '\0')}});
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);

  // Unsafe names were skipped, the others flattened; no link was made or followed.
  EXPECT_EQ(Rows(h),
            (std::vector<Files>{{"Abs.td4", "Hostile.zip", "Anonymous", "none", "Corkscrew"},
                                {"Deep.td4", "Hostile.zip", "Anonymous", "none", "Steel"},
                                {"victim.td4", "Hostile.zip", "Anonymous", "none", "Wooden"}}));
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text, std::to_string(PK_WARN));
  EXPECT_EQ(ReadFile(h.temp / "victim.td4"), before);
  EXPECT_EQ(ListFolder(h.temp.path()), (Files{"db", "designs", "victim.td4"}));
  EXPECT_EQ(ListFolder(h.designs), (Files{"Hostile.zip", "simpleindex.htm"}));
}

TEST_F(ArchiveRun, ALeftoverExtractionFolderWithFilesStopsTheRunAndIsKept) {
  WriteArchive(h.designs + "/Pack.zip", {{"Loop.td4", Design(kWooden)}});
  fs::create_directory(h.designs + "/quilltemp");
  WriteFile(h.designs + "/quilltemp/keep.td4", "someone's file");
  try {
    RunCatalogue(h.context());
    ADD_FAILURE() << "the run went on";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(h.designs + "/quilltemp"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(h.designs + "/quilltemp/keep.td4"), "someone's file");
  EXPECT_TRUE(h.catalogueRows().empty());
}

TEST_F(ArchiveRun, AnEmptyLeftoverExtractionFolderIsMadeAfresh) {
  WriteArchive(h.designs + "/Pack.zip", {{"Loop.td4", Design(kWooden)}});
  fs::create_directory(h.designs + "/quilltemp");
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);
  EXPECT_EQ(Rows(h).size(), 1u);
  EXPECT_FALSE(fs::exists(h.designs + "/quilltemp"));
}

void WriteEncryptedPair(const std::string& folder, zip_uint16_t encryption) {
  WriteArchive(folder + "/One.zip",
               {{"Secret1.td4", Design(kWooden), ZIP_CM_DEFLATE, encryption, "secret"},
                {"Open1.td4", Design(kSteel)}});
  WriteArchive(folder + "/Two.zip",
               {{"Secret2.td4", Design(kWooden), ZIP_CM_DEFLATE, encryption, "secret"},
                {"Open2.td4", Design(kSteel)}});
}

Files FileNames(RunHarness& h) {
  Files names;
  for (const Files& row : Rows(h)) names.push_back(row[0]);
  return names;
}

TEST_F(ArchiveRun, APasswordIsAskedForEachArchiveAndUnlocksItsDesigns) {
  for (zip_uint16_t encryption : {ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_128}) {
    RunHarness run;
    run.options.zip = true;
    WriteEncryptedPair(run.designs, encryption);
    run.prompts.textAnswers = {std::string("secret"), std::string("secret")};
    EXPECT_EQ(RunCatalogue(run.context()), RunOutcome::kCompleted);
    EXPECT_EQ(run.prompts.textPrompts,
              (Files{"Please Enter The Password!", "Please Enter The Password!"}));
    EXPECT_TRUE(run.prompts.messages.empty());
    EXPECT_EQ(FileNames(run), (Files{"Open1.td4", "Secret1.td4", "Open2.td4", "Secret2.td4"}));
    EXPECT_FALSE(run.skipPasswordQuestions);
  }
}

TEST_F(ArchiveRun, DecliningAPasswordAsksNoMoreForTheRestOfTheProgramRun) {
  for (const std::optional<std::string>& decline :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    RunHarness run;
    run.options.zip = true;
    WriteEncryptedPair(run.designs, ZIP_EM_TRAD_PKWARE);
    run.prompts.textAnswers = {decline, std::string("secret")};
    EXPECT_EQ(RunCatalogue(run.context()), RunOutcome::kCompleted);
    EXPECT_TRUE(run.skipPasswordQuestions);
    EXPECT_EQ(run.prompts.textPrompts, (Files{"Please Enter The Password!"}));
    EXPECT_EQ(FileNames(run), (Files{"Open1.td4", "Open2.td4"}));
    // A later run of the same program run asks nothing either.
    EXPECT_EQ(RunCatalogue(run.context()), RunOutcome::kCompleted);
    EXPECT_EQ(run.prompts.textPrompts.size(), 1u);
    EXPECT_EQ(FileNames(run), (Files{"Open1.td4", "Open2.td4"}));
  }
}

TEST_F(ArchiveRun, AWrongPasswordLeavesNoDesignBehind) {
  WriteArchive(h.designs + "/Locked.zip",
               {{"Secret.td4", Design(kWooden), ZIP_CM_DEFLATE, ZIP_EM_AES_256, "secret"}});
  h.prompts.textAnswers = {std::string("wrong"), std::string("wrong"), std::string("wrong")};
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);
  EXPECT_EQ(h.prompts.textPrompts.size(), 3u);
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text, std::to_string(IZ_BADPWD));
  EXPECT_TRUE(h.catalogueRows().empty());
  EXPECT_FALSE(h.skipPasswordQuestions);
}

// Prompts whose password question fails, as a front end's might.
class FailingPrompts final : public Prompts {
 public:
  void message(const std::string&, MessageIcon) override {}
  std::optional<std::string> askText(const std::string&) override {
    throw Error("cannot ask for the password: no terminal");
  }
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    return ReplaceAnswer::kNo;
  }
};

TEST_F(ArchiveRun, AFailureMidArchiveTakesItsExtractedFilesAway) {
  WriteArchive(h.designs + "/Pack.zip",
               {{"Open.td4", Design(kSteel)},
                {"author.txt", "Ann\r\n"},
                {"Secret.td4", Design(kWooden), ZIP_CM_DEFLATE, ZIP_EM_TRAD_PKWARE, "secret"}});
  FailingPrompts failing;
  RunContext context{
      h.options, h.runLister, h.scanLister,     h.progress,      h.windows,
      failing,   h.rideTypes, h.databaseFolder, h.unknownsLog(), h.skipPasswordQuestions};
  EXPECT_THROW(RunCatalogue(context), Error);
  EXPECT_FALSE(fs::exists(h.designs + "/quilltemp"));
  EXPECT_EQ(ListFolder(h.designs), Files{"Pack.zip"});

  // Nothing blocks the next run.
  h.prompts.textAnswers = {std::string("secret")};
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);
  EXPECT_EQ(FileNames(h), (Files{"Open.td4", "Secret.td4"}));
}

// Records the password questions and gives one answer.
class RecordingPrompts final : public Prompts {
 public:
  void message(const std::string&, MessageIcon) override {}
  std::optional<std::string> askText(const std::string& prompt) override {
    prompts.push_back(prompt);
    return answer;
  }
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    return ReplaceAnswer::kNo;
  }
  std::optional<std::string> answer;
  Files prompts;
};

struct CallbackHarness {
  RunContext context() {
    return RunContext{
        h.options, h.runLister, h.scanLister,     h.progress,      h.windows,
        prompts,   h.rideTypes, h.databaseFolder, h.unknownsLog(), h.skipPasswordQuestions};
  }
  RunHarness h;
  RecordingPrompts prompts;
};

TEST(ArchiveCallbacks, ThePasswordRoutineStoresTheAnswerInTheClearedBuffer) {
  CallbackHarness c;
  const RunContext context = c.context();
  USERFUNCTIONS callbacks = ArchiveCallbacks(context);
  char buffer[kPasswordBufferSize];
  std::memset(buffer, 'x', sizeof buffer);
  c.prompts.answer = "pass";
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer),
            "pass" + std::string(kPasswordBufferSize - 4, '\0'));
  EXPECT_EQ(c.prompts.prompts, Files{"Please Enter The Password!"});

  // An answer too long for the buffer is not cut short, nor taken as declining.
  c.prompts.answer = std::string(kPasswordBufferSize, 'p');
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_FALSE(c.h.skipPasswordQuestions);
  c.prompts.answer = std::string(kPasswordBufferSize - 1, 'p');
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 0);
  EXPECT_EQ(std::string(buffer), std::string(kPasswordBufferSize - 1, 'p'));

  c.prompts.answer = std::nullopt;
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_TRUE(c.h.skipPasswordQuestions);
  c.prompts.answer = "pass";
  EXPECT_EQ(callbacks.password(buffer, kPasswordBufferSize, "", "a.td4"), 1);
  EXPECT_EQ(c.prompts.prompts.size(), 4u);
}

}  // namespace
}  // namespace velodex
