// velodex-samples OUTPUT_FOLDER: writes the sample collection (loose designs, companions,
// malformed files and zip archives) into OUTPUT_FOLDER. Refuses a folder that holds
// anything it did not write itself.
#include <exception>
#include <iostream>

#include "tools/sample_collection.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: velodex-samples OUTPUT_FOLDER\n";
    return 2;
  }
  try {
    const velodex::SampleCollection written = velodex::WriteSampleCollection(argv[1]);
    std::cout << "wrote " << written.files.size() << " files into " << argv[1] << ": "
              << written.designs << " loose designs (" << written.unknownTypeDesigns
              << " of unknown ride types), " << written.malformedFiles << " malformed files, "
              << written.companions << " companions, " << written.archives << " archives\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "velodex-samples: " << e.what() << "\n";
    return 1;
  }
}
