// Benchmark: listing the videos of a folder of 100 000 files into the sorted
// file list, against one plain directory read of the same folder, in the
// same run, on a warm cache.
//
//   bench_gui_listing [FOLDER]     (default /tmp/vistrune-bench-files)
//
// The folder (generated once, reused) holds 100 000 empty files, a third of
// them with video names in mixed letter case, the rest other files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "library/folder_paths.h"
#include "widgets/list_box.h"

namespace {

constexpr int kFiles = 100000;

void Generate(const std::string& folder) {
  mkdir(folder.c_str(), 0755);
  const std::string marker = folder + "/.complete";
  if (access(marker.c_str(), F_OK) == 0) return;
  std::printf("generating %d files in %s (once)...\n", kFiles, folder.c_str());
  const char* extensions[] = {".avi", ".WMV", ".mpg", ".Mpeg", ".txt", ".mp4",
                              ".jpg", ".srt", ".nfo", ".AVI",  ".idx", ".sub"};
  char name[64];
  for (int i = 0; i < kFiles; ++i) {
    std::snprintf(name, sizeof name, "/clip %06d%s", (i * 7919) % kFiles, extensions[i % 12]);
    const int fd = open((folder + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
  }
  const int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
}

// The reference: every name of the folder read into a list, nothing else.
size_t PlainRead(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  return names.size();
}

template <typename F>
double BestOf3(F&& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "/tmp/vistrune-bench-files";
  Generate(folder);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);

  vistrune::TListBox fileList;
  fileList.SetSorted(true);
  size_t plainCount = 0;
  PlainRead(folder);  // warm the cache
  const double plain = BestOf3([&] { plainCount = PlainRead(folder); });
  const double listing = BestOf3([&] {
    fileList.Clear();
    fileList.AddMany(vistrune::FindVideoFiles(folder + "/"));
  });
  std::printf("plain directory read: %.1f ms (%zu names)\n", plain * 1000, plainCount);
  std::printf("video listing:        %.1f ms (%d videos, sorted)\n", listing * 1000,
              fileList.Count());
  std::printf("ratio listing/plain:  %.2f (target <= 2.0)\n", listing / plain);
  return 0;
}
