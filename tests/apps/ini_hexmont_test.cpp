// ini_hexmont_test.cpp - Hexmont's parameter sets in QuarnCard.ini through the whole program on
// the recording capture library: the defaults without a file, values read into the card records
// (low 8 bits of byte fields, the image size of the standard, a source index out of range) and
// sent to the cards, the sections written at exit in order with everything else kept, and
// hostile files that must neither crash the program nor lose what they hold.
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "private_profile.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;

using Harness = FrameworkHarness<CHexmontApp>;

// The nine keys of one card's section with default values, in the write order.
std::string DefaultSection(int index) {
  return "[Video Parameter" + std::to_string(index) +
         "]\nStandard=0\nSource=0\nScan=0\nBrightness=128\nContrast=128\nHue=128\n"
         "Saturation=128\nPLL=245\nCryOsc=0\n";
}

class HexmontIniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = ProfilePath("QuarnCard.ini");
    fs::create_directories(file_.parent_path());
    h_ = std::make_unique<Harness>(HexmontResources());
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
  // Starts the program, then closes it through File > Exit.
  void Run() {
    ASSERT_TRUE(h().Start());
    Close();
  }
  void Close() {
    ASSERT_TRUE(h().Send(ID_APP_EXIT));
    EXPECT_EQ(h().Exit(), 0);
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CGridCard& record(int i) { return frame().Grid().Cell(i); }

  quarnfake::ScopedFake fake_;
  fs::path file_;
  std::unique_ptr<Harness> h_;
};

// ---- Reading ------------------------------------------------------------------------------------

TEST_F(HexmontIniTest, NoFileGivesEveryDefault) {
  ASSERT_FALSE(fs::exists(file_));
  ASSERT_TRUE(h().Start());
  const CGridCard& r = record(0);
  EXPECT_EQ(r.card.Params().standard, kStandardPal);
  EXPECT_EQ(r.card.Params().scanMode, kScanFrame);
  EXPECT_EQ(r.card.Params().sourceType, kSourceVideo);
  EXPECT_EQ(r.card.Params().sourceNumber, 0);
  EXPECT_EQ(r.card.Params().brightness, 128);
  EXPECT_EQ(r.card.Params().contrast, 128);
  EXPECT_EQ(r.card.Params().hue, 128);
  EXPECT_EQ(r.card.Params().saturation, 128);
  EXPECT_EQ(r.card.Params().pll, 245);
  EXPECT_EQ(r.card.Params().crystal, kCrystal35M);
  EXPECT_EQ(r.card.GetImageSize().width, 768);
  EXPECT_EQ(r.card.GetImageSize().height, 576);
  // The four flags are not parameters of the file.
  EXPECT_EQ(r.card.Params().chromaTrap, 1);
  EXPECT_EQ(r.interline, 1);
  EXPECT_EQ(frame().FrameState().mask, 0);
}

TEST_F(HexmontIniTest, ByteFieldsKeepTheLowEightBitsAndAreSentSo) {
  // A reader that clamped would keep 255 for 300; one that stored the whole int would send 300.
  WriteIni("[Video Parameter0]\nBrightness=300\nContrast=-1\nHue=0x1FF\nSaturation=7\nPLL=256\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().brightness, 44);
  EXPECT_EQ(record(0).card.Params().contrast, 255);
  EXPECT_EQ(record(0).card.Params().hue, 255);
  EXPECT_EQ(record(0).card.Params().saturation, 7);
  EXPECT_EQ(record(0).card.Params().pll, 0);
  const auto calls = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(calls, Contains("QuarnAdjustVideo(h1, 1, 44)"));
  EXPECT_THAT(calls, Contains("QuarnAdjustVideo(h1, 2, 255)"));
  EXPECT_THAT(calls, Contains("QuarnSetPLLFrequency(h1, 0)"));
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("Brightness=44\nContrast=255\nHue=255\nSaturation=7\nPLL=0\n"));
}

// A non-zero standard the card takes gives the 640 x 480 image and is sent as read.
TEST_F(HexmontIniTest, Standard2GivesTheNtscImageAndIsSentAsIs) {
  // This card takes standard 2 (to apply it later).
  quarnfake::Script("QuarnSetVideoStandard").Returns(QUARN_ERR_NOT_APPLIED);
  WriteIni("[Video Parameter0]\nStandard=2\nScan=1\nCryOsc=1\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().standard, 2);
  EXPECT_EQ(record(0).card.GetImageSize().width, 640);
  EXPECT_EQ(record(0).card.GetImageSize().height, 480);
  const auto calls = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(calls, Contains("QuarnSetVideoStandard(h1, 2)"));
  EXPECT_THAT(calls, Contains("QuarnSetInputWindow(h1, 0, 0, 640, 480)"));
  EXPECT_THAT(calls, Contains("QuarnSetScanMode(h1, 1)"));
  EXPECT_THAT(calls, Contains("QuarnSelectCryOSC(h1, 1)"));
  Close();
  // Keys already in the section are updated where they stand, the others follow them.
  EXPECT_EQ(ReadIni(),
            "[Video Parameter0]\nStandard=2\nScan=1\nCryOsc=1\nSource=0\nBrightness=128\n"
            "Contrast=128\nHue=128\nSaturation=128\nPLL=245\n");
}

// Values the card turns down as out of range are sent once, then the record keeps the defaults
// (and the image of PAL) and the file gets those back; the other card keeps its own.
TEST_F(HexmontIniTest, ValuesTheCardRefusesGoBackToTheirDefaultsAndAreNotWrittenBack) {
  quarnfake::SetCardCount(2);
  WriteIni("[Video Parameter0]\nStandard=5\nScan=7\nCryOsc=9\n[Video Parameter1]\nScan=1\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().standard, 0);
  EXPECT_EQ(record(0).card.GetImageSize().width, 768);
  EXPECT_EQ(record(0).card.Params().scanMode, 0);
  EXPECT_EQ(record(0).card.Params().crystal, 0);
  EXPECT_EQ(record(1).card.Params().scanMode, 1);
  const auto calls = quarnfake::Calls().Card(1).Texts();
  EXPECT_THAT(calls, Contains("QuarnSetVideoStandard(h1, 5)"));
  EXPECT_THAT(calls, Contains("QuarnSetScanMode(h1, 7)"));
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("[Video Parameter0]\nStandard=0\nScan=0\nCryOsc=0\n"));
  EXPECT_THAT(ReadIni(), HasSubstr("[Video Parameter1]\nScan=1\n"));
}

TEST_F(HexmontIniTest, EachCardReadsItsOwnSection) {
  // A loop that read section 0 for every card would give both cards 10.
  quarnfake::SetCardCount(2);
  WriteIni("[Video Parameter0]\nBrightness=10\n[Video Parameter1]\nBrightness=20\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().brightness, 10);
  EXPECT_EQ(record(1).card.Params().brightness, 20);
}

TEST_F(HexmontIniTest, SourceAbove10IsReplacedByDetectionAndTheDetectedInputIsWritten) {
  quarnfake::SetSignals(1, {4});
  WriteIni("[Video Parameter0]\nSource=12\n");
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().sourceType, kSourceVideo);
  EXPECT_EQ(record(0).card.Params().sourceNumber, 4);
  Close();
  EXPECT_THAT(ReadIni(), HasSubstr("\nSource=4\n"));
}

// ---- Writing ------------------------------------------------------------------------------------

TEST_F(HexmontIniTest, TwoCardsWithDefaultValuesWriteTheExampleFileExactly) {
  quarnfake::SetCardCount(2);
  Run();
  EXPECT_EQ(ReadIni(), DefaultSection(0) + DefaultSection(1));
}

TEST_F(HexmontIniTest, ThreeCardsWriteSections0To2AndLeaveEverythingElse) {
  quarnfake::SetCardCount(3);
  const std::string before =
      "; written by hand\n"
      "[Video Parameter7]\nBrightness=1\n\n"
      "[Video Parameter1]\nFoo=bar\nHue=99\n\n"
      "[Other]\nStandard=1\n";
  WriteIni(before);
  Run();
  EXPECT_EQ(ReadIni(),
            "; written by hand\n"
            "[Video Parameter7]\nBrightness=1\n\n"
            "[Video Parameter1]\nFoo=bar\nHue=99\nStandard=0\nSource=0\nScan=0\nBrightness=128\n"
            "Contrast=128\nSaturation=128\nPLL=245\nCryOsc=0\n\n"
            "[Other]\nStandard=1\n" +
                DefaultSection(0) + DefaultSection(2));
}

TEST_F(HexmontIniTest, NothingIsWrittenBeforeTheFrameCloses) {
  quarnfake::SetCardCount(2);
  ASSERT_TRUE(h().Start());
  EXPECT_FALSE(fs::exists(file_));
  Close();
  EXPECT_TRUE(fs::exists(file_));
}

// ---- Hostile files ------------------------------------------------------------------------------

TEST_F(HexmontIniTest, HostileValuesGiveTheReadersValueAndTheFileKeepsTheRest) {
  const std::string huge(1 << 20, 'z');
  const std::string before =
      "[Video Parameter0]\nStandard=-3\nScan=text\nBrightness=99999999999\nContrast=\n"
      "Junk=" +
      huge +
      "\nHue=  -0x10  \n"
      "[Video Parameter0]\nPLL=1\n";
  WriteIni(before);
  ASSERT_TRUE(h().Start());
  const CGridCard& r = record(0);
  EXPECT_EQ(r.card.Params().standard, 0);  // -3 is read, and the card turns it down
  EXPECT_EQ(r.card.GetImageSize().width, 768);
  EXPECT_EQ(r.card.Params().scanMode, 0);
  EXPECT_EQ(r.card.Params().brightness, 0xFF);  // 99999999999 wraps to 0x4876E7FF
  EXPECT_EQ(r.card.Params().contrast, 128);     // empty value: the default
  EXPECT_EQ(r.card.Params().hue, 0xF0);
  EXPECT_EQ(r.card.Params().pll, 245);  // the repeated section is not read
  Close();
  EXPECT_EQ(ReadIni(),
            "[Video Parameter0]\nStandard=0\nScan=0\nBrightness=255\nContrast=128\n"
            "Junk=" +
                huge +
                "\nHue=240\nSource=0\nSaturation=128\nPLL=245\nCryOsc=0\n"
                "[Video Parameter0]\nPLL=1\n");
}

TEST_F(HexmontIniTest, AFolderWhereTheFileShouldBeGivesDefaultsAndStaysAsItIs) {
  fs::create_directory(file_);
  ASSERT_TRUE(h().Start());
  EXPECT_EQ(record(0).card.Params().brightness, 128);
  Close();
  EXPECT_TRUE(fs::is_directory(file_));
  fs::remove(file_);
}

TEST_F(HexmontIniTest, AMissingConfigurationFolderIsCreated) {
  fs::remove_all(file_.parent_path());
  Run();
  EXPECT_EQ(ReadIni(), DefaultSection(0));
}

}  // namespace
