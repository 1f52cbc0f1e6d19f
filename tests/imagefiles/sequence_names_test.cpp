// sequence_names_test.cpp - the base path, both programs' numbered names in the order Save Serials
// writes them, and Open Serials' prefix.
#include "sequence_names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Table = std::vector<std::pair<std::string, std::string>>;

TEST(SequenceNames, BasePathDropsOnlyALowerCaseBmpEnding) {
  const Table table = {{"D:\\a.bmp", "D:\\a"},
                       {"D:\\a", "D:\\a"},
                       {"D:\\a.BMP", "D:\\a.BMP"},
                       {"D:\\a.Bmp", "D:\\a.Bmp"},
                       {"/img/seq.bmp", "/img/seq"},
                       {".bmp", ""},
                       {"bmp", "bmp"},
                       {"a.bmp.bmp", "a.bmp"},
                       {"", ""}};
  for (const auto& [chosen, base] : table) EXPECT_EQ(SequenceBasePath(chosen), base) << chosen;
}

// Save Serials in Hexmont walks the cards, and within each card its frames.
TEST(SequenceNames, HexmontNamesForTwoCardsAndThreeFrames) {
  const std::string base = SequenceBasePath("D:\\a.bmp");
  std::vector<std::string> names;
  for (int card = 0; card < 2; ++card) {
    for (int frame = 0; frame < 3; ++frame)
      names.push_back(CardFrameFileName(base, card + 1, frame + 1));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"D:\\a1_1.bmp", "D:\\a1_2.bmp", "D:\\a1_3.bmp",
                                             "D:\\a2_1.bmp", "D:\\a2_2.bmp", "D:\\a2_3.bmp"}));
  EXPECT_EQ(CardFrameFileName("x", 128, 1000), "x128_1000.bmp");  // no leading zeros, no cap
}

TEST(SequenceNames, SolvaneNames) {
  const Table table = {{"D:\\a", "D:\\a1.bmp"}, {"D:\\a.BMP", "D:\\a.BMP1.bmp"}, {"", "1.bmp"}};
  for (const auto& [chosen, first] : table) {
    EXPECT_EQ(FrameFileName(SequenceBasePath(chosen), 1), first) << chosen;
  }
  EXPECT_EQ(FrameFileName("/img/seq", 12), "/img/seq12.bmp");
}

TEST(SequenceNames, OpenSerialsPrefixDropsTheLastCharacterAndItsRun) {
  const Table table = {{"D:\\seq1", "D:\\seq"},
                       {"D:\\seq11", "D:\\seq"},
                       {"D:\\seq10", "D:\\seq1"},
                       {"D:\\seq", "D:\\se"},
                       {"aaa", ""},
                       {"a", ""},
                       {"", ""},
                       {"1.bmp1", "1.bmp"}};
  for (const auto& [base, prefix] : table) EXPECT_EQ(SequencePrefix(base), prefix) << base;
  // The way Open Serials forms it from the first file of a sequence.
  EXPECT_EQ(SequencePrefix(SequenceBasePath(FrameFileName("/img/seq", 1))), "/img/seq");
}

}  // namespace
