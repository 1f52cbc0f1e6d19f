// ini_solvane_test.cpp - Solvane's parameter set in QuarnCard.ini through the whole program on the
// recording capture library: the defaults without a file, the setters called before the card is
// opened in their fixed order, what the card keeps of them, the clip and interline flags, the
// saved mask loaded once the card is open, the section written at exit (signed delays, Hexmont's
// sections kept) and hostile files.
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "main_frm.h"
#include "private_profile.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Harness = FrameworkHarness<CSolvaneApp>;

const char* const kDefaultSection =
    "[Video Parameter]\nStandard=0\nSource=0\nScan=0\nBrightness=128\nContrast=128\nHue=128\n"
    "Saturation=128\nPLL=245\nCryOsc=0\nXDelay=0\nYDelay=0\nHorizon=0\nVertical=0\nChroma=1\n"
    "Clip=1\nInterline=1\nMask=0\n";

// Makes the library accept (as "not yet applied") the setter calls LoadParameters makes while the
// card is not open, so the card keeps the values read; later calls behave normally.
void AcceptCallsBeforeOpen() {
  for (const char* op : {"QuarnSetVideoStandard", "QuarnSetScanMode", "QuarnSetVideoSource",
                         "QuarnSetPLLFrequency", "QuarnSelectCryOSC", "QuarnLumaControl",
                         "QuarnEnableMask", "QuarnSetInputWindow", "QuarnSetDelay"}) {
    quarnfake::Script(op).ReturnsNext(QUARN_ERR_NOT_APPLIED);
  }
  quarnfake::Script("QuarnAdjustVideo").ReturnsNext(QUARN_ERR_NOT_APPLIED, 4);
  quarnfake::Script("QuarnEnableVideoMirror").ReturnsNext(QUARN_ERR_NOT_APPLIED, 2);
}

class SolvaneIniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = ProfilePath("QuarnCard.ini");
    fs::create_directories(file_.parent_path());
    h_ = std::make_unique<Harness>(SolvaneResources());
  }

  void WriteIni(const std::string& text) {
    std::ofstream out(file_, std::ios::binary);
    out << text;
  }
  std::string ReadIni() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void Close() {
    ASSERT_TRUE(h().Send(ID_APP_EXIT));
    EXPECT_EQ(h().Exit(), 0);
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CVideoCard& card() { return frame().Card(); }

  quarnfake::ScopedFake fake_;
  fs::path file_;
  std::unique_ptr<Harness> h_;
};

// ---- Reading ------------------------------------------------------------------------------------

TEST_F(SolvaneIniTest, NoFileGivesEveryDefaultAndWritesThemAtExit) {
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(card().GetVideoStandard(), kStandardPal);
  EXPECT_EQ(card().GetScanMode(), kScanFrame);
  EXPECT_EQ(card().GetSourceIndex(), 0);
  EXPECT_EQ(card().GetBrightness(), 128);
  EXPECT_EQ(card().GetContrast(), 128);
  EXPECT_EQ(card().GetHue(), 128);
  EXPECT_EQ(card().GetSaturation(), 128);
  EXPECT_EQ(card().GetPllFrequency(), 245);
  EXPECT_EQ(card().GetCrystal(), kCrystal35M);
  EXPECT_EQ(card().GetImageSize(), (ImageSize{768, 576}));
  EXPECT_EQ(card().GetMirrorHorizontal(), 0);
  EXPECT_EQ(card().GetMirrorVertical(), 0);
  EXPECT_EQ(card().GetChromaTrap(), 1);
  EXPECT_EQ(card().IsMaskEnabled(), 0);
  EXPECT_EQ(card().GetXDelay(), 0);
  EXPECT_EQ(card().GetYDelay(), 0);
  EXPECT_EQ(frame().clip, 1);
  EXPECT_EQ(frame().interline, 1);
  EXPECT_FALSE(fs::exists(file_));  // nothing is written while the program runs
  Close();
  EXPECT_EQ(ReadIni(), kDefaultSection);
}

TEST_F(SolvaneIniTest, EveryValueGoesThroughItsSetterInOrderBeforeTheCardOpens) {
  WriteIni(
      "[Video Parameter]\nStandard=1\nScan=2\nSource=7\nBrightness=11\nContrast=12\nHue=13\n"
      "Saturation=14\nPLL=15\nCryOsc=1\nHorizon=1\nVertical=1\nChroma=0\nMask=0\n"
      "XDelay=-5\nYDelay=3\n");
  ASSERT_TRUE(h().Start());
  // The card is not open yet (handle 0): format from the depth, then the file's values in the
  // fixed order, the input window of the kept standard (NTSC) last but the delays. Then the card
  // opens.
  const auto calls = quarnfake::Calls().Handle(0).Texts();
  EXPECT_THAT(calls,
              ElementsAre("QuarnSetVideoFormat(0, 4)", "QuarnSetVideoStandard(0, 1)",
                          "QuarnSetScanMode(0, 2)", "QuarnSetVideoSource(0, 1, 1)",
                          "QuarnAdjustVideo(0, 1, 11)", "QuarnAdjustVideo(0, 2, 12)",
                          "QuarnAdjustVideo(0, 3, 13)", "QuarnAdjustVideo(0, 4, 14)",
                          "QuarnSetPLLFrequency(0, 15)", "QuarnSelectCryOSC(0, 1)",
                          "QuarnEnableVideoMirror(0, 0, 1)", "QuarnEnableVideoMirror(0, 1, 1)",
                          "QuarnLumaControl(0, 0, 0)", "QuarnEnableMask(0, 0)",
                          "QuarnSetInputWindow(0, 0, 0, 640, 480)", "QuarnSetDelay(0, -5, 3)"));
  EXPECT_EQ(quarnfake::Calls().front().op, "QuarnSetVideoFormat");
}

TEST_F(SolvaneIniTest, ValuesTheLibraryAcceptsBeforeOpenAreKeptAndSent) {
  AcceptCallsBeforeOpen();
  // This card takes standard 2 (to apply it later).
  quarnfake::Script("QuarnSetVideoStandard").Returns(QUARN_ERR_NOT_APPLIED);
  WriteIni(
      "[Video Parameter]\nStandard=2\nScan=1\nBrightness=300\nPLL=-1\nHorizon=1\nChroma=258\n"
      "Clip=0\nInterline=0\nXDelay=-5\nYDelay=-1\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(card().GetVideoStandard(), 2);
  EXPECT_EQ(card().GetImageSize(), (ImageSize{640, 480}));
  EXPECT_EQ(card().GetScanMode(), kScanField);
  EXPECT_EQ(card().GetBrightness(), 44);
  EXPECT_EQ(card().GetPllFrequency(), 255);
  EXPECT_EQ(card().GetMirrorHorizontal(), 1);
  EXPECT_EQ(card().GetChromaTrap(), 2);  // the low byte of 258
  EXPECT_EQ(card().GetXDelay(), -5);
  EXPECT_EQ(card().GetYDelay(), -1);
  EXPECT_EQ(frame().clip, 0);
  EXPECT_EQ(frame().interline, 0);
  // The opened card is sent the kept set.
  const auto sent = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(sent, Contains("QuarnSetVideoStandard(h1, 2)"));
  EXPECT_THAT(sent, Contains("QuarnAdjustVideo(h1, 1, 44)"));
  EXPECT_THAT(sent, Contains("QuarnSetDelay(h1, -5, -1)"));
  Close();
  EXPECT_EQ(ReadIni(),
            "[Video Parameter]\nStandard=2\nScan=1\nBrightness=44\nPLL=255\nHorizon=1\n"
            "Chroma=2\nClip=0\nInterline=0\nXDelay=-5\nYDelay=-1\nSource=0\nContrast=128\n"
            "Hue=128\nSaturation=128\nCryOsc=0\nVertical=0\nMask=0\n");
}

TEST_F(SolvaneIniTest, SavedValuesSurviveTheUnopenedCardsRefusalAndAreSentOnOpen) {
  // The library answers calls on a card that is not open with a bad-handle status. The saved set
  // must still be kept and sent when the card opens; otherwise every start would silently fall
  // back to the defaults and write them over the user's file at exit.
  WriteIni("[Video Parameter]\nStandard=1\nBrightness=50\nClip=0\nInterline=0\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(card().GetVideoStandard(), 1);
  EXPECT_EQ(card().GetBrightness(), 50);
  EXPECT_EQ(frame().clip, 0);
  EXPECT_EQ(frame().interline, 0);
  const auto sent = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(sent, Contains("QuarnSetVideoStandard(h1, 1)"));
  EXPECT_THAT(sent, Contains("QuarnAdjustVideo(h1, 1, 50)"));
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("Standard=1\n"));
  EXPECT_THAT(ReadIni(), HasSubstr("Brightness=50\n"));
  EXPECT_THAT(ReadIni(), HasSubstr("Clip=0\nInterline=0\n"));
}

TEST_F(SolvaneIniTest, SourceAbove10SendsTheKeptSourceAgainAndDetectionDecides) {
  AcceptCallsBeforeOpen();
  quarnfake::SetSignals(1, {6});
  WriteIni("[Video Parameter]\nSource=12\n");
  ASSERT_TRUE(h().Start());
  EXPECT_THAT(quarnfake::Calls("QuarnSetVideoSource").Handle(0).Texts(),
              ElementsAre("QuarnSetVideoSource(0, 0, 0)"));
  EXPECT_EQ(card().GetSourceIndex(), 6);
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("\nSource=6\n"));
}

// ---- The saved mask -----------------------------------------------------------------------------

TEST_F(SolvaneIniTest, SavedMaskIsLoadedAtFullHeightOnceTheCardIsOpen) {
  AcceptCallsBeforeOpen();
  // Field scan: the Mask command would halve the height, the start-up load must not.
  WriteIni("[Video Parameter]\nScan=1\nMask=1\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(card().IsMaskEnabled(), 1);
  const auto pixels = quarnfake::Calls("QuarnSetPixelMask");
  ASSERT_EQ(pixels.size(), 768u * 576u + 50u * 50u + 100u);
  EXPECT_EQ(pixels.front().Text(), "QuarnSetPixelMask(h1, 0, 0, 0)");
  EXPECT_EQ(pixels[576].Text(), "QuarnSetPixelMask(h1, 1, 0, 0)");  // column by column
  EXPECT_EQ(pixels[768u * 576u].Text(), "QuarnSetPixelMask(h1, 50, 50, 1)");
  EXPECT_EQ(pixels.back().Text(), "QuarnSetPixelMask(h1, 199, 150, 1)");
  // Loaded after the card was opened and sent its set.
  EXPECT_GT(pixels.front().seq,
            quarnfake::Calls("QuarnEnableMask").Handle(quarnfake::HandleOf(1)).front().seq);
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("\nMask=1\n"));
}

TEST_F(SolvaneIniTest, MaskOffLoadsNoPattern) {
  AcceptCallsBeforeOpen();
  WriteIni("[Video Parameter]\nMask=0\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(quarnfake::CallCount("QuarnSetPixelMask"), 0u);
}

// ---- Writing and hostile files ------------------------------------------------------------------

TEST_F(SolvaneIniTest, HexmontsSectionsAndUnknownKeysAreKept) {
  const std::string hexmont = "[Video Parameter0]\nStandard=1\n[Video Parameter1]\nHue=3\n";
  WriteIni(hexmont + "[Video Parameter]\nMine=yes\n");
  ASSERT_TRUE(h().Start());
  Close();
  const std::string section(kDefaultSection);
  EXPECT_EQ(ReadIni(),
            hexmont + "[Video Parameter]\nMine=yes\n" + section.substr(section.find('\n') + 1));
}

TEST_F(SolvaneIniTest, HostileValuesAndARepeatedSectionNeitherCrashNorLoseLines) {
  const std::string huge(1 << 20, '7');
  const std::string before =
      "[video parameter]\nClip=text\nInterline=" + huge + "\n[Video Parameter]\nClip=5\n";
  WriteIni(before);
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(frame().clip, 0);  // text reads as 0
  EXPECT_EQ(frame().interline, ProfileTextToInt(huge));
  Close();
  const std::string after = ReadIni();
  EXPECT_THAT(after, HasSubstr("\n[Video Parameter]\nClip=5\n"));  // the repeat is untouched
  EXPECT_THAT(after, HasSubstr("[video parameter]\nClip=0\nInterline=" +
                               std::to_string(ProfileTextToInt(huge)) + "\n"));
}

TEST_F(SolvaneIniTest, AFolderWhereTheFileShouldBeGivesDefaultsAndStaysAsItIs) {
  fs::create_directory(file_);
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(frame().clip, 1);
  Close();
  EXPECT_TRUE(fs::is_directory(file_));
  fs::remove(file_);
}

}  // namespace

namespace {

// Values the opened card turns down as out of range are sent once, then go back to their initial
// values: they are neither shown as in force nor written back.
TEST_F(SolvaneIniTest, ValuesTheCardRefusesGoBackToTheirInitialValuesAndAreNotWrittenBack) {
  WriteIni("[Video Parameter]\nStandard=5\nScan=7\nCryOsc=3\nHorizon=4\nXDelay=-3\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(card().GetVideoStandard(), 0);
  EXPECT_EQ(card().GetScanMode(), 0);
  EXPECT_EQ(card().GetCrystal(), 0);
  EXPECT_EQ(card().GetXDelay(), -3) << "a delay the card takes is kept";
  const auto sent = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(sent, Contains("QuarnSetVideoStandard(h1, 5)"));
  EXPECT_THAT(sent, Contains("QuarnSetScanMode(h1, 7)"));
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("Standard=0\nScan=0\nCryOsc=0\n"));
}

}  // namespace
