// The folder walker: order, names, flags, failures, links and extreme trees.
// Enumeration order within a folder is the file system's, so order is
// checked only where the walk defines it (breadth first). Paths here are
// written with "/" and take the platform's separator before use.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#endif

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "folder_walker/SearchFile.h"
#include "platform/paths.h"
#include "support/child_output.h"
#include "support/platform_setup.h"
#include "support/temp_dir.h"

namespace vistrune {
namespace {

using testing::CurrentDir;
using testing::kRootFolder;
using testing::PlatformPath;
using testing::TempDir;
#ifdef _WIN32
using testing::kNoSymbolicLinks;
#else
namespace fs = std::filesystem;
#endif

constexpr char kSeparator = platform::kPathDelimiter;

struct Report {
  std::string name;
  TSearchFileData data;
};

// A walker that records every report.
// More reports than any tree here gives: a walk that gets that far is lost
// in a cycle and is stopped, so that the test fails instead of growing until
// the machine runs out of memory.
constexpr size_t kMaxReports = 100000;

struct Recorder {
  TSearchDir walker;
  std::vector<Report> reports;

  explicit Recorder(const std::string& base) {
    walker.BaseDir = base;
    walker.OnFind = [this](TSearchDir*, const std::string& Name, const TSearchFileData& Data, bool&,
                           bool& Continue) {
      reports.push_back({Name, Data});
      Continue = reports.size() < kMaxReports;
    };
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Report& r : reports) names.push_back(r.name);
    return names;
  }
  std::set<std::string> NameSet() const {
    std::vector<std::string> names = Names();
    return {names.begin(), names.end()};
  }
};

std::set<std::string> Prefixed(const std::string& root, std::initializer_list<const char*> rel) {
  std::set<std::string> out;
  for (const char* r : rel) out.insert(*r ? root + kSeparator + PlatformPath(r) : root);
  return out;
}

#ifdef _WIN32
// The system's table of open handles, as NtQuerySystemInformation gives it
// for SystemExtendedHandleInformation (SYSTEM_HANDLE_INFORMATION_EX).
struct SystemHandle {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG attributes;
  ULONG reserved;
};
struct SystemHandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  SystemHandle handles[1];
};
#endif

// How many files, folders and other objects the process holds open.
// Windows: the process's entries in the system's table of handles
// (GetProcessHandleCount would be simpler, but Wine answers it with 0).
int OpenHandleCount() {
#ifdef _WIN32
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  constexpr ULONG kSystemExtendedHandleInformation = 64;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  EXPECT_NE(query, nullptr);
  if (!query) return -1;
  std::vector<ULONG_PTR> buffer(4096);  // aligned for the table's pointers
  LONG status;
  while ((status = query(kSystemExtendedHandleInformation, buffer.data(),
                         static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), nullptr)) ==
         kInfoLengthMismatch)
    buffer.resize(buffer.size() * 2);
  EXPECT_EQ(status, 0);
  if (status != 0) return -1;
  const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
  int n = 0;
  for (ULONG_PTR i = 0; i < table->count; ++i)
    n += table->handles[i].processId == GetCurrentProcessId();
  return n;
#else
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
#endif
}

#ifndef _WIN32
void Symlink(const std::string& target, const std::string& link) {
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}
#endif

// The last component of path.
std::string LastName(const std::string& path) {
  return path.substr(path.rfind(kSeparator) + 1);
}

// --- Basic shapes ----------------------------------------------------------

TEST(Walker, SingleFolderGivesOneReport) {
  TempDir t;
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].name, t.Path());
  const TSearchFileData& d = rec.reports[0].data;
  EXPECT_EQ(d.LongName, LastName(t.Path()));
  EXPECT_TRUE(d.IsDirectory);
  EXPECT_FALSE(d.IsArchive);
  EXPECT_FALSE(d.IsSystem);
  EXPECT_FALSE(d.Reserved);
  EXPECT_FALSE(rec.walker.Busy());
}

TEST(Walker, BreadthFirstLevelsAndParentOrder) {
  TempDir t;
  const std::string s = t.MakeDir("S");
  for (const char* d : {"a/a1", "a/a2/a21", "b/b1", "b/b2", "c", "d/d1/d11/d111"})
    t.MakeDir("S/" + std::string(d));
  Recorder rec(s);
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), Prefixed(s, {"", "a", "b", "c", "d", "a/a1", "a/a2", "b/b1", "b/b2",
                                        "d/d1", "a/a2/a21", "d/d1/d11", "d/d1/d11/d111"}));
  EXPECT_EQ(rec.reports.size(), 13u);  // each exactly once
  ASSERT_EQ(rec.reports[0].name, s);

  // Depth never decreases; siblings' children follow their parents' order.
  std::map<std::string, size_t> position;
  for (size_t i = 0; i < rec.reports.size(); ++i) position[rec.reports[i].name] = i;
  size_t lastDepth = 0, lastParentPos = 0;
  for (size_t i = 1; i < rec.reports.size(); ++i) {
    const std::string& name = rec.reports[i].name;
    std::string rel = name.substr(s.size() + 1);
    size_t depth = std::count(rel.begin(), rel.end(), kSeparator) + 1;
    EXPECT_GE(depth, lastDepth) << name;
    std::string parent = name.substr(0, name.rfind(kSeparator));
    ASSERT_TRUE(position.count(parent)) << name;
    size_t parentPos = position[parent];
    EXPECT_LT(parentPos, i);
    if (depth == lastDepth) {
      EXPECT_GE(parentPos, lastParentPos) << name;
    }
    lastDepth = depth;
    lastParentPos = parentPos;
    EXPECT_EQ(rec.reports[i].data.LongName, LastName(name));
    EXPECT_TRUE(rec.reports[i].data.IsDirectory);
  }
}

TEST(Walker, TwoFoldersWithAChildEach) {
  TempDir t;
  const std::string s = t.MakeDir("S");
  t.MakeDir("S/a/a1");
  t.MakeDir("S/b/b1");
  Recorder rec(s);
  EXPECT_TRUE(rec.walker.Search());
  std::vector<std::string> names = rec.Names();
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[0], s);
  // a and b in the platform's order, then their children in the same order.
  std::set<std::string> level1(names.begin() + 1, names.begin() + 3);
  EXPECT_EQ(level1, Prefixed(s, {"a", "b"}));
  bool aFirst = names[1] == s + PlatformPath("/a");
  EXPECT_EQ(names[3], s + PlatformPath(aFirst ? "/a/a1" : "/b/b1"));
  EXPECT_EQ(names[4], s + PlatformPath(aFirst ? "/b/b1" : "/a/a1"));
}

TEST(Walker, BaseDirEndingInSeparator) {
  TempDir t;
  t.MakeDir("a/a1");
  Recorder rec(t.Slash());
  EXPECT_TRUE(rec.walker.Search());
  std::vector<std::string> names = rec.Names();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], t.Slash());
  EXPECT_EQ(names[1], t.Path() + PlatformPath("/a"));
  EXPECT_EQ(names[2], t.Path() + PlatformPath("/a/a1"));
  // As on Windows: no entry for a path ending in a separator, so empty Data.
  const TSearchFileData& d = rec.reports[0].data;
  EXPECT_EQ(d.LongName, "");
  EXPECT_EQ(d.ShortName, "");
  EXPECT_EQ(d.Size, 0);
  EXPECT_FALSE(d.IsDirectory || d.CreationTimeValid || d.LastWriteTimeValid ||
               d.LastAccessTimeValid || d.IsReadOnly || d.IsHidden || d.IsArchive);
}

TEST(Walker, RootAsBaseDirHasOneSeparatorPerJoin) {
  // Only the start and the first level: stop on the third report.
  const std::string root = kRootFolder;
  TSearchDir walker;
  walker.BaseDir = root;
  std::vector<std::string> names;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData&, bool&,
                      bool& Continue) {
    names.push_back(Name);
    if (names.size() == 3) Continue = false;
  };
  EXPECT_FALSE(walker.Search());
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], root);
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_EQ(names[i].substr(0, root.size()), root);
    EXPECT_NE(names[i][root.size()], kSeparator);
    // Whole characters: on Windows a name may end in 表, whose second byte
    // is that of the separator.
    EXPECT_EQ(platform::LastDelimiter(names[i], std::string(1, kSeparator)), root.size() - 1)
        << names[i];
  }
}

TEST(Walker, RelativeBaseDirIsExpanded) {
  TempDir t;
  t.MakeDir("S/a");
  t.MakeDir("other");
  CurrentDir cd(t.Path() + PlatformPath("/other"));
  const std::string s = t.Path() + PlatformPath("/S");
  for (const char* base : {"../S", "./../S/.", "../other/../S"}) {
    Recorder rec(PlatformPath(base));
    EXPECT_TRUE(rec.walker.Search()) << base;
    EXPECT_EQ(rec.Names(), (std::vector<std::string>{s, s + PlatformPath("/a")})) << base;
  }
  Recorder slash(PlatformPath("../S/"));
  EXPECT_TRUE(slash.walker.Search());
  EXPECT_EQ(slash.Names(), (std::vector<std::string>{s + kSeparator, s + PlatformPath("/a")}));
}

TEST(Walker, BaseDirNamingAFile) {
  TempDir t;
  std::string file = t.WriteFile("clip.avi", "12345");
  Recorder rec(file);
  EXPECT_TRUE(rec.walker.Search());
  ASSERT_EQ(rec.reports.size(), 1u);
  EXPECT_EQ(rec.reports[0].name, file);
  EXPECT_FALSE(rec.reports[0].data.IsDirectory);
  EXPECT_TRUE(rec.reports[0].data.IsArchive);
  EXPECT_EQ(rec.reports[0].data.LongName, "clip.avi");
  EXPECT_EQ(rec.reports[0].data.Size, 5);
}

TEST(Walker, EmptyMissingOrTooLongBaseDirReportsNothing) {
  TempDir t;
  std::string tooLong = t.Slash() + std::string(5000, 'x');
  for (const std::string& base :
       {std::string(), t.Path() + PlatformPath("/missing"), t.Path() + PlatformPath("/missing/"),
        tooLong, std::string("\0abc", 4)}) {
    Recorder rec(base);
    int calls = 0;
    rec.walker.OnFind = [&](TSearchDir*, const std::string&, const TSearchFileData&, bool&, bool&) {
      ++calls;
    };
    EXPECT_FALSE(rec.walker.Search()) << base.size();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(rec.walker.Busy());
  }
}

TEST(Walker, NoHandlerReturnsFalse) {
  TempDir t;
  TSearchDir walker;
  walker.BaseDir = t.Path();
  EXPECT_FALSE(walker.Search());
  EXPECT_FALSE(walker.Busy());
}

// --- Flags -----------------------------------------------------------------

TEST(Walker, IgnoreSubDirOnStart) {
  TempDir t;
  t.MakeDir("a/a1");
  TSearchDir walker;
  walker.BaseDir = t.Path();
  std::vector<std::string> names;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData&,
                      bool& IgnoreSubDir, bool& Continue) {
    EXPECT_FALSE(IgnoreSubDir);
    EXPECT_TRUE(Continue);
    names.push_back(Name);
    IgnoreSubDir = true;
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(names, std::vector<std::string>{t.Path()});
}

TEST(Walker, IgnoreSubDirOnOneFolder) {
  TempDir t;
  for (const char* d : {"a/a1/a11", "b/b1", "c"}) t.MakeDir(d);
  TSearchDir walker;
  walker.BaseDir = t.Path();
  std::set<std::string> names;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData&,
                      bool& IgnoreSubDir, bool& Continue) {
    EXPECT_FALSE(IgnoreSubDir);
    EXPECT_TRUE(Continue);
    names.insert(Name);
    if (Name == t.Path() + PlatformPath("/a")) IgnoreSubDir = true;
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(names, Prefixed(t.Path(), {"", "a", "b", "c", "b/b1"}));
}

TEST(Walker, ContinueFalseOnNthReport) {
  TempDir t;
  for (const char* d : {"a/a1", "a/a2", "b/b1/b11", "c"}) t.MakeDir(d);
  const size_t total = 8;
  for (size_t n = 1; n <= total; ++n) {
    for (bool alsoIgnore : {false, true}) {
      TSearchDir walker;
      walker.BaseDir = t.Path();
      size_t calls = 0;
      walker.OnFind = [&](TSearchDir*, const std::string&, const TSearchFileData&,
                          bool& IgnoreSubDir, bool& Continue) {
        if (++calls == n) {
          Continue = false;
          IgnoreSubDir = alsoIgnore;
        }
      };
      int handles = OpenHandleCount();
      EXPECT_FALSE(walker.Search()) << n;
      EXPECT_EQ(calls, n);
      EXPECT_FALSE(walker.Busy());
      EXPECT_EQ(OpenHandleCount(), handles) << "an enumeration was left open";
    }
  }
  Recorder all(t.Path());
  EXPECT_TRUE(all.walker.Search());
  EXPECT_EQ(all.reports.size(), total);
}

TEST(Walker, StoppedWalkThenFullWalk) {
  TempDir t;
  for (const char* d : {"a/a1", "b/b1", "c/c1"}) t.MakeDir(d);
  TSearchDir walker;
  walker.BaseDir = t.Path();
  std::vector<std::string> names;
  bool stop = true;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData&, bool&,
                      bool& Continue) {
    names.push_back(Name);
    if (stop && names.size() == 3) Continue = false;  // Queue then holds start's children
  };
  EXPECT_FALSE(walker.Search());
  stop = false;
  names.clear();
  EXPECT_TRUE(walker.Search());
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[0], t.Path());
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
            Prefixed(t.Path(), {"", "a", "b", "c", "a/a1", "b/b1", "c/c1"}));
}

// --- What is reported ------------------------------------------------------

TEST(Walker, FilesAndDotEntriesAreNeverReported) {
  TempDir t;
  t.MakeDir("d");
  for (const char* f : {"clip.avi", "noext", ".hiddenfile", "d/file.d", "looks.like.dir"})
    t.WriteFile(f, "x");
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), Prefixed(t.Path(), {"", "d"}));
  EXPECT_EQ(rec.reports.size(), 2u);
}

TEST(Walker, LinksToFilesAndFifosAreNeverReported) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks << ", and Windows has no FIFOs in the file system";
#else
  TempDir t;
  t.WriteFile("clip.avi", "x");
  Symlink(t.Path() + "/clip.avi", t.Path() + "/linkToFile");
  Symlink(t.Path() + "/nothing-here", t.Path() + "/dangling");
  ASSERT_EQ(mkfifo((t.Path() + "/fifo").c_str(), 0644), 0);
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.Names(), std::vector<std::string>{t.Path()});
#endif
}

TEST(Walker, HiddenFoldersAreReportedAndEntered) {
  TempDir t;
  t.MakeDir(".hidden/inside");
  t.MakeDir("visible");
#ifdef _WIN32
  // POSIX hides by the leading dot, Windows by the attribute.
  ASSERT_TRUE(SetFileAttributesA((t.Slash() + ".hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), Prefixed(t.Path(), {"", ".hidden", "visible", ".hidden/inside"}));
  for (const Report& r : rec.reports) {
    EXPECT_EQ(r.data.IsHidden, r.data.LongName == ".hidden") << r.name;
    EXPECT_FALSE(r.data.IsSystem);
  }
}

TEST(Walker, ReadOnlyFolderHasReadOnlyFlag) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no permission bits, and the read-only attribute of a folder is "
                  "only a hint for Explorer, which Wine does not keep (walker_win32_test checks "
                  "a read-only file)";
#else
  TempDir t;
  std::string ro = t.MakeDir("ro");
  t.MakeDir("ro/child");
  ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  ASSERT_EQ(rec.reports.size(), 3u);
  for (const Report& r : rec.reports) EXPECT_EQ(r.data.IsReadOnly, r.data.LongName == "ro");
#endif
}

TEST(Walker, ShortNameEqualsLongName) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows gives a long name an 8.3 short name of its own (walker_win32_test "
                  "checks it)";
#else
  TempDir t;
  t.MakeDir("A very long folder name beyond eight.three");
  t.MakeDir("short");
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  ASSERT_EQ(rec.reports.size(), 3u);  // the start folder's among them
  for (const Report& r : rec.reports) EXPECT_EQ(r.data.ShortName, r.data.LongName);
#endif
}

TEST(Walker, UnreadableFolderIsReportedButYieldsNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "It takes fork, a change of user and permission bits, none of which Windows "
                  "has";
#else
  TempDir t;
  ASSERT_EQ(chmod(t.Path().c_str(), 0755), 0);  // let nobody in
  for (const char* d : {"locked/inner", "open/o1", "z/z1"}) t.MakeDir(d);
  ASSERT_EQ(chmod((t.Path() + "/locked").c_str(), 0), 0);
  std::string out = testing::OutputOfChildAsNobody([&] {
    Recorder rec(t.Path());
    std::string text = rec.walker.Search() ? "True\n" : "False\n";
    for (const std::string& n : rec.Names()) text += n + "\n";
    return text;
  });
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = out.find('\n', pos)) != std::string::npos; pos = end + 1)
    lines.push_back(out.substr(pos, end - pos));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "True");
  EXPECT_EQ(std::set<std::string>(lines.begin() + 1, lines.end()),
            Prefixed(t.Path(), {"", "locked", "open", "z", "open/o1", "z/z1"}));
  EXPECT_EQ(lines.size(), 7u);
#endif
}

// --- Handlers that do unusual things ----------------------------------------

TEST(Walker, ReentrantSearchReturnsFalseAndWalkGoesOn) {
  TempDir t;
  for (const char* d : {"a/a1", "b"}) t.MakeDir(d);
  TSearchDir walker;
  walker.BaseDir = t.Path();
  std::set<std::string> names;
  int innerFalse = 0;
  walker.OnFind = [&](TSearchDir* Sender, const std::string& Name, const TSearchFileData&, bool&,
                      bool&) {
    EXPECT_EQ(Sender, &walker);
    EXPECT_TRUE(walker.Busy());
    names.insert(Name);
    if (!Sender->Search()) ++innerFalse;
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(innerFalse, 4);
  EXPECT_EQ(names, Prefixed(t.Path(), {"", "a", "b", "a/a1"}));
  EXPECT_FALSE(walker.Busy());
}

// Counts every DoFind, whether or not a handler is assigned.
class CountingWalker : public TSearchDir {
 public:
  int doFinds = 0;

 protected:
  void DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
              bool& Continue) override {
    ++doFinds;
    TSearchDir::DoFind(Name, Data, IgnoreSubDir, Continue);
    EXPECT_TRUE(Continue);
  }
};

TEST(Walker, HandlerUnassigningOnFindLetsTheWalkRunToItsEnd) {
  TempDir t;
  for (const char* d : {"a/a1/a11", "b/b1", "c"}) t.MakeDir(d);
  CountingWalker walker;
  walker.BaseDir = t.Path();
  std::string big(200, 'x');  // a capture too big for std::function's small buffer
  int calls = 0;
  walker.OnFind = [&walker, &calls, big](TSearchDir*, const std::string&, const TSearchFileData&,
                                         bool& IgnoreSubDir, bool&) {
    ++calls;
    walker.OnFind = nullptr;  // destroys this very callable's stored copy
    IgnoreSubDir = false;
    EXPECT_EQ(big.size(), 200u);  // still alive
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(walker.doFinds, 7);  // every folder was entered
}

TEST(Walker, HandlerAssigningAnotherHandler) {
  TempDir t;
  for (const char* d : {"a", "b"}) t.MakeDir(d);
  TSearchDir walker;
  walker.BaseDir = t.Path();
  int first = 0, second = 0;
  walker.OnFind = [&](TSearchDir*, const std::string&, const TSearchFileData&, bool&, bool&) {
    ++first;
    walker.OnFind = [&](TSearchDir*, const std::string&, const TSearchFileData&, bool&, bool&) {
      ++second;
    };
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
}

struct HandlerError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

TEST(Walker, HandlerExceptionReachesCallerAndWalkerRecovers) {
  TempDir t;
  for (const char* d : {"a/a1", "b/b1", "c"}) t.MakeDir(d);
  // The first exception a process throws may leave handles of the system's
  // open for good (under Wine it does): have it thrown before counting.
  try {
    throw HandlerError("first");
  } catch (const HandlerError&) {
  }
  for (int throwAt : {1, 2, 5}) {
    TSearchDir walker;
    walker.BaseDir = t.Path();
    int calls = 0;
    bool armed = true;
    walker.OnFind = [&](TSearchDir*, const std::string&, const TSearchFileData&, bool&, bool&) {
      if (++calls == throwAt && armed) throw HandlerError("boom");
    };
    int handles = OpenHandleCount();
    EXPECT_THROW(walker.Search(), HandlerError);
    EXPECT_EQ(calls, throwAt);
    EXPECT_FALSE(walker.Busy());
    EXPECT_EQ(OpenHandleCount(), handles) << "an enumeration was left open";
    armed = false;
    calls = 0;
    EXPECT_TRUE(walker.Search());
    EXPECT_EQ(calls, 6);
  }
}

// --- Links -----------------------------------------------------------------

TEST(Walker, LinkCyclesAreReportedOnceButNotEntered) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  const std::string s = t.MakeDir("S");
  t.MakeDir("S/a/b");
  Symlink(s, s + "/a/up");              // to the start folder, absolute
  Symlink("..", s + "/a/b/toA");        // to the parent's parent (a), relative
  Symlink(".", s + "/a/b/self");        // to its own parent
  Symlink("../../a", s + "/a/b/toA2");  // to a, by another way
  Symlink(".", s + "/here");            // to the start folder from the start folder
  Recorder rec(s);
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.reports.size(), 8u);
  EXPECT_EQ(rec.NameSet(),
            Prefixed(s, {"", "a", "here", "a/b", "a/up", "a/b/toA", "a/b/self", "a/b/toA2"}));
  for (const Report& r : rec.reports) EXPECT_TRUE(r.data.IsDirectory) << r.name;
#endif
}

TEST(Walker, LinkIntoItsOwnSubtreeIsEnteredOnce) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  // S/x -> S/a/b: b is not on x's path, so x is entered; inside, b's children
  // appear a second time under x; no cycle.
  TempDir t;
  const std::string s = t.MakeDir("S");
  t.MakeDir("S/a/b/c");
  Symlink(s + "/a/b", s + "/x");
  Recorder rec(s);
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), Prefixed(s, {"", "a", "x", "a/b", "x/c", "a/b/c"}));
#endif
}

TEST(Walker, LinkToFolderOutsideTheTreeIsEntered) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  const std::string s = t.MakeDir("S");
  const std::string o = t.MakeDir("O");
  t.MakeDir("O/x/y");
  Symlink(o, s + "/out");
  Symlink(o, o + "/x/back");        // a cycle inside the linked tree
  Symlink(t.Path(), s + "/outer");  // the start folder's parent: reachable again, then stops
  Recorder rec(s);
  EXPECT_TRUE(rec.walker.Search());
  std::set<std::string> names = rec.NameSet();
  for (const char* n : {"out", "out/x", "out/x/y", "out/x/back", "outer", "outer/O", "outer/S",
                        "outer/S/out", "outer/S/outer"})
    EXPECT_TRUE(names.count(s + "/" + n)) << n;
  // outer/S/outer leads back to outer's target: reported, not entered.
  for (const std::string& n : names) {
    EXPECT_EQ(n.find("/outer/S/outer/"), std::string::npos) << n;
    EXPECT_EQ(n.find("/out/x/back/"), std::string::npos) << n;
  }
  EXPECT_EQ(names.size(), rec.reports.size());
#endif
}

TEST(Walker, BaseDirThatIsALinkToAFolder) {
#ifdef _WIN32
  GTEST_SKIP() << kNoSymbolicLinks;
#else
  TempDir t;
  const std::string real = t.MakeDir("real");
  t.MakeDir("real/a");
  Symlink(real, t.Path() + "/link");
  Symlink(t.Path() + "/link", real + "/a/loop");
  Recorder rec(t.Path() + "/link");
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), Prefixed(t.Path() + "/link", {"", "a", "a/loop"}));
  EXPECT_TRUE(rec.reports[0].data.IsDirectory);
  EXPECT_EQ(rec.reports[0].data.LongName, "link");
#endif
}

// --- Extreme input ---------------------------------------------------------

TEST(Walker, NamesThatAreNotValidUtf8) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps names in UTF-16: bytes that are no text in the ANSI code page "
                  "cannot be a name there (walker_win32_test checks double-byte names)";
#else
  TempDir t;
  const std::string bad = "bad\xff\xfe\x80";
  const std::string inner = "in\xc3";  // a lead byte with no follower
  t.MakeDir(bad + "/" + inner);
  t.MakeDir("\xe3\x82\xa2\xe3\x83\x8b\xe3\x83\xa1");  // valid: アニメ
  Recorder rec(t.Path());
  EXPECT_TRUE(rec.walker.Search());
  EXPECT_EQ(rec.NameSet(), (std::set<std::string>{
                               t.Path(), t.Path() + "/" + bad, t.Path() + "/" + bad + "/" + inner,
                               t.Path() + "/\xe3\x82\xa2\xe3\x83\x8b\xe3\x83\xa1"}));
  for (const Report& r : rec.reports) {
    EXPECT_EQ(r.data.LongName, r.name.substr(r.name.rfind('/') + 1));
  }
#endif
}

TEST(Walker, ThousandLevelsDeep) {
#ifdef _WIN32
  GTEST_SKIP() << "A path on Windows is at most MAX_PATH (260) bytes: a thousand levels do not "
                  "fit (walker_win32_test walks up to that limit)";
#else
  TempDir t;
  std::string rel;
  for (int i = 0; i < 1000; ++i) rel += (i ? "/d" : "d");
  t.MakeDir(rel);
  TSearchDir walker;
  walker.BaseDir = t.Path();
  size_t count = 0;
  std::string last;
  walker.OnFind = [&](TSearchDir*, const std::string& Name, const TSearchFileData& Data, bool&,
                      bool&) {
    ++count;
    last = Name;
    EXPECT_TRUE(Data.IsDirectory);
  };
  EXPECT_TRUE(walker.Search());
  EXPECT_EQ(count, 1001u);
  EXPECT_EQ(last, t.Path() + "/" + rel);
#endif
}

#ifndef _WIN32
// Builds a chain of folders with long names below root by relative calls, so
// that the full paths may exceed PATH_MAX; returns the names.
std::vector<std::string> MakeLongChain(const std::string& root, int levels, size_t nameLength) {
  std::vector<std::string> names;
  int dirFd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < levels && dirFd >= 0; ++i) {
    std::string name = std::to_string(i) + std::string(nameLength - 3, 'n');
    name.resize(nameLength, 'n');
    if (mkdirat(dirFd, name.c_str(), 0755) != 0) break;
    int next = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(dirFd);
    dirFd = next;
    names.push_back(name);
  }
  if (dirFd >= 0) close(dirFd);
  return names;
}

#endif

TEST(Walker, PathsBeyondPathMaxAreReportedButNotEnumerated) {
#ifdef _WIN32
  GTEST_SKIP() << "PATH_MAX is POSIX's limit; walker_win32_test checks Windows' MAX_PATH";
#else
  TempDir t;
  const std::string root = t.MakeDir("long");
  std::vector<std::string> chain = MakeLongChain(root, 30, 200);
  ASSERT_EQ(chain.size(), 30u);
  std::string full = root;
  for (const std::string& n : chain) full += "/" + n;
  ASSERT_GT(full.size(), static_cast<size_t>(PATH_MAX));

  Recorder rec(root);
  EXPECT_TRUE(rec.walker.Search());
  ASSERT_GE(rec.reports.size(), 2u);
  // Every folder whose path (with its separator) fits was enumerated; the
  // deepest report is the first that does not fit.
  for (size_t i = 0; i + 1 < rec.reports.size(); ++i)
    EXPECT_LT(rec.reports[i].name.size() + 1, static_cast<size_t>(PATH_MAX));
  EXPECT_GE(rec.reports.back().name.size() + 1, static_cast<size_t>(PATH_MAX));
  EXPECT_EQ(rec.reports.back().data.LongName.size(), 200u);
  EXPECT_TRUE(rec.reports.back().data.IsDirectory);

  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  testing::RemoveBelow(fd);
  close(fd);
#endif
}

TEST(Walker, WindowsDirectoryIsEmptyOnPosix) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has a Windows directory (walker_win32_test walks past it)";
#else
  EXPECT_EQ(WindowsDirectory(), "");
#endif
}

}  // namespace
}  // namespace vistrune
