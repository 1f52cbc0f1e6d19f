// draw_refusal_test.cpp - what the window does with a file the reader accepts but the drawing code
// cannot decode (1 or 4 bits, compressed rows, odd depths): the read succeeds and StretchDIBits
// draws nothing and returns 0, so the picture area keeps what it showed. The depths the programs
// make draw as usual.
#include <gtest/gtest.h>

#include <QApplication>

#include "backing_store.h"
#include "bmp_file.h"
#include "bmp_test_util.h"
#include "dc.h"
#include "host_window.h"

namespace {

using namespace bmptest;

constexpr uint32_t kShown = 0x00123456;

TEST(DrawAfterRead, UndecodableDescriptionsDrawNothing) {
  // {bits, compression, lines StretchDIBits reports}
  const std::vector<std::tuple<uint16_t, uint32_t, int>> table = {
      {1, 0, 0},  {4, 0, 0}, {8, 1, 0},  {4, 2, 0},  {7, 0, 0},  {64, 0, 0},
      {24, 3, 0}, {8, 0, 5}, {15, 0, 5}, {16, 0, 5}, {24, 0, 5}, {32, 0, 5}};
  for (const auto& [bits, compression, lines] : table) {
    TempFolder folder;
    BITMAPINFO written = Description(13, 5, bits);
    written.bmiHeader.biCompression = compression;
    const Bytes pixels = Pattern(kDisplayBytes);
    ASSERT_TRUE(WriteBmpFile(folder / "f.bmp", written, pixels)) << bits;

    BITMAPINFO info = Description();
    Bytes buffer(kDisplayBytes, 0);
    ASSERT_TRUE(ReadBmpFile(folder / "f.bmp", info, buffer)) << bits << "/" << compression;

    CBackingStore store;
    store.Resize(13, 5);
    CHostWindow host(store);
    host.SetGeometry(HostGeometry{QRect(0, 0, 13, 5), QSize(1920, 1080), 32});
    store.Draw([](QImage& image) { image.fill(kShown | 0xFF000000u); }, QRect());
    CClientDC dc(host);
    EXPECT_EQ(
        dc.StretchDIBits(0, 0, 13, 5, 0, 0, 13, 5, buffer.data(), &info, DIB_RGB_COLORS, SRCCOPY),
        lines)
        << bits << "/" << compression;
    uint32_t pixel = 0;
    ASSERT_EQ(host.ReadPixels(6, 2, 1, 1, &pixel, sizeof pixel), 0);
    EXPECT_EQ(pixel == kShown, lines == 0) << bits << "/" << compression;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
