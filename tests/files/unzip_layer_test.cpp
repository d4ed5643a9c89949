// The unzip layer on archives made here with libzip: flattened names, hostile names, links,
// size limits, broken archives, both kinds of encryption, the replace routine, member
// selection and the library's return codes.
#include "files/unzip_layer.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/files/archive_builder.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

using testing::ListFolder;
using testing::Member;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteArchive;
using testing::WriteFile;
namespace fs = std::filesystem;

// True when libzip itself accepts password for the first member (the check value matches).
bool OpensWith(const std::string& path, const std::string& password) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr) return false;
  zip_file_t* file = zip_fopen_index_encrypted(archive, 0, 0, password.c_str());
  if (file != nullptr) zip_fclose(file);
  zip_discard(archive);
  return file != nullptr;
}

// An archive folder with its extraction folder, and the options the archive loading uses.
class Unzip {
 public:
  Unzip() {
    options.PromptToOverwrite = 1;
    options.noflag = 1;
    options.lpszZipFN = archive;
    options.lpszExtractDir = extraction;
    fs::create_directory(extraction);
  }

  int run(const UnzipLimits& limits = {}) {
    char* none[1] = {nullptr};
    return Wiz_SingleEntryUnzip(0, none, 0, none, &options, &callbacks, limits);
  }
  int run(std::vector<std::string> include, std::vector<std::string> exclude) {
    std::vector<char*> i, x;
    for (std::string& name : include) i.push_back(name.data());
    for (std::string& name : exclude) x.push_back(name.data());
    i.push_back(nullptr);
    x.push_back(nullptr);
    return Wiz_SingleEntryUnzip(static_cast<int>(include.size()), i.data(),
                                static_cast<int>(exclude.size()), x.data(), &options, &callbacks);
  }
  std::vector<std::string> extracted() const { return ListFolder(extraction); }
  // Nothing but the archive and the extraction folder beside it.
  void expectNothingOutside() const {
    EXPECT_EQ(ListFolder(temp.path()), (std::vector<std::string>{"archive.zip", "quilltemp"}));
  }

  TempFolder temp;
  std::string archive = temp / "archive.zip";
  std::string extraction = temp / "quilltemp";
  DCL options;
  USERFUNCTIONS callbacks;
};

using Files = std::vector<std::string>;

TEST(WizSingleEntryUnzip, PutsEveryMemberDirectlyIntoTheFolderWithoutItsStoredFolders) {
  Unzip u;
  WriteArchive(u.archive, {{"tracks/", ""},
                           {"tracks/a.td4", "alpha"},
                           {"b.td4", "bravo", ZIP_CM_STORE},
                           {"x/y/z/c.td4", std::string(5000, 'c'), ZIP_CM_BZIP2},
                           {"dos\\style\\d.td4", "delta"},
                           {"author.txt", "Ann\r\n"}});
  EXPECT_EQ(u.run(), PK_OK);
  EXPECT_EQ(u.extracted(), (Files{"a.td4", "author.txt", "b.td4", "c.td4", "d.td4"}));
  EXPECT_EQ(ReadFile(u.extraction + "/a.td4"), "alpha");
  EXPECT_EQ(ReadFile(u.extraction + "/c.td4"), std::string(5000, 'c'));
  u.expectNothingOutside();
}

TEST(WizSingleEntryUnzip, KeepsOnlyTheLastPartOfNamesThatPointElsewhere) {
  Unzip u;
  WriteArchive(u.archive, {{"../up.td4", "1"},
                           {"../../../../../../tmp/deep.td4", "2"},
                           {"/abs/root.td4", "3"},
                           {"..\\..\\win.td4", "4"},
                           {"C:\\drive.td4", "5"},
                           {"a/./b/../dot.td4", "6"}});
  EXPECT_EQ(u.run(), PK_OK);
  EXPECT_EQ(u.extracted(),
            (Files{"deep.td4", "dot.td4", "drive.td4", "root.td4", "up.td4", "win.td4"}));
  u.expectNothingOutside();
}

TEST(WizSingleEntryUnzip, SkipsMembersThatLeaveNoSafeNameWithAWarning) {
  for (const std::string& name :
       std::vector<std::string>{"..", ".", "x/..", "x/.", "x\\..", std::string(300, 'n')}) {
    Unzip u;
    WriteArchive(u.archive, {{name, "hostile"}, {"ok.td4", "fine"}});
    EXPECT_EQ(u.run(), PK_WARN) << name;
    EXPECT_EQ(u.extracted(), (Files{"ok.td4"})) << name;
    u.expectNothingOutside();
  }
}

TEST(WizSingleEntryUnzip, NeverMakesLinksOrSpecialFiles) {
  for (zip_uint32_t mode : {0120777u, 0010644u, 0020644u, 0140755u}) {
    Unzip u;
    WriteArchive(u.archive, {{"special.td4", "/etc/passwd", ZIP_CM_STORE, ZIP_EM_NONE, "", mode},
                             {"plain.td4", "fine", ZIP_CM_STORE, ZIP_EM_NONE, "", 0100644u}});
    EXPECT_EQ(u.run(), PK_WARN) << std::oct << mode;
    EXPECT_EQ(u.extracted(), (Files{"plain.td4"})) << std::oct << mode;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(u.extraction + "/plain.td4")));
  }
}

TEST(WizSingleEntryUnzip, NeverWritesThroughALinkOrOverAFolderInTheWay) {
  Unzip u;
  WriteFile(u.temp / "victim.txt", "the user's file");
  fs::create_symlink(u.temp / "victim.txt", u.extraction + "/a.td4");
  fs::create_directory(u.extraction + "/b.td4");
  WriteArchive(u.archive, {{"a.td4", "hostile"}, {"b.td4", "hostile"}, {"c.td4", "fine"}});
  EXPECT_EQ(u.run(), PK_WARN);
  EXPECT_EQ(ReadFile(u.temp / "victim.txt"), "the user's file");
  EXPECT_TRUE(fs::is_symlink(u.extraction + "/a.td4"));
  EXPECT_TRUE(fs::is_directory(u.extraction + "/b.td4"));
  EXPECT_EQ(ReadFile(u.extraction + "/c.td4"), "fine");
}

TEST(WizSingleEntryUnzip, ReplacesAnExistingFileOfTheSameNameUnasked) {
  Unzip u;
  WriteFile(u.extraction + "/a.td4", "old");
  int asked = 0;
  u.callbacks.replace = [&asked](char*, unsigned) { return ++asked, IDM_REPLACE_NO; };
  WriteArchive(u.archive, {{"one/a.td4", "first"}, {"two/a.td4", "second"}});
  EXPECT_EQ(u.run(), PK_OK);
  EXPECT_EQ(ReadFile(u.extraction + "/a.td4"), "second");
  EXPECT_EQ(asked, 0);
}

TEST(WizSingleEntryUnzip, AsksTheReplaceRoutineWhenNotToldToOverwrite) {
  struct Case {
    std::vector<int> answers;
    const char* a;
    const char* b;
    int asked;
  };
  const Case cases[] = {
      {{IDM_REPLACE_YES, IDM_REPLACE_YES}, "new a", "new b", 2},
      {{IDM_REPLACE_NO, IDM_REPLACE_YES}, "old a", "new b", 2},
      {{IDM_REPLACE_NONE}, "old a", "old b", 1},
      {{IDM_REPLACE_ALL}, "new a", "new b", 1},
  };
  for (const Case& c : cases) {
    Unzip u;
    u.options.noflag = 0;
    WriteFile(u.extraction + "/a.td4", "old a");
    WriteFile(u.extraction + "/b.td4", "old b");
    WriteArchive(u.archive, {{"a.td4", "new a"}, {"b.td4", "new b"}, {"c.td4", "new c"}});
    std::vector<std::string> names;
    size_t next = 0;
    u.callbacks.replace = [&](char* name, unsigned size) {
      EXPECT_EQ(size, kReplaceNameBufferSize);
      names.emplace_back(name);
      return next < c.answers.size() ? c.answers[next++] : IDM_REPLACE_NO;
    };
    EXPECT_EQ(u.run(), PK_OK);
    EXPECT_EQ(ReadFile(u.extraction + "/a.td4"), c.a);
    EXPECT_EQ(ReadFile(u.extraction + "/b.td4"), c.b);
    EXPECT_EQ(ReadFile(u.extraction + "/c.td4"), "new c");  // nothing in the way: not asked
    EXPECT_EQ(names.size(), static_cast<size_t>(c.asked));
    EXPECT_EQ(names.front(), "a.td4");
  }
}

TEST(WizSingleEntryUnzip, SkipsMembersBeyondTheSizeLimitsWithAWarning) {
  {
    Unzip u;
    WriteArchive(u.archive, {{"big.td4", std::string(2000, 'b')}, {"small.td4", "s"}});
    EXPECT_EQ(u.run(UnzipLimits{1000, 1u << 20}), PK_WARN);
    EXPECT_EQ(u.extracted(), (Files{"small.td4"}));
  }
  {
    Unzip u;
    const std::string k(1000, 'k');
    WriteArchive(u.archive, {{"1.td4", k}, {"2.td4", k}, {"3.td4", k}, {"4.td4", "x"}});
    EXPECT_EQ(u.run(UnzipLimits{1000, 2500}), PK_WARN);
    // The third would pass the archive's limit; a small one after it still fits.
    EXPECT_EQ(u.extracted(), (Files{"1.td4", "2.td4", "4.td4"}));
  }
}

// Sets the uncompressed size the local and central headers of the only member claim.
void ClaimSize(const std::string& path, std::uint32_t size) {
  std::string bytes = ReadFile(path);
  auto put = [&bytes, size](size_t at) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((size >> (8 * i)) & 0xff);
  };
  ASSERT_EQ(bytes.compare(0, 4, "PK\3\4"), 0);
  put(22);
  const size_t central = bytes.find("PK\1\2");
  ASSERT_NE(central, std::string::npos);
  put(central + 24);
  WriteFile(path, bytes);
}

TEST(WizSingleEntryUnzip, CountsWhatComesOutNotWhatTheHeadersClaim) {
  Unzip u;
  WriteArchive(u.archive, {{"bomb.td4", std::string(200000, '\0')}});
  ClaimSize(u.archive, 100);
  EXPECT_EQ(u.run(UnzipLimits{4096, 1u << 20}), PK_WARN);
  EXPECT_EQ(u.extracted(), Files{});  // no partial file, no temporary file
}

TEST(WizSingleEntryUnzip, GivesTheLibrarysCodesForBrokenArchivesAndLeavesNothing) {
  std::string whole;
  {
    Unzip model;
    WriteArchive(model.archive,
                 {{"a.td4", std::string(3000, 'a') + std::string(3000, 'z')}, {"b.td4", "b"}});
    whole = ReadFile(model.archive);
  }
  std::string corrupt = whole;
  corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);  // inside a.td4's deflated data
  corrupt[41] = static_cast<char>(corrupt[41] ^ 0x55);
  struct Case {
    const char* what;
    std::optional<std::string> bytes;
    int code;
    Files left;
  };
  const Case cases[] = {
      {"no such file", std::nullopt, PK_NOZIP, {}},
      {"not a zip", std::string("these are not the bytes of a zip archive"), PK_NOZIP, {}},
      {"empty file", std::string(), PK_NOZIP, {}},
      {"no members", std::string("PK\5\6") + std::string(18, '\0'), PK_WARN, {}},
      {"directory cut off", whole.substr(0, whole.size() - 30), PK_NOZIP, {}},
      {"bad compressed data", corrupt, PK_ERR, {"b.td4"}},
  };
  for (const Case& c : cases) {
    Unzip u;
    if (c.bytes) WriteFile(u.archive, *c.bytes);
    EXPECT_EQ(u.run(), c.code) << c.what;
    EXPECT_EQ(u.extracted(), c.left) << c.what;
  }
}

const zip_uint16_t kEncryptions[] = {ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_256};

// An archive with two members encrypted by "secret" and one plain one; made again until a
// wrong password the test relies on is refused by the check value.
void WriteSecretArchive(const std::string& path, zip_uint16_t encryption,
                        zip_int32_t method = ZIP_CM_DEFLATE) {
  do {
    WriteArchive(path, {{"a.td4", "alpha alpha", method, encryption, "secret"},
                        {"b.td4", "bravo bravo", method, encryption, "secret"},
                        {"plain.td4", "plain"}});
  } while (OpensWith(path, "wrong"));
}

TEST(WizSingleEntryUnzip, DecryptsWithThePasswordTheRoutineGivesAndReusesIt) {
  for (zip_uint16_t encryption : kEncryptions) {
    Unzip u;
    WriteSecretArchive(u.archive, encryption);
    std::vector<std::string> answers = {"wrong", "secret"};
    std::vector<std::string> members;
    u.callbacks.password = [&](char* buffer, int size, const char*, const char* member) {
      EXPECT_EQ(size, kPasswordBufferSize);
      EXPECT_EQ(std::string(buffer, static_cast<size_t>(size)),
                std::string(static_cast<size_t>(size), '\0'));
      members.emplace_back(member);
      std::strcpy(buffer, answers[members.size() - 1].c_str());
      return IZ_PW_ENTERED;
    };
    EXPECT_EQ(u.run(), PK_OK) << encryption;
    EXPECT_EQ(members, (Files{"a.td4", "a.td4"})) << encryption;
    EXPECT_EQ(ReadFile(u.extraction + "/a.td4"), "alpha alpha");
    EXPECT_EQ(ReadFile(u.extraction + "/b.td4"), "bravo bravo");
  }
}

TEST(WizSingleEntryUnzip, SkipsEncryptedMembersWithoutAPassword) {
  for (zip_uint16_t encryption : kEncryptions) {
    for (int answer : {1, IZ_PW_CANCEL, IZ_PW_CANCELALL}) {
      Unzip u;
      WriteSecretArchive(u.archive, encryption);
      int asked = 0;
      u.callbacks.password = [&](char*, int, const char*, const char*) { return ++asked, answer; };
      EXPECT_EQ(u.run(), PK_WARN) << encryption << " " << answer;
      EXPECT_EQ(u.extracted(), (Files{"plain.td4"}));
      EXPECT_EQ(asked, answer == IZ_PW_CANCELALL ? 1 : 2);
    }
    // Every member refused for its password gives the code of its own.
    Unzip u;
    WriteArchive(u.archive, {{"a.td4", "alpha", ZIP_CM_DEFLATE, encryption, "secret"}});
    EXPECT_EQ(u.run(), IZ_BADPWD);
    EXPECT_EQ(u.extracted(), Files{});
  }
}

TEST(WizSingleEntryUnzip, GivesUpAfterThreeWrongPasswordsForAMember) {
  Unzip u;
  WriteSecretArchive(u.archive, ZIP_EM_AES_256);
  int asked = 0;
  u.callbacks.password = [&](char* buffer, int, const char*, const char*) {
    std::strcpy(buffer, "wrong");
    return ++asked, IZ_PW_ENTERED;
  };
  EXPECT_EQ(u.run(), PK_WARN);
  EXPECT_EQ(asked, 6);
  EXPECT_EQ(u.extracted(), (Files{"plain.td4"}));
}

// A traditional encryption header checks one byte, so about one wrong password in 256
// passes the check; reading such a member to its end fails and must leave nothing behind.
TEST(WizSingleEntryUnzip, DropsAMemberAWrongPasswordGotPastTheCheckWith) {
  for (zip_int32_t method : {ZIP_CM_STORE, ZIP_CM_DEFLATE}) {
    Unzip u;
    WriteArchive(u.archive,
                 {{"a.td4", std::string(4000, 'a'), method, ZIP_EM_TRAD_PKWARE, "secret"},
                  {"plain.td4", "plain"}});
    std::string lucky;
    for (int i = 0; lucky.empty() && i < 100000; ++i) {
      const std::string candidate = "guess" + std::to_string(i);
      if (OpensWith(u.archive, candidate)) lucky = candidate;
    }
    ASSERT_FALSE(lucky.empty());
    u.callbacks.password = [&lucky](char* buffer, int, const char*, const char*) {
      std::strcpy(buffer, lucky.c_str());
      return IZ_PW_ENTERED;
    };
    EXPECT_EQ(u.run(), PK_ERR) << method;
    EXPECT_EQ(u.extracted(), (Files{"plain.td4"})) << method;
  }
}

TEST(WizSingleEntryUnzip, TakesTheMembersTheListsSelect) {
  struct Case {
    std::vector<std::string> include, exclude;
    bool ignoreCase;
    int code;
    Files files;
  };
  const Case cases[] = {
      {{}, {}, false, PK_OK, {"A.TD4", "author.txt", "b.td4"}},
      {{"*.td4"}, {}, false, PK_OK, {"b.td4"}},
      {{"*.td4"}, {}, true, PK_OK, {"A.TD4", "b.td4"}},
      {{}, {"*.txt"}, false, PK_OK, {"A.TD4", "b.td4"}},
      {{"x/?.td4"}, {}, false, PK_OK, {"b.td4"}},
      {{"*.td4", "*.xyz"}, {}, false, PK_FIND, {"b.td4"}},
      {{"*.xyz"}, {}, false, PK_FIND, {}},
      {{}, {"*.xyz"}, false, PK_WARN, {"A.TD4", "author.txt", "b.td4"}},
  };
  for (const Case& c : cases) {
    Unzip u;
    u.options.C_flag = c.ignoreCase;
    WriteArchive(u.archive, {{"A.TD4", "a"}, {"x/b.td4", "b"}, {"author.txt", "Ann"}});
    EXPECT_EQ(u.run(c.include, c.exclude), c.code);
    EXPECT_EQ(u.extracted(), c.files);
  }
}

TEST(WizSingleEntryUnzip, StopsWhenTheServiceRoutineSaysSo) {
  Unzip u;
  WriteArchive(u.archive, {{"a.td4", "a"}, {"b.td4", "b"}, {"c.td4", "c"}});
  std::vector<std::string> seen;
  u.callbacks.ServCallBk = [&seen](const char* member, std::uint64_t) {
    seen.emplace_back(member);
    return seen.size() == 2 ? 1 : 0;
  };
  EXPECT_EQ(u.run(), IZ_CTRLC);
  EXPECT_EQ(seen, (Files{"a.td4", "b.td4"}));
  EXPECT_EQ(u.extracted(), (Files{"a.td4", "b.td4"}));
}

}  // namespace
}  // namespace velodex
