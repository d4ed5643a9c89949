// Feeds arbitrary bytes as a zip archive through the unzip layer, with the options the
// archive loading uses, into a scratch extraction folder. Besides the sanitizers' findings,
// it stops on any file the layer leaves outside that folder, any link or folder inside it,
// any file inside it that the layer did not report as extracted (a temporary or partial
// file left behind), and any file larger than the member limit.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "files/unzip_layer.h"

namespace fs = std::filesystem;

namespace {

// Small limits keep each run fast; the checks are the same as with the real ones.
constexpr std::uint64_t kMemberLimit = 1 << 20;
const velodex::UnzipLimits kLimits{kMemberLimit, 4 * kMemberLimit};

struct Scratch {
  fs::path root;
  fs::path archive;
  fs::path extraction;
};

const Scratch& ScratchFolders() {
  static const Scratch scratch = [] {
    std::string pattern = (fs::temp_directory_path() / "velodex-unzip-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    Scratch made;
    made.root = pattern;
    made.archive = made.root / "archive.zip";
    made.extraction = made.root / "quilltemp";
    fs::create_directory(made.extraction);
    return made;
  }();
  return scratch;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "unzip_fuzzer: %s\n", what.c_str());
  std::abort();
}

// Checks the scratch folders hold only what they may, then empties the extraction folder.
void CheckAndClear(const Scratch& scratch, const std::set<std::string>& reported) {
  for (const fs::directory_entry& entry : fs::directory_iterator(scratch.root)) {
    if (entry.path() != scratch.archive && entry.path() != scratch.extraction) {
      Fail("written outside the extraction folder: " + entry.path().string());
    }
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(scratch.extraction)) {
    const fs::file_status status = entry.symlink_status();
    if (!fs::is_regular_file(status)) Fail("not a regular file: " + entry.path().string());
    if (reported.count(entry.path().filename().string()) == 0) {
      Fail("not reported as extracted: " + entry.path().string());
    }
    if (fs::file_size(entry.path()) > kMemberLimit) Fail("oversized: " + entry.path().string());
    fs::remove(entry.path());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scratch& scratch = ScratchFolders();
  {
    std::ofstream out(scratch.archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) Fail("cannot write the scratch archive");
  }

  velodex::DCL options;
  options.lpszZipFN = scratch.archive.string();
  options.lpszExtractDir = scratch.extraction.string();

  // One password per archive, so encrypted members reach the decryption and CRC checks
  // (archives made with the password "fuzz" by the seed corpus get past the check byte).
  int passwordsAsked = 0;
  velodex::USERFUNCTIONS callbacks;
  // The layer reports each file it has put in place as "  inflating: NAME".
  std::set<std::string> reported;
  callbacks.print = [&reported](char* text, unsigned long length) {
    static const std::string kPrefix = "  inflating: ";
    std::string message(text, length);
    if (message.rfind(kPrefix, 0) == 0 && !message.empty() && message.back() == '\n') {
      reported.insert(message.substr(kPrefix.size(), message.size() - kPrefix.size() - 1));
    }
    return 0;
  };
  callbacks.password = [&passwordsAsked](char* buffer, int bufferSize, const char*, const char*) {
    if (passwordsAsked++ > 0 || bufferSize < 5) return 1;
    std::snprintf(buffer, static_cast<std::size_t>(bufferSize), "%s", "fuzz");
    return velodex::IZ_PW_ENTERED;
  };

  const int code = velodex::Wiz_SingleEntryUnzip(options, callbacks, kLimits);
  if (code < 0) Fail("negative return code " + std::to_string(code));
  CheckAndClear(scratch, reported);
  return 0;
}
