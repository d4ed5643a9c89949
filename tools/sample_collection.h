// The sample collection: a deterministic pile of designs made by our encoder, laid out the way
// players keep them (loose files with companions and zip archives with an optional
// "author.txt"), including the awkward cases a catalogue run must survive.
#pragma once

#include <string>
#include <vector>

namespace velodex {

// What one call wrote. Paths are relative to the collection's folder, with "/" between parts.
struct SampleCollection {
  int designs = 0;           // loose designs that decode, of known and unknown types
  int unknownTypeDesigns = 0;  // of those, designs whose ride type has no entry
  int malformedFiles = 0;    // loose ".td4" files that are rejected
  int companions = 0;        // loose ".tp4" files
  int archives = 0;
  std::vector<std::string> files;  // every file written, in writing order
};

// The name of the list of written files that the collection keeps in its folder.
inline constexpr const char* kSampleManifestName = ".velodex-samples";

// Writes the collection into folder: folder/loose holds the loose designs, companions and
// malformed files, folder/archives the zip archives. The folder is made when missing. A
// folder that holds anything an earlier call did not write (per its manifest) is refused
// with Error before anything is written; files of an earlier call are overwritten, nothing
// is deleted. The same call writes the same bytes every time.
SampleCollection WriteSampleCollection(const std::string& folder);

}  // namespace velodex
