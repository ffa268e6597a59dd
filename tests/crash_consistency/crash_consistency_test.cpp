// Vistrune.ini when the program dies in the middle of a write. A child
// process runs a fixed sequence of whole rewrites and keyed writes and is
// killed with SIGKILL at a random moment, hundreds of times over the same
// file. After each kill the file must hold the whole content of the last
// write that finished or of the one that was running (or, when none had
// finished, what the previous trial left), never a mix, nothing or a part;
// the program's next start must read it; and the temporary files a kill
// leaves behind must be gone after the next write.
//
// SIGKILL stops the process, not the machine: what the kernel was given
// stays given. This tests the order of the steps of a replacement, not what
// a power cut does to the disk.
//
// The kill moments are random: the seed is printed, and VISTRUNE_TEST_SEED
// set to it repeats a run. The trials run for a fixed time, so a slow
// machine runs fewer of them; too few is reported, not failed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <new>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "config/config.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSteps = 120;
constexpr int kMaxTrials = 500;
constexpr int kEnoughTrials = 50;
constexpr auto kTimeBudget = std::chrono::seconds(20);
constexpr int kWriteFailed = 3;  // the child's exit status when a write throws

// Step i of the sequence. Every step leaves a content no other step leaves:
// rewrites carry the step number in their entries, keyed writes in their
// values. Rewrites change the file's size a lot (1 to 121 fixed folders);
// keyed writes replace a value in place, add a section at the end, or add a
// key inside a section that another one follows.
void WriteStep(const ConfigFile& ini, int step) {
  const std::string number = std::to_string(step);
  switch (step % 4) {
    case 0: {
      std::vector<std::string> paths;
      std::vector<std::string> names;
      const int folders = 1 + (step / 4) % 7 * 20;
      for (int i = 0; i < folders; ++i) {
        paths.push_back("D:\\動画\\" + number + "\\" + std::to_string(i) +
                        std::string(i % 40, 'p'));
        names.push_back("表ゾー" + number + "-" + std::to_string(i));
      }
      ini.Rewrite(step % 8 == 0 ? "ListBox" : "ComboBox", paths, names);
      break;
    }
    case 1:
      ini.WriteInteger("Form", "Pos.Left", step);
      break;
    case 2:
      ini.WriteInteger("Form", "Pos.Top", -step);
      break;
    default:
      ini.WriteString("Name2", "ゾーン" + number, "E:\\表\\" + number);
      break;
  }
}

// The temporary files of interrupted replacements in folder; fails the test
// on anything else besides Vistrune.ini.
std::set<std::string> Leftovers(const std::string& folder) {
  std::set<std::string> leftovers;
  for (const std::string& name : testing::FolderEntries(folder)) {
    if (name == "Vistrune.ini") continue;
    EXPECT_TRUE(name.size() == 23 && name.starts_with("Vistrune.ini.tmp-")) << name;
    leftovers.insert(name);
  }
  return leftovers;
}

// What one content of the file gives the program's next start.
struct StartReading {
  int posLeft;
  int count;
  int lines;
  bool operator==(const StartReading&) const = default;
};

StartReading ReadAsAtStart(const ConfigFile& ini) {
  return {ini.ReadInteger("Form", "Pos.Left", -1),
          ini.ReadInteger("FixedFolder Setting", "count", -1), ini.LoadLines().Count()};
}

// The seed of the random kill moments: VISTRUNE_TEST_SEED when set, else a
// fresh one.
unsigned RandomSeed() {
  if (const char* text = std::getenv("VISTRUNE_TEST_SEED")) return std::stoul(text);
  return std::random_device{}();
}

// A counter in memory shared with the child: the steps it has finished.
class SharedCounter {
 public:
  SharedCounter()
      : memory_(mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0)) {
    if (memory_ == MAP_FAILED) throw std::runtime_error("mmap failed");
    counter_ = new (memory_) std::atomic<int>(0);
  }
  ~SharedCounter() { munmap(memory_, sizeof(std::atomic<int>)); }
  SharedCounter(const SharedCounter&) = delete;
  SharedCounter& operator=(const SharedCounter&) = delete;
  std::atomic<int>& operator*() { return *counter_; }

 private:
  void* memory_;
  std::atomic<int>* counter_;
};

TEST(CrashConsistency, KilledWritesLeaveOneWholeContentAndNoLastingLeftovers) {
  static_assert(std::atomic<int>::is_always_lock_free);
  const std::string initial = "[Form]\r\nPos.Left=7\r\nPos.Top=8\r\n";

  // Every content the sequence leaves, and what a start reads from each,
  // from running it once here.
  std::vector<std::string> contents;
  std::vector<StartReading> readings;
  Clock::duration writingTime{};
  {
    testing::TempDir scratch;
    const ConfigFile ini(scratch.WriteFile("Vistrune.ini", initial));
    for (int step = 0; step < kSteps; ++step) {
      const Clock::time_point start = Clock::now();
      WriteStep(ini, step);
      writingTime += Clock::now() - start;
      contents.push_back(testing::ReadFileBytes(ini.Path()));
      readings.push_back(ReadAsAtStart(ini));
    }
  }
  ASSERT_EQ(std::set<std::string>(contents.begin(), contents.end()).size(), contents.size());
  ASSERT_EQ(std::count(contents.begin(), contents.end(), initial), 0);

  testing::TempDir dir;
  const ConfigFile ini(dir.WriteFile("Vistrune.ini", initial));
  std::string previous = initial;
  StartReading previousReading = ReadAsAtStart(ini);
  std::set<std::string> previousLeftovers;

  // Most kills land within the first ten steps, some before the first one
  // has finished.
  const auto stepMicros =
      std::chrono::duration_cast<std::chrono::microseconds>(writingTime / kSteps);
  const unsigned seed = RandomSeed();
  std::cout << "crash consistency: VISTRUNE_TEST_SEED=" << seed << std::endl;
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> early(0, 300);
  std::uniform_int_distribution<long> anywhere(0, 10 * stepMicros.count() + 1);
  SCOPED_TRACE("random seed " + std::to_string(seed));

  SharedCounter finished;
  int trials = 0;
  int killedBeforeTheEnd = 0;
  int trialsWithLeftovers = 0;
  const Clock::time_point deadline = Clock::now() + kTimeBudget;
  while (trials < kMaxTrials && Clock::now() < deadline) {
    ++trials;
    (*finished).store(0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        for (int step = 0; step < kSteps; ++step) {
          WriteStep(ini, step);
          (*finished).store(step + 1);
        }
      } catch (...) {
        _exit(kWriteFailed);
      }
      _exit(0);
    }
    const long delay = trials % 8 == 0 ? early(random) : anywhere(random);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << "trial " << trials << ": the child failed, status " << status;

    const int done = (*finished).load();
    const std::string content = testing::ReadFileBytes(ini.Path());
    std::vector<std::pair<std::string, StartReading>> allowed;
    if (done == 0) {
      allowed.emplace_back(previous, previousReading);
    } else {
      allowed.emplace_back(contents[done - 1], readings[done - 1]);
    }
    if (done < kSteps) {
      allowed.emplace_back(contents[done], readings[done]);
      ++killedBeforeTheEnd;
    }
    const auto match = std::find_if(allowed.begin(), allowed.end(),
                                    [&content](const auto& a) { return a.first == content; });
    ASSERT_TRUE(match != allowed.end())
        << "trial " << trials << ", " << done << " steps finished: the file holds "
        << content.size() << " bytes that no write left";

    const std::set<std::string> leftovers = Leftovers(dir.Path());
    if (!leftovers.empty()) ++trialsWithLeftovers;
    if (done > 0) {
      for (const std::string& old : previousLeftovers)
        EXPECT_EQ(leftovers.count(old), 0u) << "trial " << trials << ": " << old << " survived";
    }
    EXPECT_EQ(ReadAsAtStart(ini), match->second) << "trial " << trials;

    previous = content;
    previousReading = match->second;
    previousLeftovers = leftovers;
  }

  ini.WriteInteger("Form", "Pos.Left", 1);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());

  std::cout << "crash consistency: " << trials << " trials, " << killedBeforeTheEnd
            << " killed before the end of the sequence, " << trialsWithLeftovers
            << " left a temporary file\n";
  if (trials < kEnoughTrials)
    std::cout << "warning: only " << trials << " trials in " << kTimeBudget.count()
              << " s; this machine is too slow for the test to say much\n";
  // Without a kill inside a replacement the cleanup was not tried here
  // (the rewrite tests try it on a planted leftover).
  if (trialsWithLeftovers == 0) std::cout << "warning: no kill landed inside a replacement\n";
}

}  // namespace
}  // namespace vistrune
