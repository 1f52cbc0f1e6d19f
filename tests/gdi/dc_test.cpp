// dc_test.cpp - device-context state: palettes and the displaced-palette round trip, stretch
// modes, fills with the background colour, device capabilities of a view and of a printer, and
// drawing through a painter.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "gdi_test_util.h"

namespace {

CPalette GreyPalette(int entries) {
  std::vector<PALETTEENTRY> e(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<BYTE>(i);
    e[static_cast<size_t>(i)] = PALETTEENTRY{v, v, v, 0};
  }
  return CPalette(0x300, std::move(e));
}

// --- Palettes -------------------------------------------------------------------------------

// The programs select their palette in one context, keep the displaced one, and put it back,
// sometimes in a later context (the card object does so across two commands). The displaced
// palette must be a real palette (never null) and the round trip must restore it.
TEST(DcPalette, DisplacedPaletteRoundTripAcrossContexts) {
  TestSurface s(4, 4);
  CPalette grey = GreyPalette(256);
  CPalette* displaced = nullptr;
  {
    CClientDC dc(s.host);
    displaced = dc.SelectPalette(&grey, FALSE);
    ASSERT_NE(displaced, nullptr);
    EXPECT_EQ(displaced, StockDefaultPalette());
    EXPECT_EQ(dc.RealizePalette(), 256u);
  }
  EXPECT_EQ(s.host.SelectedPalette(), &grey) << "the selection belongs to the window";
  EXPECT_FALSE(s.host.PaletteInBackground());
  {
    CClientDC later(s.host);
    EXPECT_EQ(later.SelectPalette(displaced, FALSE), &grey);
    later.RealizePalette();
  }
  EXPECT_EQ(s.host.SelectedPalette(), StockDefaultPalette());
  EXPECT_EQ(s.host.RealizeCount(), 2);
}

TEST(DcPalette, BackgroundSelectionAndNullAreTracked) {
  TestSurface s(2, 2);
  CPalette grey = GreyPalette(16);
  CClientDC dc(s.host);
  dc.SelectPalette(&grey, TRUE);
  EXPECT_TRUE(s.host.PaletteInBackground());
  EXPECT_EQ(dc.SelectPalette(nullptr, FALSE), nullptr);
  EXPECT_EQ(s.host.SelectedPalette(), &grey) << "selecting nothing must not clear the palette";
}

// Realizing on the true-colour display changes no pixel already drawn.
TEST(DcPalette, RealizeChangesNoPixels) {
  TestSurface s(2, 2);
  s.Fill(0x123456);
  CPalette grey = GreyPalette(256);
  CClientDC dc(s.host);
  dc.SelectPalette(&grey, FALSE);
  dc.RealizePalette();
  EXPECT_EQ(s.At(1, 1), 0x123456u);
}

// A printer context keeps its own selection; the view's window is not touched.
TEST(DcPalette, PainterContextTracksItsOwnPalette) {
  QImage page(8, 8, QImage::Format_RGB32);
  QPainter painter(&page);
  CDC dc(painter, /*printing=*/false);
  CPalette grey = GreyPalette(4);
  EXPECT_EQ(dc.SelectPalette(&grey, FALSE), StockDefaultPalette());
  EXPECT_EQ(dc.RealizePalette(), 4u);
  EXPECT_EQ(dc.SelectPalette(StockDefaultPalette(), FALSE), &grey);
}

// --- Modes and fills ------------------------------------------------------------------------

TEST(DcState, StretchModeStartsBlackOnWhiteAndRejectsUnknown) {
  TestSurface s(1, 1);
  CClientDC dc(s.host);
  EXPECT_EQ(dc.GetStretchBltMode(), BLACKONWHITE);
  EXPECT_EQ(dc.SetStretchBltMode(COLORONCOLOR), BLACKONWHITE);
  EXPECT_EQ(dc.SetStretchBltMode(0), 0);
  EXPECT_EQ(dc.GetStretchBltMode(), COLORONCOLOR);
}

// The mask rectangles of Capture Shot are filled with the context's background colour, which
// is the window's erase colour: a fill with white where the window is another colour would
// show in the grabbed picture.
TEST(DcState, FillSolidRectWithBackgroundColour) {
  TestSurface s(8, 8);
  s.store.SetBackgroundColor(RGB(0x20, 0x40, 0x60));
  s.Fill(0x000000);
  CClientDC dc(s.host);
  EXPECT_EQ(dc.GetBkColor(), RGB(0x20, 0x40, 0x60));
  dc.FillSolidRect(2, 3, 4, 1, dc.GetBkColor());
  EXPECT_EQ(s.At(2, 3), 0x204060u);
  EXPECT_EQ(s.At(5, 3), 0x204060u);
  EXPECT_EQ(s.At(6, 3), 0x000000u);
  EXPECT_EQ(s.At(2, 4), 0x000000u);
  EXPECT_EQ(s.At(1, 3), 0x000000u);

  // Like the framework's, a fill leaves its colour as the background colour.
  dc.FillSolidRect(RECT{0, 0, 1, 1}, RGB(255, 0, 0));
  EXPECT_EQ(dc.GetBkColor(), RGB(255, 0, 0));
  EXPECT_EQ(s.At(0, 0), 0xFF0000u);
  // The erase fill still uses the window's colour; a fill over the edge is clipped.
  dc.FillBackground(RECT{6, 6, 20, 20});
  EXPECT_EQ(s.At(7, 7), 0x204060u);
}

TEST(DcState, NewViewContextIsWhiteByDefault) {
  TestSurface s(1, 1);
  EXPECT_EQ(CClientDC(s.host).GetBkColor(), RGB(255, 255, 255));
}

// --- Capabilities ---------------------------------------------------------------------------

TEST(DcCaps, ViewReportsItsScreen) {
  TestSurface s(4, 4);
  s.host.SetGeometry(HostGeometry{QRect(0, 0, 4, 4), QSize(1280, 1024), 24});
  CClientDC dc(s.host);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 1280);
  EXPECT_EQ(dc.GetDeviceCaps(VERTRES), 1024);
  EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 24);
  EXPECT_EQ(dc.GetDeviceCaps(PLANES), 1);
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 96);
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 96);
  EXPECT_FALSE(dc.IsPrinting());
  EXPECT_EQ(dc.GetSafeHdc()->window, s.host.Contract());
  EXPECT_EQ(dc.GetSafeHdc()->GetDepth(dc.GetSafeHdc()->context), 24);
}

// Printing scales by the printer's pixels per inch over 96, so LOGPIXELSX must be the
// printer's resolution, not the screen's.
TEST(DcCaps, PrinterReportsItsResolutionAndPage) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
  printer.setResolution(300);
  QPainter painter;
  ASSERT_TRUE(painter.begin(&printer));
  CDC dc(painter, /*printing=*/true);
  EXPECT_TRUE(dc.IsPrinting());
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 300);
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 300);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), printer.width());
  EXPECT_GT(dc.GetDeviceCaps(HORZRES), 1000) << "a page at 300 pixels per inch";
  EXPECT_EQ(dc.GetSafeHdc()->window, nullptr);
  uint32_t pixel = 0;
  EXPECT_NE(dc.GetSafeHdc()->ReadPixels(dc.GetSafeHdc()->context, 0, 0, 1, 1, &pixel, 4), 0)
      << "a printer page cannot be read back";
  const CoordinateDib dib(2, 2);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 200, 200, 0, 0, 2, 2, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                             SRCCOPY),
            2);
  painter.end();
}

// Through a painter the picture is scaled by nearest pixel too, and lands upright.
TEST(DcPainter, StretchDIBitsOnPainterIsUprightAndUnsmoothed) {
  QImage page(8, 4, QImage::Format_RGB32);
  page.fill(Qt::black);
  const CoordinateDib dib(2, 2);
  {
    QPainter painter(&page);
    CDC dc(painter, /*printing=*/false);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 8, 4, 0, 0, 2, 2, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                               SRCCOPY),
              2);
  }
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(page.pixel(x, y) & 0xFFFFFFu, CoordinateDib::Expected(x / 4, y / 2))
          << x << "," << y;
    }
  }
}

}  // namespace
