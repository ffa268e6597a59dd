// Benchmark: the folder walker against `find ROOT -type d` on the same tree,
// in the same run, on a warm cache.
//
//   bench_walk [ROOT]     (default /tmp/vistrune-bench-tree)
//
// The tree (generated once, reused while its marker file matches) looks like
// a video library: 10 series x 100 seasons x 99 episodes = 100 010 folders
// below ROOT, and in every third episode folder one to three small files
// clip001.avi ... Nothing in ROOT is ever deleted; generation only adds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_tree.h"
#include "folder_walker/SearchFile.h"

using namespace vistrune::bench;

namespace {

// One walk as the main window does it: BaseDir = AppPath (with its trailing
// separator), every report turned into the folder-list text (the home name
// for the start folder, the path relative to AppPath below it).
long WalkOnce(const std::string& appPath, std::vector<std::string>& entries) {
  entries.clear();
  const std::string home = "HomeFolder";
  vistrune::TSearchDir walker;
  walker.BaseDir = appPath;
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

}  // namespace

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "/tmp/vistrune-bench-tree";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!TreeIsComplete(root)) GenerateTree(root);

  // Warm the cache and check both see the same folders.
  std::vector<std::string> entries;
  entries.reserve(kFolders + 16);
  long walked = WalkOnce(root + "/", entries);
  long found = CountFindLines(root);
  std::printf("tree %s: walker reports %ld folders, find lists %ld\n", root.c_str(), walked, found);
  if (walked != found) {
    std::fprintf(stderr, "the counts differ\n");
    return 1;
  }

  // Best of 3, the two interleaved so that a change in machine load hits both.
  double walkSeconds = 1e300, findSeconds = 1e300;
  for (int i = 0; i < 3; ++i) {
    walkSeconds = std::min(walkSeconds, Seconds([&] { WalkOnce(root + "/", entries); }));
    findSeconds = std::min(findSeconds, Seconds([&] { RunFind(root, "/dev/null"); }));
  }
  std::printf("walker (TSearchDir, list texts built): %8.3f s  best of 3\n", walkSeconds);
  std::printf("find ROOT -type d > /dev/null:          %8.3f s  best of 3\n", findSeconds);
  std::printf("ratio walker/find: %.2f (target <= 1.0)\n", walkSeconds / findSeconds);
  return 0;
}
