#include "programs/snapshot/snapshot_output.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

namespace snapshot {
namespace {

// The name of a temporary file that is complete but not yet renamed over its
// target, for the signal handler: plain storage that it may read.
char gPending[PATH_MAX + 1];
volatile sig_atomic_t gHavePending = 0;

// Signals that end the process and that a rename or an in-place rewrite waits
// out, so that the file is whole when they act. (A rewrite in place also
// holds back SIGXFSZ: the write then fails with EFBIG and the old bytes go
// back before the signal acts.)
const int kDeferred[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

bool SetPending(const std::string& path) {
  gHavePending = 0;
  if (path.size() > PATH_MAX) return false;
  std::memcpy(gPending, path.c_str(), path.size() + 1);
  gHavePending = 1;
  return true;
}

void OnSignal(int signal) {
  if (gHavePending) unlink(gPending);
  // The handler was reset to the default: once this returns, the signal ends
  // the process as it would have.
  raise(signal);
}

void DeferSignals(sigset_t* previous, int also = 0) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kDeferred) sigaddset(&set, s);
  if (also != 0) sigaddset(&set, also);
  pthread_sigmask(SIG_BLOCK, &set, previous);
}

void RestoreSignals(const sigset_t* previous) {
  pthread_sigmask(SIG_SETMASK, previous, nullptr);
}

// Until the write begins, one thread of our own takes the deferred signals
// (all others, the GL's among them, hold them) and ends the process by the
// first one at once: nothing is on the disk yet. A thread-directed signal
// that it alone waits for tells it to stop.
pthread_t gWatcher;
bool gWatching = false;
sigset_t gWatched;

int StopWatchingSignal() {
  return SIGRTMIN;
}

void* WatchSignals(void*) {
  int s = 0;
  while (sigwait(&gWatched, &s) != 0) {
  }
  if (s == StopWatchingSignal()) return nullptr;
  signal(s, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, s);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(s);  // ends the process, as the signal would have
  _exit(128 + s);
}

// The process's umask, read without changing it: the GL's threads may be
// making files of their own (a shader cache) at the same moment. Without
// /proc a child reads it; failing that, the new file is private.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  const std::string key = "Umask:";
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, key.size(), key) != 0) continue;
    const size_t digits = line.find_first_not_of(" \t", key.size());
    if (digits == std::string::npos) break;
    unsigned mask = 0;
    const char* first = line.data() + digits;
    if (std::from_chars(first, line.data() + line.size(), mask, 8).ec == std::errc()) {
      return static_cast<mode_t>(mask);
    }
  }
  mode_t mask = 077;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return mask;
  const pid_t child = fork();
  if (child == 0) {
    const mode_t own = umask(0);
    _exit(write(fds[1], &own, sizeof own) == sizeof own ? 0 : 1);
  }
  close(fds[1]);
  if (child > 0) {
    mode_t got = 0;
    int status = 0;
    if (read(fds[0], &got, sizeof got) == sizeof got) mask = got;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  close(fds[0]);
  return mask;
}

std::string CannotWrite(const std::string& path, int error) {
  return "cannot write '" + path + "': " + std::strerror(error);
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

bool Under(const std::string& path, const std::string& root) {
  return path == root || path.compare(0, root.size() + 1, root + "/") == 0;
}

// The kernel's own names: nothing is ever created or replaced there.
bool KernelFolder(const std::string& folder) {
  return Under(folder, "/proc") || (Under(folder, "/dev") && !Under(folder, "/dev/shm"));
}

// Whether `folder`/`base` is one of this process's open descriptors, as
// /dev/fd/N, /dev/stdout and /proc/self/fd/N lead to.
bool OwnDescriptor(const std::string& folder, const std::string& base, int* fd) {
  const std::string own = "/proc/" + std::to_string(getpid());
  const bool fdFolder =
      folder == own + "/fd" || (Under(folder, own + "/task") && BaseOf(folder) == "fd");
  if (!fdFolder || base.empty() || base.size() > 9 ||
      base.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *fd = -1;  // (fcntl refuses it, should the number not be read)
  std::from_chars(base.data(), base.data() + base.size(), *fd);
  return fcntl(*fd, F_GETFD) != -1;
}

bool WriteAll(int fd, const std::string& data, bool positioned, int* error) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = positioned ? pwrite(fd, data.data() + done, data.size() - done, done)
                                 : write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Gives a new file the owner (where allowed), mode and access list of the
// file it replaces.
void CopyAttributes(const std::string& old, int fd) {
  struct stat st;
  if (stat(old.c_str(), &st) != 0) return;
  if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, -1, st.st_gid) != 0) {
    // Not allowed: the file becomes the user's own, as any new file would.
  }
  fchmod(fd, st.st_mode & 07777);
  const char* acl = "system.posix_acl_access";
  std::vector<char> value(65536);
  const ssize_t n = getxattr(old.c_str(), acl, value.data(), value.size());
  if (n > 0) fsetxattr(fd, acl, value.data(), static_cast<size_t>(n), 0);
}

// What became of a replacement: the new file renamed over the old one; a
// failure; no unnamed file here (make a named one); the rename refused
// (rewrite the file in place instead).
enum class Made { kRenamedOver, kFailed, kNoUnnamedFile, kRenameRefused };

// Writes a complete new file beside `target` and renames it over it. With
// `unnamed`, the file has no name until it is whole (O_TMPFILE), so a kill
// at any point leaves nothing; otherwise it is made by mkstemp and removed on
// failure or on a signal. Either way the file is private (0600) until it has
// the final file's attributes, and has them before any data goes in. A rename
// refused with EPERM (a sticky folder, an attribute) is told apart, so that
// the caller rewrites the file in place instead.
Made ReplaceByRename(const Output& output, const std::string& data, bool unnamed, int* error) {
  const std::string folder = FolderOf(output.target);
  const std::string base = BaseOf(output.target);
  std::string temporary;
  int fd;
  sigset_t previous;
  if (unnamed) {
    fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
      return Made::kNoUnnamedFile;
    }
  } else {
    temporary = folder + "/." + base + ".XXXXXX";
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    DeferSignals(&previous);
    fd = mkstemp(pattern.data());
    if (fd >= 0) {
      temporary = pattern.data();
      SetPending(temporary);  // fits: PrepareOutput left room for the suffix
    }
    RestoreSignals(&previous);
  }
  if (fd < 0) {
    *error = errno;
    return Made::kFailed;
  }
  auto fail = [&](int why) {
    *error = why;
    close(fd);
    if (gHavePending) unlink(gPending);
    gHavePending = 0;
    return Made::kFailed;
  };
  if (access(output.target.c_str(), F_OK) == 0) {
    CopyAttributes(output.target, fd);
  } else {
    fchmod(fd, 0666 & ~CurrentUmask());
  }
  if (!WriteAll(fd, data, false, error)) return fail(*error);
  if (fsync(fd) != 0) return fail(errno);

  DeferSignals(&previous);
  if (unnamed) {
    // Named only now, under a free name, through the descriptor's /proc link
    // (linkat with AT_EMPTY_PATH would need a capability).
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::random_device random;
    for (int tries = 0;; ++tries) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
      temporary = folder + "/." + base + suffix;
      SetPending(temporary);
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
        break;
      const int why = errno;
      gHavePending = 0;
      if (why != EEXIST || tries == 100) {
        RestoreSignals(&previous);
        close(fd);
        // Without /proc the unnamed file cannot be named: make a named one.
        if (why == ENOENT) return Made::kNoUnnamedFile;
        *error = why;
        return Made::kFailed;
      }
    }
  }
  if (rename(temporary.c_str(), output.target.c_str()) != 0) {
    const int why = errno;
    RestoreSignals(&previous);
    fail(why);
    return why == EPERM ? Made::kRenameRefused : Made::kFailed;
  }
  gHavePending = 0;
  RestoreSignals(&previous);
  close(fd);
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return Made::kRenamedOver;
}

// Rewrites the file itself, so that its owner, mode and other names stay:
// its folder cannot be written or is sticky, it is another user's, or it has
// other names that must keep seeing it. The space is reserved first where the
// filesystem can; if the write still fails, the old bytes are put back, which
// a file the user cannot read does not allow (*lost says so), and which can
// fail in turn (*damaged says so). A new file
// (its name leaves no room for a temporary one) is made here and removed on
// failure.
bool RewriteInPlace(const Output& output, const std::string& data, int* error, bool* lost,
                    bool* damaged) {
  bool readable = true, made = false;
  const char* target = output.target.c_str();
  int fd = open(target, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    readable = false;
    fd = open(target, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  } else if (fd < 0 && errno == ENOENT) {
    made = true;
    fd = open(target, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    *error = errno;
    return false;
  }
  std::string old;
  if (readable) {
    char buffer[65536];
    for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, old.size())) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *error = errno;
        close(fd);
        return false;
      }
      old.append(buffer, static_cast<size_t>(n));
    }
  }
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(data.size())) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS) {
    *error = errno;
    close(fd);
    if (made) unlink(target);
    return false;
  }
  sigset_t previous;
  DeferSignals(&previous, SIGXFSZ);
  bool written = WriteAll(fd, data, true, error);
  if (written && ftruncate(fd, static_cast<off_t>(data.size())) != 0) {
    *error = errno;
    written = false;
  }
  if (written && fsync(fd) != 0) {
    *error = errno;
    written = false;
  }
  if (!written && made) {
    unlink(target);
  } else if (!written && readable) {
    // The same full disk can refuse the old bytes too: then the file is
    // neither picture, and the error must say so.
    int ignored;
    bool restored = false;
    if (WriteAll(fd, old, true, &ignored)) {
      restored = ftruncate(fd, static_cast<off_t>(old.size())) == 0 && fsync(fd) == 0;
    }
    *damaged = !restored;
  } else if (!written) {
    *lost = true;
  }
  close(fd);
  RestoreSignals(&previous);
  return written;
}

}  // namespace

bool PrepareOutput(const std::string& path, Output* output, std::string* error) {
  output->shown = path;
  auto fail = [&](int why) {
    *error = CannotWrite(path, why);
    return false;
  };
  if (path == "-") {
    output->kind = Output::kWriteThrough;
    output->fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    return output->fd >= 0 || fail(errno);
  }
  std::string current = path;
  for (int links = 0;; ++links) {
    if (links > 40) return fail(ELOOP);
    char* real = realpath(FolderOf(current).c_str(), nullptr);
    if (real == nullptr) return fail(errno);
    const std::string folder = real;
    std::free(real);
    const std::string base = BaseOf(current);
    if (base.empty() || base == "." || base == "..") return fail(EISDIR);
    const std::string name = (folder == "/" ? "" : folder) + "/" + base;

    // An open descriptor is written through as it stands: replacing the file
    // it is open on would leave it with nothing, and its /dev or /proc name
    // would become a file.
    int fd;
    if (OwnDescriptor(folder, base, &fd)) {
      output->kind = Output::kWriteThrough;
      output->fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
      return output->fd >= 0 || fail(errno);
    }
    struct stat st;
    const bool exists = lstat(name.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return fail(errno);
    // A symbolic link stays: the file it leads to gets the picture. (In
    // /proc links are the kernel's and lead to what they stand for.)
    if (exists && S_ISLNK(st.st_mode) && !Under(folder, "/proc")) {
      std::vector<char> text(PATH_MAX + 1);
      const ssize_t n = readlink(name.c_str(), text.data(), PATH_MAX);
      if (n <= 0) return fail(n < 0 ? errno : ENOENT);
      const std::string link(text.data(), static_cast<size_t>(n));
      current = link[0] == '/' ? link : folder + "/" + link;
      continue;
    }
    if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
    // Devices, pipes and anything in /dev or /proc are written through,
    // never made.
    if (KernelFolder(folder) || (exists && !S_ISREG(st.st_mode))) {
      output->kind = Output::kWriteThrough;
      output->fd = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      return output->fd >= 0 || fail(errno);
    }
    output->target = name;
    const bool folderWritable = faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    const int folderError = errno;
    // The temporary file's name is the file's own, between a dot and a
    // suffix of up to 9 characters; a name without room for them is written
    // in place.
    const bool roomForTemporary = base.size() + 10 <= NAME_MAX && name.size() + 10 < PATH_MAX;
    if (!exists) {
      output->kind = roomForTemporary ? Output::kReplaceByRename : Output::kRewriteInPlace;
      return folderWritable || fail(folderError);
    }
    // A file the user may not write is not written, whatever its folder allows.
    if (faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0) return fail(errno);
    // As cp and > do, a file that is another user's (the user is not root),
    // or in a sticky folder such as /tmp, is written in place: a new file
    // would be the user's own, or could not be renamed over it.
    struct stat folderStat;
    const bool sticky = stat(folder.c_str(), &folderStat) == 0 && (folderStat.st_mode & S_ISVTX);
    const uid_t user = geteuid();
    const bool ownFile = user == 0 || user == st.st_uid;
    output->kind = folderWritable && st.st_nlink == 1 && ownFile && !sticky && roomForTemporary
                       ? Output::kReplaceByRename
                       : Output::kRewriteInPlace;
    return true;
  }
}

bool WriteOutput(Output* output, const std::string& data, std::string* error) {
  int why = 0;
  bool written = false, lost = false, damaged = false;
  if (output->kind == Output::kWriteThrough) {
    written = WriteAll(output->fd, data, false, &why);
    if (close(output->fd) != 0 && written) {
      why = errno;
      written = false;
    }
    output->fd = -1;
  } else {
    bool rewrite = output->kind == Output::kRewriteInPlace;
    if (!rewrite) {
      Made made = ReplaceByRename(*output, data, true, &why);
      if (made == Made::kNoUnnamedFile) made = ReplaceByRename(*output, data, false, &why);
      written = made == Made::kRenamedOver;
      rewrite = made == Made::kRenameRefused;
    }
    if (rewrite) written = RewriteInPlace(*output, data, &why, &lost, &damaged);
  }
  if (!written) *error = CannotWrite(output->shown, why);
  if (lost) *error += "; the file is write-only, so what it held could not be put back";
  if (damaged) *error += "; the old picture could not be put back either: the file is damaged";
  return written;
}

void RemoveTemporaryOnSignals() {
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGXFSZ}) {
    struct sigaction now;
    // A signal that the caller ignores (nohup, a test's SIGXFSZ) stays ignored.
    if (sigaction(s, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }
}

void EndAtOnceOnSignals() {
  sigset_t previous;
  DeferSignals(&previous);
  // A signal the caller ignores (nohup) stays ignored: it is not waited for.
  sigemptyset(&gWatched);
  sigaddset(&gWatched, StopWatchingSignal());
  for (int s : kDeferred) {
    struct sigaction now;
    if (sigaction(s, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) sigaddset(&gWatched, s);
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, StopWatchingSignal());
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  gWatching = pthread_create(&gWatcher, nullptr, WatchSignals, nullptr) == 0;
  if (gWatching) pthread_setname_np(gWatcher, "signals");
}

void ActOnSignals() {
  if (gWatching) {
    pthread_kill(gWatcher, StopWatchingSignal());
    pthread_join(gWatcher, nullptr);
    gWatching = false;
  }
  sigset_t set;
  sigemptyset(&set);
  for (int s : kDeferred) sigaddset(&set, s);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void RemoveTemporaryFile() {
  if (gHavePending) unlink(gPending);
  gHavePending = 0;
}

}  // namespace snapshot
