// Start-up failures end the process with a box and exit status 1. Each run
// happens in a child process (death test); the headless backend echoes every
// message box to stderr, which is what these tests match.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer_support.h"

namespace {

struct FailureCase {
  const char* name;
  headless::Faults faults;
  const char* boxLine;  // the echoed box, as a regular expression
  bool ownedByWindow;
};

headless::Faults With(bool headless::Faults::*field) {
  headless::Faults f;
  f.*field = true;
  return f;
}

// Printed at exit in the child: what the parent cannot see otherwise.
bool gOwnedByWindow = false;
void ReportAtExit() {
  std::fprintf(stderr, "setpixelformat-calls=%d owner=%s windows-shown=%d\n",
               headless::CallCount("SetPixelFormat"), gOwnedByWindow ? "window" : "none",
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
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const FailureCase& c = GetParam();
  std::string pattern = c.boxLine;
  pattern += std::string(".*owner=") + (c.ownedByWindow ? "window" : "none");
  EXPECT_EXIT(RunWithFaults(c.faults), ::testing::ExitedWithCode(1), pattern);
}

INSTANTIATE_TEST_SUITE_P(
    Viewer, StartupFailure,
    ::testing::Values(
        FailureCase{"ChoosePixelFormat", With(&headless::Faults::choosePixelFormatFails),
                    "caption=\"Error\" text=\"ChoosePixelFormat failed\\\\n\" type=16.*"
                    "setpixelformat-calls=0",
                    true},
        FailureCase{"SetPixelFormat", With(&headless::Faults::setPixelFormatFails),
                    "caption=\"Error\" text=\"SetPixelFormat failed\" type=16", true},
        FailureCase{"Context", With(&headless::Faults::createContextFails),
                    "caption=\"Error\" text=\"wglCreateContext failed\" type=16.*windows-shown=0",
                    true},
        FailureCase{"DeviceContext", With(&headless::Faults::getDCFails),
                    "caption=\"Error\" text=\"GetDC failed\" type=16", true},
        FailureCase{"RegisterClass", With(&headless::Faults::registerClassFails),
                    "caption=\"Error\" text=\"RegisterClass failed\" type=16", false},
        FailureCase{"CreateWindow", With(&headless::Faults::createWindowFails),
                    "caption=\"Error\" text=\"CreateWindow failed\" type=16", false}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
