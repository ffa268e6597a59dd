// What the benchmarks share: the generated tree of 100 000 folders that
// looks like a video library, running `find` and other tools on it, cold
// caches, and timing.
//
// The tree (generated once, reused while its marker file matches): 10 series
// x 100 seasons x 99 episodes = 100 010 folders below ROOT, and in every
// third episode folder one to three small files clip001.avi ... Nothing in
// ROOT is ever deleted; generation only adds. The video tree (below) is the
// same folders with 300 000 videos, under a root of its own.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace vistrune::bench {

constexpr int kSeries = 10;
constexpr int kSeasons = 100;
constexpr int kEpisodes = 99;
constexpr long kFolders = kSeries + kSeries * kSeasons + kSeries * kSeasons * kEpisodes;
constexpr const char* kMarker = ".vistrune-bench-tree";
constexpr const char* kMarkerText = "vistrune bench tree v1: 10x100x99, clip files in every 3rd\n";

[[noreturn]] inline void Die(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

inline int MakeDirAt(int parent, const std::string& name) {
  if (mkdirat(parent, name.c_str(), 0755) != 0 && errno != EEXIST) Die("mkdir " + name);
  int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Die("open " + name);
  return fd;
}

inline void WriteFileAt(int parent, const std::string& name, const std::string& bytes) {
  int fd = openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Die("create " + name);
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) Die("write");
  close(fd);
}

// Whether a tree generated below root is complete: its marker file, written
// last, holds markerText (the tree's kind and shape).
inline bool TreeIsComplete(const std::string& root, const char* markerText = kMarkerText) {
  FILE* f = std::fopen((root + "/" + kMarker).c_str(), "rb");
  if (!f) return false;
  char buffer[256] = {};
  size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  return std::string(buffer, n) == markerText;
}

// Makes the folders of both trees below root: kSeries series, kSeasons
// seasons in each, kEpisodes episodes in each season, with the files fill
// writes into each season folder (fill(folder, series, season, -1)) and
// each episode folder (fill(folder, series, season, episode)); then the
// marker, with markerText.
template <typename Fill>
inline void MakeLibraryTree(const std::string& root, const char* markerText, Fill fill) {
  if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) Die("mkdir " + root);
  int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) Die("open " + root);
  char name[64];
  for (int s = 0; s < kSeries; ++s) {
    std::snprintf(name, sizeof name, "\xe3\x82\xb7\xe3\x83\xaa\xe3\x83\xbc\xe3\x82\xba %02d",
                  s);  // シリーズ
    int seriesFd = MakeDirAt(rootFd, name);
    for (int m = 0; m < kSeasons; ++m) {
      std::snprintf(name, sizeof name, "Season %03d", m);
      int seasonFd = MakeDirAt(seriesFd, name);
      fill(seasonFd, s, m, -1);
      for (int e = 0; e < kEpisodes; ++e) {
        std::snprintf(name, sizeof name, "Episode %03d", e);
        int episodeFd = MakeDirAt(seasonFd, name);
        fill(episodeFd, s, m, e);
        close(episodeFd);
      }
      close(seasonFd);
    }
    close(seriesFd);
    std::printf("  %d/%d series\n", s + 1, kSeries);
    std::fflush(stdout);
  }
  WriteFileAt(rootFd, kMarker, markerText);
  close(rootFd);
}

inline void GenerateTree(const std::string& root) {
  std::printf("generating %ld folders below %s (once)...\n", kFolders, root.c_str());
  std::fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  long files = 0;
  MakeLibraryTree(root, kMarkerText, [&files](int folder, int s, int m, int e) {
    if (e < 0 || e % 3 != 0) return;
    char name[64];
    for (int c = 1; c <= 1 + (s + m + e) % 3; ++c) {
      std::snprintf(name, sizeof name, "clip%03d.avi", c);
      WriteFileAt(folder, name, "RIFF....AVI LIST");
      ++files;
    }
  });
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("generated %ld folders and %ld files in %.1f s\n", kFolders, files, seconds);
}

// The video tree (generated once under its own root, reused while its
// marker matches): the same 100 010 folders, and three empty videos in each
// season and episode folder, 300 000 in all, named as a library names them:
// "第NNN話 本編.avi", "オープニング NNN.wmv", "Clip NNN.mpg".
constexpr long kVideos = 3L * (kSeries * kSeasons + kSeries * kSeasons * kEpisodes);
constexpr const char* kVideoMarkerText =
    "vistrune bench video tree v1: 10x100x99, three videos in every season and episode\n";

inline void WriteVideosAt(int folder, int number) {
  char name[64];
  std::snprintf(name, sizeof name, "\xe7\xac\xac%03d\xe8\xa9\xb1 \xe6\x9c\xac\xe7\xb7\xa8.avi",
                number);  // 第NNN話 本編
  WriteFileAt(folder, name, "");
  std::snprintf(name, sizeof name,
                "\xe3\x82\xaa\xe3\x83\xbc\xe3\x83\x97\xe3\x83\x8b\xe3\x83\xb3\xe3\x82\xb0 "
                "%03d.wmv",
                number);  // オープニング NNN
  WriteFileAt(folder, name, "");
  std::snprintf(name, sizeof name, "Clip %03d.mpg", number);
  WriteFileAt(folder, name, "");
}

inline void GenerateVideoTree(const std::string& root) {
  std::printf("generating %ld folders and %ld videos below %s (once)...\n", kFolders, kVideos,
              root.c_str());
  std::fflush(stdout);
  MakeLibraryTree(root, kVideoMarkerText,
                  [](int folder, int, int m, int e) { WriteVideosAt(folder, e < 0 ? m : e); });
}

// Runs args[0], looked up in PATH, with its standard output going to
// output; exits when it cannot be run or fails.
inline void RunTool(std::vector<std::string> args, const char* output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    Die("spawn " + args[0]);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
}

inline void RunFind(const std::string& root, const char* output) {
  RunTool({"find", root, "-type", "d"}, output);
}

// Whether a program of that name is in PATH.
inline bool HaveTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (access((dirs.substr(start, end - start) + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Writes dirty pages out and drops the page cache, dentries and inodes, so
// that the next run reads the disk. False where the system does not allow
// it (not root, or /proc/sys read-only).
inline bool DropCaches() {
  sync();
  const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool dropped = write(fd, "3", 1) == 1;
  close(fd);
  return dropped;
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline long CountFindLines(const std::string& root) {
  char path[] = "/tmp/vistrune-bench-find-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) Die("mkstemp");
  close(fd);
  RunFind(root, path);
  FILE* f = std::fopen(path, "rb");
  long lines = 0;
  for (int c; (c = std::fgetc(f)) != EOF;) lines += c == '\n';
  std::fclose(f);
  unlink(path);
  return lines;
}

// The memory this process holds resident, in kilobytes; -1 when unknown.
inline long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The steady clock in nanoseconds, which a parent and its children share.
inline long long Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// This program's own path, to start it again as a child.
inline std::string SelfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) Die("readlink /proc/self/exe");
  return std::string(path, static_cast<size_t>(n));
}

template <typename F>
double Seconds(F&& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vistrune::bench
