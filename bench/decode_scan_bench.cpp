// What one design costs: decoding its bytes, decoding it from disk, walking its track for the
// catalogue's layout facts (alone, as the scan does, and with the whole layout), drawing its
// picture, and the whole folder scan (decode, statistics, layout facts, one catalogue row)
// per design. Figures are per design; the argument is about how many pieces the track has.
// The real design raptor.td4 (195 pieces), when its folder is there, is timed the same three
// ways under the name BM_Real*.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/file_lister.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/track_design.h"
#include "catalogue/track_layout.h"
#include "report/layout_pictures.h"
#include "run/folder_scan.h"
#include "run/run_context.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

namespace fs = std::filesystem;

DesignParams VariedParams(int i) {
  DesignParams p;
  p.rideTypeCode = static_cast<uint8_t>(i % 41);
  p.ex = static_cast<uint8_t>(20 + i % 80);
  return p;
}

// A scratch folder removed when the benchmark ends.
struct ScratchFolder {
  ScratchFolder() {
    path = (fs::temp_directory_path() / ("velodex-bench-" + std::to_string(::getpid()))).string();
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~ScratchFolder() { fs::remove_all(path); }
  std::string path;
};

void BM_DecodeBytes(benchmark::State& state) {
  const std::vector<uint8_t> file = EncodeDesignFile(MakeDecodedDesign(VariedParams(7)));
  DecodedDesign design;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeTrackDesignBytes(file, design));
    benchmark::DoNotOptimize(ExtractDesignStats(design));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_DecodeBytes);

void BM_DecodeFile(benchmark::State& state) {
  ScratchFolder scratch;
  const std::string path = scratch.path + "/design.td4";
  WriteDesignFile(path, VariedParams(7));
  DecodedDesign design;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeTrackDesign(path, design));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFile);

// A design whose track has about range(0) pieces, as generated designs and real rides have
// (a 200-piece circuit is a large coaster).
DecodedDesign DesignWithPieces(int pieces) {
  DesignParams p = VariedParams(7);
  p.rideLength = static_cast<uint16_t>(7 * pieces);
  DecodedDesign design;
  DecodeTrackDesignBytes(EncodeDesignFile(MakeDecodedDesign(p)), design);
  return design;
}

// What the folder scan does for every design: the facts alone.
void BM_LayoutFacts(benchmark::State& state) {
  const DecodedDesign design = DesignWithPieces(static_cast<int>(state.range(0)));
  int pieces = 0;
  for (auto _ : state) {
    pieces = WalkLayoutFacts(design).pieces;
    benchmark::DoNotOptimize(pieces);
  }
  state.counters["pieces"] = pieces;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LayoutFacts)->Arg(50)->Arg(200)->Arg(1000);

// The whole layout with its facts, as the pictures and the wizard's preview need it.
void BM_WalkLayout(benchmark::State& state) {
  const DecodedDesign design = DesignWithPieces(static_cast<int>(state.range(0)));
  TrackLayout layout;
  for (auto _ : state) {
    WalkTrackLayout(design, layout);
    benchmark::DoNotOptimize(LayoutFactsOf(layout));
  }
  state.counters["pieces"] = static_cast<double>(layout.pieces.size());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WalkLayout)->Arg(50)->Arg(200)->Arg(1000);

void BM_Picture(benchmark::State& state) {
  const TrackLayout layout = WalkTrackLayout(DesignWithPieces(static_cast<int>(state.range(0))));
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = PictureSvg(layout).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Picture)->Arg(50)->Arg(200)->Arg(1000);

// The three layout steps on one real design.
void RegisterRealDesign(const std::string& path) {
  static DecodedDesign design;
  if (DecodeTrackDesign(path, design).verdict != DesignVerdict::kAccepted) return;
  benchmark::RegisterBenchmark("BM_RealLayoutFacts", [](benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(WalkLayoutFacts(design).pieces);
    state.counters["pieces"] = WalkLayoutFacts(design).pieces;
  });
  benchmark::RegisterBenchmark("BM_RealWalkLayout", [](benchmark::State& state) {
    TrackLayout layout;
    for (auto _ : state) {
      WalkTrackLayout(design, layout);
      benchmark::DoNotOptimize(LayoutFactsOf(layout));
    }
  });
  benchmark::RegisterBenchmark("BM_RealPicture", [](benchmark::State& state) {
    const TrackLayout layout = WalkTrackLayout(design);
    size_t bytes = 0;
    for (auto _ : state) {
      bytes = PictureSvg(layout).size();
      benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
  });
}

struct NullProgress final : ProgressDisplay {
  void setText(ProgressLabel, const std::string&) override {}
  std::string text(ProgressLabel) const override { return {}; }
  void repaint(ProgressLabel) override {}
  void reportUnreadable(const std::string&, const std::string&) override {}
};
struct NullWindows final : RunWindows {
  void showProgress() override {}
  void returnToFirstStep() override {}
  void offerQuit(const std::string&) override {}
};
struct NullPrompts final : Prompts {
  void message(const std::string&, MessageIcon) override {}
  std::optional<std::string> askText(const std::string&) override { return std::nullopt; }
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    return ReplaceAnswer::kNo;
  }
};

// One scan of a folder of range(0) designs into an emptied catalogue; items are designs.
void BM_ReadTrackFolder(benchmark::State& state) {
  const int designs = static_cast<int>(state.range(0));
  ScratchFolder scratch;
  const std::string folder = scratch.path + "/designs";
  fs::create_directories(folder);
  for (int i = 0; i < designs; ++i) {
    WriteDesignFile(folder + "/design" + std::to_string(i) + ".td4", VariedParams(i));
  }
  CatalogueDatabase::createEmpty(scratch.path + "/velodex.mdb");

  PlainRunOptions options;
  options.folderText = folder;
  DirectoryLister runLister;
  DirectoryLister scanLister;
  NullProgress progress;
  NullWindows windows;
  NullPrompts prompts;
  RideTypeTable rideTypes;
  FillRideTypeTable(rideTypes);
  RunSession session;
  RunContext context{.setup = {.rideTypes = rideTypes,
                               .databaseFolder = scratch.path,
                               .unknownsLog = scratch.path + "/unknowns.txt"},
                     .frontEnd = {.options = options,
                                  .runLister = runLister,
                                  .scanLister = scanLister,
                                  .progress = progress,
                                  .windows = windows,
                                  .prompts = prompts,
                                  .session = session}};
  CatalogueDatabase database;
  database.open(scratch.path + "/velodex.mdb");
  for (auto _ : state) {
    ReadTrackFolder(context, folder, "none");
    state.PauseTiming();
    RecordSet rows = database.openTable("velodex");
    while (!rows.atEnd()) {
      rows.deleteCurrent();
      rows.moveNext();
    }
    rows.close();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * designs);
}
BENCHMARK(BM_ReadTrackFolder)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velodex

int main(int argc, char** argv) {
  velodex::RegisterRealDesign(VELODEX_REALTRACKS_DIR "/raptor.td4");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
