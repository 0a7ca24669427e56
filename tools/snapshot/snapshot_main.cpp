// helicoid-snapshot: runs the viewer on the headless backend, takes the first
// frame it presents (after the requested keys and turns) and writes it as a
// PNG. A regular file is written to a temporary name in its folder and renamed
// into place only when complete, so a failed run leaves no file behind. Any
// other target (a pipe, a device, "-" for standard output) is written through:
// replacing it would break the pipeline or the device it stands for.
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

#include "platform/egl_offscreen.h"
#include "platform/headless.h"
#include "lib/harness/viewer_harness.h"
#include "lib/png/png_writer.h"
#include "tools/snapshot/snapshot_options.h"
#include "trackball/trackball.h"

namespace {

const int kBadInput = 2;
const int kFailed = 1;  // the picture could not be drawn or written

// The temporary file that an exit before the rename must remove.
std::string gPendingFile;

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
  if (!gPendingFile.empty()) unlink(gPendingFile.c_str());
}

int Fail(int status, const std::string& message) {
  ReplayCapturedStderr();
  std::fprintf(stderr, "helicoid-snapshot: %s\n", message.c_str());
  return status;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

// Where the picture goes: a temporary file renamed over a regular target, or
// the target itself.
struct Output {
  int fd = -1;
  bool replace = false;  // write to gPendingFile, then rename it over the target
};

std::string CannotWrite(const std::string& path, const char* why) {
  return "cannot write '" + path + "': " + why;
}

bool OpenOutput(const std::string& path, Output* output, std::string* error) {
  if (path == "-") {
    output->fd = STDOUT_FILENO;
    return true;
  }
  struct stat target;
  const bool exists = stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) {
    *error = CannotWrite(path, std::strerror(EISDIR));
    return false;
  }
  if (exists && !S_ISREG(target.st_mode)) {
    output->fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (output->fd < 0) *error = CannotWrite(path, std::strerror(errno));
    return output->fd >= 0;
  }
  std::string temporary = FolderOf(path) + "/." + BaseOf(path) + ".XXXXXX";
  std::vector<char> pattern(temporary.begin(), temporary.end());
  pattern.push_back('\0');
  output->fd = mkstemp(pattern.data());
  if (output->fd < 0) {
    *error = CannotWrite(path, std::strerror(errno));
    return false;
  }
  gPendingFile = pattern.data();
  output->replace = true;
  return true;
}

// Encodes the picture, writes all of it, and for a regular file syncs it and
// renames it into place. On failure the temporary file is removed at exit.
bool WriteOutput(Output* output, const snapshot::Options& options,
                 const std::vector<unsigned char>& pixels, std::string* error) {
  const std::string& path = options.output;
  char* data = nullptr;
  size_t size = 0;
  FILE* memory = open_memstream(&data, &size);
  if (memory == nullptr) {
    *error = CannotWrite(path, std::strerror(errno));
    return false;
  }
  std::string why;
  const bool encoded = snapshot::WritePng(memory, options.size, options.size, pixels, &why);
  std::fclose(memory);
  const std::string png(data != nullptr ? data : "", encoded ? size : 0);
  std::free(data);
  if (!encoded) {
    *error = CannotWrite(path, why.c_str());
    return false;
  }
  for (size_t done = 0; done < png.size();) {
    const ssize_t n = write(output->fd, png.data() + done, png.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = CannotWrite(path, std::strerror(n < 0 ? errno : EIO));
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (!output->replace) return true;
  // mkstemp makes the file private; give it the mode a new file would get.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(output->fd, 0666 & ~mask);
  if (fsync(output->fd) != 0 || close(output->fd) != 0 ||
      rename(gPendingFile.c_str(), path.c_str()) != 0) {
    *error = CannotWrite(path, std::strerror(errno));
    return false;
  }
  gPendingFile.clear();
  return true;
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
  // A reader that goes away is a write error, reported as such.
  signal(SIGPIPE, SIG_IGN);

  // The output must be writable before any drawing starts.
  Output output;
  if (!OpenOutput(options.output, &output, &error)) return Fail(kBadInput, error);

  // Where the GL cannot draw the picture as the viewer does, nothing is drawn.
  {
    platform::OffscreenGL probe;
    if (!probe.Create(1, 1, &error)) return Fail(kFailed, "cannot draw: " + error);
  }

  CaptureStderr();
  std::vector<unsigned char> pixels;
  if (!DrawViewerFrame(options, &pixels, &error)) return Fail(kFailed, error);
  DropCapturedStderr();

  if (!WriteOutput(&output, options, pixels, &error)) return Fail(kFailed, error);
  return 0;
}
