// display_picture_test.cpp - one card's picture: what it may draw, convert into and read into
// for every depth and format, refusing a description that outruns the buffer; and the snap
// contexts that keep a late callback away from freed memory.
#include "display_picture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "QuarnVidEx.h"
#include "backing_store.h"
#include "card_helpers.h"
#include "card_test_support.h"
#include "dc.h"
#include "host_window.h"
#include "snap_context.h"
#include "static_frames.h"

namespace {

// A view's client area without a widget.
struct Surface {
  Surface() : host(store) {
    store.Resize(64, 48);
    host.SetGeometry(HostGeometry{QRect(0, 0, 64, 48), QSize(1920, 1080), 32});
    store.Draw([](QImage& image) { image.fill(0xFF010203u); }, QRect());
  }
  uint32_t At(int x, int y) const {
    uint32_t value = 0;
    host.ReadPixels(x, y, 1, 1, &value, sizeof value);
    return value;
  }
  CBackingStore store;
  CHostWindow host;
};

class DisplayPictureTest : public cardtest::CardTest {
 protected:
  void SetUp() override { ASSERT_TRUE(picture.SetUp(0x40)); }
  CDisplayPicture picture;
};

// Whether a description may be drawn, by depth and size: the rows the drawing reads (15 bits
// stored as 16, rows padded to 4 bytes, top-down rows counted too) must fit the 768 x 576 x 4
// bytes of the buffer.
TEST_F(DisplayPictureTest, ADescriptionFitsOnlyWhenTheRowsDrawingReadsFitTheBuffer) {
  struct Case {
    int width, height, bits;
    bool fits;
  } const cases[] = {
      {768, 576, 32, true},       {768, 577, 32, false},   {768, -576, 32, true},
      {1024, 576, 24, true},      {1024, 577, 24, false},  {768, 576, 8, true},
      {2304, 768, 8, true},       {2304, 769, 8, false},   {17, 49153, 15, false},
      {17, 49153, 16, false},     {18, 49152, 15, true},   {-1, 10, 24, false},
      {10, INT_MIN, 24, false},   {INT_MAX, 1, 32, false}, {10, 10, 65535, true},
      {1000, 1000, 65535, false}, {0, 10, 24, false},      {10, 0, 24, false},
  };
  for (const Case& c : cases) {
    picture.Describe(c.width, c.height, c.bits);
    EXPECT_EQ(picture.DescriptionFits(), c.fits) << c.width << " x " << c.height << " x " << c.bits;
  }
}

// A description that outruns the buffer is not drawn: the view keeps what it showed.
TEST_F(DisplayPictureTest, DrawingRefusesADescriptionTheBufferCannotHold) {
  Surface view;
  CClientDC dc(view.host);
  picture.Describe(17, 49153, 15);
  EXPECT_EQ(picture.Draw(dc, 0, 0, 64, 48, 0, 0, 17, 48), 0);
  EXPECT_EQ(view.At(5, 5), 0x010203u);
  picture.Describe(64, 48, 32);
  EXPECT_EQ(picture.Draw(dc, 0, 0), 48);
  EXPECT_EQ(view.At(5, 5), 0x404040u);
}

// Drawing into a host window that has closed does nothing, from any path.
TEST_F(DisplayPictureTest, DrawingIntoAClosedWindowDoesNothing) {
  Surface view;
  CClientDC dc(view.host);
  picture.Describe(64, 48, 32);
  view.host.Close();
  picture.Draw(dc, 0, 0);
  dc.FillSolidRect(0, 0, 64, 48, RGB(9, 9, 9));
  uint32_t shown = 0;
  view.store.Read([&](const QImage& image) { shown = image.pixel(5, 5) & 0xFFFFFFu; });
  EXPECT_EQ(shown, 0x010203u);
}

// Every format converts through one lock and one transform at the frame's place, into the bitmap
// the description sizes (8 bits for the two 8-bit formats, 24 for the rest); a frame whose bitmap
// would not fit the buffer is refused before anything is locked.
TEST_F(DisplayPictureTest, ConvertingAStoredFrameLocksTransformsAndUnlocksForEveryFormat) {
  for (int format = kFormatYuv422; format <= kFormatLimited8; ++format) {
    quarnfake::ClearCalls();
    picture.Describe(64, 48, StoredFrameBitCount(format));
    const uint64_t bytes = StoredFrameBytes(format, 64, 48);
    EXPECT_EQ(picture.ConvertStoredFrame(3 * bytes, bytes, format), QUARN_OK) << format;
    const quarnfake::CallList calls = quarnfake::Calls();
    ASSERT_EQ(calls.size(), 3u) << format;
    EXPECT_EQ(calls[0].op, "QuarnStaticMemLock");
    EXPECT_EQ(calls[0].Unsigned(0), 3 * bytes);
    EXPECT_EQ(calls[0].Unsigned(1), bytes);
    EXPECT_EQ(calls[1].op, "QuarnDataTransform");
    EXPECT_EQ(calls[1].Int(4), BitsForFormat(format));
    EXPECT_EQ(calls[2].op, "QuarnStaticMemUnlock");
  }
  quarnfake::ClearCalls();
  picture.Describe(1024, 1024, 24);  // 3 MB of 24-bit rows
  EXPECT_EQ(
      picture.ConvertStoredFrame(0, StoredFrameBytes(kFormatRgb888, 1024, 1024), kFormatRgb888),
      QUARN_ERR_BAD_PARAMETER);
  EXPECT_TRUE(quarnfake::Calls().empty());
}

// A failed lock converts nothing and returns the lock's status; the buffer keeps its picture.
TEST_F(DisplayPictureTest, AFailedLockLeavesTheBufferAsItWas) {
  quarnfake::Script("QuarnStaticMemLock").ReturnsNext(QUARN_ERR_STATIC_MEM);
  picture.Describe(8, 8, 24);
  EXPECT_EQ(picture.ConvertStoredFrame(0, 192, kFormatRgb888), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(picture.Buffer()[0], 0x40);
  EXPECT_EQ(quarnfake::CallCount("QuarnDataTransform"), 0u);
}

// A read-back whose 32-bit picture would not fit the buffer is refused before the library is
// asked; one that fits takes its size.
TEST_F(DisplayPictureTest, AReadBackLargerThanTheBufferIsRefused) {
  Surface view;
  CClientDC dc(view.host);
  EXPECT_EQ(picture.ReadBack(dc, 0, 0, 800, 600), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(picture.ReadBack(dc, 0, 0, -4, 10), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(quarnfake::CallCount("QuarnGetDisplayBits"), 0u);
  EXPECT_EQ(picture.ReadBack(dc, 0, 0, 32, 24), QUARN_OK);
  EXPECT_EQ(picture.Description().biWidth, 32);
  EXPECT_EQ(picture.Description().biHeight, 24);
}

// What a BMP file may leave in the description: a larger header size, other planes, RLE8
// compression, an image size, resolutions, colour counts and a palette of its own.
void LeaveFileDescription(BITMAPINFO& info) {
  info.bmiHeader = BITMAPINFOHEADER{124, 40, 30, 3, 8, 1, 1200, 2835, 2835, 16, 16};
  for (RGBQUAD& entry : info.bmiColors) entry = RGBQUAD{0x10, 0x80, 0xF0, 0};
}

// Every step that describes a frame writes the whole description afresh: only the width, height
// and bit count come from the frame, so a frame is drawn and saved the same whatever file was
// read before.
TEST_F(DisplayPictureTest, DescribingAFrameWritesTheWholeDescription) {
  Surface view;
  CClientDC dc(view.host);
  struct Case {
    const char* step;
    std::function<void()> run;
    int width, height, bits;
  } const cases[] = {
      {"Describe", [&] { picture.Describe(64, 48, 24); }, 64, 48, 24},
      {"ReadBack", [&] { ASSERT_EQ(picture.ReadBack(dc, 0, 0, 32, 24), QUARN_OK); }, 32, 24, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    LeaveFileDescription(*picture.Header());
    c.run();
    const BITMAPINFOHEADER expected{40, c.width, c.height, 1, static_cast<WORD>(c.bits), 0, 0,
                                    0,  0,       0,        0};
    EXPECT_EQ(std::memcmp(&picture.Description(), &expected, sizeof expected), 0);
    for (int j = 0; j < 256; ++j) {
      const RGBQUAD& entry = picture.Header()->bmiColors[j];
      ASSERT_TRUE(entry.rgbBlue == j && entry.rgbGreen == j && entry.rgbRed == j) << j;
    }
  }
}

// A save while a stored frame is being converted (the snap callback's conversion, Save As on the
// UI thread) waits for the conversion: the file holds the whole converted frame, never the picture
// before it nor part of each.
TEST_F(DisplayPictureTest, ASaveDuringAConversionWritesTheWholeConvertedFrame) {
  const uint64_t bytes = StoredFrameBytes(kFormatRgb888, 64, 48);
  quarnfake::SetStaticMemPages(4);
  std::span<uint8_t> frame = quarnfake::StaticMemory(0, bytes);
  std::fill(frame.begin(), frame.end(), 0x99);
  picture.Describe(64, 48, 24);  // over the buffer's 0x40
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quarn-picture-save-" + std::to_string(getpid()));
  std::promise<bool> saved;
  std::future<bool> done = saved.get_future();
  std::thread saver;
  quarnfake::OnCall("QuarnDataTransform", [&] {
    saver = std::thread([&] { saved.set_value(picture.WriteBmpFile(path)); });
    // Unguarded, the save is over long before this wait ends; guarded, it waits for the
    // conversion, which goes on once the wait has ended.
    done.wait_for(std::chrono::milliseconds(200));
  });
  EXPECT_EQ(picture.ConvertStoredFrame(0, bytes, kFormatRgb888), QUARN_OK);
  saver.join();
  quarnfake::OnCall("QuarnDataTransform", {});
  ASSERT_TRUE(done.get());
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  ASSERT_EQ(file.size(), 54 + bytes);
  EXPECT_EQ(std::count(file.begin() + 54, file.end(), 0x99), static_cast<ptrdiff_t>(bytes));
}

// The whole file of a picture written through WriteBmpFile.
std::vector<uint8_t> FileOf(const CDisplayPicture& picture, const std::filesystem::path& path) {
  if (!picture.WriteBmpFile(path)) return {};
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Save Serials writes a stored frame straight into its file (band by band through a scratch
// buffer, or row by row from static memory when the transform only reverses the rows): for every
// format, at a width of several bands and one whose rows need padding, the file is byte for byte
// the one that converting the frame into the picture and saving that gives, and the picture is not
// touched.
TEST_F(DisplayPictureTest, AStoredFrameIsWrittenAsConvertingAndSavingItWould) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quarn-stored-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  quarnfake::SetStaticMemPages(1000);
  // 768 pixels: several bands of 128 KiB at 24 bits; 5 pixels: rows padded at 8 and 24 bits.
  for (const int width : {768, 5}) {
    for (int format = kFormatYuv422; format <= kFormatLimited8; ++format) {
      SCOPED_TRACE(testing::Message() << width << " pixels, format " << format);
      const int height = 300;
      const uint64_t bytes = StoredFrameBytes(format, width, height);
      const StoredFrames frames{.offset = 1000,
                                .frameBytes = bytes,
                                .count = 3,
                                .format = format,
                                .width = width,
                                .height = height};
      std::span<uint8_t> frame = quarnfake::StaticMemory(frames.FrameOffset(2), bytes);
      for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7 + i / 251 + format);  // no two rows alike
      }
      quarnfake::TagFrames(frames.FrameOffset(2), bytes, format);

      picture.Describe(8, 8, 24);
      std::fill_n(picture.Buffer(), 256, 0x40);
      ASSERT_TRUE(picture.WriteStoredFrame(frames, 2, folder / "straight.bmp"));
      EXPECT_EQ(picture.Description().biWidth, 8) << "the picture was touched";
      EXPECT_EQ(picture.Buffer()[0], 0x40) << "the picture was touched";
      ASSERT_EQ(picture.ConvertStoredFrame(frames, 2), QUARN_OK);
      const std::vector<uint8_t> converted = FileOf(picture, folder / "converted.bmp");
      ASSERT_FALSE(converted.empty());
      std::ifstream in(folder / "straight.bmp", std::ios::binary);
      const std::vector<uint8_t> straight{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
      EXPECT_TRUE(straight == converted) << straight.size() << " bytes, " << converted.size();
    }
  }
  std::filesystem::remove_all(folder);
}

// A frame that cannot be locked, or that the library will not transform, gives the file the
// picture as it is; an index outside the sequence, or a frame larger than its stride, writes
// nothing.
TEST_F(DisplayPictureTest, AStoredFrameThatCannotBeHadGivesTheFileThePicture) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quarn-unlocked-" + std::to_string(getpid()));
  quarnfake::SetStaticMemPages(4);
  picture.Describe(4, 2, 32);
  const std::vector<uint8_t> shown = FileOf(picture, path);
  ASSERT_EQ(shown.size(), 54u + 4 * 2 * 4);
  for (const char* failing : {"QuarnStaticMemLock", "QuarnDataTransform"}) {
    SCOPED_TRACE(failing);
    const StoredFrames frames{.offset = 0,
                              .frameBytes = 8 * 8 * 4,
                              .count = 2,
                              .format = kFormatRgb8888,
                              .width = 8,
                              .height = 8};
    std::filesystem::remove(path);
    quarnfake::Script(failing).ReturnsNext(QUARN_ERR_STATIC_MEM);
    ASSERT_TRUE(picture.WriteStoredFrame(frames, 1, path));
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), shown);
    std::filesystem::remove(path);
    EXPECT_FALSE(picture.WriteStoredFrame(frames, 2, path));
    StoredFrames tooLarge = frames;
    tooLarge.frameBytes -= 1;
    EXPECT_FALSE(picture.WriteStoredFrame(tooLarge, 1, path));
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

// ---- Snap contexts ----

// A context the library has let go of is freed with its owner; one it still holds is detached
// (a late callback reaches nothing) and kept, so the library's pointer stays valid.
TEST(SnapContextTest, ALateCallbackReachesNothingAndItsContextStaysValid) {
  int target = 0;
  CSnapContext* kept = nullptr;
  {
    CSnapContextOwner owner;
    kept = owner.Give(&target);
    int* reached = nullptr;
    kept->VisitAs<int>([&](int& t) { reached = &t; });
    EXPECT_EQ(reached, &target);
  }  // never confirmed: still held by the library
  bool visited = false;
  kept->VisitAs<int>([&](int&) { visited = true; });  // valid memory, no target
  EXPECT_FALSE(visited);
}

// Giving again while the library still holds the context leads that same context to the new
// target, so the library's pointer never dangles.
TEST(SnapContextTest, GivingAgainReusesAContextTheLibraryStillHolds) {
  int first = 0;
  int second = 0;
  CSnapContextOwner owner;
  CSnapContext* a = owner.Give(&first);
  CSnapContext* b = owner.Give(&second);
  EXPECT_EQ(a, b);
  int* reached = nullptr;
  b->VisitAs<int>([&](int& t) { reached = &t; });
  EXPECT_EQ(reached, &second);
  owner.Confirm();
}

}  // namespace
