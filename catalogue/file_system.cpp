#include "catalogue/file_system.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <utility>

#include "catalogue/native_file.h"
#include "catalogue/utf8_text.h"

#ifdef _WIN32
#include "catalogue/windows_api.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace velodex {
namespace fs = std::filesystem;
using namespace native;

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FoldCase(std::string text) {
  for (char& c : text) c = FoldCase(c);
  return text;
}

// Files are written in large blocks: a page may hold tens of thousands of rows.
constexpr size_t kWriteBufferSize = 64 * 1024;

// Six letters or digits for a temporary name, drawn afresh for each attempt.
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kLetters[pick(generator)];
  return suffix;
}

#ifdef _WIN32
std::wstring WideFromText(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::optional<std::string> TextFromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  // A character the code page lacks comes out as a stand-in ('?', or a look-alike letter):
  // only a text that turns back into the same name spells it.
  if (WideFromText(text, codePage) != wide) return std::nullopt;
  return text;
}
#endif

}  // namespace

fs::path NativePath(const std::string& text) {
#ifdef _WIN32
  return fs::path(WideFromText(text, CP_ACP));
#else
  return fs::path(text);
#endif
}

std::optional<std::string> PathText(const fs::path& path) {
#ifdef _WIN32
  return TextFromWide(path.native(), CP_ACP);
#else
  return path.native();
#endif
}

std::optional<std::string> FolderText(const fs::path& folder) {
  std::optional<std::string> text = PathText(folder);
#ifdef _WIN32
  if (text) return text;
  std::wstring alias(folder.native().size() + 1, L'\0');
  const DWORD length =
      GetShortPathNameW(folder.c_str(), alias.data(), static_cast<DWORD>(alias.size()));
  if (length == 0 || length >= alias.size()) return std::nullopt;
  alias.resize(length);
  text = PathText(fs::path(alias));
#endif
  return text;
}

std::string LibraryPathText(const std::string& text) {
  std::string storage;
  return std::string(Utf8Text(text, storage));
}

std::error_code LastSystemError() { return LastError(); }

Error FileError(const std::string& action, const std::string& path, std::error_code cause) {
  return Error("cannot " + action + " '" + path + "': " + cause.message());
}

Error FileError(const std::string& action, const std::string& path, int errorNumber) {
  return FileError(action, path, std::error_code(errorNumber, std::generic_category()));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += kPathSeparator;
  path += name;
  return path;
}

std::string ReplaceEnding(const std::string& name, std::string_view ending) {
  std::string replaced = name.substr(0, name.size() >= 3 ? name.size() - 3 : 0);
  replaced += ending;
  return replaced;
}

bool IsDirectory(const std::string& path) noexcept {
  std::error_code ec;
  return !path.empty() && fs::is_directory(NativePath(path), ec);
}

bool FileExists(const std::string& path) noexcept {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(NativePath(path), ec);
}

bool MatchesWildcards(const std::string& name, const std::string& pattern,
                      bool ignoreCase) noexcept {
  // Iterative wildcard match with one backtracking point: linear in practice and never
  // recursive, whatever the pattern.
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n] ||
                               (ignoreCase && FoldCase(pattern[p]) == FoldCase(name[n])))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchesPattern(const std::string& name, const std::string& pattern) noexcept {
  if (MatchesWildcards(name, pattern, true)) return true;
  // As on the designs' home platform, a trailing ".*" also matches a name without any
  // extension, so "*.*" lists every file.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos) {
    return MatchesWildcards(name, pattern.substr(0, pattern.size() - 2), true);
  }
  return false;
}

void ForEachEntry(const std::string& folder, const std::function<void(const FolderEntry&)>& visit) {
  if (folder.empty()) return;
  std::error_code ec;
  for (fs::directory_iterator it(NativePath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::optional<std::string> name = PathText(it->path().filename());
    if (!name) continue;
    // The entry's own kind, as the listing reports it (no further system call where the
    // listing gives it): a link is never followed here.
    std::error_code typeError;
    EntryKind kind = EntryKind::kOther;
    if (it->is_symlink(typeError)) {
      kind = EntryKind::kLink;
    } else if (it->is_regular_file(typeError)) {
      kind = EntryKind::kFile;
    } else if (it->is_directory(typeError)) {
      kind = EntryKind::kFolder;
    }
    visit(FolderEntry{std::move(*name), kind});
  }
}

bool IsReadableFileEntry(const std::string& folder, const FolderEntry& entry) {
  return entry.kind == EntryKind::kFile ||
         (entry.kind == EntryKind::kLink && FileExists(JoinPath(folder, entry.name)));
}

std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (MatchesPattern(entry.name, pattern) && IsReadableFileEntry(folder, entry)) {
      names.push_back(entry.name);
    }
  });
  std::sort(names.begin(), names.end());
  return names;
}

FolderNames::FolderNames(const std::string& folder) {
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (!IsReadableFileEntry(folder, entry)) return;
    std::string& slot = byFoldedName_[FoldCase(entry.name)];
    // Several spellings may exist on a case-sensitive disk; the first in byte order stands
    // for all, so the choice does not depend on the folder's internal order.
    if (slot.empty() || entry.name < slot) slot = entry.name;
    names_.insert(entry.name);
  });
}

std::string FolderNames::find(const std::string& name) const {
  if (names_.count(name) != 0) return name;
  auto it = byFoldedName_.find(FoldCase(name));
  return it == byFoldedName_.end() ? std::string() : it->second;
}

std::string FindFileIgnoringCase(const std::string& folder, const std::string& name) {
#ifndef _WIN32
  // A case-sensitive disk answers the exact name at once. Windows would answer any spelling,
  // so there the listing says which one is on disk.
  const std::string exact = JoinPath(folder, name);
  if (FileExists(exact)) return exact;
#endif
  const std::string found = FolderNames(folder).find(name);
  return found.empty() ? std::string() : JoinPath(folder, found);
}

AtomicFile::AtomicFile(std::string path, std::string action)
    : path_(std::move(path)), action_(std::move(action)), handle_(kNoHandle) {
  std::error_code error;
  // A name drawn again only when another file took it between the draw and the create.
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = path_ + ".velodex-" + RandomSuffix();
    error = CreateNewFile(temporary_, handle_);
    if (!error || !NameTaken(error)) break;
  }
  if (error) {
    temporary_.clear();
    fail(error);
  }
  buffer_.reserve(kWriteBufferSize);
}

AtomicFile::~AtomicFile() {
  if (handle_ != kNoHandle) CloseFile(handle_);
  if (!committed_ && !temporary_.empty()) RemoveQuietly(temporary_);
}

void AtomicFile::Write(std::string_view bytes) {
  if (handle_ == kNoHandle) fail(std::make_error_code(std::errc::bad_file_descriptor));
  if (buffer_.size() + bytes.size() > kWriteBufferSize) flush();
  if (bytes.size() >= kWriteBufferSize) {
    if (std::error_code error = WriteAll(handle_, bytes.data(), bytes.size())) fail(error);
    return;
  }
  buffer_.append(bytes);
}

void AtomicFile::SetPermissions(fs::perms permissions) {
  if (std::error_code error = SetFilePermissions(handle_, permissions)) fail(error);
}

void AtomicFile::flush() {
  if (buffer_.empty()) return;
  const std::error_code error = WriteAll(handle_, buffer_.data(), buffer_.size());
  buffer_.clear();
  if (error) fail(error);
}

void AtomicFile::Commit(bool sync) {
  if (handle_ == kNoHandle) fail(std::make_error_code(std::errc::bad_file_descriptor));
  flush();
  if (sync) {
    if (std::error_code error = SyncFile(handle_)) fail(error);
  }
  const std::intptr_t handle = std::exchange(handle_, kNoHandle);
  if (std::error_code error = CloseFile(handle)) fail(error);
  // Only a plain file or a link is ever replaced: a device, pipe or socket standing at the
  // name is not ours to take away (and a folder refuses the rename by itself).
  std::error_code statusError;
  switch (fs::symlink_status(NativePath(path_), statusError).type()) {
    case fs::file_type::block:
    case fs::file_type::character:
    case fs::file_type::fifo:
    case fs::file_type::socket:
      fail(std::make_error_code(std::errc::file_exists));
    default:
      break;
  }
  if (std::error_code error = RenameReplacing(temporary_, path_, sync)) fail(error);
  committed_ = true;
}

void AtomicFile::fail(std::error_code cause) const { throw FileError(action_, path_, cause); }

void RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (std::error_code error = RenameNoReplace(from, to)) {
    throw FileError("rename '" + from + "' to", to, error);
  }
}

void RenameOver(const std::string& from, const std::string& to, bool sync,
                const std::string& action) {
  if (std::error_code error = RenameReplacing(from, to, sync)) throw FileError(action, to, error);
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  fs::remove(NativePath(path), error);
  if (error) throw FileError("delete", path, error);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, bool sync) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit(sync);
}

void CopyFileAtomically(const std::string& from, const std::string& to) {
  const std::string action = "copy '" + from + "' to";
  std::error_code error;
  const fs::perms permissions = fs::status(NativePath(from), error).permissions();
  std::ifstream in;
  if (!error) {
    in.open(NativePath(from), std::ios::binary);
    if (!in) error = std::error_code(errno, std::generic_category());
  }
  if (error) throw FileError(action, to, error);
  AtomicFile copy(to, action);
  copy.SetPermissions(permissions);
  std::array<char, kWriteBufferSize> chunk;
  while (in) {
    in.read(chunk.data(), chunk.size());
    copy.Write(std::string_view(chunk.data(), static_cast<size_t>(in.gcount())));
  }
  if (in.bad()) throw FileError(action, to, std::make_error_code(std::errc::io_error));
  copy.Commit(false);
}

std::string DriveRoot() {
#ifdef _WIN32
  return "C:\\";
#else
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    std::string root = home;
    if (root.back() != '/') root += '/';
    return root;
  }
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    std::string root = entry->pw_dir;
    if (root.empty() || root.back() != '/') root += '/';
    return root;
  }
  return "/";
#endif
}

bool IsAtomicTemporaryName(const std::string& name) {
  static constexpr std::string_view kMark = ".velodex-";
  constexpr size_t kSuffix = 6;
  if (name.size() <= kMark.size() + kSuffix) return false;
  const size_t mark = name.size() - kSuffix - kMark.size();
  return name.compare(mark, kMark.size(), kMark) == 0 &&
         std::all_of(name.end() - kSuffix, name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

void RemoveAtomicLeftovers(const std::string& folder) {
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (entry.kind != EntryKind::kFile || !IsAtomicTemporaryName(entry.name)) return;
    std::error_code ignored;
    fs::remove(NativePath(JoinPath(folder, entry.name)), ignored);
  });
}

std::string DefaultUnknownsLog() { return DriveRoot() + "unknowns.txt"; }

std::string ProgramFolder() {
  std::error_code ec;
#ifdef _WIN32
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length == 0) return PathText(fs::current_path(ec)).value_or(".");
    if (length < module.size()) {
      module.resize(length);
      break;
    }
    module.resize(module.size() * 2);  // cut short: ask again with room to spare
  }
  return FolderText(fs::path(module).parent_path()).value_or(".");
#else
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return self.parent_path().string();
#endif
}

}  // namespace velodex
