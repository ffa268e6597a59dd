// Benchmark: the walk over a network share, where every directory request is
// a round trip. The share is imitated by bench_delay_fs, a FUSE passthrough
// that holds every request up for a given time and lets the kernel cache
// nothing; on a tree of 10 110 folders it times the program's start-up walk,
// the walker asked for the full record, the program's start-up to its list
// complete, find, bfs, fd and fd -j 64, interleaved, at each delay with and
// without the entries' types in the listings. It prints medians, ratios to
// fd -j 64 and how many requests of each kind each made a folder.
//
//   bench_share [TREE [ROUNDS]]
//       (default /tmp/vistrune-bench-share-tree, 3 rounds; find, bfs and fd
//       with its default threads, many times slower, run once, in the first)
//
// VISTRUNE_BENCH_SHARE_DELAYS: the delays in microseconds ("500,2000").
// VISTRUNE_BENCH_BEFORE: a folder with an earlier build's bench_share and
// bench_gui_startup, whose start-up walk and start-up are timed beside.
// Every run has a time limit (VISTRUNE_BENCH_SHARE_LIMIT seconds, 900).
// VISTRUNE_BENCH_SHARE_MOUNT: the (empty) folder to mount the share on.
//
// Where the machine offers no FUSE (no /dev/fuse, no fusermount3, or
// bench_delay_fs was not built for want of libfuse3), it says so and skips.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_tree.h"
#include "bench/share_fs/delay_fs_counters.h"
#include "folder_walker/SearchFile.h"
#include "library/startup_walk.h"

using namespace vistrune::bench;

namespace {

constexpr int kShareSeries = 10;
constexpr int kShareSeasons = 10;
constexpr int kShareEpisodes = 100;
constexpr long kShareFolders =
    kShareSeries + kShareSeries * kShareSeasons + kShareSeries * kShareSeasons * kShareEpisodes;
constexpr const char* kShareMarkerText =
    "vistrune share tree v1: 10x10x100, clip files in every 3rd\n";

void GenerateShareTree(const std::string& root) {
  std::printf("generating %ld folders below %s (once)...\n", kShareFolders, root.c_str());
  std::fflush(stdout);
  if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) Die("mkdir " + root);
  const int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) Die("open " + root);
  char name[64];
  for (int s = 0; s < kShareSeries; ++s) {
    std::snprintf(name, sizeof name, "\xe3\x82\xb7\xe3\x83\xaa\xe3\x83\xbc\xe3\x82\xba %02d",
                  s);  // シリーズ
    const int seriesFd = MakeDirAt(rootFd, name);
    for (int m = 0; m < kShareSeasons; ++m) {
      std::snprintf(name, sizeof name, "Season %03d", m);
      const int seasonFd = MakeDirAt(seriesFd, name);
      for (int e = 0; e < kShareEpisodes; ++e) {
        std::snprintf(name, sizeof name, "Episode %03d", e);
        const int episodeFd = MakeDirAt(seasonFd, name);
        for (int c = 1; e % 3 == 0 && c <= 1 + (s + m + e) % 3; ++c) {
          std::snprintf(name, sizeof name, "clip%03d.avi", c);
          WriteFileAt(episodeFd, name, "RIFF....AVI LIST");
        }
        close(episodeFd);
      }
      close(seasonFd);
    }
    close(seriesFd);
  }
  // The program's settings file, so that its start-up finds one (it
  // rewrites it there).
  WriteFileAt(rootFd, "Vistrune.ini",
              "[Style]\r\nStyle=ListBox\r\n[FixedFolder Setting]\r\ncount=0\r\n[Name]\r\n"
              "[Name2]\r\n");
  WriteFileAt(rootFd, kMarker, kShareMarkerText);
  close(rootFd);
}

// --- the children: one walk each, in a process of its own -----------------

// The program's start-up walk of root, as the program makes it; prints the
// entries it found.
int WalkChild(const std::string& root) {
  vistrune::StartupWalk walk(root + "/vistrune");
  walk.WaitForHome();
  if (walk.Finish()) return 1;
  std::printf("%zu\n", walk.TakeFound().ends.size());
  return 0;
}

// The walker with a handler that reads the record (so it is filled whole).
int FullWalkChild(const std::string& root) {
  vistrune::TSearchDir walker;
  walker.BaseDir = root + "/";
  long folders = 0;
  int64_t sizes = 0;
  walker.OnFind = [&](vistrune::TSearchDir*, const std::string&,
                      const vistrune::TSearchFileData& Data, bool&, bool&) {
    ++folders;
    sizes += Data.Size;
  };
  if (!walker.Search()) return 1;
  std::printf("%ld %lld\n", folders, static_cast<long long>(sizes));
  return 0;
}

// --- running, counting, mounting ------------------------------------------

double Now() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int limitSeconds = 900;

// Runs args with standard output to output; the seconds it took, or NaN
// when it failed or ran past the limit (then it is killed).
double TimedRun(std::vector<std::string> args, const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const double start = Now();
  pid_t pid;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) Die("spawn " + args[0]);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (Now() - start > limitSeconds) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      std::printf("  (%s ran past %d s: stopped)\n", args[0].c_str(), limitSeconds);
      return NAN;
    }
    struct timespec pause = {0, 500000};
    nanosleep(&pause, nullptr);
  }
  const double seconds = Now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("  (%s failed)\n", args[0].c_str());
    return NAN;
  }
  return seconds;
}

volatile uint64_t* counters = nullptr;

struct Counts {
  uint64_t of[kCounters] = {};
};

// The counters once they have settled: a folder closed at a process's end
// reaches the file system a little later.
Counts SettledCounts() {
  Counts before, now;
  for (int i = 0; i < kCounters; ++i) now.of[i] = __atomic_load_n(&counters[i], __ATOMIC_RELAXED);
  do {
    before = now;
    struct timespec pause = {0, 30000000};
    nanosleep(&pause, nullptr);
    for (int i = 0; i < kCounters; ++i) now.of[i] = __atomic_load_n(&counters[i], __ATOMIC_RELAXED);
  } while (std::memcmp(before.of, now.of, sizeof now.of) != 0);
  return now;
}

std::string mountPoint;
pid_t fsPid = 0;

void Unmount() {
  if (fsPid == 0) return;
  RunTool({"fusermount3", "-u", "-z", mountPoint}, "/dev/null");
  int status;
  waitpid(fsPid, &status, 0);
  fsPid = 0;
}

void UnmountAndLeave(int) {
  Unmount();
  _exit(1);
}

dev_t DeviceOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

void Mount(const std::string& fs, const std::string& tree, long delayUs, bool types,
           const std::string& counterFile) {
  const dev_t parent = DeviceOf("/tmp");
  std::vector<std::string> args = {
      fs, tree, mountPoint, std::to_string(delayUs), types ? "1" : "0", counterFile};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (posix_spawn(&fsPid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) Die("spawn " + fs);
  const double start = Now();
  while (DeviceOf(mountPoint) == parent) {
    int status;
    if (waitpid(fsPid, &status, WNOHANG) == fsPid || Now() - start > 20) {
      std::fprintf(stderr, "the share did not mount\n");
      fsPid = 0;
      std::exit(1);
    }
    struct timespec pause = {0, 10000000};
    nanosleep(&pause, nullptr);
  }
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// One contender: what it runs, and whether it runs every round or once.
struct Contender {
  std::string name;
  std::vector<std::string> args;
  bool once = false;
  bool startUp = false;  // a start-up child: its own times are read back
};

struct Results {
  std::vector<double> seconds;
  Counts counts;  // summed over its runs
  int runs = 0;
};

void Measure(const std::vector<Contender>& contenders, int rounds, long delayUs, bool types) {
  const std::string out = "/tmp/vistrune-bench-share-out.txt";
  std::map<std::string, Results> results;
  std::vector<double> startUpOverWalk;
  const std::string loadBefore = LoadAverage();
  for (int r = 0; r < rounds; ++r) {
    double walk = NAN, startUp = NAN;
    for (size_t i = 0; i < contenders.size(); ++i) {
      const Contender& c = contenders[(i + static_cast<size_t>(r)) % contenders.size()];
      if (c.once && r > 0) continue;
      const Counts before = SettledCounts();
      const double start = Now();
      double seconds = TimedRun(c.args, out);
      if (c.startUp && !std::isnan(seconds)) {
        // The child's own clock: from the start of the process to the list
        // complete, leaving out its ending.
        std::ifstream in(out);
        long long walkStart = 0, shown = 0, complete = 0;
        in >> walkStart >> shown >> complete;
        seconds = static_cast<double>(complete) / 1e9 - start;
      }
      const Counts after = SettledCounts();
      Results& into = results[c.name];
      into.seconds.push_back(seconds);
      for (int k = 0; k < kCounters; ++k) into.counts.of[k] += after.of[k] - before.of[k];
      ++into.runs;
      if (c.name == contenders[0].name) walk = seconds;
      if (c.name == "program, process start to list complete") startUp = seconds;
    }
    startUpOverWalk.push_back(startUp / walk);
  }
  const double reference = Median(results["fd -u -t d -j 64"].seconds);
  std::printf(
      "\n%ld us a request, entry types %s, %ld folders, %d rounds interleaved (find, bfs, "
      "fd once), load average %s -> %s\n",
      delayUs, types ? "given" : "not given", kShareFolders + 1, rounds, loadBefore.c_str(),
      LoadAverage().c_str());
  std::printf("  %-48s %8s %8s %8s %7s | %9s %7s %7s %7s %7s\n", "", "median s", "min s", "max s",
              "/fd-j64", "requests", "getattr", "opendir", "readdir", "release");
  for (const Contender& c : contenders) {
    const Results& s = results[c.name];
    const double perFolder = static_cast<double>(s.runs) * static_cast<double>(kShareFolders + 1);
    auto per = [&](int kind) { return static_cast<double>(s.counts.of[kind]) / perFolder; };
    const double requests = per(kGetAttr) + per(kOpenDir) + per(kReadDir) + per(kReadLink);
    std::printf("  %-48s %8.3f %8.3f %8.3f %7.2f | %9.2f %7.2f %7.2f %7.2f %7.2f\n", c.name.c_str(),
                Median(s.seconds), *std::min_element(s.seconds.begin(), s.seconds.end()),
                *std::max_element(s.seconds.begin(), s.seconds.end()),
                Median(s.seconds) / reference, requests, per(kGetAttr), per(kOpenDir),
                per(kReadDir), per(kReleaseDir));
  }
  std::printf("  program's list complete / its start-up walk, by round: median %.2f\n",
              Median(startUpOverWalk));
  std::printf(
      "  (requests a folder: getattr (look-ups and stats) + opendir + readdir + "
      "readlink; releasedir apart)\n");
  std::fflush(stdout);
}

std::string Folder(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--walk") return WalkChild(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--walk-full") return FullWalkChild(argv[2]);
  std::string tree = argc > 1 ? argv[1] : "/tmp/vistrune-bench-share-tree";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (const char* limit = std::getenv("VISTRUNE_BENCH_SHARE_LIMIT"))
    limitSeconds = std::atoi(limit);
  while (tree.size() > 1 && tree.back() == '/') tree.pop_back();

  char selfPath[4096];
  const ssize_t n = readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
  if (n <= 0) Die("readlink /proc/self/exe");
  const std::string self(selfPath, static_cast<size_t>(n));
  const std::string fs = Folder(self) + "/bench_delay_fs";
  if (access(fs.c_str(), X_OK) != 0) {
    std::printf(
        "share: skipped, bench_delay_fs was not built (libfuse3 not found by pkg-config)\n");
    return 0;
  }
  if (access("/dev/fuse", R_OK | W_OK) != 0 || !HaveTool("fusermount3")) {
    std::printf("share: skipped, this machine offers no FUSE (/dev/fuse or fusermount3)\n");
    return 0;
  }
  if (!TreeIsComplete(tree, kShareMarkerText)) GenerateShareTree(tree);

  // The counters bench_delay_fs keeps, shared through a file.
  char counterFile[] = "/tmp/vistrune-bench-share-counts-XXXXXX";
  const int counterFd = mkstemp(counterFile);
  if (counterFd < 0 || ftruncate(counterFd, kCounters * sizeof(uint64_t)) != 0) Die("counters");
  void* shared =
      mmap(nullptr, kCounters * sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, counterFd, 0);
  if (shared == MAP_FAILED) Die("mmap");
  counters = static_cast<volatile uint64_t*>(shared);
  // bench/run makes the mount point (and unmounts it on every way out);
  // run alone, this program makes one.
  char mountDir[] = "/tmp/vistrune-bench-share-mnt-XXXXXX";
  const char* givenMount = std::getenv("VISTRUNE_BENCH_SHARE_MOUNT");
  if (!givenMount && !mkdtemp(mountDir)) Die("mkdtemp");
  mountPoint = givenMount ? givenMount : mountDir;
  signal(SIGINT, UnmountAndLeave);
  signal(SIGTERM, UnmountAndLeave);
  std::atexit(Unmount);

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string startUp = Folder(self) + "/bench_gui_startup";
  const std::string fd = HaveTool("fdfind") ? "fdfind" : HaveTool("fd") ? "fd" : "";
  std::vector<Contender> contenders = {
      {"start-up walk (names only)", {self, "--walk", mountPoint}},
      {"walker, full record", {self, "--walk-full", mountPoint}},
  };
  if (access(startUp.c_str(), X_OK) == 0)
    contenders.push_back({"program, process start to list complete",
                          {startUp, "--child", mountPoint, ""},
                          false,
                          true});
  else
    std::printf("bench_gui_startup was not built: the program's start-up left out\n");
  if (const char* before = std::getenv("VISTRUNE_BENCH_BEFORE")) {
    contenders.push_back(
        {"before: start-up walk", {std::string(before) + "/bench_share", "--walk", mountPoint}});
    contenders.push_back({"before: program, process start to list complete",
                          {std::string(before) + "/bench_gui_startup", "--child", mountPoint, ""},
                          false,
                          true});
  }
  if (!fd.empty()) {
    contenders.push_back({"fd -u -t d", {fd, "-u", "-t", "d", ".", mountPoint}, true});
    contenders.push_back({"fd -u -t d -j 64", {fd, "-u", "-t", "d", "-j", "64", ".", mountPoint}});
  } else {
    std::printf("fd is not installed: left out\n");
  }
  if (HaveTool("bfs"))
    contenders.push_back({"bfs -type d", {"bfs", mountPoint, "-type", "d"}, true});
  contenders.push_back({"find -type d", {"find", mountPoint, "-type", "d"}, true});

  std::vector<long> delays;
  const char* given = std::getenv("VISTRUNE_BENCH_SHARE_DELAYS");
  for (std::string list = given ? given : "500,2000"; !list.empty();) {
    const size_t comma = list.find(',');
    delays.push_back(std::atol(list.substr(0, comma).c_str()));
    list = comma == std::string::npos ? "" : list.substr(comma + 1);
  }
  std::printf("share imitated by FUSE: %s, %ld folders; the processors: %ld\n", tree.c_str(),
              kShareFolders + 1, sysconf(_SC_NPROCESSORS_ONLN));
  for (const long delay : delays) {
    for (const bool types : {true, false}) {
      Mount(fs, tree, delay, types, counterFile);
      // The walk sees every folder (and a first walk through the share).
      const std::string out = "/tmp/vistrune-bench-share-out.txt";
      if (std::isnan(TimedRun({self, "--walk", mountPoint}, out))) return 1;
      long walked = 0;
      std::ifstream(out) >> walked;
      if (walked != kShareFolders + 1) {
        std::fprintf(stderr, "the walk found %ld folders, not %ld\n", walked, kShareFolders + 1);
        return 1;
      }
      Measure(contenders, rounds, delay, types);
      Unmount();
    }
  }
  munmap(shared, kCounters * sizeof(uint64_t));
  close(counterFd);
  unlink(counterFile);
  if (!givenMount) rmdir(mountDir);
  return 0;
}
