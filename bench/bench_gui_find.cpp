// Benchmark: finding a video on a tree of 100 000 folders holding 300 000
// videos (generated once). The folder list as the start-up walk makes it
// (warm cache), then:
// - the index: the time and the processor time (every thread) its
//   gathering takes, next to the warm walk's time, and the resident memory
//   it adds, next to the bytes of the names and entries it holds;
// - the filter for every keystroke of a few typed queries: folding the
//   query and searching the index, without the list that shows the results;
//   median and longest; and the same keystrokes typed into the find
//   window, until its results are shown.
// The index is begun once the walk has ended, so the time to the complete
// folder list (bench_gui_startup) is the walk's alone.
//
//   bench_gui_find [ROOT [ROUNDS]]   (default /tmp/vistrune-bench-videos, 5 rounds)
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QString>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
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

// Waits until what tells its end through WhenEnded has ended.
template <typename Work>
void WaitForEnd(Work& work) {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  work.WhenEnded([&] {
    const std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  });
  std::unique_lock lock(mutex);
  changed.wait(lock, [&] { return ended; });
}

// The folder list's entries, in its order, as the program's walk of root
// gives them.
std::vector<std::string> WalkedEntries(const std::string& root) {
  StartupWalk walk(root + "/vistrune");
  HomeFolderName = walk.WaitForHome();
  WaitForEnd(walk);
  if (walk.Finish()) Die("walk");
  const StartupWalk::Found found = walk.TakeFound();
  std::vector<std::string_view> entries = found.Entries();
  SortCaseless(entries);
  return std::vector<std::string>(entries.begin(), entries.end());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "/tmp/vistrune-bench-videos";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (!TreeIsComplete(root, kVideoMarkerText)) GenerateVideoTree(root);

  // The first walk warms the cache.
  std::vector<std::string> entries = WalkedEntries(root);
  std::vector<double> walks;
  for (int round = 0; round < rounds; ++round)
    walks.push_back(Seconds([&] { entries = WalkedEntries(root); }));
  const double walk = Median(walks);
  std::printf("folders %zu, warm walk median %.3f s\n", entries.size(), walk);

  VideoIndex index;
  std::vector<double> times, processor;
  long added = 0;
  for (int round = 0; round < rounds; ++round) {
    index.Clear();
    platform::ReturnFreeMemory();
    const long before = ResidentKilobytes();
    const double cpu = ProcessorSeconds();
    times.push_back(Seconds([&] {
      VideoIndexBuild build(entries, SearchKey);
      WaitForEnd(build);
      if (build.Finish()) Die("index");
      index = build.TakeFound();
    }));
    index.Compact();
    platform::ReturnFreeMemory();
    processor.push_back(ProcessorSeconds() - cpu);
    // Measured when the index is first made: later rounds reuse the memory
    // the one before gave back.
    if (round == 0) added = ResidentKilobytes() - before;
  }
  // The same gathering with a fold that copies: what reading the folders
  // costs apart from folding their names.
  const double readingCpu = ProcessorSeconds();
  {
    VideoIndexBuild build(entries, [](std::string_view text) { return std::string(text); });
    WaitForEnd(build);
    build.Finish();
  }
  const double reading = ProcessorSeconds() - readingCpu;
  size_t nameBytes = 0;
  for (size_t folder = 0; folder < index.FolderCount(); ++folder)
    nameBytes += index.Entry(folder).size();
  for (size_t video = 0; video < index.VideoCount(); ++video) nameBytes += index.Name(video).size();
  std::printf(
      "index: %zu videos in %zu folders, median %.3f s, processor %.3f s = %.2fx the walk "
      "(target 0.3x)\n",
      index.VideoCount(), index.FolderCount(), Median(times), Median(processor),
      Median(processor) / walk);
  std::printf(
      "  of which reading the folders, without folding: processor %.3f s = %.2fx the walk\n",
      reading, reading / walk);
  std::printf(
      "index memory: %.1f MB resident added for %.1f MB of names and entries = %.2fx "
      "(target 2x)\n",
      added / 1024.0, nameBytes / 1048576.0, added * 1024.0 / nameBytes);

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
  TForm5 window([&entries] { return entries; }, [](int, const std::string&, const std::string&) {});
  window.show();
  QEventLoop indexed;
  QObject::connect(&window, &TForm5::IndexComplete, &indexed, &QEventLoop::quit);
  window.BuildIndex();
  indexed.exec();
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
