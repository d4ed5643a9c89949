// The few system calls behind AtomicFile and the renames of the file-system seam, one version
// per platform, for catalogue/file_system.cpp alone. Each answers with the system's error
// (empty on success); a file is a handle, kNoHandle when there is none.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace velodex::native {

inline constexpr std::intptr_t kNoHandle = -1;

// The error of the last failed call (errno, or GetLastError on Windows).
std::error_code LastError();
// Makes path as a new file for writing; an existing name fails (NameTaken).
std::error_code CreateNewFile(const std::string& path, std::intptr_t& handle);
bool NameTaken(std::error_code error);
std::error_code WriteAll(std::intptr_t handle, const char* data, size_t size);
std::error_code SyncFile(std::intptr_t handle);
std::error_code CloseFile(std::intptr_t handle);
std::error_code SetFilePermissions(std::intptr_t handle, std::filesystem::perms permissions);
// Renames from over to, replacing a file or link there; with sync also to the disk.
std::error_code RenameReplacing(const std::string& from, const std::string& to, bool sync);
// Renames from to to only when nothing stands at to.
std::error_code RenameNoReplace(const std::string& from, const std::string& to);
void RemoveQuietly(const std::string& path);

}  // namespace velodex::native
