// Texts from files and names as UTF-8 (Utf8Text): read in the ANSI code page on Windows,
// passed through unchanged on POSIX. The same table runs on both, each with its own column.
// And a failed system call told in the same words on both.
#include <gtest/gtest.h>

#include "catalogue/run_lock.h"
#include "catalogue/utf8_text.h"
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace velodex {
namespace {

TEST(Utf8Text, ReadsTheWindowsCodePageAndLeavesPosixBytesAsTheyAre) {
#ifdef _WIN32
  // The Windows column is written for code page 1252 (the Western one, which Wine gives).
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP() << ", not 1252";
#endif
  const struct {
    std::string in, windows;  // on POSIX the result is in itself
  } cases[] = {
      {"Loop 2.td4", "Loop 2.td4"},
      {"Caf\xe9.td4", "Caf\xc3\xa9.td4"},                                  // é
      {"\x80 and \x84\x85", "\xe2\x82\xac and \xe2\x80\x9e\xe2\x80\xa6"},  // € „ …
      {"Ann\x92s \x8c", "Ann\xe2\x80\x99s \xc5\x92"},                      // ’ Œ
      {"a\x81z", "a\xc2\x81z"},                // undefined in 1252: U+0081
      {"Caf\xc3\xa9", "Caf\xc3\x83\xc2\xa9"},  // UTF-8 bytes are code page letters too
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string storage = "left over";
#ifdef _WIN32
    const std::string& expected = c.windows;
#else
    const std::string& expected = c.in;
#endif
    EXPECT_EQ(Utf8Text(c.in, storage), expected) << c.in;
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
