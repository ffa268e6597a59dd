// A network share imitated for the share benchmark: a FUSE file system that
// passes a folder tree through (files read and written, folders listed),
// and makes every request wait a given time first, as a round trip to a NAS
// does. The kernel caches nothing of it (entries and attributes time out at
// once, no directory cache, no readdirplus), so every look-up, stat and
// listing reaches it. Directory operations run in parallel (the kernel is
// asked to send them so, and enough threads serve them). It counts the
// requests it serves, by kind, in a file of counters that the benchmark
// reads.
//
//   bench_delay_fs ROOT MOUNTPOINT DELAY_US DTYPE COUNTERS
//       DTYPE 1: listings give each entry's type; 0: they give none
//       COUNTERS: a file of kCounters 64-bit counters, shared
//
// Runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT) or
// sent SIGTERM / SIGINT.
#define FUSE_USE_VERSION 312
#include <dirent.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/share_fs/delay_fs_counters.h"

namespace {

std::string root;
long delayNanoseconds = 0;
bool giveTypes = true;
uint64_t* counters = nullptr;

// One request: counted, then held up for the round trip.
void Request(int kind) {
  __atomic_fetch_add(&counters[kind], 1, __ATOMIC_RELAXED);
  struct timespec wait = {delayNanoseconds / 1000000000, delayNanoseconds % 1000000000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

std::string Under(const char* path) {
  return root + path;
}

void* Init(struct fuse_conn_info* conn, struct fuse_config* config) {
  // Without this the kernel looks up the entries of one folder one at a
  // time (libfuse 3.14 does not ask for it by itself).
  if (conn->capable & FUSE_CAP_PARALLEL_DIROPS) conn->want |= FUSE_CAP_PARALLEL_DIROPS;
  conn->want &= ~static_cast<unsigned>(FUSE_CAP_READDIRPLUS);
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  config->use_ino = 1;
  return nullptr;
}

int GetAttr(const char* path, struct stat* st, struct fuse_file_info*) {
  Request(kGetAttr);
  return lstat(Under(path).c_str(), st) == 0 ? 0 : -errno;
}

int ReadLink(const char* path, char* buffer, size_t size) {
  Request(kReadLink);
  const ssize_t n = readlink(Under(path).c_str(), buffer, size - 1);
  if (n < 0) return -errno;
  buffer[n] = '\0';
  return 0;
}

// A folder's listing, read whole when it is opened and handed out in parts.
struct Listing {
  struct Entry {
    std::string name;
    ino_t inode;
    unsigned char type;
  };
  std::vector<Entry> entries;
};

int OpenDir(const char* path, struct fuse_file_info* file) {
  Request(kOpenDir);
  DIR* dir = opendir(Under(path).c_str());
  if (!dir) return -errno;
  auto* listing = new Listing;
  while (const struct dirent* entry = readdir(dir))
    listing->entries.push_back({entry->d_name, entry->d_ino, entry->d_type});
  closedir(dir);
  file->fh = reinterpret_cast<uint64_t>(listing);
  return 0;
}

int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset,
            struct fuse_file_info* file, enum fuse_readdir_flags) {
  Request(kReadDir);
  const auto* listing = reinterpret_cast<const Listing*>(file->fh);
  for (size_t i = static_cast<size_t>(offset); i < listing->entries.size(); ++i) {
    const Listing::Entry& entry = listing->entries[i];
    struct stat st = {};
    st.st_ino = entry.inode;
    st.st_mode = giveTypes ? static_cast<mode_t>(DTTOIF(entry.type)) : 0;
    if (fill(buffer, entry.name.c_str(), &st, static_cast<off_t>(i + 1),
             static_cast<fuse_fill_dir_flags>(0)) != 0)
      break;  // the kernel's buffer is full: it asks again from here
  }
  return 0;
}

int ReleaseDir(const char*, struct fuse_file_info* file) {
  Request(kReleaseDir);
  delete reinterpret_cast<Listing*>(file->fh);
  return 0;
}

int Access(const char* path, int mode) {
  Request(kOther);
  return access(Under(path).c_str(), mode) == 0 ? 0 : -errno;
}

// Files pass through: the program reads its settings file and replaces
// it (a new file, written, flushed and renamed over the old one).
int Open(const char* path, struct fuse_file_info* file) {
  Request(kOther);
  const int fd = open(Under(path).c_str(), file->flags | O_CLOEXEC);
  if (fd < 0) return -errno;
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Create(const char* path, mode_t mode, struct fuse_file_info* file) {
  Request(kOther);
  const int fd = open(Under(path).c_str(), file->flags | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return -errno;
  file->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, struct fuse_file_info* file) {
  Request(kOther);
  const ssize_t n = pread(static_cast<int>(file->fh), buffer, size, offset);
  return n < 0 ? -errno : static_cast<int>(n);
}

int Write(const char*, const char* buffer, size_t size, off_t offset, struct fuse_file_info* file) {
  Request(kOther);
  const ssize_t n = pwrite(static_cast<int>(file->fh), buffer, size, offset);
  return n < 0 ? -errno : static_cast<int>(n);
}

int Sync(const char*, int, struct fuse_file_info* file) {
  Request(kOther);
  return fsync(static_cast<int>(file->fh)) == 0 ? 0 : -errno;
}

int Release(const char*, struct fuse_file_info* file) {
  Request(kOther);
  close(static_cast<int>(file->fh));
  return 0;
}

int Rename(const char* from, const char* to, unsigned int flags) {
  Request(kOther);
  if (flags != 0) return -EINVAL;
  return rename(Under(from).c_str(), Under(to).c_str()) == 0 ? 0 : -errno;
}

int Unlink(const char* path) {
  Request(kOther);
  return unlink(Under(path).c_str()) == 0 ? 0 : -errno;
}

int Chmod(const char* path, mode_t mode, struct fuse_file_info*) {
  Request(kOther);
  return chmod(Under(path).c_str(), mode) == 0 ? 0 : -errno;
}

int Chown(const char* path, uid_t uid, gid_t gid, struct fuse_file_info*) {
  Request(kOther);
  return lchown(Under(path).c_str(), uid, gid) == 0 ? 0 : -errno;
}

int Truncate(const char* path, off_t size, struct fuse_file_info*) {
  Request(kOther);
  return truncate(Under(path).c_str(), size) == 0 ? 0 : -errno;
}

int StatFs(const char*, struct statvfs* st) {
  Request(kOther);
  return statvfs(root.c_str(), st) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s ROOT MOUNTPOINT DELAY_US DTYPE COUNTERS\n", argv[0]);
    return 2;
  }
  root = argv[1];
  delayNanoseconds = std::atol(argv[3]) * 1000;
  giveTypes = std::atoi(argv[4]) != 0;
  const int fd = open(argv[5], O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[5]);
    return 1;
  }
  void* shared =
      mmap(nullptr, kCounters * sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (shared == MAP_FAILED) {
    std::perror("mmap");
    return 1;
  }
  counters = static_cast<uint64_t*>(shared);

  struct fuse_operations operations = {};
  operations.init = Init;
  operations.getattr = GetAttr;
  operations.readlink = ReadLink;
  operations.opendir = OpenDir;
  operations.readdir = ReadDir;
  operations.releasedir = ReleaseDir;
  operations.access = Access;
  operations.open = Open;
  operations.create = Create;
  operations.read = Read;
  operations.write = Write;
  operations.fsync = Sync;
  operations.release = Release;
  operations.rename = Rename;
  operations.unlink = Unlink;
  operations.chmod = Chmod;
  operations.chown = Chown;
  operations.truncate = Truncate;
  operations.statfs = StatFs;

  char program[] = "bench_delay_fs";
  char option[] = "-o";
  char options[] = "fsname=vistrune-delay,subtype=delay";
  char* fuseArgv[] = {program, option, options, nullptr};
  struct fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
  struct fuse* fuse = fuse_new(&args, &operations, sizeof operations, nullptr);
  if (!fuse) return 1;
  if (fuse_mount(fuse, argv[2]) != 0) {
    fuse_destroy(fuse);
    return 1;
  }
  struct fuse_session* session = fuse_get_session(fuse);
  fuse_set_signal_handlers(session);
  // libfuse's ten threads by default are too few for 64 requests at once.
  struct fuse_loop_config* loop = fuse_loop_cfg_create();
  fuse_loop_cfg_set_max_threads(loop, 256);
  fuse_loop_cfg_set_idle_threads(loop, 256);
  const int result = fuse_loop_mt(fuse, loop);
  fuse_loop_cfg_destroy(loop);
  fuse_remove_signal_handlers(session);
  fuse_unmount(fuse);
  fuse_destroy(fuse);
  return result == 0 ? 0 : 1;
}
