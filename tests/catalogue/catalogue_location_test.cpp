// Where the catalogue lives: beside a writable program that has one, else in the per-user data
// folder, seeded once from the empty catalogue installed with the program.
#include "catalogue/catalogue_location.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "catalogue/error.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class ResolveCatalogueFolderTest : public ::testing::Test {
 protected:
  // A program folder, and the files given relative to the temporary folder.
  std::string Program(const std::string& folder,
                      std::initializer_list<std::pair<std::string, std::string>> files = {}) {
    fs::create_directories(temp_ / folder);
    for (const auto& [name, bytes] : files) {
      fs::create_directories(fs::path(temp_ / name).parent_path());
      WriteFile(temp_ / name, bytes);
    }
    return temp_ / folder;
  }

  TempFolder temp_;
  const std::string user_ = temp_ / "data/velodex";
  ScopedEnvironment home_{"HOME", temp_ / "home"};
  ScopedEnvironment xdg_{"XDG_DATA_HOME", temp_ / "data"};
};

TEST_F(ResolveCatalogueFolderTest, WritableProgramFolderWithACatalogueIsUsedAsItIs) {
  const std::pair<const char*, const char*> cases[] = {
      {"velodex.mdb", "catalogue"},
      // A run that stopped between compaction and the swap left only the compacted copy.
      {"velodex2.mdb", "compacted"},
  };
  for (const auto& [name, bytes] : cases) {
    const std::string folder =
        Program(std::string("bin-") + name, {{std::string("bin-") + name + "/" + name, bytes}});
    EXPECT_EQ(ResolveCatalogueFolder(folder), folder) << name;
    EXPECT_EQ(ReadFile(folder + "/" + name), bytes);
  }
  EXPECT_FALSE(fs::exists(user_));
}

TEST_F(ResolveCatalogueFolderTest, UserFolderIsSeededOnceFromTheInstalledCatalogue) {
  struct Case {
    const char* layout;
    const char* program;
    const char* installed;
  };
  const Case cases[] = {
      {"build tree", "build/bin", "build/bin/share/velodex.mdb"},
      {"installed", "usr/bin", "usr/share/velodex/velodex.mdb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    fs::remove_all(user_);
    const std::string program = Program(c.program, {{c.installed, c.layout}});
    // Installed files are often read-only; the user's copy must not be.
    fs::permissions(temp_ / c.installed, fs::perms::owner_read | fs::perms::group_read);

    EXPECT_EQ(ResolveCatalogueFolder(program), user_);
    const std::string catalogue = user_ + "/velodex.mdb";
    EXPECT_EQ(ReadFile(catalogue), c.layout);
    EXPECT_NE(fs::status(catalogue).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(testing::ListFolder(user_), std::vector<std::string>{"velodex.mdb"});

    // Later starts keep the user's catalogue as the runs left it.
    WriteFile(catalogue, "filled by a run");
    EXPECT_EQ(ResolveCatalogueFolder(program), user_);
    EXPECT_EQ(ReadFile(catalogue), "filled by a run");
    EXPECT_EQ(ReadFile(temp_ / c.installed), c.layout);
  }
}

TEST_F(ResolveCatalogueFolderTest, ReadOnlyProgramFolderSeedsFromTheCatalogueBesideIt) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const std::string program = Program("portable", {{"portable/velodex.mdb", "shipped"}});
  fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(ResolveCatalogueFolder(program), user_);
  EXPECT_EQ(ReadFile(user_ + "/velodex.mdb"), "shipped");
  fs::permissions(program, fs::perms::owner_all);
}

TEST_F(ResolveCatalogueFolderTest, UserDataFolderFollowsXdgDataHomeOnlyWhenAbsolute) {
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {temp_ / "xdg", temp_ / "xdg/velodex"},
      {std::nullopt, temp_ / "home/.local/share/velodex"},
      {std::string(""), temp_ / "home/.local/share/velodex"},
      {std::string("relative/data"), temp_ / "home/.local/share/velodex"},
  };
  for (const auto& [xdg, folder] : cases) {
    ScopedEnvironment setting("XDG_DATA_HOME", xdg);
    EXPECT_EQ(UserDataFolder(), folder) << xdg.value_or("(unset)");
  }
}

TEST_F(ResolveCatalogueFolderTest, FailuresNameTheFoldersAndTouchNothing) {
  // No catalogue anywhere; then a file where the data folder should be.
  const std::string bare = Program("bare");
  const std::string shipped = Program("bin", {{"bin/share/velodex.mdb", "empty"}});
  for (const std::string& program : {bare, shipped}) {
    try {
      ResolveCatalogueFolder(program);
      ADD_FAILURE() << "expected an Error";
    } catch (const Error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(user_), std::string::npos) << message;
      EXPECT_EQ(message.find(program) != std::string::npos, program == bare) << message;
    }
    EXPECT_FALSE(fs::exists(user_));
    WriteFile(temp_ / "data", "a file where the data folder should be");
  }
  EXPECT_EQ(ReadFile(temp_ / "data"), "a file where the data folder should be");
}

}  // namespace
}  // namespace velodex
