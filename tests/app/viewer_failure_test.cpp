// Start-up failures end the process with a box and exit status 1. Each run
// happens in a child process (death test); the headless backend echoes every
// message box to stderr, which is what these tests match.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/lib/viewer_support.h"

namespace {

struct FailureCase {
  const char* name;
  headless::Faults faults;
  const char* boxLine;  // the echoed box, as a regular expression
  bool ownedByWindow;
  const char* afterwards;  // what the report at exit must say, as a regular expression
};

headless::Faults With(bool headless::Faults::*field) {
  headless::Faults f;
  f.*field = true;
  return f;
}

// Printed at exit in the child: what the parent cannot see otherwise.
bool gOwnedByWindow = false;
void ReportAtExit() {
  std::fprintf(stderr, "owner=%s setpixelformat-calls=%d windows-shown=%d\n",
               gOwnedByWindow ? "window" : "none", headless::CallCount("SetPixelFormat"),
               headless::CallCount("ShowWindow"));
}

void RunWithFaults(const headless::Faults& faults) {
  ResetViewer();
  headless::SetFaults(faults);
  headless::OnMessageBox([](const headless::MessageBoxRecord& box) {
    headless::WindowInfo info{};
    if (box.caption == "Error") {
      gOwnedByWindow =
          box.owner != nullptr && headless::MainWindow(&info) && info.handle == box.owner;
    }
    return IDOK;
  });
  std::atexit(ReportAtExit);
  RunViewer();
  std::fprintf(stderr, "viewer returned instead of exiting\n");
  std::_Exit(3);
}

class StartupFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StartupFailure, ShowsItsBoxAndExitsWithStatusOne) {
  // Under an emulator the test program cannot start itself again (the kernel
  // does not run the target's programs): there the child is only forked.
  GTEST_FLAG_SET(death_test_style, *HELICOID_EMULATOR ? "fast" : "threadsafe");
  const FailureCase& c = GetParam();
  std::string pattern = c.boxLine;
  pattern += std::string(".*owner=") + (c.ownedByWindow ? "window" : "none");
  pattern += std::string(" ") + c.afterwards;
  EXPECT_EXIT(RunWithFaults(c.faults), ::testing::ExitedWithCode(1), pattern);
}

INSTANTIATE_TEST_SUITE_P(
    Viewer, StartupFailure,
    ::testing::Values(
        FailureCase{"ChoosePixelFormat", With(&headless::Faults::choosePixelFormatFails),
                    "caption=\"Error\" text=\"ChoosePixelFormat failed\\\\n\" type=16", true,
                    "setpixelformat-calls=0 windows-shown=0"},
        FailureCase{"SetPixelFormat", With(&headless::Faults::setPixelFormatFails),
                    "caption=\"Error\" text=\"SetPixelFormat failed\" type=16", true,
                    "setpixelformat-calls=1 windows-shown=0"},
        FailureCase{"Context", With(&headless::Faults::createContextFails),
                    "caption=\"Error\" text=\"wglCreateContext failed\" type=16", true,
                    "setpixelformat-calls=1 windows-shown=0"},
        FailureCase{"DeviceContext", With(&headless::Faults::getDCFails),
                    "caption=\"Error\" text=\"GetDC failed\" type=16", true,
                    "setpixelformat-calls=0 windows-shown=0"},
        FailureCase{"RegisterClass", With(&headless::Faults::registerClassFails),
                    "caption=\"Error\" text=\"RegisterClass failed\" type=16", false,
                    "setpixelformat-calls=0 windows-shown=0"},
        FailureCase{"CreateWindow", With(&headless::Faults::createWindowFails),
                    "caption=\"Error\" text=\"CreateWindow failed\" type=16", false,
                    "setpixelformat-calls=0 windows-shown=0"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
