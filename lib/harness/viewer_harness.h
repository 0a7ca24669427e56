// Runs the whole viewer on the headless backend, as helicoid-snapshot, the
// tests and the benchmarks do: the viewer's records back at their start, the
// platform back at its start, and WinMain called as the process start-up
// calls it.
#pragma once

namespace harness {

// The viewer's process-wide records (AppState, TrackballState,
// DisplayOptions, the diffuse colours, the idle slot and its RedrawCallback)
// back at the values the program started with.
void ResetRecords();

// ResetRecords, and the headless platform back at its start (headless::Reset).
void ResetViewer();

// WinMain as the Linux start-up calls it: the program's module, no command
// line, SW_SHOWDEFAULT. Returns its result, the exit code.
int RunViewer();

}  // namespace harness
