// helicoid-snapshot as a user runs it: the files it writes, the pixels in
// them, and what it does with bad input.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef SYS_rename
#define SYS_rename SYS_renameat  // (no rename call of its own on some processors)
#endif
namespace {

struct Result {
  int status;  // exit status, or minus the signal that ended the program
  std::string out, err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  std::vector<int> At(int x, int y) const {
    const unsigned char* p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
    return {p[0], p[1], p[2]};
  }
  // Pixels that differ from the colour of the top-left corner, the background.
  int ModelPixels() const {
    int n = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
      n += (rgb[i] != rgb[0] || rgb[i + 1] != rgb[1] || rgb[i + 2] != rgb[2]) ? 1 : 0;
    }
    return n;
  }
  // Mean position of the model's pixels.
  void Centroid(double* x, double* y) const {
    double sx = 0, sy = 0, n = 0;
    for (int py = 0; py < height; ++py) {
      for (int px = 0; px < width; ++px) {
        if (At(px, py) != At(0, 0)) {
          sx += px;
          sy += py;
          n += 1;
        }
      }
    }
    *x = n > 0 ? sx / n : -1;
    *y = n > 0 ? sy / n : -1;
  }
};

bool Near(const std::vector<int>& got, int r, int g, int b, int tolerance) {
  return std::abs(got[0] - r) <= tolerance && std::abs(got[1] - g) <= tolerance &&
         std::abs(got[2] - b) <= tolerance;
}

bool DecodePng(const std::string& path, Picture* picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  picture->width = static_cast<int>(image.width);
  picture->height = static_cast<int>(image.height);
  picture->rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

class Snapshot : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helicoid-snapshot-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    unlink(Side("program").c_str());
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void MatchGoldenPictures();

  // Names in the test's folder (or a folder in it), hidden ones included.
  std::vector<std::string> Entries(const std::string& folder = "") const {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.empty() ? dir_.c_str() : Path(folder).c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
    }
    return names;
  }

  // Starts the program in the test's folder with `args`, behind `prefix_`
  // (a command that runs it as another user or in another namespace).
  pid_t Start(const std::vector<std::string>& args) const {
    const pid_t child = fork();
    if (child == 0) {
      const int out = open(Side("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(Side("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, STDOUT_FILENO);
      dup2(err, STDERR_FILENO);
      if (chdir(dir_.c_str()) != 0) _exit(125);
      for (const std::string& setting : env_) putenv(const_cast<char*>(setting.c_str()));
      // A file-size limit stands for a full disk; SIGXFSZ ignored makes the
      // write fail with EFBIG, else the signal ends the program mid-write.
      if (fileSizeLimit_ > 0) {
        const rlimit limit = {fileSizeLimit_, fileSizeLimit_};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, ignoreFileSizeSignal_ ? SIG_IGN : SIG_DFL);
      }
      // As on a filesystem without O_TMPFILE: openat with it fails; refused_ fails with EPERM.
      if (noTmpfile_ || refused_ >= 0) {
        const unsigned tmpfileCall = noTmpfile_ ? SYS_openat : ~0u;
        sock_filter code[] = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                              BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(refused_), 0, 1),
                              BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
                              BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, tmpfileCall, 0, 4),
                              BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
                              BPF_STMT(BPF_ALU | BPF_AND | BPF_K, O_TMPFILE),
                              BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, O_TMPFILE, 0, 1),
                              BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
                              BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
        const sock_fprog filter = {sizeof code / sizeof code[0], code};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
          _exit(126);
      }
      std::vector<char*> argv;
      for (const std::string& p : prefix_) argv.push_back(const_cast<char*>(p.c_str()));
      if (*HELICOID_EMULATOR) argv.push_back(const_cast<char*>(HELICOID_EMULATOR));  // qemu
      argv.push_back(const_cast<char*>(program_.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    return child;
  }

  Result Finish(pid_t child) const {
    int status = 0;
    waitpid(child, &status, 0);
    Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ReadFile(Side("stdout")),
             ReadFile(Side("stderr"))};
    unlink(Side("stdout").c_str());
    unlink(Side("stderr").c_str());
    return r;
  }

  Result Run(const std::vector<std::string>& args) const { return Finish(Start(args)); }

  // Runs the program as the unprivileged user `nobody` (the tests run as
  // root in CI), from a copy beside the test's folder that it can reach.
  void AsNobody() {
    program_ = Side("program");
    std::ofstream(program_, std::ios::binary) << ReadFile(HELICOID_SNAPSHOT);
    chmod(program_.c_str(), 0755);
    chmod(dir_.c_str(), 0755);
    prefix_ = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    // (Under the sanitizers, the leak check's suppressions may lie where
    // nobody can read them; the runs as root check for leaks.)
    env_.push_back("ASAN_OPTIONS=detect_leaks=0");
    // (Mesa 25 says on stderr when it cannot make its shader cache in the
    // HOME it was given, root's.)
    env_.push_back("MESA_SHADER_CACHE_DISABLE=true");
  }

  std::vector<std::string> prefix_;
  std::string program_ = HELICOID_SNAPSHOT;
  rlim_t fileSizeLimit_ = 0;
  bool ignoreFileSizeSignal_ = true;
  bool noTmpfile_ = false;
  long refused_ = -1;

  // "NAME=VALUE" settings for the program's environment.
  std::vector<std::string> env_;

  Picture Draw(const std::vector<std::string>& options, const std::string& name) const {
    std::vector<std::string> args = options;
    args.push_back(Path(name));
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "a good run says nothing";
    Picture picture;
    EXPECT_TRUE(DecodePng(Path(name), &picture)) << name;
    return picture;
  }

 private:
  // A file beside the test's folder, not in it.
  std::string Side(const std::string& what) const {
    return dir_ + "/../" + dir_.substr(dir_.rfind('/') + 1) + "." + what;
  }
  std::string dir_;
};

TEST_F(Snapshot, DefaultIsTheViewersFirstFrameAt864) {
  const Picture p = Draw({}, "first.png");
  ASSERT_EQ(p.width, 864);
  ASSERT_EQ(p.height, 864);
  EXPECT_TRUE(Near(p.At(0, 0), 38, 38, 38, 1));
  EXPECT_TRUE(Near(p.At(863, 863), 38, 38, 38, 1));
  // The lit model stands in the middle and covers a good part of the picture.
  const int model = p.ModelPixels();
  EXPECT_GT(model, 864 * 864 / 20);
  EXPECT_LT(model, 864 * 864 / 2);
  // It turns about its own point (0, 9, 0), which lands in the middle.
  double cx, cy;
  p.Centroid(&cx, &cy);
  EXPECT_NEAR(cx, 432, 864 * 0.05);
  EXPECT_NEAR(cy, 432, 864 * 0.05);

  // -o and a path given last mean the same; --size 864 is the default.
  const Result r = Run({"--size", "864", "-o", Path("again.png")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("again.png")), ReadFile(Path("first.png")));
}

TEST_F(Snapshot, SizeFogAndWireframeShowInThePixels) {
  for (int size : {16, 257}) {
    const Picture p = Draw({"--size", std::to_string(size)}, "size.png");
    EXPECT_EQ(p.width, size);
    EXPECT_EQ(p.height, size);
  }

  const Picture filled = Draw({"--size", "400"}, "filled.png");
  const Picture fog = Draw({"--size", "400", "--fog"}, "fog.png");
  EXPECT_TRUE(Near(fog.At(0, 0), 128, 64, 64, 1));
  EXPECT_TRUE(Near(fog.At(399, 0), 128, 64, 64, 1));
  EXPECT_GT(fog.ModelPixels(), filled.ModelPixels() / 2) << "the fogged model is still drawn";

  // Seen from the side, most triangles are edge-on and their outlines cover
  // about as much as their faces; tilted, the faces cover far more.
  const Picture tilted = Draw({"--turn", "60,1,0,0"}, "tilted.png");
  const Picture wire = Draw({"--turn", "60,1,0,0", "--wireframe"}, "wire.png");
  EXPECT_TRUE(Near(wire.At(0, 0), 38, 38, 38, 1));
  EXPECT_GT(wire.ModelPixels(), tilted.ModelPixels() / 10);
  EXPECT_LT(wire.ModelPixels() * 2, tilted.ModelPixels()) << "outlines cover far less";
}

TEST_F(Snapshot, TurnsChangeThePictureInOrderAndRunsRepeatExactly) {
  const std::vector<std::string> size = {"--size", "200"};
  auto draw = [&](std::vector<std::string> turns, const std::string& name) {
    std::vector<std::string> args = size;
    for (const std::string& t : turns) {
      args.push_back("--turn");
      args.push_back(t);
    }
    Draw(args, name);
    return ReadFile(Path(name));
  };
  const std::string still = draw({}, "still.png");
  const std::string turned = draw({"90,1,0,0"}, "turned.png");
  EXPECT_NE(turned, still);
  EXPECT_EQ(draw({"90,1,0,0"}, "turned2.png"), turned) << "equal runs, equal files";
  EXPECT_EQ(draw({"0,0,0,0"}, "zero.png"), still) << "a zero turn changes nothing";
  // The axis need not have unit length.
  EXPECT_EQ(draw({"90,3,0,0"}, "long-axis.png"), turned);

  // Every turn counts, in the order given.
  const std::string xThenY = draw({"90,1,0,0", "90,0,1,0"}, "xy.png");
  const std::string yThenX = draw({"90,0,1,0", "90,1,0,0"}, "yx.png");
  const std::string yOnly = draw({"90,0,1,0"}, "y.png");
  EXPECT_NE(xThenY, yThenX);
  EXPECT_NE(xThenY, yOnly);
}

// Pictures drawn once from code that was checked against an independent
// rendering of the model. A picture matches when at most 0.5 % of its pixels
// differ from the committed one by more than 10 of 255 in some channel, which
// leaves room for another Mesa release but not for a wrong light, material or
// transform. They match whatever depth the EGL config has and on either EGL
// platform. With HELICOID_REWRITE_GOLDEN set, the test writes them instead.
TEST_F(Snapshot, MatchesTheGoldenPictures) {
  for (const char* setting : {"", "HELICOID_EGL_DEPTH=24", "HELICOID_EGL_PLATFORM=device"}) {
    SCOPED_TRACE(setting);
    env_ = {setting};
    MatchGoldenPictures();
    if (std::getenv("HELICOID_REWRITE_GOLDEN") != nullptr) break;
  }
  // Where the GL cannot give what the picture needs, nothing is drawn.
  env_ = {"HELICOID_EGL_DEPTH=7"};
  const Result r = Run({"--size", "64", "out.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "helicoid-snapshot: cannot draw: EGL offers no config for desktop OpenGL with a "
            "7-bit depth buffer\n");
  for (const std::string& name : Entries()) EXPECT_EQ(name.find("out.png"), std::string::npos);
}

void Snapshot::MatchGoldenPictures() {
  const struct {
    const char* name;
    std::vector<std::string> options;
  } pictures[] = {{"start.png", {}},
                  {"fog.png", {"--fog"}},
                  {"wireframe.png", {"--wireframe", "--turn", "35,1,0,0"}},
                  {"turned.png", {"--turn", "50,0,1,0", "--turn", "30,1,0,0"}},
                  {"tilted-fog.png", {"--fog", "--turn", "60,1,0,0"}}};
  const bool rewrite = std::getenv("HELICOID_REWRITE_GOLDEN") != nullptr;
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.name);
    std::vector<std::string> options = {"--size", "256"};
    options.insert(options.end(), p.options.begin(), p.options.end());
    const Picture drawn = Draw(options, p.name);
    const std::string golden = std::string(HELICOID_GOLDEN_DIR) + "/" + p.name;
    if (rewrite) {
      std::ofstream(golden, std::ios::binary) << ReadFile(Path(p.name));
      continue;
    }
    Picture expected;
    ASSERT_TRUE(DecodePng(golden, &expected)) << golden;
    ASSERT_EQ(drawn.rgb.size(), expected.rgb.size());
    int differing = 0;
    for (size_t i = 0; i < drawn.rgb.size(); i += 3) {
      for (size_t c = i; c < i + 3; ++c) {
        if (std::abs(drawn.rgb[c] - expected.rgb[c]) > 10) {
          ++differing;
          break;
        }
      }
    }
    const std::string kept = std::string(HELICOID_GOLDEN_FAILED_DIR) + "-" + p.name;
    EXPECT_LE(differing, 256 * 256 / 200) << "pixels differ; the picture drawn is " << kept;
    if (differing > 256 * 256 / 200)
      std::ofstream(kept, std::ios::binary) << ReadFile(Path(p.name));
  }
}

TEST_F(Snapshot, BadInputSaysSoWithStatusTwoAndLeavesNoFile) {
  mkdir(Path("folder").c_str(), 0755);
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus", "out.png"},
      {"-x", "out.png"},
      {"--fog=1", "out.png"},
      {"out.png", "--size"},
      {"--turn"},
      {"--size", "15", "out.png"},
      {"--size", "4097", "out.png"},
      {"--size", "-864", "out.png"},
      {"--size", "99999999999999999999", "out.png"},
      {"--size", "12px", "out.png"},
      {"--size", "", "out.png"},
      {"--turn", "10,0,0,0", "out.png"},
      {"--turn", "10,1,0", "out.png"},
      {"--turn", "10,1,0,0,0", "out.png"},
      {"--turn", "ten,1,0,0", "out.png"},
      {"--turn", "nan,1,0,0", "out.png"},
      {"--turn", "10,inf,0,0", "out.png"},
      {"--turn", "1e40,1,0,0", "out.png"},
      {"--turn", "10,1e-30,0,0", "out.png"},
      {"--turn", "10,1e30,1e30,1e30", "out.png"},
      {},
      {"out.png", "other.png"},
      {"missing-folder/out.png"},
      {"folder"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string shown;
    for (const std::string& a : args) shown += "'" + a + "' ";
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(r.err.rfind("helicoid-snapshot: ", 0), 0u) << shown << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << r.err;
    EXPECT_EQ(Entries(), std::vector<std::string>{"folder"}) << shown;
  }
  rmdir(Path("folder").c_str());

  // A failed run leaves an existing file as it was.
  std::ofstream(Path("kept.png")) << "old";
  EXPECT_EQ(Run({"--size", "1", Path("kept.png")}).status, 2);
  EXPECT_EQ(ReadFile(Path("kept.png")), "old");

  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: helicoid-snapshot"), std::string::npos);
  EXPECT_EQ(Entries(), std::vector<std::string>{"kept.png"});
}

// A target that is not a regular file is written through: the picture comes
// out of a named pipe and on standard output exactly as it is in a file, and
// the pipe is still a pipe.
TEST_F(Snapshot, WritesThroughPipesAndStandardOutput) {
  Draw({"--size", "64"}, "file.png");
  const std::string expected = ReadFile(Path("file.png"));
  ASSERT_FALSE(expected.empty());

  // The reading end is open before the program runs, and the small picture
  // fits in the pipe's buffer; a program that replaced the pipe leaves the
  // reader with nothing rather than waiting.
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  const int reader = open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const Result r = Run({"--size", "64", Path("pipe")});
  EXPECT_EQ(r.status, 0) << r.err;
  fcntl(reader, F_SETFL, 0);
  std::string piped;
  char buffer[4096];
  for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) piped.append(buffer, n);
  close(reader);
  EXPECT_TRUE(piped == expected) << "the pipe gave " << piped.size() << " bytes";
  struct stat after;
  ASSERT_EQ(stat(Path("pipe").c_str(), &after), 0);
  EXPECT_TRUE(S_ISFIFO(after.st_mode)) << "the pipe was replaced";

  const Result out = Run({"--size", "64", "-"});
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_TRUE(out.out == expected) << "standard output gave " << out.out.size() << " bytes";
  EXPECT_EQ(out.err, "");
  unlink(Path("file.png").c_str());
  EXPECT_EQ(Entries(), std::vector<std::string>{"pipe"}) << "no temporary file is left";
}

// A disk that fills up while the picture is written (a file-size limit
// here, which needs no root), or a signal during the write: status 1 and one
// line naming the file and the reason, or the signal; the old picture as it
// was, whether it is replaced (also through a named temporary file, where
// O_TMPFILE is missing) or rewritten in place (it has a second name) and put
// back, and no partial or temporary file.
TEST_F(Snapshot, AFullDiskOrASignalDuringTheWriteLeavesTheOldPicture) {
  std::ofstream(Path("kept.png")) << "old";
  std::ofstream(Path("linked.png")) << "old";
  ASSERT_EQ(link(Path("linked.png").c_str(), Path("other-name.png").c_str()), 0);
  const std::vector<std::string> before = Entries();
  fileSizeLimit_ = 4096;
  // (No run without O_TMPFILE under an emulator: qemu refuses seccomp
  // filters, and the system calls it makes are the host's, not the program's.)
  for (int run = 0; run < (*HELICOID_EMULATOR ? 2 : 3); ++run) {
    const char* name = run == 1 ? "linked.png" : "kept.png";
    noTmpfile_ = run == 2;
    SCOPED_TRACE(std::string(name) + (noTmpfile_ ? " without O_TMPFILE" : ""));
    ignoreFileSizeSignal_ = true;
    const Result full = Run({name});
    EXPECT_EQ(full.status, 1) << full.err;
    EXPECT_EQ(full.err, "helicoid-snapshot: cannot write '" + std::string(name) +
                            "': " + std::strerror(EFBIG) + "\n");
    ignoreFileSizeSignal_ = false;
    EXPECT_EQ(Run({name}).status, -SIGXFSZ) << "SIGXFSZ ends the program during the write";
    EXPECT_EQ(ReadFile(Path(name)), "old");
    EXPECT_EQ(Entries(), before) << "a partial or temporary file is left";
  }
  std::ofstream(Path("linked.png")) << std::string(2 * fileSizeLimit_, 'o');  // no way back
  ignoreFileSizeSignal_ = true;
  // (Or, where the file system reserves the room first, nothing written.)
  const std::string err = Run({"linked.png"}).err;
  EXPECT_TRUE(err.find(": the file is damaged\n") != std::string::npos ||
              ReadFile(Path("linked.png")) == std::string(2 * fileSizeLimit_, 'o'))
      << err;
}

// What a path names is what gets the picture, and what was there stays: a
// symbolic link stays a link and its target gets the picture; an existing
// file keeps its mode, its owner (where the user may keep it) and its other
// names; nothing but the target is left in either folder.
TEST_F(Snapshot, LinksModesOwnersAndOtherNamesAreKept) {
  const std::string expected =
      (Draw({"--size", "32"}, "expected.png"), ReadFile(Path("expected.png")));
  unlink(Path("expected.png").c_str());
  ASSERT_EQ(mkdir(Path("renders").c_str(), 0755), 0);
  // (Longer than the picture: a write through the link would leave a tail.)
  std::ofstream(Path("renders/a.png")) << std::string(100000, 'o');
  ASSERT_EQ(symlink("renders/a.png", Path("latest.png").c_str()), 0);
  std::ofstream(Path("private.png")) << "old";
  chmod(Path("private.png").c_str(), 0600);
  std::ofstream(Path("linked.png")) << "old";
  ASSERT_EQ(link(Path("linked.png").c_str(), Path("other-name.png").c_str()), 0);
  const bool root = geteuid() == 0;
  if (root) chown(Path("private.png").c_str(), 65534, 65534);
  std::ofstream(Path("held.png")) << "old";
  const int replaced = open(Path("renders/a.png").c_str(), O_RDONLY);
  const int rewritten = open(Path("held.png").c_str(), O_RDONLY);
  auto held = [](int fd) { return ReadFile("/proc/self/fd/" + std::to_string(fd)); };

  for (const char* name : {"latest.png", "private.png", "linked.png"}) {
    const Result r = Run({"--size", "32", name});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
  }
  // A rename refused with EPERM rewrites in place (its reader sees the new bytes);
  // a mode that cannot be given leaves the new file private (a.png, 0644).
  for (const long refused : {long(SYS_rename), long(SYS_fchmod)}) {
    refused_ = *HELICOID_EMULATOR ? -1 : refused;  // (qemu refuses seccomp filters)
    EXPECT_EQ(Run({"--size", "32", refused == SYS_rename ? "held.png" : "latest.png"}).status, 0);
  }
  struct stat st;
  EXPECT_TRUE(held(replaced) == std::string(100000, 'o')) << "a.png was rewritten in place";
  EXPECT_TRUE(*HELICOID_EMULATOR || held(rewritten) == ReadFile(Path("held.png")));
  EXPECT_TRUE(*HELICOID_EMULATOR ||
              (stat(Path("renders/a.png").c_str(), &st) == 0 && (st.st_mode & 07777) == 0600));
  unlink(Path("held.png").c_str());
  ASSERT_EQ(lstat(Path("latest.png").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  EXPECT_TRUE(ReadFile(Path("renders/a.png")) == expected)
      << "the link's target is not the picture";
  ASSERT_EQ(stat(Path("private.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u) << "the owner is lost";
  }
  EXPECT_TRUE(ReadFile(Path("private.png")) == expected);
  EXPECT_TRUE(ReadFile(Path("other-name.png")) == expected) << "the second name is cut off";
  std::vector<std::string> names = Entries(), inRenders = Entries("renders");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"latest.png", "linked.png", "other-name.png",
                                             "private.png", "renders"}));
  EXPECT_EQ(inRenders, std::vector<std::string>{"a.png"});
  unlink(Path("renders/a.png").c_str());
  rmdir(Path("renders").c_str());
}

// As cp and > do, a file the user may write but not replace is written in
// place and keeps its owner and mode: in a folder the user may not write, in
// a sticky one (as /tmp), root's in a folder anyone may write; so is a name
// without room for a temporary file beside it. A rewrite that fails half way
// (a file-size limit) puts the old bytes back, or says that it could not. A
// new file in a folder the user may not write, or a file the user may not
// write, is refused with status 2 before anything is drawn.
TEST_F(Snapshot, WritesInPlaceWhatTheUserMayWriteButNotReplace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as nobody";
  AsNobody();
  const std::string tooLong = "open/" + std::string(246, 'x') + ".png";
  // Folders first; then the files written, all root's but shut/open.png.
  // clang-format off
  const std::string names[] = {"shut", "sticky", "open", "shut/open.png", "sticky/pic.png",
                               "open/pic.png", "open/write-only.png", tooLong, "shut/closed.png"};
  // clang-format on
  const mode_t modes[] = {0755, 01777, 0777, 0666, 0666, 0666, 0222, 0644, 0444};
  for (int i = 0; i < 9; ++i) {
    if (i < 3) mkdir(Path(names[i]).c_str(), 0700);
    if (i >= 3 && i != 7) std::ofstream(Path(names[i])) << "old";
    chmod(Path(names[i]).c_str(), modes[i]);
  }
  chown(Path("shut/open.png").c_str(), 65534, 65534);
  for (int i = 3; i < 8; ++i) {
    const Result r = Run({"--size", "32", names[i]});
    EXPECT_EQ(r.status, 0) << names[i] << ": " << r.err;
    Picture picture;
    struct stat st;
    EXPECT_TRUE(DecodePng(Path(names[i]), &picture) && picture.width == 32) << names[i];
    EXPECT_TRUE(stat(Path(names[i]).c_str(), &st) == 0 && (st.st_mode & 07777) == modes[i] &&
                st.st_uid == (i == 3 || i == 7 ? 65534u : 0u))
        << names[i] << ": mode " << std::oct << st.st_mode << ", owner " << std::dec << st.st_uid;
  }
  fileSizeLimit_ = 4096;  // far less than an 864 x 864 picture
  const std::string before = ReadFile(Path("sticky/pic.png"));
  EXPECT_EQ(Run({"sticky/pic.png"}).err, "helicoid-snapshot: cannot write 'sticky/pic.png': " +
                                             std::string(std::strerror(EFBIG)) + "\n");
  EXPECT_TRUE(ReadFile(Path("sticky/pic.png")) == before) << "the old bytes are not back";
  // Where the file system reserves the room first (tmpfs, Debian 13's /tmp),
  // the limit is met before a byte is written, and the old picture stays.
  const std::string writeOnly = ReadFile(Path("open/write-only.png"));
  const std::string err = Run({"open/write-only.png"}).err,
                    why = "helicoid-snapshot: cannot write 'open/write-only.png': " +
                          std::string(strerror(EFBIG));
  EXPECT_TRUE(err == why + "; the file is write-only, so what it held could not be put back\n" ||
              (err == why + "\n" && ReadFile(Path("open/write-only.png")) == writeOnly))
      << err;
  fileSizeLimit_ = 0;
  for (const char* name : {"shut/new.png", "shut/closed.png"}) {
    const Result refused = Run({"--size", "32", name});
    EXPECT_EQ(refused.status, 2) << name;
    EXPECT_EQ(refused.err, "helicoid-snapshot: cannot write '" + std::string(name) +
                               "': " + std::strerror(EACCES) + "\n");
  }
  EXPECT_EQ(ReadFile(Path("shut/closed.png")), "old");
  for (int i = 0; i < 3; ++i) {
    for (const std::string& name : Entries(names[i])) EXPECT_NE(name[0], '.') << "left: " << name;
  }
}

// `-o /dev/stdout > file`, and the other names of an open descriptor: the
// picture goes through the descriptor into the file, and /dev keeps its
// entries as they were. As root that is tried only in a private mount
// namespace with a /dev of its own, never on the machine's.
TEST_F(Snapshot, DescriptorNamesAreWrittenThrough) {
  const std::string expected =
      (Draw({"--size", "32"}, "expected.png"), ReadFile(Path("expected.png")));
  unlink(Path("expected.png").c_str());
  const bool root = geteuid() == 0;
  if (root) {
    prefix_ = {"unshare",
               "-m",
               "--propagation",
               "private",
               "bash",
               "-c",
               "mount -t tmpfs tmpfs /dev && ln -s /proc/self/fd /dev/fd &&"
               " ln -s /proc/self/fd/1 /dev/stdout && ln -s /proc/self/fd/2 /dev/stderr &&"
               " mknod -m 666 /dev/null c 1 3 || exit 125\n"
               "\"$@\"; status=$?\n"
               "echo $(ls -A /dev; [ -L /dev/stdout ] && echo link) >&2; exit $status",
               "private-dev"};
  }
  for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    const Result r = Run({"--size", "32", "-o", name});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_TRUE(r.out == expected) << name << " gave " << r.out.size() << " bytes";
    EXPECT_EQ(r.err, root ? "fd null stderr stdout link\n" : "") << name;
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{});
}

// A signal while the picture is drawn (no GL thread takes it) ends the
// program at once, before anything is made on the disk:
// the old file stays and nothing is left beside it. A program that ended by
// itself was not tested, and fails.
TEST_F(Snapshot, TermWhileDrawingLeavesNothing) {
  std::ofstream(Path("big.png")) << "old";
  const pid_t child = Start({"--size", "4096", "big.png"});
  // Drawing has begun once the program (not the test's fork) has the GL
  // driver loaded (an emulated program's process is the emulator's).
  const std::string proc = "/proc/" + std::to_string(child);
  const std::string running = *HELICOID_EMULATOR ? HELICOID_EMULATOR : program_;
  auto drawing = [&] {
    char exe[4096] = {};
    return readlink((proc + "/exe").c_str(), exe, sizeof exe - 1) > 0 && running == exe &&
           (ReadFile(proc + "/maps").find("_dri.so") != std::string::npos ||
            ReadFile(proc + "/maps").find("libgallium") != std::string::npos);
  };
  for (int i = 0; i < 10000 && !drawing(); ++i) usleep(1000);
  // Each thread's blocked signals: HUP, INT, QUIT and TERM are bits 0, 1, 2, 14.
  std::vector<std::string> unblocked;
  for (const std::string& task : Entries("../../" + proc.substr(1) + "/task")) {
    const std::string status = ReadFile(proc + "/task/" + task + "/status");
    const size_t at = status.find("SigBlk:");
    if (at != std::string::npos &&
        (std::stoull(status.substr(at + 7), nullptr, 16) & 0x4007) != 0x4007 &&
        ReadFile(proc + "/task/" + task + "/comm") != "signals\n")  // (the one that waits for them)
      unblocked.push_back(task);
  }
  kill(child, SIGTERM);
  const Result r = Finish(child);
  EXPECT_EQ(unblocked, std::vector<std::string>{}) << "threads that take TERM while drawing";
  EXPECT_EQ(r.status, -SIGTERM) << r.err;
  // A driver that hangs as it starts (its EGL vendor file a pipe) holds no INT.
  ASSERT_EQ(mkfifo(Path("vendor.json").c_str(), 0600), 0);
  env_ = {"__EGL_VENDOR_LIBRARY_FILENAMES=" + Path("vendor.json")};
  const pid_t hung = Start({"big.png"});
  const std::string wchan = "/proc/" + std::to_string(hung) + "/wchan";
  for (int i = 0; i < 20000 && ReadFile(wchan) != "wait_for_partner"; ++i) usleep(1000);
  kill(hung, SIGINT);
  siginfo_t end = {};  // (a deadline: a held signal waits as long as the driver)
  for (int i = 0; i < 20000 && end.si_pid == 0; ++i, usleep(1000))
    waitid(P_PID, hung, &end, WEXITED | WNOHANG | WNOWAIT);
  if (end.si_pid == 0) kill(hung, SIGKILL);
  EXPECT_EQ(Finish(hung).status, -SIGINT) << "INT waits for a driver that hangs";
  unlink(Path("vendor.json").c_str());
  EXPECT_EQ(Entries(), std::vector<std::string>{"big.png"});
  EXPECT_EQ(ReadFile(Path("big.png")), "old");
}

}  // namespace
