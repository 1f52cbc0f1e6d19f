// parameter_ini_test.cpp - the parameter sections: the read defaults of every key, the keys each
// program reads, and the write order of each program's section.
#include "parameter_ini.h"

#include <gtest/gtest.h>

namespace {

TEST(ParameterIni, EmptyFileGivesEveryDefault) {
  CPrivateProfile p;
  const StoredParameters v = ReadStoredParameters(p, "Video Parameter", ParameterKeys::kSolvane);
  EXPECT_EQ(v.standard, 0);
  EXPECT_EQ(v.scanMode, 0);
  EXPECT_EQ(v.sourceIndex, 0);
  EXPECT_EQ(v.brightness, 128);
  EXPECT_EQ(v.contrast, 128);
  EXPECT_EQ(v.hue, 128);
  EXPECT_EQ(v.saturation, 128);
  EXPECT_EQ(v.pll, 245);
  EXPECT_EQ(v.crystal, 0);
  EXPECT_EQ(v.mirrorHorizontal, 0);
  EXPECT_EQ(v.mirrorVertical, 0);
  EXPECT_EQ(v.chromaTrap, 1);
  EXPECT_EQ(v.maskEnabled, 0);
  EXPECT_EQ(v.clip, 1);
  EXPECT_EQ(v.interline, 1);
  EXPECT_EQ(v.xDelay, 0);
  EXPECT_EQ(v.yDelay, 0);
}

TEST(ParameterIni, EachKeyLandsInItsOwnField) {
  // Distinct values per key catch two keys swapped in the reader.
  CPrivateProfile p;
  p.LoadText(
      "[S]\nStandard=1\nScan=2\nSource=3\nBrightness=4\nContrast=5\nHue=6\nSaturation=7\n"
      "PLL=8\nCryOsc=9\nHorizon=10\nVertical=11\nChroma=12\nMask=13\nClip=14\nInterline=15\n"
      "XDelay=16\nYDelay=17\n");
  const StoredParameters v = ReadStoredParameters(p, "S", ParameterKeys::kSolvane);
  StoredParameters expected{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_EQ(v, expected);
  // Hexmont reads only its nine keys; the others keep their defaults.
  const StoredParameters h = ReadStoredParameters(p, "S", ParameterKeys::kHexmont);
  StoredParameters hexmont = expected;
  const StoredParameters defaults;
  hexmont.mirrorHorizontal = defaults.mirrorHorizontal;
  hexmont.mirrorVertical = defaults.mirrorVertical;
  hexmont.chromaTrap = defaults.chromaTrap;
  hexmont.maskEnabled = defaults.maskEnabled;
  hexmont.clip = defaults.clip;
  hexmont.interline = defaults.interline;
  hexmont.xDelay = defaults.xDelay;
  hexmont.yDelay = defaults.yDelay;
  EXPECT_EQ(h, hexmont);
}

TEST(ParameterIni, HexmontWritesNineKeysInItsOrder) {
  CPrivateProfile p;
  WriteStoredParameters(p, HexmontSectionName(3), StoredParameters{}, ParameterKeys::kHexmont);
  EXPECT_EQ(p.Text(),
            "[Video Parameter3]\nStandard=0\nSource=0\nScan=0\nBrightness=128\nContrast=128\n"
            "Hue=128\nSaturation=128\nPLL=245\nCryOsc=0\n");
}

TEST(ParameterIni, SolvaneWritesSeventeenKeysInItsOrderWithSignedDelays) {
  CPrivateProfile p;
  StoredParameters v;
  v.xDelay = -5;
  v.yDelay = -2;
  WriteStoredParameters(p, kParameterSection, v, ParameterKeys::kSolvane);
  EXPECT_EQ(p.Text(),
            "[Video Parameter]\nStandard=0\nSource=0\nScan=0\nBrightness=128\nContrast=128\n"
            "Hue=128\nSaturation=128\nPLL=245\nCryOsc=0\nXDelay=-5\nYDelay=-2\nHorizon=0\n"
            "Vertical=0\nChroma=1\nClip=1\nInterline=1\nMask=0\n");
}

TEST(ParameterIni, SectionNamesCarryTheCardIndex) {
  EXPECT_EQ(HexmontSectionName(0), "Video Parameter0");
  EXPECT_EQ(HexmontSectionName(127), "Video Parameter127");
}

}  // namespace
