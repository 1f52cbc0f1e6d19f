// bmp_corpus.h - the seed corpus of the BMP reader's fuzz target, which the reader's tests also
// read: files as the writer makes them at every depth, and files broken in the ways a reader must
// survive (top-down, compressed, truncated at each header boundary, huge dimensions, pixel
// offsets before the headers' end or past the palette).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// The display buffer the corpus is judged against: 768 x 576 pixels of 4 bytes.
inline constexpr size_t kSeedBufferBytes = 768 * 576 * 4;

// One file of the corpus and whether ReadBmpFile accepts it into a buffer of kSeedBufferBytes
// and a fresh description (size 40, planes 1, all else 0, a grey palette).
struct BmpSeed {
  std::string name;
  bool accepted = false;
};

// Writes the corpus into `folder`, which must exist, and lists its files. Empty when a file
// cannot be written.
std::vector<BmpSeed> WriteBmpSeedCorpus(const std::filesystem::path& folder);
