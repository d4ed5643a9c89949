// The unzip layer: extracts one zip archive over libzip in the one way the archive loading
// needs, answering with the classic unzip library's return codes (the run shows a non-zero
// one as its number). Every member lands directly in the extraction folder under the last
// part of its stored name; nothing is written outside that folder, no link is followed or
// made, and oversized members are refused.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velodex {

// Return codes of Wiz_SingleEntryUnzip, with the classic library's numbers. When several
// things went wrong, the highest of 1 to 51 wins; 81 and 82 stand only where otherwise 0 or
// 1 would be given.
inline constexpr int PK_OK = 0;       // every member was put in place
inline constexpr int PK_WARN = 1;     // some members were skipped (Wiz_SingleEntryUnzip says
                                      // why), or the archive holds no members at all
inline constexpr int PK_ERR = 2;      // a member's data is bad (CRC, compressed data), a file
                                      // could not be written, or the folder could not be made
inline constexpr int PK_BADERR = 3;   // the archive's structure is inconsistent or unreadable
inline constexpr int PK_MEM = 4;      // out of memory while opening the archive
inline constexpr int PK_MEM3 = 6;     // out of memory while decompressing a member
inline constexpr int PK_NOZIP = 9;    // no such archive, or not a zip archive
inline constexpr int PK_DISK = 50;    // the disk is full; later members were not tried (on
                                      // Windows a full disk gives PK_ERR)
inline constexpr int PK_EOF = 51;     // the archive ends early
inline constexpr int IZ_UNSUP = 81;   // members skipped for a compression or encryption method
                                      // this layer does not read (named in the print text)
inline constexpr int IZ_BADPWD = 82;  // every member skipped for a wrong or missing password

// The password routine's answer when it has stored a password; any other answer means none.
inline constexpr int IZ_PW_ENTERED = 0;
// Size of the buffer handed to the password routine: 80 characters and a terminating zero.
inline constexpr int kPasswordBufferSize = 81;

// Members larger than this are skipped (PK_WARN) rather than filling the disk; the bytes
// actually decompressed are counted too, whatever the archive's headers claim.
inline constexpr std::uint64_t kMaxMemberSize = std::uint64_t{64} << 20;
// At most this many bytes are written for one archive; later members are skipped (PK_WARN).
inline constexpr std::uint64_t kMaxArchiveSize = std::uint64_t{1} << 30;

struct UnzipLimits {
  std::uint64_t maxMemberSize = kMaxMemberSize;
  std::uint64_t maxArchiveSize = kMaxArchiveSize;
};

// What to extract, and where to.
struct DCL {
  std::string lpszZipFN;       // the archive path
  std::string lpszExtractDir;  // the extraction folder; made when missing (not its parents)
};

// The routines the layer calls back. Either may be left empty: no print routine shows
// nothing, no password routine gives no password.
struct USERFUNCTIONS {
  // One message line, newline included, and its length: "  inflating: NAME" for each file
  // put in place, "skipping: STORED  (REASON)" for each member left out, "error: ..." for
  // each failure behind a code of 2 or more. An unread method is named, as in "skipping:
  // a.td4  (unsupported compression method 9, deflate64)". Returns are ignored.
  std::function<int(char* text, unsigned long size)> print;
  // Asked for an encrypted member: a zeroed buffer of bufferSize bytes, a prompt ("Enter
  // the password for " or, after a wrong one, "Wrong password; again for ") and the
  // member's stored name. Answers IZ_PW_ENTERED with a password in the buffer, anything
  // else for none.
  std::function<int(char* buffer, int bufferSize, const char* prompt, const char* member)> password;
};

// Extracts every member of the archive options.lpszZipFN into options.lpszExtractDir and
// returns one of the codes above; a bad archive is a code, never an exception.
// - Each member is written under the last part of its stored name (split at '/' and '\'),
//   stored folders dropped, replacing a regular file of that name unasked (an earlier
//   member's too): there is no replace question. A file appears only once its member was
//   read whole with a good CRC (written under a temporary name, then renamed into place).
// - Skipped with PK_WARN: members that leave no safe name (WrittenName); links and special
//   files; a name held by a link, folder or other non-file; members over the limits.
// - Encrypted members: a password that opened an earlier member of this archive is tried
//   first, then the password routine is asked up to three times for the member; without a
//   password that opens it the member is skipped (PK_WARN, or IZ_BADPWD when every member
//   was). The password question is the only one the layer asks.
// An exception thrown by a callback passes through unchanged, leaving no temporary file.
int Wiz_SingleEntryUnzip(const DCL& options, USERFUNCTIONS& callbacks,
                         const UnzipLimits& limits = {});

}  // namespace velodex
