// The author.txt an archive may carry: its first line names the author of the archive's
// designs, its last later line the author's link. The file comes from whoever made the
// archive, so what is kept of it is bounded however large it is.
#pragma once

#include <cstddef>
#include <string>

namespace velodex {

// The author texts stored with every design of one scan.
struct AuthorInfo {
  std::string author = "Anonymous";
  std::string link = "none";
};

// The most bytes of the author, and of the link, that are kept; the rest of a longer line is
// read past and dropped, so a huge line costs neither memory nor catalogue space.
inline constexpr std::size_t kAuthorTextLimit = 1024;

// Reads an author.txt: line 1 is the author, every later line replaces the link (the last
// wins), each cut to kAuthorTextLimit bytes. CR LF, LF and CR all end a line. No lines leaves
// the author empty and the link "none". Reads in small blocks, never the whole file at once.
// Throws Error naming the file when it cannot be read.
AuthorInfo ReadAuthorFile(const std::string& path);

}  // namespace velodex
