// bmp_seed_corpus.cpp - writes the BMP reader's seed corpus into a folder.
//
//   bmp_seed_corpus FOLDER
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "bmp_corpus.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(argv[1], error);
  const auto seeds = WriteBmpSeedCorpus(argv[1]);
  if (seeds.empty()) {
    std::fprintf(stderr, "%s: cannot write the corpus into %s\n", argv[0], argv[1]);
    return 1;
  }
  std::printf("%zu seed files in %s\n", seeds.size(), argv[1]);
  return 0;
}
