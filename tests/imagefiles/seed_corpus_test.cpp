// seed_corpus_test.cpp - the fuzz target's seed corpus doubles as a table of files, valid and
// broken, each read with the result the corpus states; a rejected one changes nothing.
#include <gtest/gtest.h>

#include "bmp_corpus.h"
#include "bmp_file.h"
#include "bmp_test_util.h"

namespace {

using namespace bmptest;

TEST(BmpSeedCorpus, EachFileReadsAsStated) {
  TempFolder folder;
  const std::vector<BmpSeed> seeds = WriteBmpSeedCorpus(folder.path());
  ASSERT_GE(seeds.size(), 40u);
  Bytes buffer(kSeedBufferBytes);
  for (const BmpSeed& seed : seeds) {
    BITMAPINFO info = Description();
    std::fill(buffer.begin(), buffer.end(), uint8_t{0x77});
    EXPECT_EQ(ReadBmpFile(folder / seed.name, info, buffer), seed.accepted) << seed.name;
    if (!seed.accepted) {
      EXPECT_EQ(BytesOf(info), BytesOf(Description())) << seed.name;
      EXPECT_EQ(buffer, Bytes(kSeedBufferBytes, 0x77)) << seed.name;
    }
  }
}

}  // namespace
