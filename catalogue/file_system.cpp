#include "catalogue/file_system.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace velodex {
namespace fs = std::filesystem;

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += kPathSeparator;
  path += name;
  return path;
}

bool IsDirectory(const std::string& path) noexcept {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

bool FileExists(const std::string& path) noexcept {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
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

std::vector<std::string> ListMatchingFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code ec;
  if (folder.empty()) return names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (MatchesPattern(name, pattern)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string FindFileIgnoringCase(const std::string& folder, const std::string& name) {
  const std::string exact = JoinPath(folder, name);
  if (FileExists(exact)) return exact;
  std::error_code ec;
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string candidate = it->path().filename().string();
    std::error_code typeError;
    if (EqualIgnoringCase(candidate, name) && it->is_regular_file(typeError)) {
      // Several spellings may exist on a case-sensitive disk; take the first by byte order
      // so the choice does not depend on the directory's internal order.
      if (found.empty() || candidate < found) found = std::move(candidate);
    }
  }
  return found.empty() ? std::string() : JoinPath(folder, found);
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

std::string DefaultUnknownsLog() { return DriveRoot() + "unknowns.txt"; }

std::string ProgramFolder() {
  std::error_code ec;
#ifdef _WIN32
  // Windows: the module path would come from GetModuleFileNameW; the current folder
  // stands in until the Windows build needs it.
  return fs::current_path(ec).string();
#else
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return self.parent_path().string();
#endif
}

}  // namespace velodex
