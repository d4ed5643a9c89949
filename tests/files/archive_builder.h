// Builds zip archives for the tests with libzip itself: plain, stored folders, either kind of
// encryption, and Unix attributes (links, special files).
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/file_system.h"

namespace velodex::testing {

struct Member {
  Member(std::string name, std::string bytes, zip_int32_t method = ZIP_CM_DEFLATE,
         zip_uint16_t encryption = ZIP_EM_NONE, std::string password = "",
         std::optional<zip_uint32_t> unixMode = std::nullopt)
      : name(std::move(name)),
        bytes(std::move(bytes)),
        method(method),
        encryption(encryption),
        password(std::move(password)),
        unixMode(unixMode) {}

  std::string name;
  std::string bytes;
  zip_int32_t method;
  zip_uint16_t encryption;
  std::string password;
  std::optional<zip_uint32_t> unixMode;  // stored as Unix external attributes
};

// Writes an archive holding members; a name ending in "/" is stored as a folder.
inline void WriteArchive(const std::string& path, const std::vector<Member>& members) {
  int error = 0;
  zip_t* archive = zip_open(LibraryPathText(path).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr) << path;
  for (const Member& member : members) {
    zip_int64_t index;
    if (!member.name.empty() && member.name.back() == '/') {
      index = zip_dir_add(archive, member.name.c_str(), ZIP_FL_ENC_RAW);
    } else {
      zip_source_t* source =
          zip_source_buffer(archive, member.bytes.data(), member.bytes.size(), 0);
      index = zip_file_add(archive, member.name.c_str(), source, ZIP_FL_ENC_RAW);
      if (index < 0) zip_source_free(source);
    }
    ASSERT_GE(index, 0) << member.name << ": " << zip_strerror(archive);
    const auto i = static_cast<zip_uint64_t>(index);
    ASSERT_EQ(zip_set_file_compression(archive, i, member.method, 0), 0);
    if (member.encryption != ZIP_EM_NONE) {
      ASSERT_EQ(zip_file_set_encryption(archive, i, member.encryption, member.password.c_str()), 0);
    }
    if (member.unixMode) {
      ASSERT_EQ(
          zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX, *member.unixMode << 16),
          0);
    }
  }
  ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

}  // namespace velodex::testing
