// What an archive's extraction code means, in words a user can act on, and the one-line
// account of an archive problem that both front ends show.
#pragma once

#include <string>
#include <vector>

namespace velodex {

// The code followed by its meaning in brackets, as "82 (wrong password)"; a code without a
// known meaning is "N (unknown problem)".
std::string ArchiveCodeText(int code);

// "archive 'ARCHIVE': CODE (MEANING)", then "; " and each detail (what befell which member,
// as "member 'a.td4': unsupported compression method 9, deflate64"), at most three, then
// "; and N more".
std::string ArchiveProblemText(const std::string& archive, int code,
                               const std::vector<std::string>& details);

}  // namespace velodex
