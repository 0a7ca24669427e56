// Command line of helicoid-snapshot.
#pragma once

#include <string>
#include <vector>

namespace snapshot {

// One rotation step: an angle in degrees about an axis that need not have unit
// length, applied as a trackball step is.
struct Turn {
  float angle;
  float axis[3];
};

struct Options {
  int size = 864;  // the picture is size x size pixels
  bool fog = false;
  bool wireframe = false;
  std::vector<Turn> turns;  // applied in this order
  std::string output;
  bool help = false;
};

constexpr int kMinSize = 16;
constexpr int kMaxSize = 4096;

// Reads the arguments after the program name. On bad input returns false and
// puts one line (without line feed) into *error.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

const char* UsageText();

}  // namespace snapshot
