// What the headless backend watches and injects through the core's hooks:
// the call log, injected failures and palette formats, the palettes asked
// for, and the message boxes, recorded and answered (headless.h).
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/core_hooks.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_script.h"

namespace headless {
namespace {

// Entries kept in the call log; CallCount counts past it.
constexpr size_t kCallLogLimit = 200000;

struct Watch {
  std::vector<MessageBoxRecord> boxes;
  std::function<int(const MessageBoxRecord&)> answer;

  std::vector<std::string> log;
  std::map<std::string, int> counts;  // by function name
  bool logFullNoted = false;

  Faults faults;
  bool havePalette = false;
  PaletteRecord palette;
};

Watch& W() {
  static Watch watch;
  return watch;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void LogCall(const char* entry) {
  const char* blank = strchr(entry, ' ');
  ++W().counts[blank == nullptr ? std::string(entry) : std::string(entry, blank)];
  if (W().log.size() < kCallLogLimit) {
    W().log.emplace_back(entry);
  } else if (!W().logFullNoted) {
    W().logFullNoted = true;
    fprintf(stderr, "headless: the call log keeps its first %zu entries; CallCount counts on\n",
            kCallLogLimit);
  }
}

bool Fails(platform::Fault fault) {
  const Faults& f = W().faults;
  // In the order of platform::Fault.
  const bool failing[] = {f.registerClassFails,     f.createWindowFails,   f.getDCFails,
                          f.choosePixelFormatFails, f.setPixelFormatFails, f.createPaletteFails,
                          f.createContextFails};
  const size_t index = static_cast<size_t>(fault);
  return index < sizeof failing / sizeof failing[0] && failing[index];
}

void Describe(int, PIXELFORMATDESCRIPTOR* pfd) {
  const Faults& f = W().faults;
  if (!f.paletteFormat) return;
  pfd->dwFlags |= PFD_NEED_PALETTE;
  pfd->iPixelType = f.pixelType;
  pfd->cColorBits = f.colorBits;
  pfd->cRedBits = f.redBits;
  pfd->cRedShift = f.redShift;
  pfd->cGreenBits = f.greenBits;
  pfd->cGreenShift = f.greenShift;
  pfd->cBlueBits = f.blueBits;
  pfd->cBlueShift = f.blueShift;
}

void NotePalette(WORD version, const PALETTEENTRY* entries, int count) {
  W().havePalette = true;
  W().palette.version = version;
  W().palette.entries.assign(entries, entries + count);
}

int RecordBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  MessageBoxRecord record{owner, text, caption, type};
  W().boxes.push_back(record);
  fprintf(stderr, "headless: MessageBoxA caption=\"%s\" text=\"%s\" type=%u\n",
          Escaped(caption).c_str(), Escaped(text).c_str(), type);
  fflush(stderr);
  if (!W().answer) return IDOK;
  auto answer = W().answer;  // the callback may replace itself
  return answer(record);
}

}  // namespace

void InstallHooks() {
  platform::InstallCoreHooks(platform::CoreHooks{LogCall, Fails, Describe, NotePalette, RecordBox});
}

namespace {
// In place before the program makes its first call.
const bool kHooksInstalled = (InstallHooks(), true);
}  // namespace

void ResetWatch() {
  W() = Watch();
}

const std::vector<MessageBoxRecord>& MessageBoxes() {
  return W().boxes;
}

void OnMessageBox(std::function<int(const MessageBoxRecord&)> answer) {
  W().answer = std::move(answer);
}

const std::vector<std::string>& CallLog() {
  return W().log;
}

int CallCount(const std::string& function) {
  if (function.find(' ') == std::string::npos) {
    auto it = W().counts.find(function);
    return it == W().counts.end() ? 0 : it->second;
  }
  int n = 0;  // a name with arguments: matched against the kept log
  for (const std::string& entry : W().log) {
    if (entry.compare(0, function.size(), function) == 0) ++n;
  }
  return n;
}

void ClearCallLog() {
  W().log.clear();
  W().counts.clear();
  W().logFullNoted = false;
}

void SetFaults(const Faults& faults) {
  W().faults = faults;
}

const PaletteRecord* LastPalette() {
  return W().havePalette ? &W().palette : nullptr;
}

}  // namespace headless
