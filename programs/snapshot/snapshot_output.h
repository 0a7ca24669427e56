// Where helicoid-snapshot's picture goes, and how it gets there without
// losing what was there before.
#pragma once

#include <sys/types.h>

#include <string>

namespace snapshot {

struct Output {
  enum Kind {
    kWriteThrough,     // an open descriptor, a device or a pipe: written as it is
    kReplaceByRename,  // a regular file (or none yet): a new file renamed over it
    kRewriteInPlace,   // a regular file whose folder cannot be written, or with
                       // other names (hard links): its own bytes rewritten
  };
  Kind kind = kReplaceByRename;
  std::string shown;   // the path as the user gave it, for messages
  std::string target;  // the file itself, symbolic links followed
  int fd = -1;         // kWriteThrough: opened before drawing
};

// Works out what `path` names and checks that it can be written, before
// anything is drawn. Creates and changes nothing on the disk (a pipe or a
// device is opened). On failure puts one line into *error.
bool PrepareOutput(const std::string& path, Output* output, std::string* error);

// Writes `data` as PrepareOutput decided. A regular file is either the old
// one or the new one whatever happens: on failure the old file is left as it
// was and no temporary file remains.
bool WriteOutput(Output* output, const std::string& data, std::string* error);

// Until ActOnSignals, TERM, INT, HUP and QUIT end the process at once (while
// the picture is drawn and encoded nothing is on the disk), taken by a thread
// of this module's own: this thread and every thread started after the call
// (the GL's) hold them, so that later only this thread takes them and a
// rename or rewrite can hold them back. ActOnSignals stops that thread and
// lets this one take them again, the held ones at once.
void EndAtOnceOnSignals();
void ActOnSignals();

// Removes a temporary file still waiting for its rename, on TERM, INT, HUP,
// QUIT and XFSZ (then ends the process as the signal would have) and at exit.
void RemoveTemporaryOnSignals();
void RemoveTemporaryFile();

}  // namespace snapshot
