// picture_solvane_test.cpp - Solvane's picture across its commands, through the frame on the
// recording capture library and the recording file dialog: every acquisition after a BMP file
// whose header claims RLE8 compression (and a larger header, colour counts and a palette of its
// own) describes its frame whole, so the frame is shown and saved uncompressed; while the snap
// runs, Open... and Open Serials are refused and Save As writes the last frame; playback and Save
// Serials read the frames Snap Shot stored as they were stored, after the format, standard and
// scan mode have changed.
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "program_test_support.h"
#include "solvane_test_support.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
// One stored frame at the 32-bit display's format, RGB8888.
constexpr uint64_t kFrame = uint64_t{kWidth} * kHeight * 4;

// The first bytes of a file.
std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

class SolvanePictureTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    SizeClient(kWidth, kHeight);
  }
  RecordingFileDialog& dialogs() { return *h().services().fileDialog; }
  std::string In(const std::string& name) const {
    return dir_.filePath(name.c_str()).toStdString();
  }

  // File > Open... of an 8-bit BMP file whose header says RLE8 compression, a 124-byte header, 16
  // colours used and important, 3 planes, resolutions and an image size, with a red palette. The
  // reader takes the header as it stands.
  void OpenRle8File() {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{124, 40, 30, 3, 8, 1, 1200, 2835, 2835, 16, 16};
    for (RGBQUAD& entry : info.bmiColors) entry = RGBQUAD{0, 0, 0xFF, 0};
    const std::vector<uint8_t> pixels(40 * 30, 7);
    ASSERT_TRUE(WriteBmpFile(In("rle8.bmp"), info, pixels));
    dialogs().ScriptPath(In("rle8.bmp"));
    ASSERT_TRUE(h().Send(ID_FILE_OPEN_BMP));
    ASSERT_EQ(card().GetDisplayHeader()->bmiHeader.biCompression, 1u) << "the file was not read";
  }

  // The description is the whole one of an uncompressed frame of that size and depth, with the
  // grey colour table.
  void ExpectWholeDescription(int width, int height, int bits) {
    const BITMAPINFO& info = *card().GetDisplayHeader();
    const BITMAPINFOHEADER expected{40, width, height, 1, static_cast<WORD>(bits), 0, 0,
                                    0,  0,     0,      0};
    EXPECT_EQ(std::memcmp(&info.bmiHeader, &expected, sizeof expected), 0)
        << "size " << info.bmiHeader.biSize << ", " << info.bmiHeader.biWidth << " x "
        << info.bmiHeader.biHeight << " x " << info.bmiHeader.biBitCount << ", planes "
        << info.bmiHeader.biPlanes << ", compression " << info.bmiHeader.biCompression
        << ", colours used " << info.bmiHeader.biClrUsed;
    EXPECT_TRUE(info.bmiColors[200].rgbRed == 200 && info.bmiColors[200].rgbBlue == 200)
        << "the file's palette is kept";
  }

  quarnfake::ScopedFake fake_;
  QTemporaryDir dir_;
};

// Whatever acquisition follows the file, the frame it leaves is described whole: Capture Shot
// and the stop of live video (read back at the display's 32 bits), the start of the snap and a
// playback step (stored frames at 24 bits).
TEST_F(SolvanePictureTest, EveryAcquisitionAfterAnRle8FileDescribesItsFrameWhole) {
  struct Case {
    const char* what;
    std::function<void()> run;
    int bits;
  } const cases[] = {
      {"Capture Shot", [&] { ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT)); }, 32},
      {"live video on and off",
       [&] {
         ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
         ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
       },
       32},
      {"Snap",
       [&] {
         ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
         ASSERT_EQ(card().GetState(), CardState::kSnap);
       },
       24},
      {"Snap Shot, Step",
       [&] {
         quarnfake::SetStaticMemPages(16);
         ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
         ASSERT_GT(frame().imageCount, 0);
         ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
       },
       24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(OpenRle8File());
    c.run();
    ExpectWholeDescription(kWidth, kHeight, c.bits);
    if (card().GetState() == CardState::kSnap) {
      ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
    }
    if (frame().playing != 0) {
      ASSERT_TRUE(h().Send(ID_PLAYBACK_STOP));
    }
  }
}

// Capture Shot after the file: the view shows the picture read back (red the client x, green the
// client y), and Save As writes it as an uncompressed 32-bit file with a 40-byte header.
TEST_F(SolvanePictureTest, ACaptureShotAfterAnRle8FileIsShownAndSavedUncompressed) {
  ASSERT_NO_FATAL_FAILURE(OpenRle8File());
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  h().ProcessEvents();
  EXPECT_EQ(PixelAt(10, 20), 0x0A1400u);

  dialogs().ScriptPath(In("shot.bmp"));
  ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
  const std::vector<uint8_t> file = FileBytes(In("shot.bmp"));
  ASSERT_EQ(file.size(), 54u + kWidth * kHeight * 4u);
  EXPECT_EQ(Le32(file, 14), 40u);  // biSize
  EXPECT_EQ(file[28], 32);         // biBitCount
  EXPECT_EQ(Le32(file, 30), 0u);   // biCompression
  EXPECT_EQ(Le32(file, 46), 0u);   // biClrUsed
}

// While the snap runs, its callback converts frames into the picture by its description: Open...
// and Open Serials are disabled (a command sent anyway runs nothing, and the card itself refuses
// the read), while Save As writes the last frame whole. Once the snap is closed, Open... runs.
TEST_F(SolvanePictureTest, WhileTheSnapRunsOpenIsRefusedAndSaveAsWritesTheFrame) {
  ASSERT_NO_FATAL_FAILURE(OpenRle8File());
  const std::string file = In("rle8.bmp");
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  ASSERT_EQ(card().GetState(), CardState::kSnap);
  const size_t dialogsBefore = dialogs().count();
  EXPECT_FALSE(h().IsEnabled(ID_FILE_OPEN_BMP));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_OPEN_SERIALS));
  EXPECT_FALSE(h().Send(ID_FILE_OPEN_BMP));
  EXPECT_FALSE(h().Send(ID_VIEW_OPEN_SERIALS));
  EXPECT_EQ(dialogs().count(), dialogsBefore);
  EXPECT_FALSE(card().ReadBmpFile(file));
  ExpectWholeDescription(kWidth, kHeight, 24);

  EXPECT_TRUE(h().IsEnabled(ID_FILE_SAVE_BMP));
  dialogs().ScriptPath(In("snap.bmp"));
  ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
  const std::vector<uint8_t> saved = FileBytes(In("snap.bmp"));
  ASSERT_EQ(saved.size(), 54u + kWidth * kHeight * 3u);
  EXPECT_EQ(saved[28], 24);
  EXPECT_TRUE(std::equal(saved.begin() + 54, saved.end(), card().GetDisplayBuffer()));

  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  EXPECT_TRUE(h().IsEnabled(ID_FILE_OPEN_BMP));
  dialogs().ScriptPath(file);
  ASSERT_TRUE(h().Send(ID_FILE_OPEN_BMP));
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biCompression, 1u);
}

// Snap Shot stores three 64 x 48 frames at 32 bits (RGB8888, the format of the 32-bit display).
// Then the Paramter menu changes the format (RGB565: 2 bytes a pixel), the standard (NTSC) and
// the scan mode (Field: half the lines), and a file replaces the picture. Save Serials and Step
// still lock each frame at its stored place and size, transform it at its stored width, height
// and depth, and the files and the picture have the stored frames' size.
TEST_F(SolvanePictureTest, PlaybackAndSaveSerialsReadTheFramesAsTheyWereStored) {
  quarnfake::SetStaticMemPages(static_cast<int>(3 * kFrame / QUARN_PAGE_SIZE));
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  ASSERT_EQ(frame().imageCount, 3);
  ASSERT_TRUE(h().Send(ID_FORMAT_RGB565));
  ASSERT_TRUE(h().Send(ID_STANDARD_NTSC));
  ASSERT_TRUE(h().Send(ID_SCAN_FIELD));
  ASSERT_EQ(card().GetVideoFormat(), kFormatRgb565);
  ASSERT_EQ(card().GetScanMode(), kScanField);
  ASSERT_NO_FATAL_FAILURE(OpenRle8File());

  // Each frame read: one lock at its stored place, one transform at its stored shape.
  const auto expectStoredFramesRead = [](const std::vector<uint64_t>& frames) {
    const quarnfake::CallList locks = quarnfake::Calls("QuarnStaticMemLock");
    const quarnfake::CallList transforms = quarnfake::Calls("QuarnDataTransform");
    ASSERT_EQ(locks.size(), frames.size()) << locks;
    ASSERT_EQ(transforms.size(), frames.size()) << transforms;
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(locks[i].Unsigned(0), frames[i] * kFrame) << i;
      EXPECT_EQ(locks[i].Unsigned(1), kFrame) << i;
      EXPECT_EQ(transforms[i].Int(2), kWidth) << i;
      EXPECT_EQ(transforms[i].Int(3), kHeight) << i;
      EXPECT_EQ(transforms[i].Int(4), 32) << i;
    }
  };

  quarnfake::ClearCalls();
  dialogs().ScriptPath(In("run.bmp"));
  ASSERT_TRUE(h().Send(ID_VIEW_SAVE_SERIALS));
  expectStoredFramesRead({0, 1, 2, 2});  // each into its file, then the last into the picture
  ExpectWholeDescription(kWidth, kHeight, 24);
  for (int i = 1; i <= 3; ++i) {
    const std::vector<uint8_t> file = FileBytes(In("run" + std::to_string(i) + ".bmp"));
    ASSERT_EQ(file.size(), 54u + kWidth * kHeight * 3u) << i;
    EXPECT_EQ(Le32(file, 18), uint32_t{kWidth}) << i;
    EXPECT_EQ(Le32(file, 22), uint32_t{kHeight}) << i;
    EXPECT_EQ(Le32(file, 30), 0u) << i;
  }

  ASSERT_NO_FATAL_FAILURE(OpenRle8File());
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  h().SendMessage(WM_LBUTTONDOWN, 0, 0);
  h().SendMessage(WM_LBUTTONDOWN, 0, 0);
  h().SendMessage(WM_LBUTTONDOWN, 0, 0);
  expectStoredFramesRead({0, 1, 2, 0});
  ExpectWholeDescription(kWidth, kHeight, 24);
}

}  // namespace
