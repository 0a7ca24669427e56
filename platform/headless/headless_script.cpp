// The headless backend's input script: steps that a test adds (headless.h),
// delivered to the main window when they become due, as the events a user's
// input would make.
#include <cstdio>
#include <deque>
#include <string>
#include <utility>

#include "platform/backend.h"
#include "platform/core/core_hooks.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_script.h"
#include "platform/core/keys.h"

namespace headless {
namespace {

constexpr long long kDefaultFrameLimit = 1000000;
// The wParam of WM_PALETTECHANGED when another program changed the palette.
const HWND kOtherWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7D0000F0));

struct Step {
  int afterFrames;
  std::function<void()> deliver;
};

struct Script {
  std::deque<Step> steps;
  long long framesSinceDelivery = 0;          // SwapBuffers calls since the last step was delivered
  long long frameLimit = kDefaultFrameLimit;  // ... at which the run fails
  bool failed = false;
  bool buttonHeld = false;
};

Script& S() {
  static Script script;
  return script;
}

void Fail(const std::string& why) {
  if (S().failed) return;
  S().failed = true;
  fprintf(stderr, "headless: input script failed: %s\n", why.c_str());
  platform::AbortMessageLoop(kScriptFailedExitCode);
}

// Delivers the next step (removing it first: delivering may add steps).
void DeliverFront() {
  Step step = std::move(S().steps.front());
  S().steps.pop_front();
  S().framesSinceDelivery = 0;
  step.deliver();
}

void AddStep(int afterFrames, std::function<void()> deliver) {
  if (afterFrames < 0) afterFrames = kWhenWaiting;
  S().steps.push_back(Step{afterFrames, std::move(deliver)});
}

// Adds a step that runs with the main window, if there is one by then.
void AddWindowStep(int afterFrames, std::function<void(HWND)> deliver) {
  AddStep(afterFrames, [deliver = std::move(deliver)] {
    if (HWND hwnd = platform::NewestWindow()) deliver(hwnd);
  });
}

void Mouse(int afterFrames, int x, int y, bool press, bool release) {
  AddWindowStep(afterFrames, [=](HWND hwnd) {
    if (press) S().buttonHeld = true;
    if (release) S().buttonHeld = false;
    const unsigned held = S().buttonHeld ? unsigned{platform::kHeldLeft} : 0u;
    if (press || release) {
      platform::PointerButton(hwnd, platform::MouseButton::kLeft, press, x, y, held);
    } else {
      platform::PointerMoved(hwnd, x, y, held);
    }
  });
}

}  // namespace

void DeliverDueSteps() {
  while (!S().failed && !S().steps.empty() && S().steps.front().afterFrames >= 0 &&
         S().framesSinceDelivery >= S().steps.front().afterFrames) {
    DeliverFront();
  }
}

void ProgramWaits() {
  DeliverDueSteps();
  if (S().failed) return;
  if (S().steps.empty()) {
    Fail("the program waits for input and the script has no step left");
  } else if (S().steps.front().afterFrames == kWhenWaiting) {
    DeliverFront();
  } else {
    Fail("the program waits for input but the next step waits for " +
         std::to_string(S().steps.front().afterFrames - S().framesSinceDelivery) +
         " more frames, which a waiting program never presents");
  }
}

void FrameCounted() {
  if (++S().framesSinceDelivery >= S().frameLimit && !S().failed) {
    Fail(std::to_string(S().frameLimit) + " frames were presented without a step becoming due");
  }
}

void ResetScript() {
  S() = Script();
}

void SetFrameLimit(long long frames) {
  S().frameLimit = frames;
}

void Press(int x, int y, int afterFrames) {
  Mouse(afterFrames, x, y, true, false);
}

void Move(int x, int y, int afterFrames) {
  Mouse(afterFrames, x, y, false, false);
}

void Release(int x, int y, int afterFrames) {
  Mouse(afterFrames, x, y, false, true);
}

void Type(int character, int afterFrames) {
  AddWindowStep(afterFrames, [character](HWND hwnd) {
    platform::KeyChanged(hwnd, platform::KeyEvent{platform::KeyOfCharacter(character), true, false,
                                                  false, 0, character});
  });
}

void Close(int afterFrames) {
  AddWindowStep(afterFrames, [](HWND hwnd) { platform::CloseRequested(hwnd); });
}

void Resize(int width, int height, int afterFrames) {
  AddWindowStep(afterFrames, [width, height](HWND hwnd) {
    SizeNativeWindow(hwnd, width, height);
    platform::WindowResized(hwnd, width, height, platform::SizeState::kRestored);
  });
}

void PaletteChanged(bool fromThisWindow, int afterFrames) {
  AddWindowStep(afterFrames, [fromThisWindow](HWND hwnd) {
    const HWND changer = fromThisWindow ? hwnd : kOtherWindow;
    // Windows sends this one to every top-level window.
    platform::SendAsSystem(hwnd, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(changer), 0);
  });
}

void QueryNewPalette(int afterFrames) {
  AddWindowStep(afterFrames,
                [](HWND hwnd) { platform::SendAsSystem(hwnd, WM_QUERYNEWPALETTE, 0, 0); });
}

void TimerTick(int afterFrames) {
  AddStep(afterFrames, [] { platform::FireAllTimers(); });
}

void Post(UINT message, WPARAM wParam, LPARAM lParam, int afterFrames) {
  AddStep(afterFrames, [message, wParam, lParam] {
    platform::PostAsInput(platform::NewestWindow(), message, wParam, lParam);
  });
}

void Call(std::function<void()> callback, int afterFrames) {
  AddStep(afterFrames, std::move(callback));
}

size_t PendingSteps() {
  return S().steps.size();
}

bool ScriptFailed() {
  return S().failed;
}

}  // namespace headless
