// Benchmark: finding a video on a tree of 100 000 folders holding 300 000
// videos (generated once). The start-up walk (warm cache), without keeping
// the videos and keeping them for the index gathered from its reads,
// interleaved, then:
// - the index: the processor time (every thread) the walk keeping the
//   videos and the gathering take beyond the walk's own, next to the warm
//   walk's time; the time to the folder list complete either way; and the
//   resident memory the index adds to a fresh process that walks (this
//   program again, with --child), next to the bytes of the names and
//   entries it holds;
// - the filter for every keystroke of a few typed queries: folding the
//   query and searching the index, without the list that shows the results;
//   median and longest; and the same keystrokes typed into the find
//   window, until its results are shown.
//
//   bench_gui_find [ROOT [ROUNDS]]   (default /tmp/vistrune-bench-videos, 5 rounds)
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QString>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_tree.h"
#include "find_window/Unit5.h"
#include "library/caseless_order.h"
#include "library/shared_state.h"
#include "library/startup_walk.h"
#include "library/video_index.h"
#include "platform/memory.h"
#include "widgets/search_text.h"

using namespace vistrune;
using namespace vistrune::bench;

namespace {

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One start-up walk of root, its entries taken in batches every tenth of a
// second as the window takes them and, where videos are kept, handed to
// the gathering of the index as the window hands them.
struct WalkRun {
  double walked = 0;   // seconds to the walk's end: the folder list complete
  double indexed = 0;  // seconds to the index complete
  double processor = 0;
  std::vector<std::string> entries;  // in the list's order
  VideoIndex index;
};

WalkRun Walk(const std::string& root, bool keepVideos) {
  WalkRun run;
  const double cpu = ProcessorSeconds();
  const long long start = Now();
  StartupWalk walk(root + "/vistrune", keepVideos);
  HomeFolderName = walk.WaitForHome();
  std::unique_ptr<VideoIndexBuild> build;
  if (keepVideos) build = std::make_unique<VideoIndexBuild>(SearchKey);
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  long long endedAt = 0;
  walk.WhenEnded([&] {
    const std::lock_guard lock(mutex);
    ended = true;
    endedAt = Now();
    changed.notify_all();
  });
  std::vector<std::string_view> entries;
  std::vector<StartupWalk::Found> kept;
  // As the window does: the walk's batch handed on, the index's taken.
  auto take = [&] {
    StartupWalk::Found found = walk.TakeFound();
    if (build) {
      build->AddWalked(std::move(found.videos));
      run.index.Append(build->TakeFound());
    }
    kept.push_back(std::move(found));
  };
  for (bool done = false; !done;) {
    take();
    std::unique_lock lock(mutex);
    done = changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return ended; });
  }
  if (walk.Finish()) Die("walk");
  take();
  for (const StartupWalk::Found& found : kept)
    for (const std::string_view entry : found.Entries()) entries.push_back(entry);
  SortCaseless(entries);
  run.entries.assign(entries.begin(), entries.end());
  run.walked = static_cast<double>(endedAt - start) / 1e9;
  if (build) {
    build->EndWalk(run.entries);
    bool indexed = false;
    build->WhenEnded([&] {
      const std::lock_guard lock(mutex);
      indexed = true;
      changed.notify_all();
    });
    for (bool done = false; !done;) {
      run.index.Append(build->TakeFound());
      std::unique_lock lock(mutex);
      done = changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return indexed; });
    }
    if (build->Finish()) Die("index");
    run.index.Append(build->TakeFound());
    run.index.SetRows(run.entries);
    run.index.Compact();
    run.indexed = static_cast<double>(Now() - start) / 1e9;
  }
  run.processor = ProcessorSeconds() - cpu;
  return run;
}

}  // namespace

// The child: one walk of root, keeping the videos or not, then its resident
// memory once the walk's transient memory is given back, and the bytes of
// the names and entries the index holds.
int Child(const std::string& root, bool keepVideos) {
  // As the program does first thing.
  platform::KeepLittleFreeMemory();
  const WalkRun run = Walk(root, keepVideos);
  platform::ReturnFreeMemory();
  size_t nameBytes = 0;
  for (size_t folder = 0; folder < run.index.FolderCount(); ++folder)
    nameBytes += run.index.Entry(folder).size();
  for (size_t video = 0; video < run.index.VideoCount(); ++video)
    nameBytes += run.index.Name(video).size();
  std::printf("%ld %zu\n", ResidentKilobytes(), nameBytes);
  return 0;
}

// What a fresh process that walks root holds: resident kilobytes and the
// index's name bytes.
std::pair<long, size_t> ChildMemory(const std::string& root, bool keepVideos) {
  const char* out = "/tmp/vistrune-bench-find.txt";
  RunTool({SelfPath(), "--child", root, keepVideos ? "keep" : "plain"}, out);
  std::ifstream in(out);
  long kilobytes = 0;
  size_t nameBytes = 0;
  in >> kilobytes >> nameBytes;
  return {kilobytes, nameBytes};
}

int main(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "--child")
    return Child(argv[2], std::string(argv[3]) == "keep");
  const std::string root = argc > 1 ? argv[1] : "/tmp/vistrune-bench-videos";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (!TreeIsComplete(root, kVideoMarkerText)) GenerateVideoTree(root);

  // The first walk warms the cache. Then the walk without the videos and
  // the walk keeping them with the index gathered from it, interleaved.
  Walk(root, false);
  std::vector<double> walks, walksKeeping, indexed, cpuWalk, cpuKeeping, plainKb, keepingKb;
  VideoIndex index;
  size_t folders = 0, nameBytes = 0;
  for (int round = 0; round < rounds; ++round) {
    const WalkRun plain = Walk(root, false);
    walks.push_back(plain.walked);
    cpuWalk.push_back(plain.processor);
    folders = plain.entries.size();
    index.Clear();
    WalkRun keeping = Walk(root, true);
    walksKeeping.push_back(keeping.walked);
    indexed.push_back(keeping.indexed);
    cpuKeeping.push_back(keeping.processor);
    index = std::move(keeping.index);
    // The memory in fresh processes, which no earlier round has shaped.
    plainKb.push_back(static_cast<double>(ChildMemory(root, false).first));
    const auto [kilobytes, bytes] = ChildMemory(root, true);
    keepingKb.push_back(static_cast<double>(kilobytes));
    nameBytes = bytes;
  }
  const double walk = Median(walks);
  std::printf("folders %zu, warm walk median %.3f s (processor %.3f s)\n", folders, walk,
              Median(cpuWalk));
  std::printf(
      "walk keeping the videos: list complete median %.3f s = %.2fx the walk; index complete "
      "%.3f s\n",
      Median(walksKeeping), Median(walksKeeping) / walk, Median(indexed));
  const double extra = Median(cpuKeeping) - Median(cpuWalk);
  std::printf(
      "index: %zu videos in %zu folders, extra processor %.3f s = %.2fx the walk (target 0.3x)\n",
      index.VideoCount(), index.FolderCount(), extra, extra / walk);
  const double added = Median(keepingKb) - Median(plainKb);
  std::printf(
      "index memory: %.1f MB resident added (a process walking, %.1f MB without the videos) for "
      "%.1f MB of names and entries = %.2fx (target 2x)\n",
      added / 1024.0, Median(plainKb) / 1024.0, nameBytes / 1048576.0, added * 1024.0 / nameBytes);

  // Each query typed a character at a time; every prefix is one keystroke.
  const char* const queries[] = {"episode 042 clip", "シリーズ 05 season 042 おーぷ",
                                 "第042話　本編", "ＣＬＩＰ 099", "zzz"};
  std::vector<double> keystrokes;
  std::vector<VideoIndex::Hit> hits;
  for (int round = 0; round < rounds; ++round) {
    for (const char* query : queries) {
      const QString typed = QString::fromUtf8(query);
      for (qsizetype length = 1; length <= typed.size(); ++length) {
        const QString prefix = typed.left(length);
        keystrokes.push_back(1000 * Seconds([&] {
                               hits.clear();
                               index.Find(SearchWords(prefix), 0, hits);
                             }));
        if (round == 0 && length == typed.size())
          std::printf("  \"%s\": %zu found\n", query, hits.size());
        if (round == 0 && length == 1)
          std::printf("  \"%s\": %zu found\n", prefix.toUtf8().constData(), hits.size());
      }
    }
  }
  std::printf(
      "filter per keystroke: median %.2f ms, longest %.2f ms over %zu keystrokes "
      "(target median 30 ms)\n",
      Median(keystrokes), *std::max_element(keystrokes.begin(), keystrokes.end()),
      keystrokes.size());

  // The same keystrokes typed into the find window: the filter, the list
  // taking its results and the window painted, before the next keystroke
  // is handled (on Qt's offscreen platform unless another is asked for).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  char name[] = "bench_gui_find";
  char* qtArgv[] = {name, nullptr};
  QApplication app(qtArgc, qtArgv);
  const std::vector<std::string> entries = Walk(root, false).entries;
  TForm5 window([&entries] { return entries; }, [](int, const std::string&, const std::string&) {});
  window.show();
  QEventLoop indexLoop;
  QObject::connect(&window, &TForm5::IndexComplete, &indexLoop, &QEventLoop::quit);
  window.BuildIndex();
  indexLoop.exec();
  std::vector<double> shown;
  for (int round = 0; round < rounds; ++round) {
    for (const char* query : queries) {
      const QString typed = QString::fromUtf8(query);
      for (qsizetype length = 1; length <= typed.size(); ++length) {
        shown.push_back(1000 * Seconds([&] {
                          window.Edit1->setText(typed.left(length));
                          QCoreApplication::processEvents();
                        }));
      }
    }
  }
  std::printf("keystroke to results shown in the window: median %.2f ms, longest %.2f ms\n",
              Median(shown), *std::max_element(shown.begin(), shown.end()));
  return 0;
}
