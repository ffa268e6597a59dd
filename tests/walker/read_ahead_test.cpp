// The walk with folders read ahead on other threads against the walk that
// reads each folder when its turn comes: on generated trees, for handlers
// that skip folders, stop the walk or throw, both must give the same reports
// (names, data, order) and the same outcome, and leave nothing open.
//
// The tree is random: the seed is printed, and VISTRUNE_TEST_SEED repeats it.
// (No <chrono> here: its unit names do not compile to code page 932; the
// sleep below needs only what <thread> declares.)
#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/dir_reader.h"
#include "support/child_output.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "folder_walker/SearchFile.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using testing::TempDir;

uint32_t Seed() {
  const char* given = std::getenv("VISTRUNE_TEST_SEED");
  const uint32_t seed =
      given ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
  std::printf("read-ahead trees: VISTRUNE_TEST_SEED=%u\n", seed);
  return seed;
}

// Folders below root (paths with "/"), each with a few files; returns them.
std::vector<std::string> MakeTree(const TempDir& t, std::mt19937& random) {
  const char* const names[] = {"a", "B", "b", "Clip.2004", ".hidden", "名前", "x y", "zz"};
  std::vector<std::string> folders{""};
  for (size_t i = 0; i < folders.size() && folders.size() < 300; ++i) {
    const size_t depth = static_cast<size_t>(std::count(folders[i].begin(), folders[i].end(), '/'));
    // Wide near the top, so that a stop at the 40th report falls mid-walk.
    const int children = depth < 2   ? 3 + static_cast<int>(random() % 4)
                         : depth < 4 ? static_cast<int>(random() % 7)
                                     : 0;
    for (int c = 0; c < children; ++c) {
      const std::string name = std::string(names[random() % 8]) + std::to_string(c);
      folders.push_back(folders[i].empty() ? name : folders[i] + "/" + name);
      t.MakeDir(folders.back());
      for (unsigned f = random() % 3; f > 0; --f)
        t.WriteFile(folders.back() + "/clip" + std::to_string(f) + ".avi", "x");
    }
  }
  folders.erase(folders.begin());
  return folders;
}

int OpenFileCount() {
#ifdef _WIN32
  return 0;  // the POSIX run checks it
#else
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
#endif
}

// What the handler does at the n-th report (1 = the start folder).
struct Behaviour {
  const char* what;
  std::function<void(int n, bool& IgnoreSubDir, bool& Continue)> act;
};

// More reports than any of these trees gives, each folder once: a walk that
// goes on past them runs round a link cycle, and is cut short before it
// fills the memory.
constexpr int kMostReports = 20000;

// One walk written out: every report with every field of its data (with
// names only, Name alone, and each folder's videos after a "+"), then the
// outcome.
std::string Walk(const std::string& base, unsigned threads, const Behaviour& behaviour,
                 bool namesOnly = false) {
  std::ostringstream out;
  TSearchDir walker;
  walker.BaseDir = base;
  walker.ReadAheadThreads = threads;
  walker.NamesOnly = namesOnly;
  if (namesOnly) {
    walker.KeepEntry = [](std::string_view name) { return name.ends_with(".avi"); };
    walker.OnFiles = [&out](TSearchDir*, const std::string& Folder, std::string& Names, bool Read) {
      out << '+' << Folder << (Read ? " " : " not read") << Names << '\n';
    };
  }
  int n = 0;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData& d,
                      bool& IgnoreSubDir, bool& Continue) {
    out << Name;
    if (!namesOnly) {
      out << '|' << d.LongName << '|' << d.ShortName << '|' << d.Size << '|' << d.IsDirectory
          << d.IsReadOnly << d.IsHidden << d.IsSystem << d.Reserved << d.IsArchive;
      if (d.CreationTimeValid) out << "|c" << d.CreationTime;
      if (d.LastWriteTimeValid) out << "|w" << d.LastWriteTime;
      if (d.LastAccessTimeValid) out << "|a" << d.LastAccessTime;
    }
    out << '\n';
    behaviour.act(++n, IgnoreSubDir, Continue);
    if (n > kMostReports) Continue = false;
  };
  const int openBefore = OpenFileCount();
  try {
    out << (walker.Search() ? "True" : "False");
  } catch (const std::runtime_error& e) {
    out << "raised " << e.what();
  }
  out << " busy " << walker.Busy() << " open files " << OpenFileCount() - openBefore
      << (n > kMostReports ? " ran round a cycle" : "") << '\n';
  return out.str();
}

// Every behaviour, walked once reading as it goes and once with each number
// of threads: the texts of the plain walks, then those that differ.
std::string CompareWalks(const std::string& base) {
  const Behaviour behaviours[] = {
      {"nothing", [](int, bool&, bool&) {}},
      {"skip every third", [](int n, bool& IgnoreSubDir, bool&) { IgnoreSubDir = n % 3 == 2; }},
      {"stop at the 40th", [](int n, bool&, bool& Continue) { Continue = n != 40; }},
      {"skip and stop on the 7th",
       [](int n, bool& IgnoreSubDir, bool& Continue) { IgnoreSubDir = Continue = n != 7; }},
      {"throw at the 25th",
       [](int n, bool&, bool&) {
         if (n == 25) throw std::runtime_error("handler failed");
       }},
      // Slow at first, so the readers run a full window ahead.
      {"slow start, skip later ones",
       [](int n, bool& IgnoreSubDir, bool&) {
         if (n <= 3) std::this_thread::sleep_for(std::chrono::milliseconds(20));
         IgnoreSubDir = n > 60 && n % 2 == 0;
       }},
  };
  // A first walk, so that the times of last access that reading a folder
  // sets are the same for every walk that follows.
  Walk(base, 0, behaviours[0]);
  std::string differences;
  for (const Behaviour& b : behaviours) {
    const std::string plain = Walk(base, 0, b);
    if (plain.ends_with(" ran round a cycle\n"))
      differences += std::string(b.what) + ": ran round a cycle\n";
    // The last row has the threads beyond the processors read as well.
    for (const auto& [threads, everyReadSlow] :
         {std::pair{1u, false}, std::pair{2u, false}, std::pair{16u, false}, std::pair{16u, true},
          std::pair{64u, true}}) {
      search_file_internal::CountEveryReadAsSlow(everyReadSlow);
      const std::string readAhead = Walk(base, threads, b);
      search_file_internal::CountEveryReadAsSlow(false);
      if (readAhead != plain)
        differences += std::string(b.what) + ", " + std::to_string(threads) + " threads" +
                       (everyReadSlow ? ", every read slow" : "") + ":\n" + readAhead +
                       "instead of\n" + plain;
    }
    // Names only: the same names in the same order, plain and read ahead.
    const std::string names = Walk(base, 0, b, true);
    search_file_internal::CountEveryReadAsSlow(true);
    const std::string namesReadAhead = Walk(base, 64, b, true);
    search_file_internal::CountEveryReadAsSlow(false);
    std::string plainNames;
    for (size_t at = 0; at < plain.size();) {
      const size_t end = plain.find('\n', at) + 1;
      const std::string line = plain.substr(at, end - at);
      plainNames += end == plain.size() ? line : line.substr(0, line.find('|')) + '\n';
      at = end;
    }
    // Each folder's videos, kept from the same reads, are the same either way.
    if (namesReadAhead != names)
      differences += std::string(b.what) + ", names only, 64 threads:\n" + namesReadAhead +
                     "instead of\n" + names;
    std::string reported;
    for (size_t at = 0; at < names.size();) {
      const size_t end = names.find('\n', at) + 1;
      if (names[at] != '+') reported += names.substr(at, end - at);
      at = end;
    }
    if (reported != plainNames)
      differences +=
          std::string(b.what) + ", names only:\n" + reported + "instead of\n" + plainNames;
    if (&b == &behaviours[0] && names.find(".avi") == std::string::npos)
      differences += "names only: no videos kept\n";
  }
  return differences;
}

TEST(ReadAhead, DefaultIsAtLeastTwoThreadsAndBounded) {
#ifdef VISTRUNE_NO_WALK_THREADS
  EXPECT_EQ(DefaultReadAheadThreads(), 0u);  // built without threads: read as it goes
#else
  EXPECT_GE(DefaultReadAheadThreads(), 2u);
  EXPECT_LE(DefaultReadAheadThreads(), 64u);
#endif
  EXPECT_EQ(TSearchDir().ReadAheadThreads, DefaultReadAheadThreads());
}

TEST(ReadAhead, ReportsAndOutcomesMatchTheWalkThatReadsAsItGoes) {
  std::mt19937 random(Seed());
  TempDir t;
  const std::vector<std::string> folders = MakeTree(t, random);
#ifdef _WIN32
  EXPECT_EQ(CompareWalks(t.Path()), "");
#else
  // Folders that may not be listed or entered, and links back to the start,
  // to an ancestor, across the tree and to nowhere; walked as the user
  // nobody, so that the permissions hold for root too.
  ASSERT_EQ(chmod(t.Path().c_str(), 0755), 0);
  const mode_t locks[] = {0, 0311, 0644};
  for (int i = 0; i < 3 && !folders.empty(); ++i) {
    const std::string folder = t.Path() + "/" + folders[random() % folders.size()];
    ASSERT_EQ(chmod(folder.c_str(), locks[i]), 0);
  }
  for (int i = 0; i < 4 && !folders.empty(); ++i) {
    const std::string& from = folders[random() % folders.size()];
    const std::string targets[] = {t.Path(), t.Path() + "/" + from, t.Path() + "/" + folders[0],
                                   t.Path() + "/nowhere"};
    const std::string link = t.Path() + "/" + from + "/link" + std::to_string(i);
    ASSERT_EQ(symlink(targets[i].c_str(), link.c_str()), 0) << link;
  }
  const std::string differences = testing::OutputOfChild([&] {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      throw std::runtime_error("cannot become nobody");
    return CompareWalks(t.Path());
  });
  EXPECT_EQ(differences, "");
#endif
}

#ifndef _WIN32
// A folder of many entries of unknown type, their stats made ahead in
// parallel and every read slow: the same reports as the plain walk of the
// same tree with the types given, full records and names only.
TEST(ReadAhead, StatsMadeAheadGiveThePlainWalksReports) {
  TempDir t;
  for (int i = 0; i < 150; ++i) {
    t.MakeDir("many/folder" + std::to_string(i));
    t.WriteFile("many/clip" + std::to_string(i) + ".avi", "x");
  }
  t.MakeDir("many/folder3/below");
  ASSERT_EQ(symlink(t.Path().c_str(), (t.Path() + "/many/folder5/to-start").c_str()), 0);
  ASSERT_EQ(symlink("folder3", (t.Path() + "/many/to-folder3").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (t.Path() + "/many/dangling").c_str()), 0);
  const Behaviour nothing{"nothing", [](int, bool&, bool&) {}};
  Walk(t.Path(), 0, nothing);  // the times of last access settle
  for (const bool namesOnly : {false, true}) {
    const std::string plain = Walk(t.Path(), 0, nothing, namesOnly);
    platform::IgnoreListedEntryTypes(true);
    platform::CountEveryStatAsSlow(true);
    search_file_internal::CountEveryReadAsSlow(true);
    for (const unsigned threads : {0u, 64u})
      EXPECT_EQ(Walk(t.Path(), threads, nothing, namesOnly), plain)
          << threads << " threads, names only " << namesOnly;
    search_file_internal::CountEveryReadAsSlow(false);
    platform::CountEveryStatAsSlow(false);
    platform::IgnoreListedEntryTypes(false);
  }
}
#endif

}  // namespace
}  // namespace vistrune
