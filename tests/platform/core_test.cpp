// The core of our Windows layer, driven through the headless backend with a
// window procedure of the tests' own: message order, painting, timers, quit,
// keys, mouse packing under capture, window life, pixel formats, palettes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backend.h"
#include "probe_window.h"

namespace {

class Core : public ::testing::Test {
 protected:
  void SetUp() override { ResetProbe(); }
};

// ---- The queue --------------------------------------------------------------

TEST_F(Core, SentMessagesRunAtOncePostedOnesWaitInArrivalOrder) {
  HWND w = MakeProbeWindow(300, 200, false);
  ASSERT_NE(w, nullptr);
  SeenMessages().clear();
  ProbeHandler() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_USER + 3) return false;
    *r = 42;
    return true;
  };

  PostMessageA(w, WM_USER + 1, 1, 0);
  PostMessageA(w, WM_USER + 2, 2, 0);
  EXPECT_EQ(SendMessageA(w, WM_USER + 3, 3, 0), 42);
  ASSERT_EQ(SeenMessages().size(), 1u) << "only the sent message runs before the loop";
  EXPECT_EQ(SeenMessages()[0].message, static_cast<UINT>(WM_USER + 3));

  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0))
      << "posting to something that is not a window fails";
}

TEST_F(Core, PaintComesAfterInputOncePerInvalidationThenTimersThenQuit) {
  HWND w = MakeProbeWindow(300, 200);  // a new visible window needs painting
  SetTimer(w, 7, 100, nullptr);
  PostQuitMessage(3);  // early, yet it comes last
  PostMessageA(w, WM_USER, 0, 0);
  headless::TimerTick(0);  // due at the first look at the queue

  MSG msg;
  std::vector<UINT> order;
  int result;
  while ((result = GetMessageA(&msg, nullptr, 0, 0)) == 1) {
    order.push_back(msg.message);
    if (msg.message == WM_TIMER) {
      EXPECT_EQ(msg.wParam, 7u);
    }
    DispatchMessageA(&msg);  // WM_PAINT reaches DefWindowProcA, which validates
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_PAINT, WM_TIMER}));
  EXPECT_TRUE(Drain().empty()) << "nothing is left once quit was taken";

  // Two invalidations before the loop looks make one paint; BeginPaint and
  // EndPaint validate as well as the default handling does.
  ProbeHandler() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    EXPECT_NE(BeginPaint(h, &ps), nullptr);
    EXPECT_EQ(ps.rcPaint.right, 300);
    EndPaint(h, &ps);
    *r = 0;
    return true;
  };
  InvalidateRect(w, nullptr, FALSE);
  InvalidateRect(w, nullptr, FALSE);
  EXPECT_EQ(Drain(), std::vector<UINT>{WM_PAINT});

  // UpdateWindow sends the paint at once, and only while the window is invalid.
  InvalidateRect(w, nullptr, FALSE);
  SeenMessages().clear();
  UpdateWindow(w);
  UpdateWindow(w);
  EXPECT_EQ(SeenOf(WM_PAINT).size(), 1u);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(Core, HiddenWindowsAreNotPainted) {
  HWND w = MakeProbeWindow(300, 200, false);
  InvalidateRect(w, nullptr, FALSE);
  UpdateWindow(w);
  EXPECT_TRUE(SeenOf(WM_PAINT).empty());
  EXPECT_TRUE(Drain().empty());
  EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL)) << "it was hidden before";
  EXPECT_EQ(Drain(), std::vector<UINT>{WM_PAINT}) << "shown, it needs painting";
}

TEST_F(Core, PeekWithoutRemovingAnswersWhatGetWouldReturnAndLeavesIt) {
  HWND w = MakeProbeWindow(300, 200, false);
  SetTimer(w, 1, 100, nullptr);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "empty queue";

  ShowWindow(w, SW_SHOW);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  }
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageA(&msg);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

  headless::TimerTick(0);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  }
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "a timer fires once per tick";

  PostMessageA(w, WM_USER, 5, 6);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

  PostQuitMessage(9);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 9u);
}

// ---- Keys and mouse ---------------------------------------------------------

TEST_F(Core, TranslateMessageGivesTheCharacterOfTheKey) {
  MakeProbeWindow(300, 200, false);
  headless::Type('f', 0);
  headless::Type('F', 0);
  headless::Type(27, 0);
  headless::Post(WM_KEYDOWN, 'P', 1, 0);    // no text known: the unshifted character
  headless::Post(WM_KEYDOWN, VK_F4, 1, 0);  // yields no character
  headless::Post(WM_KEYDOWN, VK_SHIFT, 1, 0);

  std::vector<std::pair<UINT, WPARAM>> got;
  std::vector<BOOL> translated;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got.emplace_back(msg.message, msg.wParam);
    if (msg.message == WM_KEYDOWN) translated.push_back(TranslateMessage(&msg));
    DispatchMessageA(&msg);
  }
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_KEYDOWN, 'F'},       {WM_CHAR, 102},        {WM_KEYDOWN, 'F'}, {WM_CHAR, 70},
      {WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27},         {WM_KEYDOWN, 'P'}, {WM_CHAR, 112},
      {WM_KEYDOWN, VK_F4},     {WM_KEYDOWN, VK_SHIFT}};
  EXPECT_EQ(got, expected);
  EXPECT_EQ(translated, (std::vector<BOOL>{TRUE, TRUE, TRUE, TRUE, FALSE, FALSE}));
  EXPECT_EQ(SeenOf(WM_CHAR).size(), 4u);
}

// An input method may report a key's text only after its key down was taken:
// the key must then count once, as its text says (Shift+F is 'F', not 'f').
TEST_F(Core, TextThatFollowsItsTakenKeyDownCountsOnce) {
  const HWND hwnd = MakeProbeWindow(300, 200, false);
  auto takeAll = [] {
    std::vector<std::pair<UINT, WPARAM>> got;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      got.emplace_back(msg.message, msg.wParam);
      TranslateMessage(&msg);
    }
    return got;
  };
  const platform::KeyEvent keyF{'F', true, false, false, 0, platform::kTextFollows};
  platform::KeyChanged(hwnd, keyF);
  EXPECT_EQ(takeAll(), (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, 'F'}}));
  platform::KeyText(hwnd, 'F');
  // Arriving in time, the text joins its key down.
  platform::KeyChanged(hwnd, keyF);
  platform::KeyText(hwnd, 'f');
  EXPECT_EQ(takeAll(), (std::vector<std::pair<UINT, WPARAM>>{
                           {WM_CHAR, 'F'}, {WM_KEYDOWN, 'F'}, {WM_CHAR, 'f'}}));
}

TEST_F(Core, CapturedMousePointsOutsideTheWindowArriveUnclampedAndSigned) {
  HWND w = MakeProbeWindow(200, 100);
  ProbeHandler() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m == WM_LBUTTONDOWN) SetCapture(h);
    if (m == WM_LBUTTONUP) ReleaseCapture();
    *r = 0;
    return m == WM_LBUTTONDOWN || m == WM_LBUTTONUP;
  };
  headless::Press(10, 20, 0);
  headless::Move(-30, -20, 0);
  headless::Move(260, 150, 0);
  headless::Release(-30, -20, 0);
  headless::Move(-5, -5, 0);   // no longer captured: outside goes elsewhere
  headless::Move(250, 10, 0);  // likewise
  headless::Move(5, 6, 0);     // inside, no button held
  Drain();

  struct Point {
    UINT message;
    WPARAM keys;
    int x, y;
    bool operator==(const Point& o) const {
      return message == o.message && keys == o.keys && x == o.x && y == o.y;
    }
  };
  std::vector<Point> got;
  for (const Seen& s : SeenMessages()) {
    if (s.message < WM_MOUSEMOVE || s.message > WM_MBUTTONUP) continue;
    got.push_back(
        Point{s.message, s.wParam, HELICOID_X_LPARAM(s.lParam), HELICOID_Y_LPARAM(s.lParam)});
  }
  const std::vector<Point> expected = {{WM_LBUTTONDOWN, MK_LBUTTON, 10, 20},
                                       {WM_MOUSEMOVE, MK_LBUTTON, -30, -20},
                                       {WM_MOUSEMOVE, MK_LBUTTON, 260, 150},
                                       {WM_LBUTTONUP, 0, -30, -20},
                                       {WM_MOUSEMOVE, 0, 5, 6}};
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(got[i] == expected[i]) << "message " << i << ": " << got[i].x << "," << got[i].y;
  }
  const std::vector<Seen> up = SeenOf(WM_LBUTTONUP);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].lParam, MAKELPARAM(-30, -20)) << "two signed 16-bit halves";
  EXPECT_EQ(SeenOf(WM_CAPTURECHANGED).size(), 1u);
  EXPECT_EQ(GetCapture(), nullptr);
  (void)w;
}

// ---- Window life ------------------------------------------------------------

TEST_F(Core, CreationSendsCreateWithTheWindowInPlaceAndMayBeRefused) {
  bool sizedAtCreate = false;
  ProbeHandler() = [&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT* r) {
    if (m != WM_CREATE) return false;
    RECT rc;
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(l);
    sizedAtCreate = IsWindow(h) && GetClientRect(h, &rc) && rc.right == 320 && rc.bottom == 240 &&
                    cs->cx == 320 && cs->cy == 240 && std::string(cs->lpszClass) == "Probe";
    *r = 0;
    return true;
  };
  HWND w = MakeProbeWindow(320, 240);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(sizedAtCreate);
  RECT rc;
  GetWindowRect(w, &rc);
  EXPECT_EQ(rc.left, 50);
  EXPECT_EQ(rc.bottom, 50 + 240);

  SeenMessages().clear();
  ProbeHandler() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    *r = -1;
    return m == WM_CREATE;
  };
  EXPECT_EQ(MakeProbeWindow(320, 240), nullptr) << "WM_CREATE answered -1";
  EXPECT_EQ(SeenOf(WM_DESTROY).size(), 1u);
  headless::WindowInfo info;
  ASSERT_TRUE(headless::MainWindow(&info));
  EXPECT_EQ(info.handle, w) << "the refused window is gone";

  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.lpszClassName = "PROBE";
  EXPECT_EQ(RegisterClassA(&wc), 0) << "class names are registered once, in any case";
  EXPECT_EQ(
      CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
      nullptr);
}

TEST_F(Core, SetWindowPosSendsSizeOnlyWhenTheSizeChanges) {
  HWND w = MakeProbeWindow(300, 200);
  // Like a window that holds its size: every WM_SIZE is answered by going back.
  ProbeHandler() = [](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_SIZE) return false;
    SetWindowPos(h, HWND_TOP, 80, 80, 300, 200, SWP_NOMOVE);
    *r = 0;
    return true;
  };
  SeenMessages().clear();
  EXPECT_TRUE(SetWindowPos(w, HWND_TOP, 80, 80, 300, 200, SWP_NOMOVE));
  EXPECT_TRUE(SeenOf(WM_SIZE).empty()) << "the same size sends nothing";

  SetWindowPos(w, HWND_TOP, 0, 0, 400, 300, SWP_NOMOVE);
  std::vector<Seen> sizes = SeenOf(WM_SIZE);
  ASSERT_EQ(sizes.size(), 2u) << "the new size, then the size it went back to";
  EXPECT_EQ(sizes[0].lParam, MAKELPARAM(400, 300));
  EXPECT_EQ(sizes[1].lParam, MAKELPARAM(300, 200));

  // The user sizes the frame: the window has the size when WM_SIZE arrives.
  SeenMessages().clear();
  headless::Resize(500, 450, 0);
  Drain();
  sizes = SeenOf(WM_SIZE);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[0].lParam, MAKELPARAM(500, 450));
  headless::WindowInfo info;
  headless::MainWindow(&info);
  EXPECT_EQ(info.width, 300);
  EXPECT_EQ(info.height, 200);
  EXPECT_EQ(info.x, 50) << "SWP_NOMOVE keeps the position";
}

TEST_F(Core, DestroyWindowSendsDestroyThenEndsTimersCaptureAndQueuedMessages) {
  HWND w = MakeProbeWindow(300, 200);
  bool existedDuringDestroy = false;
  ProbeHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_DESTROY) return false;
    existedDuringDestroy = IsWindow(h) != FALSE;
    EXPECT_FALSE(DestroyWindow(h)) << "already being destroyed";
    *r = 0;
    return true;
  };
  SetTimer(w, 1, 100, nullptr);
  SetCapture(w);
  PostMessageA(w, WM_USER, 0, 0);

  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_EQ(SeenOf(WM_DESTROY).size(), 1u);
  EXPECT_TRUE(existedDuringDestroy);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(KillTimer(w, 1)) << "its timers ended with it";
  headless::TimerTick(0);
  EXPECT_TRUE(Drain().empty()) << "no paint, timer or posted message outlives the window";
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
  EXPECT_NE(MakeProbeWindow(10, 10), w) << "handles are not reused";
}

TEST_F(Core, CloseAndDestroyFromInsideTheProcedureEndTheLoopCleanly) {
  // The close box reaches DefWindowProcA, which destroys the window; WM_DESTROY
  // quits. Then a second window destroys itself while its own WM_CHAR is
  // dispatched, and keeps calling on its dead handle.
  ProbeHandler() = [](HWND h, UINT m, WPARAM wp, LPARAM l, LRESULT* r) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    if (m == WM_CHAR && wp == 27) {
      EXPECT_TRUE(DestroyWindow(h));
      EXPECT_EQ(DefWindowProcA(h, m, wp, l), 0);
      EXPECT_FALSE(SetWindowPos(h, HWND_TOP, 0, 0, 1, 1, 0));
      *r = 0;
      return true;
    }
    return false;
  };
  HWND first = MakeProbeWindow(300, 200);
  headless::Close(0);
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_FALSE(IsWindow(first));

  MakeProbeWindow(300, 200);
  headless::Type(27, 0);
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_FALSE(headless::MainWindow(nullptr));
  EXPECT_FALSE(headless::ScriptFailed());
}

// ---- Device contexts, resources, metrics -------------------------------------

TEST_F(Core, DeviceContextsIconsCursorsAndScreenMetrics) {
  headless::SetScreenSize(1920, 1080);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);

  HMODULE module = GetModuleHandleA(nullptr);
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCEA(7)), nullptr) << "before the program hands it over";
  static const unsigned char kPixel[4] = {1, 2, 3, 255};
  platform::AddIconResource(7, platform::IconPixels{1, 1, kPixel});
  EXPECT_NE(LoadIconA(module, MAKEINTRESOURCEA(7)), nullptr);
  EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCEA(8)), nullptr) << "only the icon handed over";
  EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);

  HWND a = MakeProbeWindow(100, 100);
  HWND b = MakeProbeWindow(100, 100);
  HDC dc = GetDC(a);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDC(a), dc) << "a window's own DC is the same every time";
  EXPECT_NE(GetDC(b), dc);
  EXPECT_EQ(WindowFromDC(dc), a);
  EXPECT_EQ(ReleaseDC(a, dc), 1);
  EXPECT_EQ(ReleaseDC(b, dc), 0) << "not b's DC";
  DestroyWindow(a);
  EXPECT_EQ(WindowFromDC(dc), nullptr) << "the DC ends with its window";
}

TEST_F(Core, PixelFormatIsChosenSetOnceAndDescribedAsItIs) {
  HWND w = MakeProbeWindow(64, 48);
  HDC dc = GetDC(w);
  PIXELFORMATDESCRIPTOR want = {};
  want.nSize = sizeof want;
  want.nVersion = 1;
  want.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  want.iPixelType = PFD_TYPE_RGBA;
  want.cColorBits = 8;
  want.cDepthBits = 16;
  const int format = ChoosePixelFormat(dc, &want);
  ASSERT_GT(format, 0);
  PIXELFORMATDESCRIPTOR colourIndex = want;
  colourIndex.iPixelType = PFD_TYPE_COLORINDEX;
  EXPECT_EQ(ChoosePixelFormat(dc, &colourIndex), 0);
  EXPECT_EQ(ChoosePixelFormat(nullptr, &want), 0);

  EXPECT_EQ(wglCreateContext(dc), nullptr) << "no context before the format is set";
  EXPECT_EQ(GetPixelFormat(dc), 0);
  const int count = DescribePixelFormat(dc, format, 0, nullptr);
  EXPECT_FALSE(SetPixelFormat(dc, count + 1, &want));
  ASSERT_TRUE(SetPixelFormat(dc, format, &want));
  EXPECT_TRUE(SetPixelFormat(dc, format, &want)) << "the same format again is accepted";
  EXPECT_EQ(GetPixelFormat(dc), format);

  PIXELFORMATDESCRIPTOR got = {};
  EXPECT_EQ(DescribePixelFormat(dc, format, sizeof got, &got), count);
  EXPECT_EQ(got.nSize, 40);
  EXPECT_EQ(got.nVersion, 1);
  EXPECT_EQ(got.dwFlags,
            static_cast<DWORD>(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
  EXPECT_EQ(got.iPixelType, PFD_TYPE_RGBA);
  EXPECT_EQ(got.cColorBits, 24);
  EXPECT_EQ(got.cRedBits + got.cGreenBits + got.cBlueBits, 24);
  EXPECT_EQ(got.cRedShift, 16);
  EXPECT_EQ(got.cBlueShift, 0);
  EXPECT_EQ(got.cDepthBits, 16) << "Mesa's surfaceless EGL gives exactly 16 bits";
  EXPECT_EQ(DescribePixelFormat(dc, format, 20, &got), 0) << "too small a record";
}

TEST_F(Core, PalettesAreKeptAndInjectedFailuresAreReported) {
  headless::Faults faults;
  faults.paletteFormat = true;
  headless::SetFaults(faults);
  HWND w = MakeProbeWindow(64, 48);
  HDC dc = GetDC(w);
  ASSERT_NE(MakeCurrentContext(w), nullptr);
  PIXELFORMATDESCRIPTOR got = {};
  DescribePixelFormat(dc, GetPixelFormat(dc), sizeof got, &got);
  EXPECT_TRUE(got.dwFlags & PFD_NEED_PALETTE);
  EXPECT_EQ(got.cColorBits, 8);
  EXPECT_EQ(got.cGreenShift, 3);

  std::vector<unsigned char> block(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 4;
  for (int i = 0; i < 4; ++i) lp->palPalEntry[i] = PALETTEENTRY{BYTE(i * 80), 0, 0, 0};
  HPALETTE palette = CreatePalette(lp);
  ASSERT_NE(palette, nullptr);
  ASSERT_NE(headless::LastPalette(), nullptr);
  EXPECT_EQ(headless::LastPalette()->version, 0x300);
  ASSERT_EQ(headless::LastPalette()->entries.size(), 4u);
  EXPECT_EQ(headless::LastPalette()->entries[3].peRed, 240);
  HPALETTE stock = SelectPalette(dc, palette, FALSE);
  EXPECT_NE(stock, nullptr) << "the DC's default palette";
  EXPECT_EQ(SelectPalette(dc, stock, FALSE), palette);
  EXPECT_EQ(RealizePalette(dc), 0u) << "true colour: nothing to map";
  EXPECT_TRUE(UnrealizeObject(palette));
  EXPECT_FALSE(UnrealizeObject(reinterpret_cast<HGDIOBJ>(0x1234)));

  // Every injected failure fails its own call, and says so.
  headless::Faults all;
  all.registerClassFails = all.createWindowFails = all.getDCFails = true;
  all.choosePixelFormatFails = all.setPixelFormatFails = true;
  all.createPaletteFails = all.createContextFails = true;
  headless::SetFaults(all);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.lpszClassName = "Other";
  EXPECT_EQ(RegisterClassA(&wc), 0);
  SeenMessages().clear();
  EXPECT_EQ(MakeProbeWindow(10, 10), nullptr);
  EXPECT_TRUE(SeenMessages().empty()) << "a failed creation sends nothing";
  EXPECT_EQ(GetDC(w), nullptr);
  PIXELFORMATDESCRIPTOR want = got;
  want.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  want.iPixelType = PFD_TYPE_RGBA;
  EXPECT_EQ(ChoosePixelFormat(dc, &want), 0);
  EXPECT_FALSE(SetPixelFormat(dc, 1, &want));
  EXPECT_EQ(CreatePalette(lp), nullptr);
  EXPECT_NE(headless::LastPalette(), nullptr) << "a failing CreatePalette is recorded too";
  EXPECT_EQ(wglCreateContext(dc), nullptr);
}

// ---- Message boxes ----------------------------------------------------------

TEST_F(Core, MessageBoxesAreRecordedEchoedAndAnswered) {
  HWND w = MakeProbeWindow(64, 48);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "first line\nsecond", "Error", MB_OK | MB_ICONERROR), IDOK);
  const std::string echoed = testing::internal::GetCapturedStderr();
  EXPECT_NE(echoed.find("headless: MessageBoxA caption=\"Error\" text=\"first line\\nsecond\" "
                        "type=16\n"),
            std::string::npos)
      << echoed;

  bool windowSeenInBox = false;
  headless::OnMessageBox([&](const headless::MessageBoxRecord& box) {
    windowSeenInBox = box.owner == w;
    return 7;
  });
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(w, "owned", "Box", MB_OK), 7);
  EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x1234), "x", "y", MB_OK), 0)
      << "an owner that is not a window";
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(windowSeenInBox);
  ASSERT_EQ(headless::MessageBoxes().size(), 2u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, "first line\nsecond");
  EXPECT_EQ(headless::MessageBoxes()[1].caption, "Box");
  EXPECT_EQ(headless::CallCount("MessageBoxA"), 3);
}

}  // namespace
