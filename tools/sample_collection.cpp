// The sample collection. Everything is planned in memory first (names, bytes, archive
// members), then the manifest is written, then the files, so even an interrupted call leaves
// a folder that the next call recognises as its own.
#include "tools/sample_collection.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "catalogue/error.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {
namespace fs = std::filesystem;

enum class RideKind { kCoaster, kWater, kGentle };

struct RideType {
  uint8_t code;
  RideKind kind;
};

// The 41 known codes, grouped by how their rides behave.
constexpr RideType kKnownTypes[] = {
    {0, RideKind::kCoaster},  {1, RideKind::kCoaster},  {2, RideKind::kCoaster},
    {3, RideKind::kCoaster},  {4, RideKind::kCoaster},  {5, RideKind::kGentle},
    {6, RideKind::kGentle},   {7, RideKind::kCoaster},  {8, RideKind::kWater},
    {9, RideKind::kCoaster},  {10, RideKind::kCoaster}, {11, RideKind::kGentle},
    {12, RideKind::kCoaster}, {13, RideKind::kCoaster}, {14, RideKind::kGentle},
    {15, RideKind::kCoaster}, {16, RideKind::kWater},   {17, RideKind::kCoaster},
    {18, RideKind::kGentle},  {19, RideKind::kCoaster}, {20, RideKind::kGentle},
    {22, RideKind::kGentle},  {23, RideKind::kWater},   {24, RideKind::kWater},
    {42, RideKind::kCoaster}, {44, RideKind::kCoaster}, {50, RideKind::kGentle},
    {51, RideKind::kCoaster}, {52, RideKind::kCoaster}, {53, RideKind::kCoaster},
    {54, RideKind::kCoaster}, {59, RideKind::kCoaster}, {60, RideKind::kWater},
    {61, RideKind::kGentle},  {62, RideKind::kCoaster}, {63, RideKind::kGentle},
    {65, RideKind::kCoaster}, {66, RideKind::kCoaster}, {67, RideKind::kGentle},
    {69, RideKind::kGentle},  {72, RideKind::kGentle},
};

// Codes the game never assigned a name in the table: gaps, the top of the range.
constexpr uint8_t kUnknownCodes[] = {21, 25, 43, 64, 73, 200};

constexpr int kDesignsPerType = 7;

// Statistics as the game would have measured them for a ride of this kind, with the odd
// byte that exercises the catalogue's bit rules (negative G-forces, flag bits above the
// inversion and drop counts, an intensity past 10).
DesignParams PlausibleParams(uint8_t code, RideKind kind, uint32_t seed) {
  SeededRandom r(seed * 7919u + code);
  DesignParams p;
  p.rideTypeCode = code;
  p.seed = seed;
  p.trainColorScheme = static_cast<uint8_t>(r.between(0, 2));
  p.minWaitTime = static_cast<uint8_t>(r.between(0, 30));
  p.maxWaitTime = static_cast<uint8_t>(p.minWaitTime + r.between(10, 90));
  switch (kind) {
    case RideKind::kCoaster:
      p.maxSpeed = static_cast<uint8_t>(r.between(18, 50));
      p.rideLength = static_cast<uint16_t>(r.oneIn(6) ? r.between(1800, 6000) : r.between(250, 1800));
      p.posGs = static_cast<uint8_t>(r.oneIn(15) ? r.between(129, 255) : r.between(8, 18));
      p.negGs = static_cast<uint8_t>(r.oneIn(3) ? r.between(250, 255) : r.between(0, 5));
      p.latGs = static_cast<uint8_t>(r.oneIn(20) ? r.between(129, 255) : r.between(2, 10));
      p.invs = static_cast<uint8_t>(r.between(0, 8) | (r.oneIn(5) ? r.between(1, 7) << 5 : 0));
      p.drops = static_cast<uint8_t>(r.between(1, 20) | (r.oneIn(5) ? r.between(1, 3) << 6 : 0));
      p.maxDropHeight = static_cast<uint8_t>(r.between(5, 60));
      p.ex = static_cast<uint8_t>(r.between(30, 85));
      p.intensity = static_cast<uint8_t>(r.oneIn(8) ? r.between(101, 130) : r.between(35, 100));
      p.na = static_cast<uint8_t>(r.between(15, 80));
      break;
    case RideKind::kWater:
      p.maxSpeed = static_cast<uint8_t>(r.between(8, 25));
      p.rideLength = static_cast<uint16_t>(r.between(100, 700));
      p.posGs = static_cast<uint8_t>(r.between(4, 9));
      p.negGs = static_cast<uint8_t>(r.between(0, 2));
      p.latGs = static_cast<uint8_t>(r.between(1, 4));
      p.invs = 0;
      p.drops = static_cast<uint8_t>(r.between(1, 5));
      p.maxDropHeight = static_cast<uint8_t>(r.between(2, 20));
      p.ex = static_cast<uint8_t>(r.between(20, 60));
      p.intensity = static_cast<uint8_t>(r.between(10, 40));
      p.na = static_cast<uint8_t>(r.between(5, 25));
      break;
    case RideKind::kGentle:
      p.maxSpeed = static_cast<uint8_t>(r.between(3, 12));
      p.rideLength = static_cast<uint16_t>(r.between(60, 900));
      p.posGs = static_cast<uint8_t>(r.between(3, 5));
      p.negGs = static_cast<uint8_t>(r.between(0, 1));
      p.latGs = static_cast<uint8_t>(r.between(0, 2));
      p.invs = 0;
      p.drops = 0;
      p.maxDropHeight = static_cast<uint8_t>(r.between(0, 5));
      p.ex = static_cast<uint8_t>(r.between(5, 45));
      p.intensity = static_cast<uint8_t>(r.between(2, 20));
      p.na = static_cast<uint8_t>(r.between(0, 10));
      break;
  }
  p.avgSpeed = static_cast<uint8_t>(p.maxSpeed * r.between(35, 65) / 100);
  // Designs saved by the original game, before the expansion, are shorter.
  p.decodedLength = r.oneIn(11) ? 8058 : 8198;
  return p;
}

std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string DesignFile(const DesignParams& params) {
  // WriteDesignFile's trailer is not needed here: any trailer is accepted.
  const std::vector<uint8_t> decoded = MakeDecodedDesign(params);
  return Bytes(EncodeDesignFile(decoded, params.seed * 2654435761u));
}

std::string Junk(uint32_t seed, int length) {
  SeededRandom r(seed);
  std::string bytes;
  for (int i = 0; i < length; ++i) bytes.push_back(static_cast<char>(r.between(0, 255)));
  return bytes;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Players' names for their designs: two words, written in one of a few habits.
class DesignNames {
 public:
  std::string next(int index) {
    static constexpr const char* kFirst[] = {
        "Thunder", "Crimson", "Silver", "Wild",     "Mighty",  "Twisted", "Golden", "Black",
        "Lost",    "Howling", "Iron",   "Jungle",   "Arctic",  "Desert",  "Midnight", "Rusty",
        "Giant",   "Little",  "Royal",  "Electric", "Phantom", "Lazy",    "Sky"};
    static constexpr const char* kSecond[] = {
        "Cat",     "Comet",  "Serpent",  "Falcon", "Fury",   "Canyon", "River",
        "Express", "Loop",   "Viper",    "Storm",  "Run",    "Mountain", "Dragon",
        "Rattler", "Glider", "Twister",  "Plunge", "Voyage", "Drop",   "Spiral",
        "Wheel",   "Climb",  "Lagoon",   "Rocket"};
    SeededRandom r(static_cast<uint64_t>(index) * 31 + 5);
    const std::string first = kFirst[r.between(0, static_cast<int>(std::size(kFirst)) - 1)];
    const std::string second = kSecond[r.between(0, static_cast<int>(std::size(kSecond)) - 1)];
    std::string name;
    switch (index % 3) {
      case 0:
        name = first + " " + second;
        break;
      case 1:
        name = first + second;
        break;
      default:
        name = first + "_" + second;
        break;
    }
    // Names must differ without regard to case, as they would on the game's platform.
    std::string unique = name;
    for (int n = 2; used_.count(Upper(unique)) != 0; ++n) unique = name + " " + std::to_string(n);
    used_.insert(Upper(unique));
    return unique;
  }

 private:
  std::set<std::string> used_;
};

struct PlannedFile {
  std::string path;  // relative, "/" between parts
  std::string bytes;
};

struct ArchiveMember {
  std::string name;  // as stored, "/" between folders; a name ending in "/" is a folder
  std::string bytes;
};

struct PlannedArchive {
  std::string path;
  std::vector<ArchiveMember> members;
};

struct Plan {
  SampleCollection summary;
  std::vector<PlannedFile> files;
  std::vector<PlannedArchive> archives;
};

std::string CompanionName(const std::string& designName) {
  const std::string stem = designName.substr(0, designName.size() - 3);
  const bool upper = designName.compare(designName.size() - 3, 3, "TD4") == 0;
  return stem + (upper ? "TP4" : "tp4");
}

// A preview picture's worth of bytes: what a companion holds is never read by the program.
std::string CompanionBytes(uint32_t seed) {
  SeededRandom r(seed);
  return Junk(seed, r.between(1200, 4000));
}

void PlanLooseFiles(Plan& plan) {
  DesignNames names;
  int index = 0;
  uint32_t seed = 1000;
  auto addDesign = [&](const DesignParams& params, bool wantCompanion) {
    std::string name = names.next(index);
    // Every ninth player saved in capitals, as older systems did.
    name = index % 9 == 4 ? Upper(name) + ".TD4" : name + ".td4";
    plan.files.push_back({"loose/" + name, DesignFile(params)});
    ++plan.summary.designs;
    if (wantCompanion) {
      std::string companion = CompanionName(name);
      // One capital design's companion is saved in lower case, to test matching.
      if (index == 13) companion = companion.substr(0, companion.size() - 3) + "tp4";
      plan.files.push_back({"loose/" + companion, CompanionBytes(params.seed)});
      ++plan.summary.companions;
    }
    ++index;
  };

  for (int round = 0; round < kDesignsPerType; ++round) {
    for (const RideType& type : kKnownTypes) {
      const DesignParams params = PlausibleParams(type.code, type.kind, ++seed);
      addDesign(params, index % 4 == 1);
    }
  }
  for (uint8_t code : kUnknownCodes) {
    // Unknown rides still carry believable numbers; one of them brought its companion.
    addDesign(PlausibleParams(code, RideKind::kCoaster, ++seed), code == 43);
    ++plan.summary.unknownTypeDesigns;
  }

  // Files that are not usable designs, one for each way of failing.
  DesignParams good = PlausibleParams(15, RideKind::kCoaster, ++seed);
  const std::string goodFile = DesignFile(good);
  DesignParams tooLong = good;
  tooLong.decodedLength = 8199;
  DesignParams tooShort = good;
  tooShort.decodedLength = 8057;
  std::vector<uint8_t> pastEnd = EncodeRunLength(MakeDecodedDesign(good));
  // A literal run of 17 bytes with only 7 left before the trailer's second byte.
  pastEnd.resize(pastEnd.size() - 2);
  for (uint8_t b : {0x10, 1, 2, 3, 4, 5, 6, 7}) pastEnd.push_back(b);
  pastEnd.resize(pastEnd.size() + 3, 0);
  const std::vector<PlannedFile> malformed = {
      {"loose/Empty.td4", ""},
      {"loose/Three Bytes.td4", std::string("\x05\x41\x42", 3)},
      {"loose/Trailer Only.td4", std::string("\x00\x00\x00\x00", 4)},
      {"loose/Half Saved.td4", goodFile.substr(0, goodFile.size() / 2)},
      {"loose/One Too Many.td4", DesignFile(tooLong)},
      {"loose/One Short.td4", DesignFile(tooShort)},
      {"loose/Past The End.td4", Bytes(pastEnd)},
      {"loose/NOT A TRACK.TD4", Junk(++seed, 1500)},
  };
  for (const PlannedFile& file : malformed) plan.files.push_back(file);
  plan.summary.malformedFiles = static_cast<int>(malformed.size());

  plan.files.push_back({"loose/Orphan Preview.tp4", CompanionBytes(++seed)});
  plan.files.push_back({"loose/Read Me.txt", "Designs collected from friends.\r\n"});
}

void PlanArchives(Plan& plan) {
  uint32_t seed = 5000;
  auto design = [&](uint8_t code, RideKind kind) {
    return DesignFile(PlausibleParams(code, kind, ++seed));
  };
  const RideKind coaster = RideKind::kCoaster;
  const RideKind gentle = RideKind::kGentle;
  const RideKind water = RideKind::kWater;
  plan.archives = {
      {"archives/Coaster Classics.zip",
       {{"author.txt", "Ann Archer\r\n"},
        {"Big Dipper.td4", design(0, coaster)},
        {"Corkscrew Run.td4", design(19, coaster)},
        {"Corkscrew Run.tp4", CompanionBytes(++seed)},
        {"Night Flight.td4", design(62, coaster)},
        {"Hanging Around.td4", design(3, coaster)},
        {"Mouse Trap.td4", design(54, coaster)}}},
      {"archives/Gentle Rides.zip",
       {{"Lake Tour.td4", design(8, water)},
        {"Sky High.td4", design(14, gentle)},
        {"Hedge Puzzle.td4", design(20, gentle)},
        {"Putt Putt.td4", design(67, gentle)},
        {"author.txt", "Bob Builder\r\nbob@example.com\r\nhttp://www.example.com/bob/\r\n"}}},
      {"archives/No Author.zip",
       {{"Rapids Run.td4", design(24, water)},
        {"Log Jam.td4", design(23, water)},
        {"Kart Track.td4", design(22, gentle)}}},
      {"archives/Nested Folders.zip",
       {{"tracks/", ""},
        {"tracks/water/", ""},
        {"Top Level.td4", design(15, coaster)},
        {"tracks/Deep Dive.td4", design(44, coaster)},
        {"tracks/water/Splash Down.td4", design(16, water)},
        {"tracks/water/Splash Down.tp4", CompanionBytes(++seed)},
        {"author.txt", "Cy Cliff\r\n"}}},
      {"archives/Loop Pack A.zip",
       {{"Loop.td4", design(0, coaster)},
        {"Spiral.td4", design(51, coaster)},
        {"author.txt", "Dee Drop\r\nfan mail welcome\r\nhttp://www.example.com/dee/\r\n"}}},
      {"archives/Loop Pack B.zip",
       {{"Loop.td4", design(15, coaster)}, {"HELIX.TD4", design(52, coaster)}}},
      {"archives/Odds And Ends.zip",
       {{"Broken.td4", design(15, coaster).substr(0, 90)},
        {"Mystery.td4", design(21, coaster)},
        {"LOUD NOISES.TD4", design(50, gentle)},
        {"notes.txt", "Some of these do not work.\r\n"}}},
      {"archives/Empty Author.zip",
       {{"author.txt", ""}, {"Quiet Train.td4", design(5, gentle)}, {"Rail Bikes.td4", design(72, gentle)}}},
  };
  plan.summary.archives = static_cast<int>(plan.archives.size());
}

Plan MakePlan() {
  Plan plan;
  PlanLooseFiles(plan);
  PlanArchives(plan);
  for (const PlannedFile& file : plan.files) plan.summary.files.push_back(file.path);
  for (const PlannedArchive& archive : plan.archives) plan.summary.files.push_back(archive.path);
  return plan;
}

std::set<std::string> ReadManifest(const fs::path& folder) {
  std::set<std::string> listed;
  std::ifstream in(folder / kSampleManifestName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) listed.insert(line);
  }
  return listed;
}

// Refuses a folder holding anything but the manifest, the two sub-folders and files an
// earlier call listed in its manifest. Links are never followed or accepted.
std::set<std::string> CheckFolderIsOurs(const fs::path& folder) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec))) {
    fs::create_directories(folder, ec);
    if (ec) throw Error("cannot make folder '" + folder.string() + "': " + ec.message());
    return {};
  }
  if (!fs::is_directory(fs::symlink_status(folder, ec))) {
    throw Error("cannot write samples into '" + folder.string() + "': it is not a folder");
  }
  const std::set<std::string> listed = ReadManifest(folder);
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string relative = it->path().lexically_relative(folder).generic_string();
    const fs::file_status status = it->symlink_status(ec);
    const bool ours = fs::is_directory(status)
                          ? relative == "loose" || relative == "archives"
                          : fs::is_regular_file(status) &&
                                (relative == kSampleManifestName || listed.count(relative) != 0);
    if (!ours) {
      throw Error("cannot write samples into '" + folder.string() + "': '" + relative +
                  "' was not written by an earlier sample run; choose an empty folder");
    }
  }
  if (ec) throw Error("cannot read folder '" + folder.string() + "': " + ec.message());
  return listed;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw Error("cannot write '" + path.string() + "'");
}

void WriteArchive(const fs::path& path, const PlannedArchive& plan) {
  // A fixed time for every member, so the archive's bytes do not depend on the clock.
  constexpr time_t kMemberTime = 992606400;  // June 2001
  int code = 0;
  std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
      zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code), &zip_discard);
  if (!archive) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw Error("cannot create archive '" + path.string() + "': " + message);
  }
  auto fail = [&](const std::string& what) {
    throw Error("cannot write " + what + " into archive '" + path.string() +
                "': " + zip_strerror(archive.get()));
  };
  for (const ArchiveMember& member : plan.members) {
    zip_int64_t index;
    if (!member.name.empty() && member.name.back() == '/') {
      index = zip_dir_add(archive.get(), member.name.c_str(), ZIP_FL_ENC_GUESS);
    } else {
      // The buffer stays alive in the plan until the archive is closed below.
      zip_source_t* source = zip_source_buffer(archive.get(), member.bytes.data(), member.bytes.size(), 0);
      if (source == nullptr) fail("'" + member.name + "'");
      index = zip_file_add(archive.get(), member.name.c_str(), source, ZIP_FL_ENC_GUESS);
      if (index < 0) zip_source_free(source);
    }
    if (index < 0) fail("'" + member.name + "'");
    if (zip_file_set_mtime(archive.get(), static_cast<zip_uint64_t>(index), kMemberTime, 0) != 0) {
      fail("the time of '" + member.name + "'");
    }
  }
  if (zip_close(archive.get()) != 0) fail("its directory");
  archive.release();  // zip_close freed it
}

}  // namespace

SampleCollection WriteSampleCollection(const std::string& folderText) {
  const fs::path folder(folderText);
  Plan plan = MakePlan();
  std::set<std::string> manifest = CheckFolderIsOurs(folder);

  for (const char* sub : {"loose", "archives"}) {
    std::error_code ec;
    fs::create_directories(folder / sub, ec);
    if (ec) throw Error("cannot make folder '" + (folder / sub).string() + "': " + ec.message());
  }
  // Listed before written: an interrupted call still leaves only files of ours behind.
  manifest.insert(plan.summary.files.begin(), plan.summary.files.end());
  std::string manifestText;
  for (const std::string& path : manifest) manifestText += path + "\n";
  WriteBytes(folder / kSampleManifestName, manifestText);

  for (const PlannedFile& file : plan.files) WriteBytes(folder / file.path, file.bytes);
  for (const PlannedArchive& archive : plan.archives) WriteArchive(folder / archive.path, archive);
  return plan.summary;
}

}  // namespace velodex
