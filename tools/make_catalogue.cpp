// Makes the empty catalogue file the programs ship with: the build runs it once and puts the
// result beside the programs (and in share/ for installs).
#include <iostream>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: velodex-make-catalogue PATH\n";
    return 2;
  }
  try {
    velodex::CatalogueDatabase::createEmpty(argv[1]);
  } catch (const velodex::Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
