// Benchmark: the start-up with a Vistrune.ini that is large or damaged, next
// to the same start-up with no file at all, in an otherwise empty program
// folder: the time from process start until the main window is shown, and
// the time a settings window takes to be made (what "設定" does before the
// window shows). Files: 4 MB and 50 MB of random bytes (a damaged file),
// and 10 000 fixed folders. Rounds interleaved, medians, ratios to the
// start-up without a file.
//
//   bench_gui_config [ROUNDS]      (default 5)
//
// Each start-up is a fresh process (this program again, with --child) that
// does what the program's entry does. Boxes that a start-up shows (a
// damaged file's error) are counted, not shown, so that nothing waits.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "bench/bench_tree.h"
#include "info_windows/Unit2.h"
#include "info_windows/Unit3.h"
#include "main_window/Unit1.h"
#include "settings_window/Unit4.h"
#include "widgets/dialogs.h"

using namespace vistrune::bench;

namespace {

// The child: the program's entry in the program folder root. Prints when the
// window was shown, how long a further settings window took to be made and
// how many boxes were shown.
int Child(const std::string& root) {
  int boxes = 0;
  vistrune::SetBoxSink([&](vistrune::BoxKind, const std::string&) { ++boxes; });
  int qtArgc = 1;
  char name[] = "vistrune";
  char* qtArgv[] = {name, nullptr};
  QApplication app(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Vistrune Z"));
  Form1 = new TForm1(root + "/vistrune");
  Form2 = new TForm2(Form1);
  AboutBox = new TAboutBox(Form1);
  Form4 = new TForm4(Form1);
  Form1->show();
  const long long shown = Now();
  const long long settingsStart = Now();
  delete new TForm4(Form1);
  const long long settingsMade = Now();
  std::printf("%lld %lld %d\n", shown, settingsMade - settingsStart, boxes);
  delete Form1;
  return 0;
}

struct StartUp {
  double shown = 0, settings = 0;
  int boxes = 0;
};

StartUp RunStartUp(const std::string& self, const std::string& root) {
  const std::string out = "/tmp/vistrune-bench-config.txt";
  const long long start = Now();
  RunTool({self, "--child", root}, out.c_str());
  std::ifstream in(out);
  long long shown = 0, settings = 0;
  StartUp s;
  in >> shown >> settings >> s.boxes;
  s.shown = static_cast<double>(shown - start) / 1e9;
  s.settings = static_cast<double>(settings) / 1e9;
  return s;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

std::string FixedFolders(int count) {
  std::string paths, names, names2;
  for (int i = 0; i < count; ++i) {
    const std::string path = "/videos/collection/folder" + std::to_string(i);
    const std::string name = "Folder " + std::to_string(i);
    paths += path + "\r\n";
    names += path + "=" + name + "\r\n";
    names2 += name + "=" + path + "\r\n";
  }
  return "[Style]\r\nStyle=ListBox\r\n[FixedFolder Setting]\r\ncount=" + std::to_string(count) +
         "\r\n" + paths + "[Name]\r\n" + names + "[Name2]\r\n" + names2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--child") return Child(argv[2]);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string self = SelfPath();

  // One program folder for each file; "none" has no file.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"none", ""},
      {"4 MB random", RandomBytes(4 << 20, 1)},
      {"50 MB random", RandomBytes(50 << 20, 2)},
      {"10000 fixed folders", FixedFolders(10000)},
  };
  std::vector<std::string> folders;
  for (size_t i = 0; i < cases.size(); ++i) {
    char folder[] = "/tmp/vistrune-bench-config-XXXXXX";
    if (!mkdtemp(folder)) Die("mkdtemp");
    folders.push_back(folder);
    if (!cases[i].second.empty()) {
      std::ofstream(folders.back() + "/Vistrune.ini", std::ios::binary) << cases[i].second;
    }
  }
  std::map<std::string, std::vector<double>> shown, settings;
  std::map<std::string, int> boxes;
  RunStartUp(self, folders[0]);  // warms the cache and loads Qt once
  for (int r = 0; r < rounds; ++r) {
    for (size_t k = 0; k < cases.size(); ++k) {
      const size_t i = (k + static_cast<size_t>(r)) % cases.size();
      const StartUp up = RunStartUp(self, folders[i]);
      shown[cases[i].first].push_back(up.shown);
      settings[cases[i].first].push_back(up.settings);
      boxes[cases[i].first] = up.boxes;
    }
  }
  const double reference = Median(shown["none"]);
  std::printf("warm cache, %d rounds interleaved (medians):\n", rounds);
  for (const auto& [label, bytes] : cases) {
    std::printf(
        "  %-20s window shown %7.3f s (/none %5.2f), settings window made %7.3f s, %d boxes\n",
        label.c_str(), Median(shown[label]), Median(shown[label]) / reference,
        Median(settings[label]), boxes[label]);
  }
  for (const std::string& folder : folders) {
    // Closing the window saved its settings there.
    std::remove((folder + "/Vistrune.ini").c_str());
    rmdir(folder.c_str());
  }
  return 0;
}
