// The unzip layer: extracts one zip archive into one folder through the records and entry
// points of the classic unzip library's Windows interface (an options record, a callback
// record, include and exclude lists, PKWARE-style return codes), built over libzip.
// Every member lands directly in the extraction folder under the last component of its
// stored name; nothing is ever written outside that folder, no link is followed or made,
// and oversized members are refused.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velodex {

// Return codes of Wiz_SingleEntryUnzip, with the library's published meanings.
inline constexpr int PK_OK = 0;       // no error
inline constexpr int PK_WARN = 1;     // warning: some members skipped, processing went on
inline constexpr int PK_ERR = 2;      // error in the archive (bad CRC, bad compressed data)
inline constexpr int PK_BADERR = 3;   // severe error in the archive (inconsistent structure)
inline constexpr int PK_MEM = 4;      // insufficient memory (during initialization)
inline constexpr int PK_MEM2 = 5;     // insufficient memory (password failure)
inline constexpr int PK_MEM3 = 6;     // insufficient memory (file decompression)
inline constexpr int PK_MEM4 = 7;     // insufficient memory (memory decompression)
inline constexpr int PK_MEM5 = 8;     // insufficient memory (not used)
inline constexpr int PK_NOZIP = 9;    // archive not found, or not a zip archive
inline constexpr int PK_PARAM = 10;   // bad or unsupported options
inline constexpr int PK_FIND = 11;    // no matching member
inline constexpr int PK_DISK = 50;    // disk full
inline constexpr int PK_EOF = 51;     // unexpected end of the archive
inline constexpr int IZ_CTRLC = 80;   // stopped by the service routine
inline constexpr int IZ_UNSUP = 81;   // members skipped: unsupported compression or encryption
inline constexpr int IZ_BADPWD = 82;  // every member skipped for a bad or missing password

// Answers of the replace routine.
inline constexpr int IDM_REPLACE_NO = 100;      // keep the existing file
inline constexpr int IDM_REPLACE_TEXT = 101;    // not used; taken as "no"
inline constexpr int IDM_REPLACE_YES = 102;     // replace it
inline constexpr int IDM_REPLACE_ALL = 103;     // replace it and every later one unasked
inline constexpr int IDM_REPLACE_NONE = 104;    // keep it and every later one unasked
inline constexpr int IDM_REPLACE_RENAME = 105;  // write under the name left in the buffer
inline constexpr int IDM_REPLACE_HELP = 106;    // not used; taken as "no"

// Answers of the password routine.
inline constexpr int IZ_PW_ENTERED = 0;     // a password is in the buffer; try it
inline constexpr int IZ_PW_CANCEL = -1;     // no password for this member (any other value too)
inline constexpr int IZ_PW_CANCELALL = -2;  // no password, and ask no more in this archive
inline constexpr int IZ_PW_ERROR = 5;       // the routine failed; the member fails with PK_MEM2

// Sizes of the buffers handed to the password and replace routines (terminating zero
// included): 80 password characters, and the 260-byte file name buffer of the library.
inline constexpr int kPasswordBufferSize = 81;
inline constexpr unsigned kReplaceNameBufferSize = 260;

// Members larger than this are skipped with PK_WARN rather than filling the disk; the
// bytes actually decompressed are counted too, whatever the archive's headers claim.
inline constexpr std::uint64_t kMaxMemberSize = std::uint64_t{64} << 20;
// At most this many bytes are written for one archive; later members are skipped (PK_WARN).
inline constexpr std::uint64_t kMaxArchiveSize = std::uint64_t{1} << 30;

struct UnzipLimits {
  std::uint64_t maxMemberSize = kMaxMemberSize;
  std::uint64_t maxArchiveSize = kMaxArchiveSize;
};

// The options record, in the library's order. Every option is 0 unless set.
struct DCL {
  int ExtractOnlyNewer = 0;    // extract only newer files: not supported (PK_PARAM)
  int SpaceToUnderscore = 0;   // spaces in written names become "_"
  int PromptToOverwrite = 0;   // ask the replace routine before replacing an existing file
  int fQuiet = 0;              // 0 every message, 1 warnings and errors only, 2 none
  int ncflag = 0;              // write to standard output: not supported (PK_PARAM)
  int ntflag = 0;              // test only: read every member to its end, write nothing
  int nvflag = 0;              // list through SendApplicationMessage instead of extracting
  int nfflag = 0;              // freshen existing files: not supported (PK_PARAM)
  int nzflag = 0;              // hand the archive comment to the print routine
  int ndflag = 0;              // 0 drops stored folders; anything else is PK_PARAM, since
                               // this layer never makes folders
  int noflag = 0;              // replace existing files without asking
  int naflag = 0;              // end-of-line translation: not supported (PK_PARAM)
  int nZIflag = 0;             // archive information mode: not supported (PK_PARAM)
  int C_flag = 0;              // match the include and exclude lists without regard to case
  int fPrivilege = 0;          // privilege restore: accepted, nothing to restore
  std::string lpszZipFN;       // the archive path
  std::string lpszExtractDir;  // the extraction folder; empty is the current folder
};

// The callback record, in the library's order. A routine may be left empty: no print
// routine shows nothing, no replace routine answers IDM_REPLACE_NONE, no password routine
// gives no password.
struct USERFUNCTIONS {
  // A message text and its length (a terminating zero follows). Returns are ignored.
  std::function<int(char* text, unsigned long size)> print;
  // Called once when an archive has been processed.
  std::function<void()> sound;
  // The name of the file about to be replaced, as written in the extraction folder, in a
  // buffer of bufferSize bytes; answers one of IDM_REPLACE_*.
  std::function<int(char* name, unsigned bufferSize)> replace;
  // A zeroed buffer of bufferSize bytes for the password, the layer's prompt and the
  // member's stored name; answers one of IZ_PW_*.
  std::function<int(char* buffer, int bufferSize, const char* prompt, const char* member)> password;
  // One listing line per member (listing mode only): sizes, saving in percent, month, day,
  // year, hour, minute, '-' when the member grew, stored name, method, CRC, 'E' when
  // encrypted.
  std::function<void(std::uint64_t size, std::uint64_t compressedSize, unsigned factor,
                     unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minute,
                     char sign, const char* name, const char* method, unsigned long crc,
                     char encrypted)>
      SendApplicationMessage;
  // After each member: its stored name and size. A non-zero answer stops with IZ_CTRLC.
  std::function<int(const char* member, std::uint64_t size)> ServCallBk;
  // Totals, filled in listing mode only.
  std::uint64_t TotalSizeComp = 0;
  std::uint64_t TotalSize = 0;
  unsigned CompFactor = 0;
  std::uint64_t NumMembers = 0;
  unsigned short cchComment = 0;  // the archive comment's length
};

struct VersionType {
  unsigned char major = 0;
  unsigned char minor = 0;
  unsigned char patchlevel = 0;
  unsigned char not_used = 0;
};

// The version record. Its published length is 64 bytes, which callers put in structlen.
inline constexpr unsigned long kUzpVer2Length = 64;
struct UzpVer2 {
  unsigned long structlen = 0;
  unsigned long flag = 0;  // bit 1: decompresses with zlib
  char betalevel[10] = {};
  char date[20] = {};
  char zlib_version[10] = {};
  VersionType unzip;
  VersionType zipinfo;
  VersionType os2dll;
  VersionType windll;
};

// Fills the version record with this layer's version (the program's) and returns 0; when
// structlen is not kUzpVer2Length it fills nothing and returns kUzpVer2Length.
unsigned UzpVersion2(UzpVer2& version);

// Extracts (or tests, or lists) the archive lpDCL->lpszZipFN into lpDCL->lpszExtractDir,
// creating that folder when it is missing (not its parents). ifnv and xfnv hold ifnc and
// xfnc wildcard patterns ("*", "?") matched against stored names; with ifnc 0 every member
// is taken. Returns a code above; never throws for a bad archive. An exception thrown by a
// callback passes through unchanged, leaving no temporary or partial file behind.
int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL,
                         USERFUNCTIONS* lpUserFunc);
// The same with other size limits (tests use small ones).
int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, DCL* lpDCL,
                         USERFUNCTIONS* lpUserFunc, const UnzipLimits& limits);

}  // namespace velodex
