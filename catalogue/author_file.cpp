// Reading author.txt one block at a time.
#include "catalogue/author_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "catalogue/file_system.h"

namespace velodex {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

AuthorInfo ReadAuthorFile(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw FileError("read", path, errno);

  AuthorInfo info;
  info.author.clear();
  std::string line;
  bool inLine = false;       // bytes seen since the last line end
  bool afterReturn = false;  // the last byte was CR, so an LF now ends nothing new
  std::size_t lineNumber = 0;
  const auto endLine = [&] {
    (++lineNumber == 1 ? info.author : info.link) = line;
    line.clear();
    inLine = false;
  };

  const std::unique_ptr<char[]> block(new char[kBlockSize]);
  std::size_t size;
  while ((size = std::fread(block.get(), 1, kBlockSize, file.get())) > 0) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = block[i];
      if (afterReturn) {
        afterReturn = false;
        if (c == '\n') continue;
      }
      if (c == '\r' || c == '\n') {
        endLine();
        afterReturn = c == '\r';
      } else {
        inLine = true;
        if (line.size() < kAuthorTextLimit) line.push_back(c);
      }
    }
  }
  if (std::ferror(file.get())) throw FileError("read", path, errno);
  if (inLine) endLine();
  return info;
}

}  // namespace velodex
