#include "programs/snapshot/snapshot_options.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "scene/scene.h"

namespace snapshot {

namespace {

// (Whole numbers are read with from_chars, not strtol: built against glibc
// 2.38 or newer, strtol and sscanf become symbols that older glibc lacks.)
bool ParseSize(const std::string& text, int* size, std::string* error) {
  long value = 0;
  // (A leading '+' is taken, as strtol took it; "+-5" is not a number.)
  const char* first = text.data() + (text.size() > 1 && text[0] == '+' && text[1] != '-');
  const std::from_chars_result read = std::from_chars(first, text.data() + text.size(), value);
  if (text.empty() || read.ec != std::errc() || read.ptr != text.data() + text.size()) {
    *error = "--size: not a whole number: '" + text + "'";
    return false;
  }
  if (value < kMinSize || value > kMaxSize) {
    *error = "--size: " + text + " is out of range (" + std::to_string(kMinSize) + " to " +
             std::to_string(kMaxSize) + ")";
    return false;
  }
  *size = static_cast<int>(value);
  return true;
}

// One finite single-precision number that fills `text`.
bool ParseFloat(const std::string& text, float* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const float parsed = std::strtof(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool ParseTurn(const std::string& text, Turn* turn, std::string* error) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 4) {
    *error = "--turn: expected DEG,X,Y,Z, got '" + text + "'";
    return false;
  }
  float values[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseFloat(parts[i], &values[i])) {
      *error = "--turn: not a finite number: '" + parts[i] + "' in '" + text + "'";
      return false;
    }
  }
  turn->angle = values[0];
  for (int i = 0; i < 3; ++i) turn->axis[i] = values[i + 1];
  // The frame skips a step whose axis has no length in single precision; a
  // turn that asks for an angle about such an axis would silently do nothing.
  if (turn->angle != 0.0f && !RotationStepTurns(turn->angle, turn->axis)) {
    const bool zero = turn->axis[0] == 0.0f && turn->axis[1] == 0.0f && turn->axis[2] == 0.0f;
    *error = zero ? "--turn: the axis has zero length: '" + text + "'"
                  : "--turn: the axis length is out of range: '" + text + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  Options result;
  bool haveOutput = false;
  auto setOutput = [&](const std::string& path) {
    if (path.empty()) {
      *error = "the output path is empty";
      return false;
    }
    if (haveOutput) {
      *error = "more than one output path: '" + result.output + "' and '" + path + "'";
      return false;
    }
    result.output = path;
    haveOutput = true;
    return true;
  };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        arg = arg.substr(0, equals);
        inlineValue = true;
      }
    }
    const bool takesValue = arg == "--size" || arg == "--turn" || arg == "-o";
    if (takesValue && !inlineValue) {
      if (i + 1 >= args.size()) {
        *error = arg + ": missing value";
        return false;
      }
      value = args[++i];
    } else if (!takesValue && inlineValue) {
      *error = arg + " takes no value";
      return false;
    }

    if (arg == "--help" || arg == "-h") {
      result.help = true;
    } else if (arg == "--fog") {
      result.fog = true;
    } else if (arg == "--wireframe") {
      result.wireframe = true;
    } else if (arg == "--size") {
      if (!ParseSize(value, &result.size, error)) return false;
    } else if (arg == "--turn") {
      Turn turn;
      if (!ParseTurn(value, &turn, error)) return false;
      result.turns.push_back(turn);
    } else if (arg == "-o") {
      if (!setOutput(value)) return false;
    } else if (arg == "--") {
      for (++i; i < args.size(); ++i) {
        if (!setOutput(args[i])) return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option: '" + args[i] + "'";
      return false;
    } else {
      if (!setOutput(arg)) return false;
    }
  }
  if (!result.help && !haveOutput) {
    *error = "no output file given (try --help)";
    return false;
  }
  *options = result;
  return true;
}

const char* UsageText() {
  return "usage: helicoid-snapshot [options] FILE.png\n"
         "Draws the viewer's first frame with no display and writes it as a PNG.\n"
         "\n"
         "  -o FILE            output file (or give it as the last argument); '-' is\n"
         "                     standard output\n"
         "  --size N           square picture of N x N pixels, 16 to 4096 (default 864)\n"
         "  --fog              draw with fog, as after the 'f' key\n"
         "  --wireframe        draw outlines, as after the 'p' key\n"
         "  --turn DEG,X,Y,Z   turn the model by DEG degrees about the axis (X, Y, Z) as\n"
         "                     one trackball step; may be repeated, applied in order\n"
         "  --help             show this text\n"
         "\n"
         "The picture is drawn first. A regular file is replaced whole or not at all,\n"
         "keeping its mode and owner; a symbolic link stays and its target gets the\n"
         "picture; a file with other names, another user's, or in a sticky folder or\n"
         "one the user may not write, is rewritten in place, as cp does. A pipe, a\n"
         "device, /dev/stdout, /dev/fd/N and '-' are written through; nothing is made\n"
         "in /dev or /proc.\n"
         "\n"
         "Exit status: 0 written; 2 bad input, or an output that cannot be written;\n"
         "1 the picture could not be drawn or written (a full disk, a closed pipe, a\n"
         "file-size limit): the old picture is then left as it was and no temporary\n"
         "file remains.\n";
}

}  // namespace snapshot
