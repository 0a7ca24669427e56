// Whole runs of the viewer: WinMain on the headless backend, driven by a
// script of user input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/lib/viewer_support.h"

namespace {

using headless::kWhenWaiting;

class ViewerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetViewer();
    headless::KeepFramePixels(false);
  }
  void TearDown() override { EXPECT_FALSE(headless::ScriptFailed()); }
};

int IndexInLog(const std::string& prefix) {
  const auto& log = headless::CallLog();
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

// The first of these calls that the log lacks after the ones before it, or ""
// when all were made in this order (other calls may come between).
std::string MissingInOrder(const std::vector<std::string>& calls) {
  const auto& log = headless::CallLog();
  size_t at = 0;
  for (const std::string& call : calls) {
    while (at < log.size() && log[at] != call) ++at;
    if (at == log.size()) return call;
    ++at;
  }
  return "";
}

TEST_F(ViewerRun, StartsWithTheInformationBoxThenTheWindow) {
  bool windowDuringBox = true;
  int logAtBox = -1;
  headless::OnMessageBox([&](const headless::MessageBoxRecord&) {
    windowDuringBox = headless::MainWindow(nullptr);
    logAtBox = static_cast<int>(headless::CallLog().size());
    return IDOK;
  });
  headless::WindowInfo info{};
  headless::Call([&] { headless::MainWindow(&info); }, 1);
  headless::Type(27, 0);  // while frames run back to back

  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(IdleHook, nullptr) << "Esc leaves no frame to draw";
  // Double buffering, 8 colour bits and a 16-bit depth buffer are asked for.
  EXPECT_EQ(MissingInOrder(
                {"SetTimer 1 100", "GetDC", "ChoosePixelFormat flags=0x25 type=0 color=8 depth=16",
                 "SetPixelFormat", "DescribePixelFormat", "wglCreateContext", "wglMakeCurrent",
                 "ShowWindow 10", "UpdateWindow", "DestroyWindow", "wglMakeCurrent",
                 "wglDeleteContext", "ReleaseDC", "PostQuitMessage 0"}),
            "");

  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  const headless::MessageBoxRecord& box = headless::MessageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, " mouse: touch the window image for movement----- ");
  EXPECT_EQ(box.caption, HELICOID_INFO_CAPTION);
  EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(windowDuringBox) << "the window must not exist while the box is open";
  const int registered = IndexInLog("RegisterClassA OpenGL");
  ASSERT_GE(registered, 0);
  EXPECT_LT(registered, logAtBox);
  EXPECT_GT(IndexInLog("CreateWindowExA"), IndexInLog("MessageBoxA"));

  EXPECT_EQ(info.className, "OpenGL");
  EXPECT_EQ(info.title, HELICOID_WINDOW_TITLE);
  EXPECT_EQ(info.style & ~static_cast<DWORD>(WS_VISIBLE),
            static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
  EXPECT_EQ(info.exStyle, 0u);
  EXPECT_TRUE(info.visible);
}

TEST_F(ViewerRun, WindowIsSquareFromTheScreenHeight) {
  struct Case {
    int screenWidth, screenHeight, side;
  };
  for (Case c : {Case{1024, 768, 614}, Case{1280, 1024, 819}, Case{1280, 1027, 821},
                 Case{1920, 1080, 864}, Case{3840, 1080, 864}, Case{1920, 1200, 960}}) {
    ResetViewer();
    headless::KeepFramePixels(false);
    headless::SetScreenSize(c.screenWidth, c.screenHeight);
    headless::WindowInfo info{};
    headless::Call([&] { headless::MainWindow(&info); }, 1);
    headless::Type(27, 0);
    ASSERT_EQ(RunViewer(), 0);
    EXPECT_EQ(AppState.windowWidth, c.side) << c.screenHeight;
    EXPECT_EQ(AppState.windowHeight, c.side) << c.screenHeight;
    EXPECT_EQ(info.x, 50);
    EXPECT_EQ(info.y, 50);
    EXPECT_EQ(info.width, c.side);
    EXPECT_EQ(info.height, c.side);
  }
}

TEST_F(ViewerRun, DrawsContinuouslyFromTheFirstPaintWithoutTurning) {
  int frames = -1;
  std::array<float, 16> rotation{};
  headless::Call(
      [&] {
        frames = headless::PresentedFrames();
        rotation = Rotation();
      },
      10);
  headless::Close(0);
  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(frames, 10);
  EXPECT_TRUE(IsIdentity(rotation));
  EXPECT_EQ(headless::PresentedFrames(), 10) << "nothing is drawn after the close";
  EXPECT_EQ(TrackballState.isRotating, 0);
}

TEST_F(ViewerRun, DragSpinsAndClickStops) {
  std::array<float, 16> spinA{}, spinB{}, atClick{}, afterClick{};
  int framesA = 0, framesB = 0, framesAtClick = 0, framesAfterClick = 0, framesLater = 0;
  float angleAfterClick = -1;

  headless::Press(400, 400, 2);
  headless::Move(460, 420);     // the press drew one more frame; then the loop waited
  headless::Release(-30, 950);  // outside the window: the capture brings it
  headless::Call(
      [&] {
        framesA = headless::PresentedFrames();
        spinA = Rotation();
      },
      1);
  headless::Call(
      [&] {
        framesB = headless::PresentedFrames();
        spinB = Rotation();
      },
      5);
  // A click without motion, at a point whose x and y differ.
  headless::Call(
      [&] {
        framesAtClick = headless::PresentedFrames();
        atClick = Rotation();
      },
      1);
  headless::Press(300, 200, 0);
  headless::Release(300, 200, 0);
  headless::Call([&] {
    framesAfterClick = headless::PresentedFrames();
    afterClick = Rotation();
    angleAfterClick = TrackballState.stepAngle;
  });
  headless::TimerTick();   // wakes the loop, draws nothing
  headless::Move(10, 10);  // motion with the button up draws nothing either
  headless::Call([&] { framesLater = headless::PresentedFrames(); });
  headless::Type(27);

  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(MissingInOrder({"DispatchMessageA 0x0201", "SetCapture", "DispatchMessageA 0x0202",
                            "ReleaseCapture"}),
            "");
  EXPECT_EQ(framesB - framesA, 5) << "frames keep coming after the release";
  EXPECT_NE(spinA, spinB) << "the model keeps turning";
  EXPECT_EQ(framesAfterClick, framesAtClick + 1) << "a click draws exactly one frame";
  EXPECT_EQ(afterClick, atClick) << "and that frame does not turn";
  EXPECT_EQ(angleAfterClick, 0.0f);
  EXPECT_EQ(framesLater, framesAfterClick);
  EXPECT_EQ(headless::PresentedFrames(), framesLater) << "Esc draws nothing";
}

TEST_F(ViewerRun, PressWhileSpinningTurnsOnceMoreThenRests) {
  std::array<float, 16> atPress{}, afterPress{};
  int framesAtPress = 0, framesAfterPress = 0, framesLater = 0;
  headless::Press(400, 400, 1);
  headless::Move(430, 400);
  headless::Release(440, 400);
  headless::Call(
      [&] {
        framesAtPress = headless::PresentedFrames();
        atPress = Rotation();
      },
      3);
  headless::Press(200, 200, 0);
  headless::Call([&] {
    framesAfterPress = headless::PresentedFrames();
    afterPress = Rotation();
  });
  headless::TimerTick();
  headless::Call([&] { framesLater = headless::PresentedFrames(); });
  headless::Release(200, 200);
  headless::Type(27);

  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(framesAfterPress, framesAtPress + 1);
  EXPECT_NE(afterPress, atPress) << "the extra frame turns by the old step";
  EXPECT_EQ(framesLater, framesAfterPress);
}

TEST_F(ViewerRun, InputIsHandledBeforeTheNextFrame) {
  // While frames run back to back, a key that arrives is dispatched before the
  // next frame is drawn.
  std::vector<int> wireframeByFrame;
  headless::OnPresent([&] { wireframeByFrame.push_back(DisplayOptions.wireframe); });
  int framesAtKey = 0;
  headless::Call([&] { framesAtKey = headless::PresentedFrames(); }, 4);
  headless::Type('p', 0);
  headless::Type(27, 2);
  EXPECT_EQ(RunViewer(), 0);
  ASSERT_GT(static_cast<int>(wireframeByFrame.size()), framesAtKey);
  for (int i = 0; i < framesAtKey; ++i) EXPECT_EQ(wireframeByFrame[i], 0);
  EXPECT_EQ(wireframeByFrame[framesAtKey], 1);
}

TEST_F(ViewerRun, KeyCommandsAndTheirFrames) {
  headless::KeepFramePixels(true);
  int framesStopped = 0, framesAfterTwoF = 0, framesAfterUpper = 0;
  int fogAfterTwo = -1;
  unsigned char backgroundFog[3] = {}, backgroundPlain[3] = {};
  // Stop the start-up drawing with a click, so that each request is one frame.
  headless::Press(5, 5, 1);
  headless::Release(5, 5, 0);
  headless::Call([&] { framesStopped = headless::PresentedFrames(); });
  headless::Type('f');
  headless::Type('f', 0);  // both before the next idle moment: one frame
  headless::Call([&] {
    framesAfterTwoF = headless::PresentedFrames();
    fogAfterTwo = DisplayOptions.fogOn;
  });
  for (int c : {'F', 'P', 'J', 'K'}) headless::Type(c);
  headless::Call([&] { framesAfterUpper = headless::PresentedFrames(); });
  headless::Type('f');
  headless::Call([&] { std::copy_n(headless::LastFramePixels().data(), 3, backgroundFog); });
  headless::Type('f');
  headless::Call([&] { std::copy_n(headless::LastFramePixels().data(), 3, backgroundPlain); });
  headless::Type('p');
  headless::Type(27);

  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(fogAfterTwo, 0);
  EXPECT_EQ(framesAfterTwoF, framesStopped + 1);
  EXPECT_EQ(framesAfterUpper, framesAfterTwoF) << "upper-case letters are not commands";
  EXPECT_NEAR(backgroundFog[0], 128, 1);
  EXPECT_NEAR(backgroundFog[1], 64, 1);
  EXPECT_NEAR(backgroundFog[2], 64, 1);
  EXPECT_NEAR(backgroundPlain[0], 38, 1);
  EXPECT_NEAR(backgroundPlain[1], 38, 1);
  EXPECT_NEAR(backgroundPlain[2], 38, 1);
  EXPECT_EQ(DisplayOptions.wireframe, 1);
  EXPECT_FLOAT_EQ(DisplayOptions.tuneLevel, 0.55f);
}

TEST_F(ViewerRun, TuneLevelStepsAndHolds) {
  // Start-up drawing runs back to back, so one key per frame is handled before
  // the recording step that follows it.
  std::vector<float> levels;
  auto press = [&](int key, int times) {
    for (int i = 0; i < times; ++i) {
      headless::Type(key, 1);
      headless::Call([&] { levels.push_back(DisplayOptions.tuneLevel); }, 1);
    }
  };
  press('j', 11);
  press('k', 22);
  press('j', 1);
  headless::Type(27, 1);
  EXPECT_EQ(RunViewer(), 0);

  ASSERT_EQ(levels.size(), 34u);
  EXPECT_LT(levels[8], 1.05f);
  EXPECT_EQ(levels[9], 1.05f) << "the tenth 'j' from 0.55 reaches the top";
  EXPECT_EQ(levels[10], 1.05f);
  // Twenty 'k' from 1.05 leave a value just under 0.05; the next one holds at 0.01.
  EXPECT_GT(levels[30], 0.04f);
  EXPECT_LT(levels[30], 0.05f);
  EXPECT_EQ(levels[31], 0.01f);
  EXPECT_EQ(levels[32], 0.01f);
  EXPECT_FLOAT_EQ(levels[33], 0.06f);
}

TEST_F(ViewerRun, SizeChangesEndAtTheStartSize) {
  headless::WindowInfo moved{}, after{};
  headless::Call([&] { headless::MainWindow(&moved); }, 1);
  headless::Resize(500, 300, 0);
  headless::Call([&] { headless::MainWindow(&after); }, 1);
  headless::Post(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1280, 1000), 0);
  headless::Call(
      [&] {
        headless::WindowInfo info{};
        headless::MainWindow(&info);
        EXPECT_EQ(info.width, 819);
        EXPECT_EQ(info.height, 819);
      },
      1);
  headless::Type(27, 0);
  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(after.width, 819);
  EXPECT_EQ(after.height, 819);
  EXPECT_EQ(after.x, moved.x);
  EXPECT_EQ(after.y, moved.y);
  EXPECT_GE(headless::CallCount("SetWindowPos"), 2);
  EXPECT_EQ(headless::CallCount("SetWindowPos 819x819 flags=2"),
            headless::CallCount("SetWindowPos"))
      << "only SWP_NOMOVE: the window also comes to the top";
}

TEST_F(ViewerRun, PaletteMessagesWithoutAPalette) {
  LRESULT query = -1;
  headless::Call(
      [&] {
        headless::WindowInfo info{};
        headless::MainWindow(&info);
        query = SendMessageA(info.handle, WM_QUERYNEWPALETTE, 0, 0);
        SendMessageA(info.handle, WM_PALETTECHANGED, 0, 0);
      },
      1);
  headless::Type(27, 0);
  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(AppState.palette, nullptr);
  EXPECT_EQ(query, 0) << "without a palette the message gets the default handling";
  EXPECT_EQ(headless::CallCount("CreatePalette"), 0);
  EXPECT_EQ(headless::CallCount("UnrealizeObject"), 0);
}

TEST_F(ViewerRun, PaletteIsBuiltAndRefreshedOnPaletteDisplays) {
  headless::Faults faults;
  faults.paletteFormat = true;
  headless::SetFaults(faults);
  LRESULT query = -1;
  int refreshAfterQuery = -1, refreshAfterOwn = -1, refreshAfterOther = -1;
  int framesBefore = 0, framesAfter = 0;
  // Stopped first, so that frames come only from requests.
  headless::Press(5, 5, 1);
  headless::Release(5, 5, 0);
  // A message sent while the loop waits does not wake it; the timer does.
  headless::Call([&] {
    headless::WindowInfo info{};
    headless::MainWindow(&info);
    framesBefore = headless::PresentedFrames();
    query = SendMessageA(info.handle, WM_QUERYNEWPALETTE, 0, 0);
    refreshAfterQuery = headless::CallCount("UnrealizeObject");
    SendMessageA(info.handle, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(info.handle), 0);
    refreshAfterOwn = headless::CallCount("UnrealizeObject");
  });
  headless::TimerTick();
  headless::Call([&] { framesAfter = headless::PresentedFrames(); });
  headless::PaletteChanged(false);
  headless::TimerTick();
  headless::Call([&] { refreshAfterOther = headless::CallCount("UnrealizeObject"); });
  headless::Type(27);
  EXPECT_EQ(RunViewer(), 0);

  ASSERT_NE(AppState.palette, nullptr);
  const headless::PaletteRecord* palette = headless::LastPalette();
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->version, 0x300);
  ASSERT_EQ(palette->entries.size(), 256u);
  EXPECT_EQ(palette->entries[1].peRed, 36);
  EXPECT_EQ(palette->entries[64].peBlue, 85);
  EXPECT_EQ(query, 1);
  EXPECT_EQ(refreshAfterQuery, 1);
  EXPECT_EQ(refreshAfterOwn, 1) << "a change made by this very window is not answered";
  EXPECT_EQ(refreshAfterOther, 2);
  EXPECT_EQ(framesAfter, framesBefore + 1);
}

TEST_F(ViewerRun, SixteenColourPaletteThatCannotBeMadeLeavesNone) {
  headless::Faults faults;
  faults.paletteFormat = true;
  faults.colorBits = 4;
  faults.createPaletteFails = true;
  headless::SetFaults(faults);
  headless::QueryNewPalette(1);
  headless::Type(27, 1);
  EXPECT_EQ(RunViewer(), 0);
  ASSERT_NE(headless::LastPalette(), nullptr);
  EXPECT_EQ(headless::LastPalette()->entries.size(), 16u);
  EXPECT_EQ(AppState.palette, nullptr);
  EXPECT_EQ(headless::CallCount("SelectPalette"), 0);
  EXPECT_EQ(headless::CallCount("UnrealizeObject"), 0);
}

// Size, paint and mouse messages that come while no GL context exists get the
// default handling and touch neither the window nor the trackball.
TEST_F(ViewerRun, MessagesBeforeGLIsReadyGetTheDefaultHandling) {
  int defaults = 0, handled = 0;
  headless::Call(
      [&] {
        headless::WindowInfo info{};
        headless::MainWindow(&info);
        const HGLRC context = AppState.renderContext;
        AppState.renderContext = nullptr;
        IdleHook = nullptr;
        TrackballState.isDragging = 1;  // a motion let through would make a step
        headless::ClearCallLog();
        for (UINT message : {WM_SIZE, WM_PAINT, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
          SendMessageA(info.handle, message, 0, MAKELPARAM(10, 10));
        }
        defaults = headless::CallCount("DefWindowProcA");
        for (const char* call : {"SetWindowPos", "BeginPaint", "SetCapture", "ReleaseCapture"}) {
          handled += headless::CallCount(call);
        }
        EXPECT_EQ(IdleHook, nullptr);
        EXPECT_EQ(TrackballState.isRotating, 0);
        EXPECT_EQ(TrackballState.stepAngle, 2.0f);
        TrackballState.isDragging = 0;
        AppState.renderContext = context;
      },
      1);
  headless::Type(27, 0);
  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(defaults, 5);
  EXPECT_EQ(handled, 0);
}

TEST_F(ViewerRun, CloseBoxEndsWithExitCodeZeroAndReleasesEverything) {
  int frames = 0;
  headless::Call([&] { frames = headless::PresentedFrames(); }, 3);
  headless::Close(0);
  EXPECT_EQ(RunViewer(), 0);
  EXPECT_EQ(headless::PresentedFrames(), frames);
  EXPECT_FALSE(headless::MainWindow(nullptr));
  EXPECT_EQ(IdleHook, nullptr);
  EXPECT_EQ(headless::CallCount("wglDeleteContext"), 1);
  EXPECT_EQ(headless::CallCount("ReleaseDC"), 1);
  EXPECT_LT(IndexInLog("wglDeleteContext"), IndexInLog("ReleaseDC"));
}

}  // namespace
