// solvane_test_support.h - the fixture solvane's frame tests share: the program started on the
// capture library the test links (the recording double or the simulated cards) with the service
// doubles, the pieces of it the tests reach, sizing the view's client area and reading what the
// view shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "harness.h"
#include "main_frm.h"
#include "recording_services.h"
#include "resources.h"
#include "solvane_app.h"

namespace apptest {

class SolvaneFrameTest : public ::testing::Test {
 protected:
  using Harness = FrameworkHarness<CSolvaneApp>;

  // Starts the program; use as ASSERT_NO_FATAL_FAILURE(StartProgram()).
  void StartProgram() {
    h_ = std::make_unique<Harness>(SolvaneResources());
    ASSERT_TRUE(h_->Start());
  }
  // The program ends before the fixture's members go (a recording double declared in a derived
  // fixture must outlive every call the program makes while closing).
  void TearDown() override { h_.reset(); }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CView& view() { return *h_->view(); }
  CVideoCard& card() { return frame().Card(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  FakeClock& clock() { return *h_->services().clock; }

  // Gives the view a client area of width x height, its top-left at (100, 100) on the screen.
  void SizeClient(int width, int height) {
    frame().ComputeBorders();
    frame().MoveWindow(100 - frame().borderLeft, 100 - frame().borderTop,
                       width + frame().borderLeft + frame().borderRight,
                       height + frame().borderTop + frame().borderBottom);
    h().ProcessEvents();
  }
  CRect ViewOnScreen() {
    CRect client;
    view().GetClientRect(&client);
    view().ClientToScreen(&client);
    return client;
  }
  // The colour the view's backing store holds at a client point (0x00RRGGBB).
  uint32_t PixelAt(int x, int y) {
    uint32_t rgb = 0;
    view().GetBackingStore().Read(
        [&](const QImage& image) { rgb = image.pixel(x, y) & 0xFFFFFFu; });
    return rgb;
  }

  std::unique_ptr<Harness> h_;
};

}  // namespace apptest
