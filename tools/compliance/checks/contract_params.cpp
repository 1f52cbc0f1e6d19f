// contract_params.cpp - the capture library's parameters on the simulated cards: every code is
// accepted or rejected as QuarnVideo.h says, a rejected value changes nothing, an accepted one
// changes the stored picture, window and mask bounds, and injected faults (QUARN_SIM_FAIL).
//
// Pictures are compared between twins: two handles on the same card, opened together, render the
// same frames while their parameters agree, so any difference comes from the parameter under test.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "contract_support.h"

namespace {

using contract::AllBytesAre;
using contract::CardHandle;
using contract::FillStatic;
using contract::ReadStatic;
using contract::SetSim;

constexpr uint64_t kFrameArea = 768ull * 576ull * 4ull;  // room for the largest frame

size_t BytesPerPixel(int format) {
  constexpr size_t kBytes[] = {2, 3, 2, 2, 4, 1, 1};
  return kBytes[format];
}

size_t FrameBytes(int format, int width, int lines) {
  return BytesPerPixel(format) * static_cast<size_t>(width) * static_cast<size_t>(lines);
}

// Stores `count` frames of `handle` from `offset` and returns the last one, `bytes` long.
std::vector<uint8_t> StoreLast(QUARN_HANDLE handle, uint64_t offset, size_t bytes,
                               uint16_t count = 1, int interline = 1) {
  EXPECT_EQ(QuarnSnapShot(handle, offset, 0, interline, count), QUARN_OK);
  return ReadStatic(offset + (count - 1) * bytes, bytes);
}

class Params : public contract::SimTest {
 protected:
  // Stores the next frames of both twins (same count for both keeps them in step).
  void StoreTwins(size_t bytes, std::vector<uint8_t>* changed, std::vector<uint8_t>* reference,
                  uint16_t count = 1) {
    *changed = StoreLast(a_.get(), 0, bytes, count);
    *reference = StoreLast(b_.get(), count * kFrameArea, bytes, count);
  }

  CardHandle a_{1};
  CardHandle b_{1};
};

constexpr size_t kDefaultFrame = 768 * 576 * 3;  // PAL, RGB888, 768 x 576

TEST_F(Params, TwinsRenderIdenticalFrames) {
  QUARN_SIMULATOR_ONLY();
  std::vector<uint8_t> a, b;
  StoreTwins(kDefaultFrame, &a, &b, 3);
  ASSERT_EQ(a.size(), kDefaultFrame);
  EXPECT_TRUE(a == b) << "twins with equal parameters must render equal frames";
  EXPECT_FALSE(AllBytesAre(a, a[0])) << "the picture is not flat";
}

struct Change {
  const char* what;
  std::function<int(QUARN_HANDLE)> apply;
};

// Accepted values that differ from the defaults: each must show in the stored picture.
std::vector<Change> VisibleChanges() {
  return {
      {"source Video 2 (no signal)", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 0, 1); }},
      {"standard NTSC", [](QUARN_HANDLE h) { return QuarnSetVideoStandard(h, 1); }},
      {"crystal 28M on PAL", [](QUARN_HANDLE h) { return QuarnSelectCryOSC(h, 1); }},
      {"brightness", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 1, 200); }},
      {"contrast", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 2, 40); }},
      {"hue", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 3, 30); }},
      {"saturation", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 4, 0); }},
      {"PLL frequency", [](QUARN_HANDLE h) { return QuarnSetPLLFrequency(h, 200); }},
      {"input window", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 100, 80, 300, 200); }},
      {"delay", [](QUARN_HANDLE h) { return QuarnSetDelay(h, 40, 20); }},
      {"mirror horizontal", [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, 0, 1); }},
      {"mirror vertical", [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, 1, 1); }},
      {"chroma trap off", [](QUARN_HANDLE h) { return QuarnLumaControl(h, 0, 0); }},
      {"mask with a masked pixel",
       [](QUARN_HANDLE h) {
         const int status = QuarnSetPixelMask(h, 400, 300, 1);
         return status != QUARN_OK ? status : QuarnEnableMask(h, 1);
       }},
  };
}

TEST_F(Params, AcceptedValuesChangeTheStoredPicture) {
  QUARN_SIMULATOR_ONLY();
  for (const auto& change : VisibleChanges()) {
    CardHandle a(1), b(1);
    ASSERT_EQ(change.apply(a.get()), QUARN_OK) << change.what;
    // The third frame: effects that grow with the frame number (a rolling picture) show by then.
    const auto changed = StoreLast(a.get(), 0, kDefaultFrame, 3);
    const auto reference = StoreLast(b.get(), 3 * kFrameArea, kDefaultFrame, 3);
    EXPECT_FALSE(changed == reference) << change.what << " did not change the picture";
  }
}

// Values outside the codes of QuarnVideo.h: each is rejected and leaves the picture as it was.
std::vector<Change> RejectedChanges() {
  return {
      {"source type 3", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 3, 0); }},
      {"source type -1", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, -1, 0); }},
      {"Video 7", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 0, 6); }},
      {"S-Video 4", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 1, 3); }},
      {"YCbCr3", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 2, 2); }},
      {"source number -1", [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 0, -1); }},
      {"standard 2", [](QUARN_HANDLE h) { return QuarnSetVideoStandard(h, 2); }},
      {"standard -1", [](QUARN_HANDLE h) { return QuarnSetVideoStandard(h, -1); }},
      {"format 7", [](QUARN_HANDLE h) { return QuarnSetVideoFormat(h, 7); }},
      {"format -1", [](QUARN_HANDLE h) { return QuarnSetVideoFormat(h, -1); }},
      {"scan mode 3", [](QUARN_HANDLE h) { return QuarnSetScanMode(h, 3); }},
      {"crystal 2", [](QUARN_HANDLE h) { return QuarnSelectCryOSC(h, 2); }},
      {"adjust item 0", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 0, 10); }},
      {"adjust item 5", [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 5, 10); }},
      {"mirror direction 2", [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, 2, 1); }},
      {"mirror direction -1", [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, -1, 1); }},
      {"luma item 1", [](QUARN_HANDLE h) { return QuarnLumaControl(h, 1, 0); }},
      {"delay x 129", [](QUARN_HANDLE h) { return QuarnSetDelay(h, 129, 0); }},
      {"delay y -129", [](QUARN_HANDLE h) { return QuarnSetDelay(h, 0, -129); }},
      // A window that fails on its last field must not have applied its first ones.
      {"input x -1", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, -1, 0, 100, 100); }},
      {"input y -1", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 0, -1, 100, 100); }},
      {"input width 0", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 10, 10, 0, 100); }},
      {"input height 0", [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 10, 10, 100, 0); }},
      {"input past the right",
       [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 1, 0, 768, 100); }},
      {"input past the bottom",
       [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 0, 477, 100, 100); }},
      {"input overflowing",
       [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 10, 10, INT_MAX, INT_MAX); }},
      {"output width 0", [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 0, 100); }},
      {"output width 769", [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 769, 100); }},
      {"output height 0", [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 100, 0); }},
      {"output height 577", [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 100, 577); }},
      {"mask pixel x 768", [](QUARN_HANDLE h) { return QuarnSetPixelMask(h, 768, 0, 1); }},
      {"mask pixel y 576", [](QUARN_HANDLE h) { return QuarnSetPixelMask(h, 0, 576, 1); }},
      {"mask pixel x -1", [](QUARN_HANDLE h) { return QuarnSetPixelMask(h, -1, 5, 1); }},
  };
}

// Any library refuses them; on the simulator the twins also show that nothing changed.
TEST_F(Params, RejectedValuesAreRefused) {
  for (const auto& change : RejectedChanges()) {
    EXPECT_EQ(change.apply(a_.get()), QUARN_ERR_BAD_PARAMETER) << change.what;
  }
}

TEST_F(Params, RejectedValuesChangeNothing) {
  QUARN_SIMULATOR_ONLY();
  // The mask is enabled on both twins so that a wrongly stored mask pixel would show.
  ASSERT_EQ(QuarnEnableMask(a_.get(), 1), QUARN_OK);
  ASSERT_EQ(QuarnEnableMask(b_.get(), 1), QUARN_OK);
  for (const auto& change : RejectedChanges()) {
    EXPECT_EQ(change.apply(a_.get()), QUARN_ERR_BAD_PARAMETER) << change.what;
  }
  std::vector<uint8_t> a, b;
  StoreTwins(kDefaultFrame, &a, &b, 2);
  ASSERT_EQ(a.size(), kDefaultFrame);
  EXPECT_TRUE(a == b) << "a rejected value changed the picture";
}

TEST_F(Params, WindowBoundsThatAreAccepted) {
  const QUARN_HANDLE h = a_.get();
  EXPECT_EQ(QuarnSetInputWindow(h, 0, 0, 768, 576), QUARN_OK);
  EXPECT_EQ(QuarnSetInputWindow(h, 767, 575, 1, 1), QUARN_OK);
  EXPECT_EQ(QuarnSetInputWindow(h, 0, 0, 1, 1), QUARN_OK);
  // Screen coordinates left of or above the primary screen are negative.
  EXPECT_EQ(QuarnSetOutputWindow(h, -500, -300, 768, 576), QUARN_OK);
  EXPECT_EQ(QuarnSetOutputWindow(h, 5000, 4000, 1, 1), QUARN_OK);
  EXPECT_EQ(QuarnSetPixelMask(h, 767, 575, 1), QUARN_OK);
  EXPECT_EQ(QuarnSetPixelMask(h, 0, 0, 0), QUARN_OK);
  EXPECT_EQ(QuarnSetDelay(h, -128, 128), QUARN_OK);
  for (int value : {0, 1, 255}) {
    for (int item = 1; item <= 4; ++item) {
      EXPECT_EQ(QuarnAdjustVideo(h, item, static_cast<uint8_t>(value)), QUARN_OK);
    }
    EXPECT_EQ(QuarnSetPLLFrequency(h, static_cast<uint8_t>(value)), QUARN_OK);
    EXPECT_EQ(QuarnLumaControl(h, 0, static_cast<uint8_t>(value)), QUARN_OK);
  }
  for (int type = 0; type < 3; ++type) {
    const int count[] = {6, 3, 2};
    for (int number = 0; number < count[type]; ++number) {
      EXPECT_EQ(QuarnSetVideoSource(h, type, number), QUARN_OK) << type << "/" << number;
    }
  }
}

// Fault: a format ignored by the renderer stores frames of the wrong size, and the programs'
// frame arithmetic then reads across frame boundaries.
TEST_F(Params, EveryFormatStoresFramesOfItsOwnSize) {
  const QUARN_HANDLE h = a_.get();
  ASSERT_EQ(QuarnSetOutputWindow(h, 0, 0, 64, 48), QUARN_OK);
  std::vector<std::vector<uint8_t>> frames;
  for (int format = 0; format <= 6; ++format) {
    ASSERT_EQ(QuarnSetVideoFormat(h, format), QUARN_OK);
    const size_t bytes = FrameBytes(format, 64, 48);
    FillStatic(0, bytes + 64, 0xFF);
    ASSERT_EQ(QuarnSnapShot(h, 0, 0, 1, 1), QUARN_OK);
    const auto stored = ReadStatic(0, bytes + 64);
    const std::vector<uint8_t> frame(stored.begin(), stored.begin() + static_cast<long>(bytes));
    const std::vector<uint8_t> after(stored.begin() + static_cast<long>(bytes), stored.end());
    EXPECT_FALSE(AllBytesAre(frame, 0xFF)) << "format " << format << " stored nothing";
    EXPECT_TRUE(AllBytesAre(after, 0xFF)) << "format " << format << " wrote past its frame";
    frames.push_back(frame);
  }
  // Both 8-bit formats have the same size; the limited one keeps luma inside 16..235.
  for (uint8_t value : frames[QUARN_FORMAT_LIMITED8]) {
    ASSERT_TRUE(value >= 16 && value <= 235) << int{value};
  }
  EXPECT_FALSE(frames[QUARN_FORMAT_ALL8] == frames[QUARN_FORMAT_LIMITED8]);
  // RGB565 and RGB555 have the same size but not the same bytes.
  EXPECT_FALSE(frames[QUARN_FORMAT_RGB565] == frames[QUARN_FORMAT_RGB555]);
}

TEST_F(Params, OutputSizeAndScanModeSetTheStoredGeometry) {
  const QUARN_HANDLE h = a_.get();
  ASSERT_EQ(QuarnSetOutputWindow(h, 0, 0, 100, 61), QUARN_OK);
  struct Case {
    int scanMode, interline, lines;
  };
  // A full frame only in scan mode 0 with interline; otherwise one field of 61 / 2 lines.
  for (const Case c : {Case{0, 1, 61}, Case{0, 0, 30}, Case{1, 1, 30}, Case{1, 0, 30},
                       Case{2, 1, 30}, Case{2, 0, 30}}) {
    ASSERT_EQ(QuarnSetScanMode(h, c.scanMode), QUARN_OK);
    const size_t bytes = FrameBytes(QUARN_FORMAT_RGB888, 100, c.lines);
    FillStatic(0, bytes + 300, 0xFF);
    ASSERT_EQ(QuarnSnapShot(h, 0, 0, c.interline, 1), QUARN_OK);
    const auto stored = ReadStatic(0, bytes + 300);
    EXPECT_NE(stored[bytes - 1], 0xFF) << "scan " << c.scanMode << " interline " << c.interline;
    EXPECT_TRUE(AllBytesAre(
        std::vector<uint8_t>(stored.begin() + static_cast<long>(bytes), stored.end()), 0xFF))
        << "scan " << c.scanMode << " interline " << c.interline << " wrote past its frame";
  }
}

TEST_F(Params, TheTwoFieldsDiffer) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetScanMode(a_.get(), QUARN_SCAN_FIELD), QUARN_OK);
  ASSERT_EQ(QuarnSetScanMode(b_.get(), QUARN_SCAN_FIELD1), QUARN_OK);
  std::vector<uint8_t> even, odd;
  StoreTwins(768 * 288 * 3, &even, &odd);
  EXPECT_FALSE(even == odd) << "scan modes 1 and 2 must deliver different fields";
}

// Fault: masking the wrong pixels (x and y swapped, or rows of the whole frame instead of the
// delivered picture) blacks out parts of the picture the user never painted.
TEST_F(Params, MaskBlacksExactlyTheMaskedPixelsWhileEnabled) {
  QUARN_SIMULATOR_ONLY();
  const QUARN_HANDLE h = a_.get();
  const int x0 = 390, y0 = 290, size = 6;
  for (int y = y0; y < y0 + size; ++y) {
    for (int x = x0; x < x0 + size; ++x) ASSERT_EQ(QuarnSetPixelMask(h, x, y, 1), QUARN_OK);
  }
  std::vector<uint8_t> a, b;
  StoreTwins(kDefaultFrame, &a, &b);
  EXPECT_TRUE(a == b) << "a mask that is not enabled changes nothing";

  ASSERT_EQ(QuarnEnableMask(h, 1), QUARN_OK);
  StoreTwins(kDefaultFrame, &a, &b);
  size_t differing = 0;
  for (int y = 0; y < 576; ++y) {
    for (int x = 0; x < 768; ++x) {
      const size_t at = (static_cast<size_t>(y) * 768 + static_cast<size_t>(x)) * 3;
      const bool masked = x >= x0 && x < x0 + size && y >= y0 && y < y0 + size;
      if (masked) {
        EXPECT_EQ(a[at] | a[at + 1] | a[at + 2], 0) << "masked pixel " << x << "," << y;
      } else if (a[at] != b[at] || a[at + 1] != b[at + 1] || a[at + 2] != b[at + 2]) {
        ++differing;
      }
    }
  }
  EXPECT_EQ(differing, 0u) << "pixels outside the mask changed";

  // Unmasking one pixel brings it back.
  ASSERT_EQ(QuarnSetPixelMask(h, x0, y0, 0), QUARN_OK);
  StoreTwins(kDefaultFrame, &a, &b);
  const size_t at = (static_cast<size_t>(y0) * 768 + x0) * 3;
  EXPECT_EQ(a[at], b[at]);
  EXPECT_EQ(a[at + 2], b[at + 2]);
}

TEST_F(Params, NtscImageOutsideItsSizeIsBlack) {
  QUARN_SIMULATOR_ONLY();
  ASSERT_EQ(QuarnSetVideoStandard(a_.get(), QUARN_STANDARD_NTSC), QUARN_OK);
  std::vector<uint8_t> ntsc, pal;
  StoreTwins(kDefaultFrame, &ntsc, &pal);
  auto regionIsBlack = [](const std::vector<uint8_t>& frame, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const size_t at = (static_cast<size_t>(y) * 768 + static_cast<size_t>(x)) * 3;
        if ((frame[at] | frame[at + 1] | frame[at + 2]) != 0) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(regionIsBlack(ntsc, 640, 0, 768, 576)) << "right of 640 columns";
  EXPECT_TRUE(regionIsBlack(ntsc, 0, 480, 768, 576)) << "below 480 lines";
  EXPECT_FALSE(regionIsBlack(pal, 640, 0, 768, 576)) << "PAL shows picture there";
  EXPECT_FALSE(regionIsBlack(ntsc, 0, 0, 640, 480)) << "NTSC shows picture inside its image";
}

// ---- Injected faults ------------------------------------------------------------------------

// Without twins opened by the fixture, so that the fault settings are read. Faults are injected
// through the simulator's QUARN_SIM_FAIL setting, so these checks need the simulated cards.
class Faults : public contract::SimTest {
 protected:
  void SetUp() override {
    QUARN_SIMULATOR_ONLY();
    SimTest::SetUp();
  }
};

TEST_F(Faults, InjectedNotAppliedStillAppliesTheValue) {
  SetSim("QUARN_SIM_FAIL", "QuarnSetVideoFormat=-7");
  Reload();
  CardHandle card(1);
  const QUARN_HANDLE h = card.get();
  ASSERT_EQ(QuarnSetOutputWindow(h, 0, 0, 32, 32), QUARN_OK);
  EXPECT_EQ(QuarnSetVideoFormat(h, QUARN_FORMAT_RGB8888), QUARN_ERR_NOT_APPLIED);
  const size_t bytes = FrameBytes(QUARN_FORMAT_RGB8888, 32, 32);
  FillStatic(0, bytes + 16, 0xFF);
  ASSERT_EQ(QuarnSnapShot(h, 0, 0, 1, 1), QUARN_OK);
  const auto stored = ReadStatic(0, bytes + 16);
  // RGB888 would have stopped at 3/4 of this size.
  EXPECT_NE(stored[bytes - 1], 0xFF) << "the 32-bit format was not applied";
  EXPECT_EQ(stored[bytes], 0xFF);
  // A value that is out of range is still rejected, not "accepted late".
  EXPECT_EQ(QuarnSetVideoFormat(h, 9), QUARN_ERR_BAD_PARAMETER);
}

TEST_F(Faults, InjectedFailureActsOnlyOnItsCardAndChangesNothing) {
  SetSim("QUARN_SIM_FAIL", "QuarnAdjustVideo@2=-6, QuarnSetScanMode=-1");
  Reload();
  CardHandle one(1), two(2), twoTwin(2);
  EXPECT_EQ(QuarnAdjustVideo(one.get(), 1, 200), QUARN_OK);
  EXPECT_EQ(QuarnAdjustVideo(two.get(), 1, 200), QUARN_ERR_BUSY);
  EXPECT_EQ(QuarnSetScanMode(one.get(), 1), QUARN_ERR_GENERAL);
  EXPECT_EQ(QuarnSetScanMode(two.get(), 1), QUARN_ERR_GENERAL);
  // Neither the brightness nor the field mode reached card 2's picture.
  const auto changed = StoreLast(two.get(), 0, kDefaultFrame);
  const auto reference = StoreLast(twoTwin.get(), kFrameArea, kDefaultFrame);
  EXPECT_TRUE(changed == reference);
}

TEST_F(Faults, InjectedFaultsOnCardlessOperations) {
  SetSim("QUARN_SIM_FAIL",
         "QuarnGetCardTotal=-1,BeginQuarnCard@3=-4,QuarnStaticMemLock=-9,QuarnGetStaticMem=-10");
  int count = -1;
  EXPECT_EQ(QuarnGetCardTotal(&count), QUARN_ERR_GENERAL);
  EXPECT_EQ(count, 4) << "the count is written even with an injected status";
  QUARN_HANDLE handle = 0;
  EXPECT_EQ(BeginQuarnCard(3, &handle), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(handle, 0u);
  CardHandle card(2);
  ASSERT_EQ(card.status(), QUARN_OK);
  int pages = -1;
  EXPECT_EQ(QuarnGetStaticMem(&pages), QUARN_ERR_NO_MEMORY);
  EXPECT_EQ(pages, -1);
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  EXPECT_EQ(QuarnStaticMemLock(0, 16, &lock, &address), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(address, nullptr);
  // The card's own use of static memory is not the program's lock call.
  EXPECT_EQ(QuarnSnapShot(card.get(), 0, 0, 1, 1), QUARN_OK);
}

TEST_F(Faults, MalformedFaultEntriesAreIgnored) {
  SetSim("QUARN_SIM_FAIL",
         "QuarnSetDelay=abc,NoSuchOperation=-2,QuarnSetDelay@0=-2,=5,"
         "QuarnSetDelay=0,QuarnGetErrorString=-1,QuarnLumaControl@1=-11");
  Reload();
  CardHandle card(1);
  EXPECT_EQ(QuarnSetDelay(card.get(), 1, 1), QUARN_OK);
  EXPECT_EQ(QuarnLumaControl(card.get(), 0, 1), QUARN_ERR_NO_SIGNAL);
}

}  // namespace
