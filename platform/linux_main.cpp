// The process start-up of the Linux viewer: builds the command line that
// Windows would hand to WinMain (the arguments after the program name, each
// quoted if it holds a blank) and exits with WinMain's result.
#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
  static std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    const std::string arg = argv[i];
    if (arg.empty() || arg.find_first_of(" \t") != std::string::npos) {
      commandLine += '"' + arg + '"';
    } else {
      commandLine += arg;
    }
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWDEFAULT);
}
