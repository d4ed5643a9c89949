// velodex-bench: times whole velodex-cli runs on a generated collection against the floors of
// reading and of copying the same files, and measures the runs' peak memory.
//
// Each velodex-cli run is a separate process started from the catalogue its predecessor
// filled, as a user's second run is. Every measured round runs, side by side and on a warm
// cache: cat of the designs (the read floor), cp of the files a copying run copies (the copy
// floor), the run without output switches (code 0) and the run with hyperlinks, separate
// pages and copies (code 22). Each starts after a sync, so none pays for writing back what
// came before it. Prints the median of each and the ratios to the floors, then where the
// runs spend their time. The code 0 run is also timed with the explorer page on (its cost
// over code 0, and the page's bytes per design); with --browser-designs the page of a larger
// collection is opened in headless Chromium by bench/explorer_browser_bench.js. With
// --baseline-cli another build's velodex-cli (an earlier commit, say) is timed against this
// one instead: code 0 runs of both, interleaved, on one collection.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/stage_timing.h"
#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/ride_type_table.h"
#include "tools/design_encoder.h"

namespace velodex::bench {
namespace {

namespace fs = std::filesystem;

constexpr double kTargetRatio = 3.0;
constexpr int kExplorerPairs = 15;

// What the generator wrote, as absolute paths.
struct Collection {
  std::string folder;
  std::vector<std::string> designs;  // every ".td4" (read by every run)
  std::vector<std::string> copied;   // what a copying run copies: designs, known-type companions
  int companions = 0;
  int unknownTypeDesigns = 0;
  uintmax_t designBytes = 0;
};

// count designs spread over every known ride type and a few unknown codes, with companions
// for a quarter of them and some names in upper case, as collections gathered from many
// sources are.
Collection WriteCollection(const std::string& folder, int count) {
  fs::create_directories(folder);
  RideTypeTable table;
  FillRideTypeTable(table);
  std::vector<uint8_t> knownCodes;
  for (int code = 0; code < 256; ++code) {
    if (table.lookup(code)) knownCodes.push_back(static_cast<uint8_t>(code));
  }
  if (knownCodes.empty()) throw Error("the ride type table is empty");
  constexpr uint8_t kUnknownCode = 21;
  if (table.lookup(kUnknownCode)) throw Error("ride type code 21 is known; pick another");

  Collection c;
  c.folder = folder;
  for (int i = 0; i < count; ++i) {
    DesignParams p;
    const bool unknown = i % 50 == 8;
    p.rideTypeCode =
        unknown ? kUnknownCode : knownCodes[static_cast<size_t>(i * 7) % knownCodes.size()];
    p.trainColorScheme = static_cast<uint8_t>(i % 3);
    p.maxSpeed = static_cast<uint8_t>(20 + i % 60);
    p.avgSpeed = static_cast<uint8_t>(10 + i % 20);
    p.rideLength = static_cast<uint16_t>(200 + (i * 13) % 2000);
    p.invs = static_cast<uint8_t>(i % 7);
    p.drops = static_cast<uint8_t>(1 + i % 9);
    p.ex = static_cast<uint8_t>(20 + i % 80);
    p.intensity = static_cast<uint8_t>(10 + (i * 3) % 90);
    p.na = static_cast<uint8_t>((i * 5) % 70);
    p.decodedLength = i % 9 == 0 ? 8058 : 8198;
    p.seed = static_cast<uint32_t>(i + 1);

    const bool upper = i % 10 == 4;
    char base[32];
    std::snprintf(base, sizeof base, upper ? "TRACK%06d" : "Track%06d", i);
    const std::string design = JoinPath(folder, std::string(base) + (upper ? ".TD4" : ".td4"));
    WriteDesignFile(design, p);
    c.designs.push_back(design);
    c.copied.push_back(design);
    c.designBytes += fs::file_size(design);
    if (i % 4 == 0) {
      const std::string companion = JoinPath(folder, std::string(base) + (upper ? ".TP4" : ".tp4"));
      std::ofstream out(companion, std::ios::binary);
      out << std::string(static_cast<size_t>(256 + i % 256), static_cast<char>('a' + i % 26));
      if (!out) throw Error("cannot write '" + companion + "'");
      ++c.companions;
      if (!unknown) c.copied.push_back(companion);
    }
    if (unknown) ++c.unknownTypeDesigns;
  }
  return c;
}

std::string LastLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

struct Setup {
  std::string cli;
  std::string emptyCatalogue;
  std::string scratch;
  std::string browserBench;
  bool pictures = false;      // the browser's page also with every design's picture
  std::string baselineCli{};  // with --baseline-cli: the build this one is compared with
  int browserRounds = 2;      // with --pictures: turns of the pages with and without them
};

// One configuration of velodex-cli runs over one collection with its own catalogue.
class CliRun {
 public:
  CliRun(const Setup& setup, const Collection& collection, const std::string& name, bool code22,
         bool explorer = false, const std::string& pictures = {})
      : collection_(collection), code22_(code22), explorer_(explorer) {
    const std::string folder = JoinPath(setup.scratch, name);
    fs::create_directories(folder);
    databaseFolder_ = JoinPath(folder, "db");
    fs::create_directories(databaseFolder_);
    fs::copy_file(setup.emptyCatalogue, JoinPath(databaseFolder_, "velodex.mdb"),
                  fs::copy_options::overwrite_existing);
    outPath_ = JoinPath(folder, "out.txt");
    errPath_ = JoinPath(folder, "err.txt");
    argv_ = {setup.cli, "--columns", "all"};
    if (code22) argv_.insert(argv_.end(), {"--hyperlinks", "--separate", "--copy"});
    if (explorer) argv_.push_back("--explorer");
    if (!pictures.empty()) argv_.insert(argv_.end(), {"--pictures", pictures});
    argv_.insert(argv_.end(), {"--database-dir", databaseFolder_, "--unknowns-log",
                               JoinPath(folder, "unknowns.txt"), collection.folder});
  }

  const std::string& databaseFolder() const { return databaseFolder_; }

  // One whole run; throws Error unless it completed with its completion text.
  ChildResult run() const {
    const ChildResult result = RunChild(argv_, outPath_, errPath_);
    const std::string expected = "Done - Look at " + collection_.folder +
                                 (code22_ ? "/rideindex.htm" : "/simpleindex.htm") +
                                 (explorer_ ? " and " + collection_.folder + "/explorer.htm" : "");
    if (result.exitStatus != 0 || LastLine(outPath_) != expected) {
      throw Error("velodex-cli run failed (exit status " + std::to_string(result.exitStatus) +
                  "): " + LastLine(errPath_));
    }
    return result;
  }

 private:
  const Collection& collection_;
  bool code22_;
  bool explorer_;
  std::string databaseFolder_;
  std::string outPath_;
  std::string errPath_;
  std::vector<std::string> argv_;
};

ChildResult ReadFloor(const Collection& c) {
  const ChildResult r = RunBatched({"cat", "--"}, c.designs, {});
  if (r.exitStatus != 0) throw Error("cat of the designs failed");
  return r;
}

// Copies into a fresh folder each time (emptied outside the timing), so every round creates
// the same files anew.
ChildResult CopyFloor(const Collection& c, const std::string& target) {
  fs::remove_all(target);
  fs::create_directories(target);
  sync();
  const ChildResult r = RunBatched({"cp", "--"}, c.copied, {target});
  if (r.exitStatus != 0) throw Error("cp of the designs failed");
  return r;
}

struct Series {
  const char* name;
  std::vector<double> seconds;
  long maxRssKiB = 0;

  void add(const ChildResult& r) {
    seconds.push_back(r.seconds);
    maxRssKiB = std::max(maxRssKiB, r.maxRssKiB);
  }
  double median() const {
    std::vector<double> s = seconds;
    std::sort(s.begin(), s.end());
    const size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
  }
  double min() const { return *std::min_element(seconds.begin(), seconds.end()); }
  double max() const { return *std::max_element(seconds.begin(), seconds.end()); }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void PrintCollection(const Collection& c, double seconds) {
  std::printf(
      "generated %zu designs (%d of unknown ride types, %d companions, %.1f MiB of "
      "designs) in %.1f s\n",
      c.designs.size(), c.unknownTypeDesigns, c.companions,
      static_cast<double>(c.designBytes) / (1024.0 * 1024.0), seconds);
}

// Times the rounds and prints the table. With judge (a full-size run) also gives the verdicts
// on the targets and the stage times. Returns false when a target was missed.
bool TimeRuns(const Setup& setup, int designs, int rounds, bool judge) {
  auto start = std::chrono::steady_clock::now();
  const Collection collection = WriteCollection(JoinPath(setup.scratch, "designs"), designs);
  PrintCollection(collection, Seconds(start));
  std::fflush(stdout);

  const CliRun code0(setup, collection, "code0", false);
  const CliRun code22(setup, collection, "code22", true);
  const CliRun explorer(setup, collection, "explorer", false, true);
  const std::string copyTarget = JoinPath(setup.scratch, "copy-floor");

  // Warm the cache and fill both catalogues, so the measured runs start as a second run does.
  ReadFloor(collection);
  CopyFloor(collection, copyTarget);
  code0.run();
  code22.run();
  explorer.run();

  Series read{"read floor (cat)", {}}, copy{"copy floor (cp)", {}};
  Series run0{"code 0", {}}, run22{"code 22", {}}, runExplorer{"code 0 + explorer", {}};
  // Each measurement starts with nothing waiting to be written, so none pays for the
  // write-back of the one before it.
  for (int round = 0; round < rounds; ++round) {
    sync();
    read.add(ReadFloor(collection));
    sync();
    copy.add(CopyFloor(collection, copyTarget));
    sync();
    run0.add(code0.run());
    sync();
    run22.add(code22.run());
    sync();
    runExplorer.add(explorer.run());
  }

  std::printf("\n%d designs, %d measured rounds after one warm-up round, warm cache\n", designs,
              rounds);
  std::printf("%-20s %10s %10s %10s %14s\n", "", "median s", "min s", "max s", "peak RSS MiB");
  for (const Series* s : {&read, &copy, &run0, &run22, &runExplorer}) {
    std::printf("%-20s %10.3f %10.3f %10.3f", s->name, s->median(), s->min(), s->max());
    if (s != &read && s != &copy) {
      std::printf(" %14.1f", static_cast<double>(s->maxRssKiB) / 1024.0);
    }
    std::printf("\n");
  }
  const double ratio0 = run0.median() / read.median();
  const double ratio22 = run22.median() / copy.median();
  // A few hundred designs measure process start-up, not the targets' business.
  const auto verdict = [&](double ratio) {
    return !judge ? "(not judged at this size)" : ratio <= kTargetRatio ? "met" : "MISSED";
  };
  std::printf("\ncode 0 / read floor:  %6.2fx  (target %.0fx) %s\n", ratio0, kTargetRatio,
              verdict(ratio0));
  std::printf("code 22 / copy floor: %6.2fx  (target %.0fx) %s\n", ratio22, kTargetRatio,
              verdict(ratio22));
  std::printf("code 0 / copy floor:  %6.2fx   code 22 / read floor: %6.2fx\n",
              run0.median() / copy.median(), run22.median() / read.median());
  // The explorer's cost is small beside the noise of a shared machine, so it is measured on
  // pairs of runs back to back: the median of the pairs' ratios.
  std::vector<double> ratios;
  const int pairs = judge ? kExplorerPairs : 1;
  for (int pair = 0; pair < pairs; ++pair) {
    sync();
    const double plain = code0.run().seconds;
    sync();
    ratios.push_back(explorer.run().seconds / plain);
  }
  std::sort(ratios.begin(), ratios.end());
  const double explorerCost = ratios[ratios.size() / 2] - 1;
  const auto pageBytes = fs::file_size(JoinPath(collection.folder, "explorer.htm"));
  std::printf(
      "explorer page: %+.1f%% over code 0 (median of %d pairs of runs; target 10%%), %ju bytes, "
      "%.1f bytes per design (target 200)\n",
      100 * explorerCost, pairs, pageBytes, static_cast<double>(pageBytes) / designs);
  std::fflush(stdout);
  if (judge) {
    PrintStageTimes(collection.folder, code0.databaseFolder(), setup.scratch, false);
    PrintStageTimes(collection.folder, code22.databaseFolder(), setup.scratch, true);
  }
  return ratio0 <= kTargetRatio && ratio22 <= kTargetRatio;
}

// The machine's load over the last minute, for the record of a shared machine.
std::string LoadAverage() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) return "unknown";
  char text[48];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

// Writes the explorer page of a collection of designs and opens it in headless Chromium
// through the browser benchmark, which prints its own figures.
void MeasureBrowser(const Setup& setup, int designs) {
  const std::string root = JoinPath(setup.scratch, "browser");
  const Collection collection = WriteCollection(JoinPath(root, "designs"), designs);
  const Setup large{setup.cli, setup.emptyCatalogue, root, {}};
  const std::string pictures = setup.pictures ? JoinPath(root, "pictures") : std::string();
  const CliRun run(large, collection, "explorer", false, true, pictures);
  const auto start = std::chrono::steady_clock::now();
  run.run();
  const double seconds = Seconds(start);
  const std::string page = JoinPath(collection.folder, "explorer.htm");
  if (setup.pictures) {
    uintmax_t bytes = 0;
    uintmax_t largest = 0;
    uintmax_t allocated = 0;  // what the file system gives them, whole blocks
    for (const auto& entry : fs::directory_iterator(pictures)) {
      bytes += entry.file_size();
      largest = std::max(largest, entry.file_size());
      struct stat status;
      if (::stat(entry.path().c_str(), &status) == 0) {
        allocated += static_cast<uintmax_t>(status.st_blocks) * 512;
      }
    }
    std::printf(
        "\nthe run with its pictures: %.1f s; pictures %.1f bytes per design, the largest %ju; "
        "%.1f bytes per design allocated on disk\n",
        seconds, static_cast<double>(bytes) / designs, largest,
        static_cast<double>(allocated) / designs);
  }
  std::printf("\nexplorer page of %d designs: %.1f MiB, %.1f bytes per design\n", designs,
              static_cast<double>(fs::file_size(page)) / (1024.0 * 1024.0),
              static_cast<double>(fs::file_size(page)) / designs);
  std::fflush(stdout);
  const auto timePage = [&](const std::string& file, const char* name) {
    std::printf("\n%s (load average %s):\n", name, LoadAverage().c_str());
    std::fflush(stdout);
    const ChildResult r =
        RunChild({"node", setup.browserBench, file}, JoinPath(root, "browser.txt"),
                 JoinPath(root, "browser-err.txt"));
    std::ifstream out(JoinPath(root, "browser.txt"));
    std::printf("%s", std::string(std::istreambuf_iterator<char>(out), {}).c_str());
    std::fflush(stdout);
    if (r.exitStatus != 0)
      throw Error("the browser benchmark failed: " + LastLine(JoinPath(root, "browser-err.txt")));
  };
  if (!setup.pictures) {
    timePage(page, "the page");
  } else {
    // The same page without its pictures, written by a run without --pictures beside it, and
    // the two timed in turn, so that what the pictures cost stands out from the machine's load.
    const std::string withPictures = JoinPath(collection.folder, "explorer-pictures.htm");
    fs::rename(page, withPictures);
    CliRun(large, collection, "explorer", false, true).run();
    for (int round = 0; round < setup.browserRounds; ++round) {
      timePage(withPictures, "the page with its pictures");
      timePage(page, "the same page without pictures");
    }
  }
  fs::remove_all(root);
}

// Code 0 runs of this build and of a baseline build (each from its own empty catalogue, as
// its schema may differ) on one collection, in pairs whose order alternates, so a load that
// comes and goes weighs on both alike. Prints the medians and the median of the pairs'
// ratios.
void CompareWithBaseline(const Setup& setup, int designs, int pairs) {
  auto start = std::chrono::steady_clock::now();
  const Collection collection = WriteCollection(JoinPath(setup.scratch, "designs"), designs);
  PrintCollection(collection, Seconds(start));
  const std::string baselineCatalogue = JoinPath(
      JoinPath(fs::path(setup.baselineCli).parent_path().string(), "share"), "velodex.mdb");
  const Setup baselineSetup{setup.baselineCli, baselineCatalogue, setup.scratch, {}};
  const CliRun current(setup, collection, "current", false);
  const CliRun baseline(baselineSetup, collection, "baseline", false);
  ReadFloor(collection);
  current.run();
  baseline.run();
  std::printf("load average before: %s\n", LoadAverage().c_str());
  std::fflush(stdout);
  Series ours{"this build", {}}, theirs{"baseline", {}};
  std::vector<double> ratios;
  for (int pair = 0; pair < pairs; ++pair) {
    double seconds[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      const bool baselineTurn = (pair + k) % 2 == 0;
      sync();
      const ChildResult r = (baselineTurn ? baseline : current).run();
      (baselineTurn ? theirs : ours).add(r);
      seconds[baselineTurn ? 1 : 0] = r.seconds;
    }
    ratios.push_back(seconds[0] / seconds[1]);
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("load average after:  %s\n", LoadAverage().c_str());
  std::printf("\ncode 0 at %d designs, %d pairs of runs, order alternating, warm cache\n", designs,
              pairs);
  std::printf("%-12s %10s %10s %10s %14s\n", "", "median s", "min s", "max s", "peak RSS MiB");
  for (const Series* s : {&theirs, &ours}) {
    std::printf("%-12s %10.3f %10.3f %10.3f %14.1f\n", s->name, s->median(), s->min(), s->max(),
                static_cast<double>(s->maxRssKiB) / 1024.0);
  }
  std::printf(
      "this build over the baseline: %+.1f%% (median of the pairs' ratios), %+.1f%% (ratio of "
      "the medians)\n",
      100 * (ratios[ratios.size() / 2] - 1), 100 * (ours.median() / theirs.median() - 1));
}

// Peak memory of one run of each code at a larger collection, each after a filling run.
void MeasureMemory(const Setup& setup, int designs) {
  const std::string root = JoinPath(setup.scratch, "large");
  auto start = std::chrono::steady_clock::now();
  const Collection collection = WriteCollection(JoinPath(root, "designs"), designs);
  std::printf("\n");
  PrintCollection(collection, Seconds(start));
  const Setup large{setup.cli, setup.emptyCatalogue, root, {}};
  for (bool code22 : {false, true}) {
    const CliRun run(large, collection, code22 ? "code22" : "code0", code22);
    run.run();
    sync();
    const ChildResult r = run.run();
    std::printf("%-8s at %d designs: %8.2f s wall, peak RSS %.1f MiB\n",
                code22 ? "code 22" : "code 0", designs, r.seconds,
                static_cast<double>(r.maxRssKiB) / 1024.0);
    std::fflush(stdout);
  }
  fs::remove_all(root);
}

std::string MakeScratch(const std::string& parent) {
  std::string pattern = JoinPath(parent.empty() ? fs::temp_directory_path().string() : parent,
                                 "velodex-bench-XXXXXX");
  if (mkdtemp(pattern.data()) == nullptr) throw Error("cannot make a scratch folder in " + parent);
  return pattern;
}

}  // namespace
}  // namespace velodex::bench

int main(int argc, char** argv) {
  using namespace velodex;
  using namespace velodex::bench;
  CLI::App app{
      "Times whole velodex-cli runs against the floors of reading and copying the same "
      "files, and measures their peak memory.",
      "velodex-bench"};
  int designs = 20000;
  int rounds = 5;
  int memoryDesigns = 0;
  int browserDesigns = 0;
  bool smoke = false;
  bool keep = false;
  bool requireTargets = false;
  std::string scratchParent;
  Setup setup;
  setup.cli = JoinPath(ProgramFolder(), "velodex-cli");
  setup.emptyCatalogue = JoinPath(JoinPath(ProgramFolder(), "share"), "velodex.mdb");
  setup.browserBench = VELODEX_BROWSER_BENCH;
  app.add_option("--designs", designs, "Designs in the timed collection")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--rounds", rounds, "Measured rounds after the warm-up round")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--memory-designs", memoryDesigns,
                 "Also measure peak memory on a collection of this many designs (e.g. 100000)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--browser-designs", browserDesigns,
                 "Also time the explorer page of this many designs in headless Chromium (e.g. "
                 "100000)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--browser-bench", setup.browserBench, "The browser benchmark script")
      ->capture_default_str();
  app.add_flag("--pictures", setup.pictures,
               "With --browser-designs: the run also draws every design's picture for the page, "
               "and the page is timed with and without them in turn");
  app.add_option("--browser-rounds", setup.browserRounds, "With --pictures: turns of the two pages")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  int pairs = 15;
  app.add_option("--baseline-cli", setup.baselineCli,
                 "Time code 0 runs of this velodex-cli against another build's (its empty "
                 "catalogue from share/ beside it) instead of the floors");
  app.add_option("--pairs", pairs, "With --baseline-cli: pairs of runs")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_flag("--smoke", smoke, "Quick check of the benchmark itself: 200 designs, 1 round");
  app.add_flag("--require-targets", requireTargets, "Exit with status 1 when a target is missed");
  app.add_option("--cli", setup.cli, "The velodex-cli to time")->capture_default_str();
  app.add_option("--catalogue", setup.emptyCatalogue, "The empty catalogue to start from")
      ->capture_default_str();
  app.add_option("--scratch", scratchParent, "Folder for the scratch data (default: temp folder)");
  app.add_flag("--keep", keep, "Keep the scratch data");
  CLI11_PARSE(app, argc, argv);
  if (smoke) {
    designs = 200;
    rounds = 1;
    memoryDesigns = 0;
  }

  try {
    setup.scratch = MakeScratch(scratchParent);
    std::printf("velodex-bench: %s\nscratch: %s\n", setup.cli.c_str(), setup.scratch.c_str());
    if (!setup.baselineCli.empty()) {
      CompareWithBaseline(setup, designs, smoke ? 1 : pairs);
      if (!keep) std::filesystem::remove_all(setup.scratch);
      return 0;
    }
    const bool met = TimeRuns(setup, designs, rounds, !smoke);
    if (memoryDesigns > 0) MeasureMemory(setup, memoryDesigns);
    if (browserDesigns > 0) MeasureBrowser(setup, browserDesigns);
    if (!keep) std::filesystem::remove_all(setup.scratch);
    return (requireTargets && !smoke && !met) ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velodex-bench: %s\n", e.what());
    if (!keep && !setup.scratch.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(setup.scratch, ec);
    }
    return 1;
  }
}
