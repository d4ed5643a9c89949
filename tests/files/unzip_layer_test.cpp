// The unzip layer on archives made here with libzip: flattened names, hostile names, links,
// size limits, broken archives, unread methods, both kinds of encryption, and the codes.
#include "files/unzip_layer.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
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
using Files = std::vector<std::string>;

// True when libzip itself accepts password for a member (the check value matches).
bool OpensWith(const std::string& path, const std::string& password, zip_uint64_t index = 0) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr) return false;
  zip_file_t* file = zip_fopen_index_encrypted(archive, index, 0, password.c_str());
  if (file != nullptr) zip_fclose(file);
  zip_discard(archive);
  return file != nullptr;
}

// The bytes of an archive holding members.
std::string ArchiveBytes(const std::vector<Member>& members) {
  TempFolder temp;
  WriteArchive(temp / "a.zip", members);
  return ReadFile(temp / "a.zip");
}

// bytes with a little-endian field of the first member set in its local and central headers.
std::string PatchFirstMember(std::string bytes, size_t localAt, size_t centralAt, uint32_t value,
                             int width) {
  for (size_t at : {localAt, bytes.find("PK\1\2") + centralAt}) {
    for (int i = 0; i < width; ++i) bytes.at(at + i) = static_cast<char>(value >> (8 * i));
  }
  return bytes;
}
std::string ClaimSize(const std::string& bytes, uint32_t size) {
  return PatchFirstMember(bytes, 22, 24, size, 4);
}
std::string SetMethod(const std::string& bytes, uint16_t method) {
  return PatchFirstMember(bytes, 8, 10, method, 2);
}

// An archive beside its extraction folder; the print routine's lines are kept.
class Unzip {
 public:
  Unzip() {
    options.lpszZipFN = archive;
    options.lpszExtractDir = extraction;
    fs::create_directory(extraction);
    callbacks.print = [this](char* text, unsigned long size) {
      printed.emplace_back(text, size);
      return 0;
    };
  }
  int run(const UnzipLimits& limits = {}) {
    return Wiz_SingleEntryUnzip(options, callbacks, limits);
  }
  Files extracted() const { return ListFolder(extraction); }

  TempFolder temp;
  std::string archive = temp / "archive.zip";
  std::string extraction = temp / "quilltemp";
  DCL options;
  USERFUNCTIONS callbacks;
  Files printed;
};

TEST(WizSingleEntryUnzip, PutsEveryMemberDirectlyIntoTheFolderReplacingFilesOfTheSameName) {
  Unzip u;
  WriteFile(u.extraction + "/a.td4", "old");
  WriteArchive(u.archive, {{"tracks/", ""},
                           {"tracks/a.td4", "first"},
                           {"other/a.td4", "alpha"},
                           {"b.td4", "bravo", ZIP_CM_STORE},
                           {"x/y/z/c.td4", std::string(5000, 'c'), ZIP_CM_BZIP2},
                           {"dos\\style\\d.td4", "delta"}});
  EXPECT_EQ(u.run(), PK_OK);
  EXPECT_EQ(u.extracted(), (Files{"a.td4", "b.td4", "c.td4", "d.td4"}));
  EXPECT_EQ(ReadFile(u.extraction + "/a.td4"), "alpha");
  EXPECT_EQ(ReadFile(u.extraction + "/c.td4"), std::string(5000, 'c'));
  EXPECT_EQ(u.printed[0], "  inflating: a.td4\n");
  EXPECT_EQ(ListFolder(u.temp.path()), (Files{"archive.zip", "quilltemp"}));
}

// Hostile, oversized, broken and unread archives: the code and what is left in the folder
// (nothing outside it, never a link); an unread method is named in the skip line.
TEST(WizSingleEntryUnzip, GivesEachArchiveItsCodeAndKeepsEveryFileInsideTheFolder) {
  const Member ok("ok.td4", "fine", ZIP_CM_STORE, ZIP_EM_NONE, "", 0100644u);
  const auto beside = [&ok](Member m) { return ArchiveBytes({std::move(m), ok}); };
  const auto unix = [&beside](const char* name, zip_uint32_t mode) {
    return beside(Member(name, "/etc/passwd", ZIP_CM_STORE, ZIP_EM_NONE, "", mode));
  };
  const std::string k(1000, 'k');
  const std::string whole =
      ArchiveBytes({{"a.td4", std::string(3000, 'a') + std::string(3000, 'z')}, {"b.td4", "b"}});
  std::string corrupt = whole;
  corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);  // inside a.td4's deflated data
  corrupt[41] = static_cast<char>(corrupt[41] ^ 0x55);
  const Member stored("a.td4", "alpha", ZIP_CM_STORE);
  struct Case {
    std::string what;
    std::optional<std::string> bytes;
    int code;
    Files left;
    UnzipLimits limits = {};
    std::string method = {};  // as the skip line names it
  };
  // clang-format off
  const Case cases[] = {
      {"../up.td4", beside({"../up.td4", "1"}), PK_OK, {"ok.td4", "up.td4"}},
      {"deep", beside({"../../../../../../tmp/deep.td4", "1"}), PK_OK, {"deep.td4", "ok.td4"}},
      {"/abs", beside({"/abs/root.td4", "1"}), PK_OK, {"ok.td4", "root.td4"}},
      {"..\\", beside({"..\\..\\win.td4", "1"}), PK_OK, {"ok.td4", "win.td4"}},
      {"C:\\", beside({"C:\\drive.td4", "1"}), PK_OK, {"drive.td4", "ok.td4"}},
      {"./..", beside({"a/./b/../dot.td4", "1"}), PK_OK, {"dot.td4", "ok.td4"}},
      {"..", beside({"..", "1"}), PK_WARN, {"ok.td4"}},
      {".", beside({".", "1"}), PK_WARN, {"ok.td4"}},
      {"x/..", beside({"x/..", "1"}), PK_WARN, {"ok.td4"}},
      {"x\\..", beside({"x\\..", "1"}), PK_WARN, {"ok.td4"}},
      {"256 bytes", beside({std::string(256, 'n'), "1"}), PK_WARN, {"ok.td4"}},
      {"link", unix("link.td4", 0120777u), PK_WARN, {"ok.td4"}},
      {"fifo", unix("fifo.td4", 0010644u), PK_WARN, {"ok.td4"}},
      {"device", unix("device.td4", 0020644u), PK_WARN, {"ok.td4"}},
      {"socket", unix("socket.td4", 0140755u), PK_WARN, {"ok.td4"}},
      {"member limit", beside({"big.td4", std::string(2000, 'b')}), PK_WARN, {"ok.td4"}, {1000}},
      // The third would pass the archive's limit; a small one after it still fits.
      {"archive limit", ArchiveBytes({{"1", k}, {"2", k}, {"3", k}, {"4", "x"}}), PK_WARN,
       {"1", "2", "4"}, {1000, 2500}},
      // Headers that understate the size: no partial file, no temporary file.
      {"size understated", ClaimSize(ArchiveBytes({{"bomb", std::string(200000, '\0')}}), 100),
       PK_WARN, {}, {4096}},
      {"no such file", std::nullopt, PK_NOZIP, {}},
      {"not a zip", std::string("these are not the bytes of a zip archive"), PK_NOZIP, {}},
      {"empty file", std::string(), PK_NOZIP, {}},
      {"no members", std::string("PK\5\6") + std::string(18, '\0'), PK_WARN, {}},
      {"directory cut off", whole.substr(0, whole.size() - 30), PK_NOZIP, {}},
      {"bad compressed data", corrupt, PK_ERR, {"b.td4"}},
      {"deflate64", SetMethod(ArchiveBytes({stored, ok}), 9), IZ_UNSUP, {"ok.td4"}, {},
       "9, deflate64"},
      {"ppmd, bad name", SetMethod(ArchiveBytes({stored, {"..", "b"}}), 98), IZ_UNSUP, {}, {},
       "98, ppmd"},
      {"unknown method", SetMethod(ArchiveBytes({stored}), 77), IZ_UNSUP, {}, {}, "77"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Unzip u;
    if (c.bytes) WriteFile(u.archive, *c.bytes);
    EXPECT_EQ(u.run(c.limits), c.code) << c.what;
    EXPECT_EQ(u.extracted(), c.left) << c.what;
    for (const std::string& name : u.extracted()) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(u.extraction + "/" + name))) << c.what;
    }
    EXPECT_EQ(ListFolder(u.temp.path()),
              (c.bytes ? Files{"archive.zip", "quilltemp"} : Files{"quilltemp"}))
        << c.what;
    if (!c.method.empty()) {
      EXPECT_EQ(u.printed.at(0),
                "skipping: a.td4  (unsupported compression method " + c.method + ")\n");
    }
  }
}

TEST(WizSingleEntryUnzip, NeverWritesThroughALinkOrOverAFolderInTheWay) {
  Unzip u;
  WriteFile(u.temp / "victim.txt", "the user's file");
  fs::create_symlink(u.temp / "victim.txt", u.extraction + "/a.td4");
  fs::create_symlink(u.temp / "missing.txt", u.extraction + "/b.td4");
  fs::create_directory(u.extraction + "/c.td4");
  WriteArchive(
      u.archive,
      {{"a.td4", "hostile"}, {"b.td4", "hostile"}, {"c.td4", "hostile"}, {"d.td4", "fine"}});
  EXPECT_EQ(u.run(), PK_WARN);
  EXPECT_EQ(ReadFile(u.temp / "victim.txt"), "the user's file");
  EXPECT_FALSE(fs::exists(u.temp / "missing.txt"));
  EXPECT_TRUE(fs::is_symlink(u.extraction + "/a.td4"));
  EXPECT_TRUE(fs::is_symlink(u.extraction + "/b.td4"));
  EXPECT_TRUE(fs::is_directory(u.extraction + "/c.td4"));
  EXPECT_EQ(ReadFile(u.extraction + "/d.td4"), "fine");
}

// An archive with two members encrypted by "secret" and one plain one; made again until a
// wrong password the test relies on is refused by both check values.
void WriteSecretArchive(const std::string& path, zip_uint16_t encryption) {
  do {
    WriteArchive(path, {{"a.td4", "alpha alpha", ZIP_CM_DEFLATE, encryption, "secret"},
                        {"b.td4", "bravo bravo", ZIP_CM_DEFLATE, encryption, "secret"},
                        {"plain.td4", "plain"}});
  } while (OpensWith(path, "wrong", 0) || OpensWith(path, "wrong", 1));
}

// The password routine answers from a list (nullopt: no password) and records the members
// it was asked for; a password that opened one member opens the next unasked.
TEST(WizSingleEntryUnzip, AsksForPasswordsUpToThreeTimesPerMemberAndReusesAGoodOne) {
  using Answers = std::vector<std::optional<std::string>>;
  struct Case {
    Answers answers;
    int code;
    Files asked;
    Files files;
  };
  const std::string w = "wrong";
  const Case cases[] = {
      {{w, "secret"}, PK_OK, {"a.td4", "a.td4"}, {"a.td4", "b.td4", "plain.td4"}},
      {{std::nullopt, std::nullopt}, PK_WARN, {"a.td4", "b.td4"}, {"plain.td4"}},
      {{w, w, w, "secret"}, PK_WARN, {"a.td4", "a.td4", "a.td4", "b.td4"}, {"b.td4", "plain.td4"}},
      {{w, w, w, w, w, w},
       PK_WARN,
       {"a.td4", "a.td4", "a.td4", "b.td4", "b.td4", "b.td4"},
       {"plain.td4"}},
  };
  for (zip_uint16_t encryption : {ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_256}) {
    for (const Case& c : cases) {
      Unzip u;
      WriteSecretArchive(u.archive, encryption);
      Files asked;
      u.callbacks.password = [&](char* buffer, int size, const char*, const char* member) {
        EXPECT_EQ(size, kPasswordBufferSize);
        EXPECT_EQ(std::string(buffer, size), std::string(size, '\0'));
        asked.emplace_back(member);
        const std::optional<std::string>& answer = c.answers.at(asked.size() - 1);
        if (!answer) return 1;
        std::strcpy(buffer, answer->c_str());
        return IZ_PW_ENTERED;
      };
      EXPECT_EQ(u.run(), c.code) << encryption;
      EXPECT_EQ(asked, c.asked) << encryption;
      EXPECT_EQ(u.extracted(), c.files) << encryption;
      if (c.code == PK_OK) {
        EXPECT_EQ(ReadFile(u.extraction + "/b.td4"), "bravo bravo");
      }
    }
    // Every member refused for its password gives the code of its own.
    Unzip u;
    WriteArchive(u.archive, {{"a.td4", "alpha", ZIP_CM_DEFLATE, encryption, "secret"}});
    EXPECT_EQ(u.run(), IZ_BADPWD);
    EXPECT_EQ(u.extracted(), Files{});
  }
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

}  // namespace
}  // namespace velodex
