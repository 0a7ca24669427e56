// Random messages through the whole viewer on the headless backend: every
// message kind the window procedure handles and many it does not, mouse points
// anywhere in the signed 16-bit range, every character code, presses and
// releases in any order. After every frame the records must still hold a
// rotation and valid flags; the run must end with Esc and exit code 0.
//
// The seed is fixed (HELICOID_FUZZ_SEED overrides it) and printed on failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>

#include "app/app.h"
#include "records/app_state.h"
#include "platform/headless/headless.h"
#include "scene/scene.h"
#include "lib/harness/viewer_harness.h"
#include "trackball/trackball.h"

namespace {

// A small window keeps frames cheap: the screen is 80 high, the window 64.
const int kScreenHeight = 80;
const int kSide = 64;

// Messages only the system itself sends at a window's birth and death, or
// that end the loop: posting them would forge a second creation or a quit
// that no input can cause. The run's end comes from Esc.
bool IsLifecycleMessage(UINT message) {
  return message == WM_CREATE || message == WM_DESTROY || message == WM_CLOSE ||
         message == WM_QUIT || message == 0x0081 /* WM_NCCREATE */ ||
         message == 0x0082 /* WM_NCDESTROY */;
}

std::string CheckRecords() {
  std::ostringstream fault;
  const float* m = TrackballState.modelRotation;
  for (int i = 0; i < 16; ++i) {
    if (!std::isfinite(m[i])) fault << "modelRotation[" << i << "] = " << m[i] << "; ";
  }
  // Columns of the upper 3 x 3 orthonormal; fourth row and column as the identity's.
  for (int a = 0; a < 3; ++a) {
    for (int b = a; b < 3; ++b) {
      double dot = 0;
      for (int r = 0; r < 3; ++r) dot += double(m[4 * a + r]) * m[4 * b + r];
      const double want = a == b ? 1.0 : 0.0;
      if (!(std::fabs(dot - want) <= 1e-5)) {
        fault << "columns " << a << "." << b << " = " << dot << "; ";
      }
    }
  }
  for (int i : {3, 7, 11, 12, 13, 14}) {
    if (!(std::fabs(m[i]) <= 1e-5)) fault << "modelRotation[" << i << "] = " << m[i] << "; ";
  }
  if (!(std::fabs(m[15] - 1.0f) <= 1e-5)) fault << "modelRotation[15] = " << m[15] << "; ";
  auto flag = [&](const char* name, int value) {
    if (value != 0 && value != 1) fault << name << " = " << value << "; ";
  };
  flag("isDragging", TrackballState.isDragging);
  flag("isRotating", TrackballState.isRotating);
  flag("spinAfterRelease", TrackballState.spinAfterRelease);
  flag("fogOn", DisplayOptions.fogOn);
  flag("wireframe", DisplayOptions.wireframe);
  const float tune = DisplayOptions.tuneLevel;
  if (!(tune >= 0.01f && tune <= 1.05f)) fault << "tuneLevel = " << tune << "; ";
  return fault.str();
}

class MessageFuzz {
 public:
  MessageFuzz(uint32_t seed, long messages) : rng_(seed), budget_(messages) {}

  // Runs the viewer until the budget is spent and Esc has closed it.
  int Run() {
    headless::OnPresent([this] { AfterFrame(); });
    ArmWaiter();
    const int status = harness::RunViewer();
    headless::OnPresent(nullptr);
    return status;
  }

  long sent() const { return sent_; }
  long frames() const { return frames_; }
  long turningFrames() const { return turningFrames_; }
  long waits() const { return waits_; }
  bool escSent() const { return escSent_; }
  const std::string& firstFault() const { return firstFault_; }

 private:
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  // Client coordinates: mostly on or near the window, some anywhere in the
  // signed 16-bit range, some at its very ends.
  int Coordinate() {
    switch (Below(8)) {
      case 0:
        return Between(-32768, 32767);
      case 1:
        return Chance(0.5) ? -32768 : 32767;
      case 2:
        return Between(-3 * kSide, 4 * kSide);
      default:
        return Between(0, kSide - 1);
    }
  }
  LPARAM Point() {
    return MAKELPARAM(static_cast<WORD>(Coordinate()), static_cast<WORD>(Coordinate()));
  }
  // Any character code but Esc, which ends the run; the first 256 codes come
  // in turn so that every one of them is sent.
  WPARAM Character() {
    WPARAM c;
    if (nextSweepCharacter_ < 256 && Chance(0.5)) {
      c = nextSweepCharacter_++;
    } else if (Chance(0.5)) {
      // The commands, often, so that their effects pile up.
      static const char kCommands[] = "fpjkFPJK";
      c = static_cast<unsigned char>(kCommands[Below(8)]);
    } else {
      c = Chance(0.8) ? Below(0x10000) : static_cast<WPARAM>(rng_()) << 16 | 27;
    }
    return c == 27 ? 28 : c;
  }
  UINT UnknownMessage() {
    for (;;) {
      const UINT m = Chance(0.8) ? Below(0x10000) : static_cast<UINT>(rng_());
      if (!IsLifecycleMessage(m)) return m;
    }
  }

  // One message posted straight into the queue.
  void PostRandom() {
    const HWND window = reinterpret_cast<HWND>(MainWindowHandle());
    if (window == nullptr) return;
    UINT message;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    switch (Below(20)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5:
        message = WM_MOUSEMOVE;
        wParam = Below(0x80);
        lParam = Point();
        break;
      case 6:
      case 7:
        message = WM_LBUTTONDOWN;
        wParam = Below(0x80);
        lParam = Point();
        break;
      case 8:
        message = WM_LBUTTONUP;
        wParam = Below(0x80);
        lParam = Point();
        break;
      case 9:
        // A click without motion: the model stops and the viewer waits.
        lParam = Point();
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, lParam);
        ++sent_;
        --budget_;
        message = WM_LBUTTONUP;
        break;
      case 10: {
        static const UINT kButtons[] = {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP};
        message = kButtons[Below(4)];
        lParam = Point();
        break;
      }
      case 11:
      case 12:
        message = WM_CHAR;
        wParam = Character();
        lParam = static_cast<LPARAM>(rng_());
        break;
      case 13: {
        static const UINT kKeys[] = {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP};
        message = kKeys[Below(4)];
        wParam = Below(256);
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE) wParam = 'F';
        lParam = static_cast<LPARAM>(rng_());
        break;
      }
      case 14:
        message = Chance(0.5) ? WM_SIZE : WM_PAINT;
        wParam = Below(5);
        lParam = static_cast<LPARAM>(rng_());
        break;
      case 15:
        message = WM_TIMER;
        wParam = Chance(0.5) ? 1 : rng_();
        lParam = Chance(0.5) ? 0 : static_cast<LPARAM>(rng_());
        break;
      case 16:
        message = Chance(0.5) ? WM_PALETTECHANGED : WM_QUERYNEWPALETTE;
        wParam = Chance(0.5) ? reinterpret_cast<WPARAM>(window) : rng_();
        break;
      case 17: {
        static const UINT kOthers[] = {WM_NULL,       WM_MOVE,           WM_ACTIVATE,
                                       WM_SETFOCUS,   WM_KILLFOCUS,      WM_ERASEBKGND,
                                       WM_SHOWWINDOW, WM_CAPTURECHANGED, WM_USER};
        message = kOthers[Below(9)];
        wParam = rng_();
        lParam = static_cast<LPARAM>(rng_());
        break;
      }
      default:
        message = UnknownMessage();
        wParam = rng_();
        lParam = static_cast<LPARAM>(rng_());
        break;
    }
    PostMessageA(window, message, wParam, lParam);
    ++sent_;
    --budget_;
  }

  // One input step as the user or the system makes it, through the script.
  void ScriptRandom() {
    switch (Below(10)) {
      case 0:
      case 1:
        headless::Press(Coordinate(), Coordinate(), 0);
        break;
      case 2:
      case 3:
        headless::Move(Coordinate(), Coordinate(), 0);
        break;
      case 4:
      case 5:
        headless::Release(Coordinate(), Coordinate(), 0);
        break;
      case 6: {
        // The script types single-byte characters.
        const int c = static_cast<int>(Character() & 0xFF);
        headless::Type(c == 27 ? 'f' : c, 0);
        break;
      }
      case 7:
        headless::Resize(Between(0, 2 * kSide), Between(0, 2 * kSide), 0);
        break;
      case 8:
        if (Chance(0.5)) {
          headless::PaletteChanged(Chance(0.5), 0);
        } else {
          headless::QueryNewPalette(0);
        }
        break;
      default:
        if (Chance(0.5)) {
          headless::TimerTick(0);
        } else {
          headless::Post(UnknownMessage(), rng_(), static_cast<LPARAM>(rng_()), 0);
        }
        break;
    }
    ++sent_;
    --budget_;
  }

  void SendEsc() {
    if (escSent_) return;
    escSent_ = true;
    if (const HWND window = reinterpret_cast<HWND>(MainWindowHandle())) {
      // A key down that TranslateMessage turns into the character 27.
      PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    }
  }

  // While frames run, input arrives between them.
  void AfterFrame() {
    ++frames_;
    if (TrackballState.isRotating) ++turningFrames_;
    if (firstFault_.empty()) {
      const std::string fault = CheckRecords();
      if (!fault.empty()) {
        firstFault_ = "after frame " + std::to_string(frames_) + " (message " +
                      std::to_string(sent_) + "): " + fault;
      }
    }
    if (budget_ <= 0) {
      SendEsc();
      return;
    }
    if (Chance(0.2)) return;  // some frames back to back with no input
    for (int n = Between(1, 24); n > 0 && budget_ > 0; --n) PostRandom();
  }

  // While the viewer waits, a batch of script steps wakes it.
  void ArmWaiter() {
    headless::Call(
        [this] {
          ++waits_;
          if (budget_ <= 0) {
            headless::Type(27, 0);
            escSent_ = true;
            return;
          }
          for (int n = Between(1, 16); n > 0 && budget_ > 0; --n) {
            if (Chance(0.5)) {
              ScriptRandom();
            } else {
              PostRandom();
            }
          }
          ArmWaiter();
        },
        headless::kWhenWaiting);
  }

  static void* MainWindowHandle() {
    headless::WindowInfo info{};
    return headless::MainWindow(&info) ? static_cast<void*>(info.handle) : nullptr;
  }

  std::mt19937 rng_;
  long budget_;
  long sent_ = 0;
  long frames_ = 0;
  long turningFrames_ = 0;
  long waits_ = 0;
  WPARAM nextSweepCharacter_ = 0;
  bool escSent_ = false;
  std::string firstFault_;
};

uint32_t Seed() {
  const char* text = std::getenv("HELICOID_FUZZ_SEED");
  return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : 20240611u;
}

void StartViewer(bool paletteFormat) {
  harness::ResetViewer();
  headless::SetScreenSize(kScreenHeight * 4 / 3, kScreenHeight);
  headless::KeepFramePixels(false);
  if (paletteFormat) {
    headless::Faults faults;
    faults.paletteFormat = true;
    headless::SetFaults(faults);
  }
}

void RunFuzz(bool paletteFormat, long messages) {
  const uint32_t seed = Seed();
  SCOPED_TRACE("seed " + std::to_string(seed) + " (set HELICOID_FUZZ_SEED to repeat)");
  StartViewer(paletteFormat);
  MessageFuzz fuzz(seed, messages);
  const int status = fuzz.Run();

  EXPECT_EQ(status, 0);
  EXPECT_FALSE(headless::ScriptFailed());
  EXPECT_TRUE(fuzz.escSent()) << "the viewer ended before Esc, after " << fuzz.sent()
                              << " messages";
  EXPECT_GE(fuzz.sent(), messages);
  EXPECT_EQ(fuzz.firstFault(), "");
  EXPECT_EQ(CheckRecords(), "") << "after the run";
  EXPECT_FALSE(headless::MainWindow(nullptr)) << "the window outlived Esc";
  EXPECT_EQ(AppState.renderContext, nullptr);
  EXPECT_GT(fuzz.frames(), 1000) << "too few frames to mean much";
  EXPECT_GT(fuzz.turningFrames(), fuzz.frames() / 10) << "the model hardly turned";
  EXPECT_GT(fuzz.waits(), 100) << "the viewer hardly ever rested";
  std::printf("seed %u: %ld messages, %ld frames, %ld of them turning, %ld waits\n", seed,
              fuzz.sent(), fuzz.frames(), fuzz.turningFrames(), fuzz.waits());
}

TEST(MessageFuzz, RandomMessagesKeepTheRecordsSound) {
  RunFuzz(false, 100000);
}

TEST(MessageFuzz, RandomMessagesWithAPaletteFormat) {
  RunFuzz(true, 30000);
}

}  // namespace
