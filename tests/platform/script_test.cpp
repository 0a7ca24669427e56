// The headless backend's own contract: when script steps become due, how a
// run fails when its script cannot go on, presented frames and their pixels,
// and many runs in one process.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "probe_window.h"

namespace {

class Script : public ::testing::Test {
 protected:
  void SetUp() override { ResetProbe(); }
};

// A loop like the viewer's: while frames are wanted it draws one whenever
// nothing is waiting, otherwise it blocks in GetMessageA.
int RunDrawingLoop(HWND w, int* framesWanted) {
  HDC dc = GetDC(w);
  MSG msg;
  for (;;) {
    while (*framesWanted > 0 && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      glClear(GL_COLOR_BUFFER_BIT);
      SwapBuffers(dc);
      --*framesWanted;
    }
    if (GetMessageA(&msg, nullptr, 0, 0) != 1) return static_cast<int>(msg.wParam);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

TEST_F(Script, StepsComeAfterTheirFramesOrWhenTheProgramWaits) {
  std::vector<std::pair<UINT, int>> deliveredAt;  // message, frames presented then
  int framesWanted = 10;
  ProbeHandler() = [&](HWND h, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
    if (m == WM_USER + 1 || m == WM_USER + 2 || (m == WM_CHAR && wp == 27)) {
      deliveredAt.emplace_back(m, headless::PresentedFrames());
    }
    if (m == WM_CHAR && wp == 27) DestroyWindow(h);
    if (m == WM_DESTROY) PostQuitMessage(0);
    *r = 0;
    return m == WM_CHAR || m == WM_DESTROY || m >= WM_USER;
  };
  HWND w = MakeProbeWindow(32, 24);
  ASSERT_NE(MakeCurrentContext(w), nullptr);
  headless::Post(WM_USER + 1, 0, 0, 3);
  headless::Post(WM_USER + 2, 0, 0, 0);  // together with the step before
  headless::Call([&] { framesWanted += 4; }, 2);
  headless::Type(27);  // when the loop next blocks: after all wanted frames
  EXPECT_EQ(headless::PendingSteps(), 4u);

  EXPECT_EQ(RunDrawingLoop(w, &framesWanted), 0);
  const std::vector<std::pair<UINT, int>> expected = {
      {WM_USER + 1, 3}, {WM_USER + 2, 3}, {WM_CHAR, 14}};
  EXPECT_EQ(deliveredAt, expected);
  EXPECT_EQ(headless::PendingSteps(), 0u);
  EXPECT_FALSE(headless::ScriptFailed());
}

TEST_F(Script, ARunFailsWhenItWaitsAndNoStepCanComeOrNeverWaits) {
  // Waiting with nothing left in the script.
  MakeProbeWindow(32, 24);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunLoop(), headless::kScriptFailedExitCode);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(headless::ScriptFailed());
  EXPECT_NE(err.find("no step left"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line: " << err;
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT)) << "the failure stays";

  // Waiting while the next step wants frames that a waiting program never shows.
  ResetProbe();
  EXPECT_FALSE(headless::ScriptFailed());
  HWND w = MakeProbeWindow(32, 24);
  headless::Post(WM_USER, 0, 0, 5);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunLoop(), headless::kScriptFailedExitCode);
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("5 more frames"), std::string::npos) << err;
  EXPECT_TRUE(SeenOf(WM_USER).empty());

  // Drawing back to back for ever with no step due. (No GL context, so that
  // the million swaps cost little; they still count.)
  ResetProbe();
  headless::Faults faults;
  faults.createContextFails = true;
  headless::SetFaults(faults);
  w = MakeProbeWindow(32, 24);
  EXPECT_EQ(MakeCurrentContext(w), nullptr);
  headless::Type(27);  // never due: the program never waits
  int forever = 1 << 30;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunDrawingLoop(w, &forever), headless::kScriptFailedExitCode);
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("1000000 frames"), std::string::npos) << err;
  EXPECT_EQ(headless::PresentedFrames(), 0) << "swaps without a context present nothing";
  EXPECT_EQ(headless::PendingSteps(), 1u);
}

TEST_F(Script, PresentedFramesKeepTheirPixelsTopRowFirst) {
  HWND w = MakeProbeWindow(64, 48);
  ASSERT_NE(MakeCurrentContext(w), nullptr);
  HDC dc = GetDC(w);
  // Red everywhere, then green over the top half (GL counts rows from the bottom).
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 24, 64, 24);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  unsigned char seenInCallback[4] = {};
  headless::OnPresent([&] { glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, seenInCallback); });
  ASSERT_TRUE(SwapBuffers(dc));

  EXPECT_EQ(headless::PresentedFrames(), 1);
  ASSERT_EQ(headless::FrameWidth(), 64);
  ASSERT_EQ(headless::FrameHeight(), 48);
  const std::vector<unsigned char>& px = headless::LastFramePixels();
  ASSERT_EQ(px.size(), 64u * 48u * 4u);
  auto at = [&](int x, int y) {
    const unsigned char* p = &px[(static_cast<size_t>(y) * 64 + x) * 4];
    return std::vector<int>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(at(0, 0), (std::vector<int>{0, 255, 0, 255})) << "top row";
  EXPECT_EQ(at(63, 23), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(at(0, 24), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(at(63, 47), (std::vector<int>{255, 0, 0, 255})) << "bottom row";
  EXPECT_EQ(seenInCallback[0], 255) << "the frame is current while OnPresent runs";

  headless::KeepFramePixels(false);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  SwapBuffers(dc);
  EXPECT_EQ(headless::PresentedFrames(), 2);
  EXPECT_EQ(at(0, 47), (std::vector<int>{255, 0, 0, 255})) << "pixels no longer copied";
}

TEST_F(Script, ResetAllowsManyRunsInOneProcess) {
  HWND previous = nullptr;
  for (int run = 0; run < 3; ++run) {
    ResetProbe();
    EXPECT_EQ(headless::CallCount("CreateWindowExA"), 0);
    EXPECT_EQ(headless::PresentedFrames(), 0);
    EXPECT_FALSE(headless::MainWindow(nullptr));
    if (previous != nullptr) {
      EXPECT_FALSE(IsWindow(previous));
    }
    ProbeHandler() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT*) {
      if (m == WM_DESTROY) PostQuitMessage(0);
      return false;
    };
    HWND w = MakeProbeWindow(16, 16);
    ASSERT_NE(w, nullptr) << "run " << run;
    ASSERT_NE(MakeCurrentContext(w), nullptr) << "run " << run;
    int frames = 2;
    headless::Close();
    EXPECT_EQ(RunDrawingLoop(w, &frames), 0);
    EXPECT_EQ(headless::PresentedFrames(), 2);
    EXPECT_EQ(headless::CallCount("wglCreateContext"), 1);
    previous = w;
  }
}

}  // namespace
