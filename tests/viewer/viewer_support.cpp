#include "viewer_support.h"

namespace {

// The records as the program starts, taken before any test changes them.
const TrackballStateRecord kInitialTrackball = TrackballState;
const DisplayOptionsRecord kInitialDisplayOptions = DisplayOptions;

}  // namespace

void ResetViewer() {
  headless::Reset();
  headless::SetFrameLimit(50);
  AppState = AppStateRecord{};
  TrackballState = kInitialTrackball;
  DisplayOptions = kInitialDisplayOptions;
  IdleHook = nullptr;
}

int RunViewer(int showCommand) {
  char commandLine[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, showCommand);
}

std::array<float, 16> Rotation() {
  std::array<float, 16> m;
  for (int i = 0; i < 16; ++i) m[i] = TrackballState.modelRotation[i];
  return m;
}

bool IsIdentity(const std::array<float, 16>& m) {
  for (int i = 0; i < 16; ++i) {
    if (m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) return false;
  }
  return true;
}
