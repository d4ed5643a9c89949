// Texts read as UTF-8 (Utf8Text): in the ANSI code page on Windows, unchanged on POSIX; and a
// failed system call told in the same words on both.
#include <gtest/gtest.h>

#ifdef _WIN32
#include "catalogue/windows_api.h"
#endif

#include "catalogue/run_lock.h"
#include "catalogue/utf8_text.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

TEST(Utf8Text, ReadsTheWindowsCodePageAndLeavesPosixBytesAsTheyAre) {
  const std::pair<std::string, std::string> cases[] = {
      // The text, and its UTF-8 on Windows in code page 1252 (Wine's).
      {"Loop 2", "Loop 2"},
      {"Caf\xe9 \x80\x84\x85", "Caf\xc3\xa9 \xe2\x82\xac\xe2\x80\x9e\xe2\x80\xa6"},  // é € „ …
      {"\x92\x8c \x81", "\xe2\x80\x99\xc5\x92 \xc2\x81"},  // ’ Œ; 0x81, undefined, as U+0081
      {"Caf\xc3\xa9", "Caf\xc3\x83\xc2\xa9"},              // UTF-8 bytes are code page letters
  };
#ifdef _WIN32
  // The expected texts are those of the Western code page (Wine's default); another system
  // reads the same bytes as other letters, rightly.
  if (GetACP() != 1252) GTEST_SKIP() << "the system's code page is " << GetACP();
#endif
  for (const auto& [text, windows] : cases) {
    std::string storage;
#ifdef _WIN32
    EXPECT_EQ(Utf8Text(text, storage), windows) << text;
#else
    EXPECT_EQ(Utf8Text(text, storage), text);
#endif
  }
}

TEST(RunLock, NamesTheLockFileAndTheCauseInTheWordsOfEveryOtherFailure) {
  testing::TempFolder folder;
  const std::string catalogue = folder / "missing/velodex.mdb";
  EXPECT_EQ(testing::ErrorOf([&] { RunLock lock(catalogue); }),
            "cannot lock '" + catalogue + ".lock': No such file or directory");
}

}  // namespace
}  // namespace velodex
