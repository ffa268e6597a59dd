// Benchmark: the program's start-up on a tree of 100 000 folders: the time
// from process start until the main window is shown and until its folder
// list is complete, next to `find ROOT -type d` and to the walk alone, on a
// cold cache (the page cache dropped before every run, where the system
// allows it) and a warm one, interleaved; medians and ratios to find. The
// time from the walk's start (the first thing the program does) to the list
// complete is given next to the walk alone as well: it leaves out loading
// Qt's libraries. Also
// the memory resident at the end of start-up, and the style switches with
// that many entries.
//
// On a warm cache a third start-up is timed beside them, the floor: the same
// walk, but the windows made for an empty folder, so that nothing the walk
// finds is listed (its batches are taken and dropped). It ends when the
// window learns that the walk ended. Its ratio to the walk alone is what
// starting Qt and making the windows cost the walk, before any of the
// list's own work.
//
//   bench_gui_startup [ROOT [COLD_ROUNDS [WARM_ROUNDS]]]
//       (default /tmp/vistrune-bench-tree, 3 and 5 rounds)
//
// Each start-up is a fresh process (this program again, with --child) that
// does what the program's entry does, with the program folder ROOT.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "bench/bench_tree.h"
#include "info_windows/Unit2.h"
#include "info_windows/Unit3.h"
#include "library/startup_walk.h"
#include "main_window/Unit1.h"
#include "platform/memory.h"
#include "settings_window/Unit4.h"

using namespace vistrune::bench;

namespace {

// The child: the program's entry with ROOT as the program folder. Prints
// when the walk began, when the window was shown and when the list was
// complete (steady clock, which the parent shares), the entries listed and
// the memory resident. Given EMPTY, the floor: the walk of ROOT is still
// begun first, but the windows are made for the empty program folder EMPTY,
// the walk's batches are taken as often as the window takes them and
// dropped, and "complete" is when the window's thread learns that the walk
// ended.
int Child(const std::string& root, const std::string& empty) {
  vistrune::platform::KeepLittleFreeMemory();
  const long long walkStart = Now();
  auto walk = std::make_unique<vistrune::StartupWalk>(root + "/vistrune");
  int qtArgc = 1;
  char name[] = "vistrune";
  char* qtArgv[] = {name, nullptr};
  QApplication app(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Vistrune Z"));
  const bool floor = !empty.empty();
  Form1 = floor ? new TForm1(empty + "/vistrune") : new TForm1(std::move(walk));
  Form2 = new TForm2(Form1);
  AboutBox = new TAboutBox(Form1);
  Form4 = new TForm4(Form1);
  Form1->show();
  const long long shown = Now();
  const auto complete = [&] {
    std::printf("%lld %lld %lld %d %ld\n", walkStart, shown, Now(), Form1->ListBox2->Count(),
                ResidentKilobytes());
    QApplication::quit();
  };
  QTimer batches;
  if (floor) {
    QObject::connect(&batches, &QTimer::timeout, [&] { walk->TakeFound(); });
    batches.start(100);
    walk->WhenEnded([&] { QMetaObject::invokeMethod(qApp, complete, Qt::QueuedConnection); });
  } else {
    QObject::connect(Form1, &TForm1::FolderListComplete, complete);
  }
  QApplication::exec();
  delete Form1;
  return 0;
}

struct StartUp {
  double walkStart = 0, shown = 0, complete = 0;
  long entries = 0, residentKb = 0;
};

// Runs the child start-up (or, given empty, the floor) and reads its times.
StartUp RunStartUp(const std::string& self, const std::string& root,
                   const std::string& empty = "") {
  const std::string out = "/tmp/vistrune-bench-startup.txt";
  const long long start = Now();
  RunTool({self, "--child", root, empty}, out.c_str());
  std::ifstream in(out);
  long long walkStart = 0, shown = 0, complete = 0;
  StartUp s;
  in >> walkStart >> shown >> complete >> s.entries >> s.residentKb;
  s.walkStart = static_cast<double>(walkStart - start) / 1e9;
  s.shown = static_cast<double>(shown - start) / 1e9;
  s.complete = static_cast<double>(complete - start) / 1e9;
  return s;
}

double WalkAlone(const std::string& root) {
  std::vector<std::string> entries;
  return Seconds([&] {
    vistrune::TSearchDir walker;
    walker.BaseDir = root + "/";
    walker.OnFind = [&](vistrune::TSearchDir*, const std::string& Name,
                        const vistrune::TSearchFileData&, bool&,
                        bool&) { entries.push_back(Name.substr(root.size())); };
    walker.Search();
  });
}

// The ratios to the walk alone are also taken round by round, a start-up
// against the walk that ran beside it, and their median given: on a machine
// whose speed drifts from minute to minute, they drift less than the ratio
// of the medians.
void Measure(const std::string& self, const std::string& root, int rounds, bool cold,
             const std::string& empty) {
  std::map<std::string, std::vector<double>> s;
  long residentKb = 0;
  const int kinds = cold ? 3 : 4;
  for (int r = 0; r < rounds; ++r) {
    StartUp up, floor;
    double walk = 0;
    for (int i = 0; i < kinds; ++i) {
      if (cold) DropCaches();
      switch ((i + r) % kinds) {
        case 0:
          up = RunStartUp(self, root);
          s["shown"].push_back(up.shown);
          s["complete"].push_back(up.complete);
          s["from walk start"].push_back(up.complete - up.walkStart);
          residentKb = std::max(residentKb, up.residentKb);
          break;
        case 1:
          s["find"].push_back(Seconds([&] { RunFind(root, "/dev/null"); }));
          break;
        case 2:
          walk = WalkAlone(root);
          s["walk"].push_back(walk);
          break;
        default:
          floor = RunStartUp(self, root, empty);
          s["floor"].push_back(floor.complete);
          s["floor from walk start"].push_back(floor.complete - floor.walkStart);
      }
    }
    s["complete/walk"].push_back(up.complete / walk);
    s["from walk start/walk"].push_back((up.complete - up.walkStart) / walk);
    if (!cold) {
      s["floor/walk"].push_back(floor.complete / walk);
      s["floor from walk start/walk"].push_back((floor.complete - floor.walkStart) / walk);
    }
  }
  const double find = Median(s["find"]);
  std::printf("%s cache, %d rounds interleaved (medians):\n", cold ? "cold" : "warm", rounds);
  std::printf("  process start to window shown:  %8.3f s  (/find %.2f)\n", Median(s["shown"]),
              Median(s["shown"]) / find);
  std::printf(
      "  process start to list complete: %8.3f s  (/find %.2f, /walk %.2f, by round %.2f)\n",
      Median(s["complete"]), Median(s["complete"]) / find,
      Median(s["complete"]) / Median(s["walk"]), Median(s["complete/walk"]));
  std::printf("  walk's start to list complete:  %8.3f s  (/walk %.2f, by round %.2f)\n",
              Median(s["from walk start"]), Median(s["from walk start"]) / Median(s["walk"]),
              Median(s["from walk start/walk"]));
  if (!cold) {
    std::printf("  floor, process start to walk end: %6.3f s  (/walk %.2f, by round %.2f)\n",
                Median(s["floor"]), Median(s["floor"]) / Median(s["walk"]),
                Median(s["floor/walk"]));
    std::printf("  floor, walk's start to walk end:  %6.3f s  (/walk %.2f, by round %.2f)\n",
                Median(s["floor from walk start"]),
                Median(s["floor from walk start"]) / Median(s["walk"]),
                Median(s["floor from walk start/walk"]));
  }
  std::printf("  the walk alone (in process):    %8.3f s  (/find %.2f)\n", Median(s["walk"]),
              Median(s["walk"]) / find);
  std::printf("  find ROOT -type d:              %8.3f s\n", find);
  std::printf("  resident at list complete:      %8.1f MB (largest)\n", residentKb / 1024.0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "--child") return Child(argv[2], argv[3]);
  std::string root = argc > 1 ? argv[1] : "/tmp/vistrune-bench-tree";
  const int coldRounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const int warmRounds = argc > 3 ? std::atoi(argv[3]) : 5;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!TreeIsComplete(root)) GenerateTree(root);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string self = SelfPath();

  // The window lists every folder find lists (this also warms the cache).
  const StartUp check = RunStartUp(self, root);
  const long found = CountFindLines(root);
  std::printf("tree %s: folder list holds %ld entries, find lists %ld folders\n", root.c_str(),
              check.entries, found);
  if (check.entries != found) {
    std::fprintf(stderr, "the counts differ\n");
    return 1;
  }
  char empty[] = "/tmp/vistrune-bench-empty-XXXXXX";
  if (!mkdtemp(empty)) Die("mkdtemp");
  const StartUp emptyStart = RunStartUp(self, empty);
  std::printf("empty program folder: window shown %.3f s, resident %.1f MB\n", emptyStart.shown,
              emptyStart.residentKb / 1024.0);

  if (coldRounds > 0) {
    if (DropCaches())
      Measure(self, root, coldRounds, true, empty);
    else
      std::printf("cold cache: skipped, the page cache cannot be dropped here\n");
  }
  Measure(self, root, warmRounds, false, empty);
  // Closing the window saved its settings file there.
  std::remove((std::string(empty) + "/Vistrune.ini").c_str());
  rmdir(empty);

  // Switching styles moves every entry between the list box and the combo
  // box; with this many entries it must stay quick.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  TForm1 form(root + "/vistrune");
  while (form.Walking()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  form.ListBox2->SetItemIndex(form.ListBox2->Count() / 2);
  const double toCombo = Seconds([&] { form.Button3Click(); });
  const double toList = Seconds([&] { form.Button3Click(); });
  std::printf("style switch with %d entries: > %.1f ms, < %.1f ms\n", form.ListBox2->Count(),
              toCombo * 1000, toList * 1000);
  return 0;
}
