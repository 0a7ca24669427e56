// helicoid-bench: frame costs of the viewer on the headless backend, side by
// side in one run, the time to the first frame, and the peak memory.
//
//   helicoid-bench                 everything, printed as a report
//   helicoid-bench --first-frame   one start-up only: prints milliseconds from
//                                  WinMain's start to the first presented frame
//   helicoid-bench --spin N        N spin frames and nothing else, for profilers
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "records/app_state.h"
#include "model/model.h"
#include "platform/headless/headless.h"
#include "scene/scene.h"
#include "lib/harness/viewer_harness.h"
#include "trackball/trackball.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const int kSide = 864;  // the window on a 1920 x 1080 screen

// Runs WinMain on a screen whose window is kSide square. `atFirstFrame` runs
// in the message loop after the first frame, with the viewer's context current;
// the window is then closed.
int RunViewer(const std::function<void()>& atFirstFrame) {
  harness::ResetViewer();
  headless::SetScreenSize(1920, 1080);
  headless::KeepFramePixels(false);
  headless::Call(atFirstFrame, 1);
  headless::Close(0);
  return harness::RunViewer();
}

// ---- The three frames compared ----------------------------------------------

// The spin frame: the viewer's own RenderFrame with a step in force.
void SpinFrame() {
  RenderFrame();
}

// A frame that only clears and presents.
void EmptyFrame() {
  glClearColor(0.15f, 0.15f, 0.15f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glFlush();
  SwapBuffers(AppState.deviceContext);
}

// Reference only: the viewer's frame with the mesh replayed from a display
// list instead of being sent call by call; the viewer itself never uses one.
GLuint gMeshList = 0;

void DisplayListFrame() {
  RenderFrameDrawing([] { glCallList(gMeshList); });
}

// A step in force, as after a release away from the press point.
void StartSpinning() {
  TrackballState.isRotating = 1;
  TrackballState.spinAfterRelease = 1;
  TrackballState.stepAngle = 2.0f;
  TrackballState.stepAxis[0] = 0.3f;
  TrackballState.stepAxis[1] = 0.2f;
  TrackballState.stepAxis[2] = 0.4f;
}

struct Variant {
  const char* name;
  void (*frame)();
  std::vector<double> msPerFrame;  // one entry a round
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Rounds of each variant in turn, so that drift of the machine touches all
// alike. Each round ends with glFinish, so that queued rasterisation counts.
void CompareFrames(std::vector<Variant>* variants, int rounds, int framesPerRound) {
  for (Variant& v : *variants) {  // warm-up: shaders compiled, caches filled
    for (int i = 0; i < 5; ++i) v.frame();
    glFinish();
  }
  for (int r = 0; r < rounds; ++r) {
    for (Variant& v : *variants) {
      const Clock::time_point start = Clock::now();
      for (int i = 0; i < framesPerRound; ++i) v.frame();
      glFinish();
      v.msPerFrame.push_back(MillisecondsSince(start) / framesPerRound);
    }
  }
}

// ---- Start-up ---------------------------------------------------------------

// Milliseconds from WinMain's start to the first presented frame.
double FirstFrameMilliseconds() {
  Clock::time_point start;
  double firstFrame = -1;
  harness::ResetViewer();
  headless::SetScreenSize(1920, 1080);
  headless::KeepFramePixels(false);
  headless::OnPresent([&] {
    if (firstFrame < 0) firstFrame = MillisecondsSince(start);
  });
  headless::Close(1);
  start = Clock::now();
  const int status = harness::RunViewer();
  headless::OnPresent(nullptr);
  return status == 0 ? firstFrame : -1;
}

// The first frame of a fresh process, as the program starts for real. The
// child's peak resident memory goes to *peakKilobytes.
double ColdFirstFrameMilliseconds(long* peakKilobytes) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    dup2(pipeEnds[1], STDOUT_FILENO);
    execl("/proc/self/exe", "helicoid-bench", "--first-frame", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  char buffer[64] = {};
  ssize_t got = 0, n;
  while (got < static_cast<ssize_t>(sizeof buffer) - 1 &&
         (n = read(pipeEnds[0], buffer + got, sizeof buffer - 1 - got)) > 0) {
    got += n;
  }
  close(pipeEnds[0]);
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) == child) *peakKilobytes = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::atof(buffer);
}

long PeakResidentKilobytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// ---- Modes ------------------------------------------------------------------

int RunFirstFrameOnly() {
  const double ms = FirstFrameMilliseconds();
  if (ms < 0) return 1;
  std::printf("%.3f\n", ms);
  return 0;
}

// Spin frames only, with the profiler's attention on them alone.
int RunSpinOnly(int frames) {
  int drawn = 0;
  double ms = 0;
  const int status = RunViewer([&] {
    StartSpinning();
    for (int i = 0; i < 5; ++i) SpinFrame();
    glFinish();
    CALLGRIND_ZERO_STATS;
    CALLGRIND_START_INSTRUMENTATION;
    const Clock::time_point start = Clock::now();
    for (; drawn < frames; ++drawn) SpinFrame();
    glFinish();
    ms = MillisecondsSince(start);
    CALLGRIND_STOP_INSTRUMENTATION;
  });
  std::printf("spin frames drawn: %d, %.3f ms/frame\n", drawn, ms / drawn);
  return status;
}

int RunReport() {
  std::printf("helicoid-bench: headless (Mesa llvmpipe, EGL offscreen), %d x %d\n\n", kSide, kSide);

  std::vector<double> cold;
  long childPeak = 0;
  for (int i = 0; i < 5; ++i) cold.push_back(ColdFirstFrameMilliseconds(&childPeak));
  std::vector<double> warm;
  for (int i = 0; i < 5; ++i) warm.push_back(FirstFrameMilliseconds());
  std::printf(
      "first frame after WinMain starts, fresh process (5 runs): median %.1f ms, "
      "max %.1f ms\n",
      Median(cold), *std::max_element(cold.begin(), cold.end()));
  std::printf("first frame after WinMain starts, again in one process (5 runs): median %.1f ms\n",
              Median(warm));
  std::printf("peak resident memory of a process that starts, draws and closes: %ld KiB\n\n",
              childPeak);

  std::vector<Variant> variants = {{"spin (immediate mode)", SpinFrame, {}},
                                   {"spin (display list)", DisplayListFrame, {}},
                                   {"empty (clear, present)", EmptyFrame, {}}};
  int frameWidth = 0;
  const int status = RunViewer([&] {
    frameWidth = headless::FrameWidth();
    gMeshList = glGenLists(1);
    glNewList(gMeshList, GL_COMPILE);
    DrawModel();
    glEndList();
    StartSpinning();
    CompareFrames(&variants, 15, 40);
    glDeleteLists(gMeshList, 1);
  });
  if (status != 0) {
    std::fprintf(stderr, "helicoid-bench: the viewer ended with status %d\n", status);
    return 1;
  }
  std::printf("frames at %d x %d, median of 15 rounds of 40 frames:\n", frameWidth, frameWidth);
  for (const Variant& v : variants) {
    const double ms = Median(v.msPerFrame);
    std::printf("  %-24s %8.3f ms/frame %8.1f frames/s\n", v.name, ms, 1000.0 / ms);
  }
  const double spin = Median(variants[0].msPerFrame);
  const double list = Median(variants[1].msPerFrame);
  const double empty = Median(variants[2].msPerFrame);
  std::printf("spin/display-list frame time: %.2f\n", spin / list);
  std::printf("spin frame minus empty frame: %.3f ms\n", spin - empty);
  // The one difference between the first two: the mesh goes to the driver
  // call by call (one glNormal3f and one glVertex3f per corner).
  const double calls = 6.0 * ModelMesh.faceCount;
  std::printf(
      "immediate mode over the display list: %.3f ms a frame, %.1f ns for each of %.0f calls\n\n",
      spin - list, (spin - list) * 1e6 / calls, calls);
  std::printf("peak resident memory of this benchmark: %ld KiB\n", PeakResidentKilobytes());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--first-frame") == 0) return RunFirstFrameOnly();
  if (argc == 3 && std::strcmp(argv[1], "--spin") == 0) {
    const int frames = std::atoi(argv[2]);
    if (frames <= 0) {
      std::fprintf(stderr, "helicoid-bench: --spin needs a positive frame count\n");
      return 2;
    }
    return RunSpinOnly(frames);
  }
  if (argc != 1) {
    std::fprintf(stderr, "usage: helicoid-bench [--first-frame | --spin N]\n");
    return 2;
  }
  return RunReport();
}
