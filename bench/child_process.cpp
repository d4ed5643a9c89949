#include "bench/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "catalogue/error.h"

extern char** environ;

namespace velodex::bench {

namespace {

// posix_spawn file actions, released on every path out.
class FileActions {
 public:
  FileActions() { posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;

  void open(int fd, const std::string& path, int flags) {
    posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0644);
  }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                     const std::string& errPath) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  FileActions actions;
  actions.open(0, "/dev/null", O_RDONLY);
  actions.open(1, outPath, O_WRONLY | O_CREAT | O_TRUNC);
  actions.open(2, errPath, O_WRONLY | O_CREAT | O_TRUNC);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (const int error = posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ);
      error != 0) {
    throw Error("cannot start '" + argv[0] + "': " + std::strerror(error));
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw Error("cannot wait for '" + argv[0] + "': " + std::strerror(errno));
  }
  const auto end = std::chrono::steady_clock::now();

  ChildResult result;
  result.seconds = std::chrono::duration<double>(end - start).count();
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.maxRssKiB = usage.ru_maxrss;  // kilobytes on Linux
  return result;
}

ChildResult RunBatched(const std::vector<std::string>& prefix,
                       const std::vector<std::string>& files,
                       const std::vector<std::string>& suffix, size_t maxArgumentBytes) {
  ChildResult total;
  total.exitStatus = 0;
  size_t next = 0;
  while (next < files.size()) {
    std::vector<std::string> argv = prefix;
    size_t bytes = 0;
    // At least one file per batch, however long its name.
    do {
      bytes += files[next].size() + 1;
      argv.push_back(files[next++]);
    } while (next < files.size() && bytes + files[next].size() + 1 <= maxArgumentBytes);
    argv.insert(argv.end(), suffix.begin(), suffix.end());
    const ChildResult batch = RunChild(argv, "/dev/null", "/dev/null");
    total.seconds += batch.seconds;
    if (total.exitStatus == 0) total.exitStatus = batch.exitStatus;
    if (batch.maxRssKiB > total.maxRssKiB) total.maxRssKiB = batch.maxRssKiB;
  }
  return total;
}

}  // namespace velodex::bench
