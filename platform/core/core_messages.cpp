// The message queue, timers and mouse capture, and the calls that read,
// translate, dispatch, send and post messages.
#include <algorithm>
#include <deque>
#include <vector>

#include "platform/core/core.h"
#include "platform/core/keys.h"

namespace platform {
namespace {

constexpr UINT kMinimumTimerPeriod = 10;

struct QueuedMessage {
  MSG msg;
  int character = kNoCharacter;  // for WM_KEYDOWN: what the key yields
  // Mouse input is given its window when it is taken from the queue, as on
  // Windows, so that a capture set while handling a press already holds for
  // the motion queued behind it. Until then msg.hwnd is the window under the
  // pointer and msg.pt the point on the screen.
  bool mouse = false;
};

struct Timer {
  uintptr_t window;  // 0: a thread timer
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
  Clock::time_point due;
  bool pending;
};

struct Messages {
  std::deque<QueuedMessage> queue;
  std::vector<Timer> timers;
  bool quitPending = false;
  int quitCode = 0;
  bool aborted = false;
  int abortCode = 0;
  uintptr_t capture = 0;
  POINT cursor = {0, 0};
  // The key down that GetMessageA / PeekMessageA(PM_REMOVE) last returned.
  bool haveKeyDown = false;
  MSG lastKeyDown = {};
  int lastKeyDownCharacter = kNoCharacter;
};

Messages& M() {
  static Messages messages;
  return messages;
}

const Clock::time_point& StartTime() {
  static const Clock::time_point start = Clock::now();
  return start;
}

bool Matches(HWND filter, UINT first, UINT last, HWND hwnd, UINT message) {
  if (filter != nullptr && hwnd != filter) return false;
  if (first == 0 && last == 0) return true;
  return message >= first && message <= last;
}

void UpdateTimers() {
  if (!ClockTimers()) return;
  const Clock::time_point now = Clock::now();
  for (Timer& t : M().timers) {
    if (!t.pending && now >= t.due) {
      t.pending = true;
      t.due = now + std::chrono::milliseconds(t.period);
    }
  }
}

// Milliseconds until the next timer is due; -1 if none will be.
int NextTimerTimeout() {
  if (!ClockTimers() || M().timers.empty()) return -1;
  const Clock::time_point now = Clock::now();
  long long best = -1;
  for (const Timer& t : M().timers) {
    long long ms =
        t.pending ? 0
                  : std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count() + 1;
    if (ms < 0) ms = 0;
    if (best < 0 || ms < best) best = ms;
  }
  return static_cast<int>(std::min<long long>(best, 0x7fffffff));
}

// Gives queued mouse input its window and client point: the capture window if
// there is one, else the window under the pointer if the point is inside its
// client area. False if no window of ours gets it.
bool RouteMouse(QueuedMessage* q) {
  Window* to = nullptr;
  if (M().capture != 0) {
    to = FindWindow(ToHwnd(M().capture));
  } else {
    to = FindWindow(q->msg.hwnd);
    if (to != nullptr) {
      const int x = q->msg.pt.x - to->x;
      const int y = q->msg.pt.y - to->y;
      if (x < 0 || y < 0 || x >= to->width || y >= to->height) to = nullptr;
    }
  }
  if (to == nullptr) return false;
  const int cx = q->msg.pt.x - to->x;
  const int cy = q->msg.pt.y - to->y;
  q->msg.hwnd = ToHwnd(to->id);
  q->msg.lParam = MAKELPARAM(static_cast<short>(cx), static_cast<short>(cy));
  q->mouse = false;
  return true;
}

// Finds the message that GetMessageA would return now, in Windows' order:
// posted messages and input in arrival order, then WM_PAINT for a window that
// needs painting, then WM_TIMER, then WM_QUIT. Removes it if asked (a paint
// message stays until the window is validated).
bool TakeMessage(MSG* out, HWND filter, UINT first, UINT last, bool remove) {
  Messages& m = M();
  if (m.aborted) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(m.abortCode), 0, MessageTime(), m.cursor};
    return true;
  }
  UpdateTimers();
  for (auto it = m.queue.begin(); it != m.queue.end();) {
    if (it->mouse && !RouteMouse(&*it)) {
      it = m.queue.erase(it);  // it belongs to no window of ours
      continue;
    }
    if (!Matches(filter, first, last, it->msg.hwnd, it->msg.message)) {
      ++it;
      continue;
    }
    *out = it->msg;
    if (remove) {
      if (out->message == WM_KEYDOWN) {
        m.haveKeyDown = true;
        m.lastKeyDown = *out;
        m.lastKeyDownCharacter = it->character;
      }
      m.queue.erase(it);
    }
    return true;
  }
  for (auto& entry : Windows()) {
    const Window& w = *entry.second;
    if (w.visible && w.invalid && Matches(filter, first, last, ToHwnd(w.id), WM_PAINT)) {
      *out = MSG{ToHwnd(w.id), WM_PAINT, 0, 0, MessageTime(), m.cursor};
      return true;
    }
  }
  for (Timer& t : m.timers) {
    if (t.pending && Matches(filter, first, last, ToHwnd(t.window), WM_TIMER)) {
      *out = MSG{ToHwnd(t.window), WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc),
                 MessageTime(),    m.cursor};
      if (remove) t.pending = false;
      return true;
    }
  }
  if (m.quitPending && filter == nullptr) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(m.quitCode), 0, MessageTime(), m.cursor};
    if (remove) m.quitPending = false;
    return true;
  }
  return false;
}

}  // namespace

DWORD MessageTime() {
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - StartTime()).count());
}

void Enqueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int character) {
  QueuedMessage q;
  q.msg = MSG{hwnd, message, wParam, lParam, MessageTime(), M().cursor};
  q.character = character;
  M().queue.push_back(q);
}

void EnqueueMouse(HWND under, UINT message, WPARAM keys, POINT screen) {
  M().cursor = screen;
  Enqueue(under, message, keys, 0, kNoCharacter);
  M().queue.back().mouse = true;
}

bool AttachCharacter(int character) {
  // Only the newest key message may take it: text belongs to the last key.
  for (auto it = M().queue.rbegin(); it != M().queue.rend(); ++it) {
    const UINT m = it->msg.message;
    if (m != WM_KEYDOWN && m != WM_KEYUP && m != WM_SYSKEYDOWN && m != WM_SYSKEYUP &&
        m != WM_CHAR) {
      continue;
    }
    if (m != WM_KEYDOWN || (it->character != kNoCharacter && it->character != kTextFollows)) {
      return false;
    }
    it->character = character;
    return true;
  }
  return false;
}

void ForgetWindowMessages(HWND hwnd) {
  Messages& m = M();
  const uintptr_t id = Id(hwnd);
  m.timers.erase(std::remove_if(m.timers.begin(), m.timers.end(),
                                [id](const Timer& t) { return t.window == id; }),
                 m.timers.end());
  m.queue.erase(std::remove_if(m.queue.begin(), m.queue.end(),
                               [hwnd](const QueuedMessage& q) { return q.msg.hwnd == hwnd; }),
                m.queue.end());
  if (m.haveKeyDown && m.lastKeyDown.hwnd == hwnd) m.haveKeyDown = false;
  if (m.capture == id) {
    m.capture = 0;
    if (Window* w = FindWindow(hwnd)) SetMouseCapture(w->native, false);
  }
}

void ResetMessages() {
  if (M().capture != 0) {
    if (Window* w = FindWindow(ToHwnd(M().capture))) SetMouseCapture(w->native, false);
  }
  M() = Messages();
}

void PostAsInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Enqueue(hwnd, message, wParam, lParam, kNoCharacter);
}

LRESULT SendAsSystem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(hwnd, message, wParam, lParam);
}

void FireAllTimers() {
  for (Timer& t : M().timers) t.pending = true;
}

void AbortMessageLoop(int exitCode) {
  M().aborted = true;
  M().abortCode = exitCode;
}

}  // namespace platform

using namespace platform;

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  Log("PeekMessageA");
  if (msg == nullptr) return FALSE;
  PollInput();
  MSG found;
  if (!TakeMessage(&found, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0)) return FALSE;
  *msg = found;
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  Log("GetMessageA");
  if (msg == nullptr) return -1;
  for (;;) {
    if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return -1;
    PollInput();
    MSG found;
    if (TakeMessage(&found, hwnd, filterMin, filterMax, true)) {
      *msg = found;
      return found.message == WM_QUIT ? FALSE : TRUE;
    }
    WaitInput(NextTimerTimeout());
  }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  Log("TranslateMessage");
  if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  Messages& m = M();
  int character = kNoCharacter;
  if (m.haveKeyDown && m.lastKeyDown.hwnd == msg->hwnd && m.lastKeyDown.wParam == msg->wParam &&
      m.lastKeyDown.lParam == msg->lParam && m.lastKeyDownCharacter != kNoCharacter) {
    if (m.lastKeyDownCharacter == kTextFollows) return FALSE;  // the text brings it
    character = m.lastKeyDownCharacter;
  } else {
    character = CharacterOfKey(msg->wParam);
  }
  if (character == kNoCharacter) return FALSE;
  // The character comes next, ahead of input that followed its key.
  QueuedMessage q;
  q.msg = MSG{msg->hwnd, WM_CHAR, static_cast<WPARAM>(character), msg->lParam, msg->time, msg->pt};
  m.queue.push_front(q);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  Log("DispatchMessageA 0x%04X", msg->message);
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    const TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    for (const Timer& t : M().timers) {
      if (ToHwnd(t.window) == msg->hwnd && t.id == msg->wParam && t.proc == proc) {
        proc(msg->hwnd, WM_TIMER, msg->wParam, MessageTime());
        return 0;
      }
    }
  }
  if (msg->hwnd == nullptr) return 0;
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Log("SendMessageA 0x%04X", msg);
  return Send(hwnd, msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Log("PostMessageA 0x%04X", msg);
  if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return FALSE;
  Enqueue(hwnd, msg, wParam, lParam, kNoCharacter);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  Log("PostQuitMessage %d", exitCode);
  M().quitPending = true;
  M().quitCode = exitCode;
}

HWND WINAPI SetCapture(HWND hwnd) {
  Log("SetCapture");
  Window* w = FindWindow(hwnd);
  if (w == nullptr) return nullptr;
  const HWND previous = ToHwnd(M().capture);
  if (M().capture == w->id) return previous;
  M().capture = w->id;
  SetMouseCapture(w->native, true);
  if (FindWindow(previous) != nullptr) Send(previous, WM_CAPTURECHANGED, 0, Id(hwnd));
  return FindWindow(previous) != nullptr ? previous : nullptr;
}

BOOL WINAPI ReleaseCapture(void) {
  Log("ReleaseCapture");
  if (M().capture == 0) return TRUE;
  const HWND previous = ToHwnd(M().capture);
  M().capture = 0;
  if (Window* w = FindWindow(previous)) {
    SetMouseCapture(w->native, false);
    Send(previous, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}

HWND WINAPI GetCapture(void) {
  Log("GetCapture");
  return ToHwnd(M().capture);
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  Log("SetTimer %lu %u", static_cast<unsigned long>(id), elapse);
  if (hwnd != nullptr && FindWindow(hwnd) == nullptr) return 0;
  elapse = std::clamp<UINT>(elapse, kMinimumTimerPeriod, 0x7fffffffu);
  const uintptr_t window = Id(hwnd);
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(elapse);
  if (window != 0 || id != 0) {
    for (Timer& t : M().timers) {
      if (t.window == window && t.id == id) {  // replaces the timer, keeps its identifier
        t = Timer{window, id, elapse, proc, due, false};
        return id != 0 ? id : 1;
      }
    }
  }
  if (window == 0) id = NewHandle();  // a thread timer gets an identifier of its own
  M().timers.push_back(Timer{window, id, elapse, proc, due, false});
  return id != 0 ? id : 1;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  Log("KillTimer %lu", static_cast<unsigned long>(id));
  auto& timers = M().timers;
  for (auto it = timers.begin(); it != timers.end(); ++it) {
    if (it->window == Id(hwnd) && it->id == id) {
      timers.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}
