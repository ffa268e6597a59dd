// Benchmark: the folder walker against `find ROOT -type d`, `bfs` and `fd`
// on the same tree, in the same run, interleaved, on a cold cache (the page
// cache dropped before every run, where the system allows it) and on a warm
// one. Prints medians and ratios to find's median.
//
//   bench_walk [ROOT [COLD_ROUNDS [WARM_ROUNDS]]]
//       (default /tmp/vistrune-bench-tree, 3 and 5 rounds)
//
// The tree (generated once, reused while its marker file matches) looks like
// a video library: 10 series x 100 seasons x 99 episodes = 100 010 folders
// below ROOT, and in every third episode folder one to three small files
// clip001.avi ... Nothing in ROOT is ever deleted; generation only adds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_tree.h"
#include "folder_walker/SearchFile.h"

using namespace vistrune::bench;

namespace {

// One walk as the main window does it: BaseDir = AppPath (with its trailing
// separator), every report turned into the folder-list text (the home name
// for the start folder, the path relative to AppPath below it).
long WalkOnce(const std::string& appPath, unsigned threads, std::vector<std::string>& entries) {
  entries.clear();
  const std::string home = "HomeFolder";
  vistrune::TSearchDir walker;
  walker.BaseDir = appPath;
  walker.ReadAheadThreads = threads;
  walker.OnFind = [&](vistrune::TSearchDir*, const std::string& Name,
                      const vistrune::TSearchFileData&, bool& IgnoreSubDir, bool&) {
    if (Name == vistrune::WindowsDirectory()) IgnoreSubDir = true;
    if (Name.size() <= appPath.size())
      entries.push_back(home);
    else
      entries.push_back(Name.substr(appPath.size()));
  };
  if (!walker.Search()) {
    std::fprintf(stderr, "the walk did not run to its end\n");
    std::exit(1);
  }
  return static_cast<long>(entries.size());
}

struct Contender {
  std::string name;
  std::function<void()> run;
};

std::string LoadAverage() {
  FILE* f = std::fopen("/proc/loadavg", "rb");
  if (!f) return "?";
  char buffer[64] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  std::string text(buffer, n);
  return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

// Runs every contender rounds times, in an order that turns each round so
// that a change in machine load hits all alike; cold drops the cache first.
void Measure(const std::vector<Contender>& contenders, int rounds, bool cold) {
  std::map<std::string, std::vector<double>> seconds;
  const std::string loadBefore = LoadAverage();
  for (int r = 0; r < rounds; ++r) {
    for (size_t i = 0; i < contenders.size(); ++i) {
      const Contender& c = contenders[(i + static_cast<size_t>(r)) % contenders.size()];
      if (cold) DropCaches();
      seconds[c.name].push_back(Seconds(c.run));
    }
  }
  const double find = Median(seconds["find -type d"]);
  std::printf("%s cache, %d rounds interleaved, load average %s -> %s\n", cold ? "cold" : "warm",
              rounds, loadBefore.c_str(), LoadAverage().c_str());
  std::printf("  %-34s %9s %9s %9s %8s\n", "", "median s", "min s", "max s", "/find");
  for (const Contender& c : contenders) {
    const std::vector<double>& s = seconds[c.name];
    std::printf("  %-34s %9.3f %9.3f %9.3f %8.2f\n", c.name.c_str(), Median(s),
                *std::min_element(s.begin(), s.end()), *std::max_element(s.begin(), s.end()),
                Median(s) / find);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "/tmp/vistrune-bench-tree";
  const int coldRounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const int warmRounds = argc > 3 ? std::atoi(argv[3]) : 5;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!TreeIsComplete(root)) GenerateTree(root);

  // Check the walker sees the folders find sees (and warm the cache).
  std::vector<std::string> entries;
  entries.reserve(kFolders + 16);
  const long walked = WalkOnce(root + "/", vistrune::DefaultReadAheadThreads(), entries);
  const long found = CountFindLines(root);
  std::printf("tree %s: walker reports %ld folders, find lists %ld\n", root.c_str(), walked, found);
  if (walked != found) {
    std::fprintf(stderr, "the counts differ\n");
    return 1;
  }

  const unsigned threads = vistrune::DefaultReadAheadThreads();
  std::vector<Contender> contenders = {
      {"walker, " + std::to_string(threads) + " threads reading ahead",
       [&] { WalkOnce(root + "/", threads, entries); }},
      {"walker, one folder at a time", [&] { WalkOnce(root + "/", 0, entries); }},
      {"find -type d", [&] { RunFind(root, "/dev/null"); }},
  };
  if (HaveTool("bfs"))
    contenders.push_back({"bfs -type d", [&] {
                            RunTool({"bfs", root, "-type", "d"}, "/dev/null");
                          }});
  else
    std::printf("bfs is not installed: left out\n");
  // fd skips hidden and ignored entries unless told not to (-u); Debian
  // names it fdfind.
  const std::string fd = HaveTool("fdfind") ? "fdfind" : HaveTool("fd") ? "fd" : "";
  if (!fd.empty())
    contenders.push_back({"fd -u -t d (parallel)", [&] {
                            RunTool({fd, "-u", "-t", "d", ".", root}, "/dev/null");
                          }});
  else
    std::printf("fd is not installed: left out\n");

  if (coldRounds > 0) {
    if (DropCaches())
      Measure(contenders, coldRounds, true);
    else
      std::printf(
          "cold cache: skipped, the page cache cannot be dropped here (needs root and a "
          "writable /proc/sys/vm/drop_caches)\n");
  }
  for (const Contender& c : contenders) c.run();  // warm everything
  Measure(contenders, warmRounds, false);
  return 0;
}
