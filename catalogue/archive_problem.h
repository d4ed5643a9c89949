// What an archive's extraction code means, in words a user can act on, and the one-line
// account of an archive problem that both front ends show.
#pragma once

#include <string>

namespace velodex {

// The code followed by its meaning in brackets, as "82 (wrong password)"; a code without a
// known meaning is "N (unknown problem)".
std::string ArchiveCodeText(int code);

// "archive 'ARCHIVE': CODE (MEANING)", or with a member "archive 'ARCHIVE', member 'MEMBER':
// CODE (MEANING)" when the problem belongs to one member.
std::string ArchiveProblemText(const std::string& archive, const std::string& member, int code);

}  // namespace velodex
