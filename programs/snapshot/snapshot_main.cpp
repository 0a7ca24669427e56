// helicoid-snapshot: runs the viewer on the headless backend, takes the first
// frame it presents (after the requested keys and turns) and writes it as a
// PNG, as snapshot_output.h says: a regular file is replaced whole or not at
// all, anything else is written through.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gl/egl_offscreen.h"
#include "platform/headless/headless.h"
#include "lib/harness/viewer_harness.h"
#include "lib/png/png_writer.h"
#include "programs/snapshot/snapshot_options.h"
#include "programs/snapshot/snapshot_output.h"
#include "trackball/trackball.h"

namespace {

const int kBadInput = 2;
const int kFailed = 1;  // the picture could not be drawn or written

// Everything the platform writes to stderr during a run (the echo of the
// information box, for one) is held back and shown only if the run fails.
int gSavedStderr = -1;
FILE* gCapturedStderr = nullptr;

// Puts stderr back; with `replay`, first writes out what was held back.
void RestoreStderr(bool replay) {
  if (gSavedStderr < 0) return;
  std::fflush(stderr);
  dup2(gSavedStderr, STDERR_FILENO);
  close(gSavedStderr);
  gSavedStderr = -1;
  if (replay) {
    std::rewind(gCapturedStderr);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, gCapturedStderr)) > 0) {
      std::fwrite(buffer, 1, n, stderr);
    }
  }
  std::fclose(gCapturedStderr);
  gCapturedStderr = nullptr;
}

void ReplayCapturedStderr() {
  RestoreStderr(true);
}
void DropCapturedStderr() {
  RestoreStderr(false);
}

void CaptureStderr() {
  gCapturedStderr = std::tmpfile();
  if (gCapturedStderr == nullptr) return;  // then the platform speaks directly
  std::fflush(stderr);
  gSavedStderr = dup(STDERR_FILENO);
  dup2(fileno(gCapturedStderr), STDERR_FILENO);
}

// Runs at any exit, including the viewer's own exit(1) on a start-up failure.
void CleanUpAtExit() {
  ReplayCapturedStderr();
  snapshot::RemoveTemporaryFile();
}

int Fail(int status, const std::string& message) {
  ReplayCapturedStderr();
  std::fprintf(stderr, "helicoid-snapshot: %s\n", message.c_str());
  return status;
}

// The screen height for which the viewer's window (0.8 x the height,
// truncated) is `side` pixels.
int ScreenHeightFor(int side) {
  return (5 * side + 3) / 4;
}

// Runs the viewer until its first frame after the requested keys and turns
// and keeps that frame's pixels.
bool DrawViewerFrame(const snapshot::Options& options, std::vector<unsigned char>* pixels,
                     std::string* error) {
  harness::ResetViewer();
  const int screenHeight = ScreenHeightFor(options.size);
  headless::SetScreenSize(screenHeight + screenHeight / 3, screenHeight);
  headless::KeepFramePixels(true);

  // The keys reach the window before its first frame, as if typed at once.
  if (options.fog) headless::Type('f', 0);
  if (options.wireframe) headless::Type('p', 0);
  // Each turn is set as the trackball sets a drag step, and the next frame
  // applies it; one frame per turn.
  for (size_t i = 0; i < options.turns.size(); ++i) {
    const snapshot::Turn turn = options.turns[i];
    headless::Call(
        [turn] {
          TrackballState.isRotating = 1;
          TrackballState.stepAngle = turn.angle;
          for (int k = 0; k < 3; ++k) TrackballState.stepAxis[k] = turn.axis[k];
        },
        i == 0 ? 0 : 1);
  }
  const int framesWanted = options.turns.empty() ? 1 : static_cast<int>(options.turns.size());
  int framesSeen = -1;
  int width = 0, height = 0;
  headless::Call(
      [&] {
        framesSeen = headless::PresentedFrames();
        *pixels = headless::LastFramePixels();
        width = headless::FrameWidth();
        height = headless::FrameHeight();
      },
      1);
  headless::Close(0);

  const int status = harness::RunViewer();
  if (status != 0 || headless::ScriptFailed()) {
    *error = "the viewer ended with status " + std::to_string(status);
    return false;
  }
  if (framesSeen != framesWanted) {
    *error = "expected frame " + std::to_string(framesWanted) + ", got frame " +
             std::to_string(framesSeen);
    return false;
  }
  if (width != options.size || height != options.size ||
      pixels->size() != 4u * static_cast<size_t>(width) * height) {
    *error = "the frame is " + std::to_string(width) + " x " + std::to_string(height) + ", not " +
             std::to_string(options.size) + " x " + std::to_string(options.size);
    return false;
  }
  return true;
}

// The picture as PNG bytes.
bool EncodePng(const std::vector<unsigned char>& pixels, int size, std::string* png,
               std::string* error) {
  char* data = nullptr;
  size_t length = 0;
  FILE* memory = open_memstream(&data, &length);
  if (memory == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  const bool encoded = png::WritePng(memory, size, size, pixels, error);
  std::fclose(memory);
  if (encoded) png->assign(data, length);
  std::free(data);
  return encoded;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  snapshot::Options options;
  std::string error;
  if (!snapshot::ParseOptions(args, &options, &error)) return Fail(kBadInput, error);
  if (options.help) {
    std::fputs(snapshot::UsageText(), stdout);
    return 0;
  }

  std::atexit(CleanUpAtExit);
  snapshot::RemoveTemporaryOnSignals();
  // A reader that goes away is a write error, reported as such.
  signal(SIGPIPE, SIG_IGN);

  // Where the picture goes is settled, and checked, before anything is
  // drawn; nothing is made on the disk until the picture is ready.
  snapshot::Output output;
  if (!snapshot::PrepareOutput(options.output, &output, &error)) return Fail(kBadInput, error);

  // A signal before the write ends the program at once, whatever the driver
  // is doing; the GL's threads never take one.
  snapshot::EndAtOnceOnSignals();
  // Where the GL cannot draw the picture as the viewer does, nothing is drawn.
  {
    platform::OffscreenGL probe;
    if (!probe.Create(1, 1, &error)) return Fail(kFailed, "cannot draw: " + error);
  }

  CaptureStderr();
  std::vector<unsigned char> pixels;
  if (!DrawViewerFrame(options, &pixels, &error)) return Fail(kFailed, error);
  DropCapturedStderr();

  std::string png;
  if (!EncodePng(pixels, options.size, &png, &error)) {
    return Fail(kFailed, "cannot encode the picture: " + error);
  }
  // From here a signal waits until the old or the new picture is whole.
  snapshot::ActOnSignals();
  if (!snapshot::WriteOutput(&output, png, &error)) return Fail(kFailed, error);
  return 0;
}
