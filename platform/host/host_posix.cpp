// SPDX-License-Identifier: GPL-3.0-or-later
// Network files on a POSIX host (Linux): open-file-description locks, which
// also conflict with the record locks that other hosts' programs take on the
// same file, and replacement by rename.
#include "host.h"
#include "host_common.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace standin::host {
namespace {

std::string Reason() { return std::strerror(errno); }

std::string DirectoryOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string Octal(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// One byte at offset 0: the range every process sharing the file locks.
bool LockRange(int fd, int command) {
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  return ::fcntl(fd, command, &range) == 0;
}

bool TryLock(int fd) { return LockRange(fd, F_OFD_SETLK); }

// A real-time signal that nothing else in Velmora uses, sent only to a thread
// waiting for a lock, to end its wait.
int WakeSignal() { return SIGRTMAX - 2; }

void IgnoreWake(int) {}

// Waits for the lock on `fd` at most `wait_ms`, blocked in the kernel among
// the lock's waiters, so that the holder's release wakes the waiter at once
// and no newcomer that merely polls can slip in between. The blocked request
// runs in a thread of its own, which the signal interrupts at the deadline.
// Returns 0, EINTR when the wait ran out, or the error of the request.
int WaitForLock(int fd, unsigned wait_ms) {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_handler = IgnoreWake;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the blocked request returns EINTR
    ::sigaction(WakeSignal(), &action, nullptr);
  });
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::atomic<bool> give_up{false};
  int result = 0;
  std::thread waiter;
  try {
    waiter = std::thread([&] {
      sigset_t wake;
      sigemptyset(&wake);
      sigaddset(&wake, WakeSignal());
      ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
      int code = 0;
      do {
        code = LockRange(fd, F_OFD_SETLKW) ? 0 : errno;
      } while (code == EINTR && !give_up);
      const std::lock_guard<std::mutex> hold(mutex);
      result = code;
      done = true;
      finished.notify_one();
    });
  } catch (const std::system_error &) {
    return EAGAIN;  // no thread to wait in
  }
  {
    std::unique_lock<std::mutex> hold(mutex);
    if (!finished.wait_for(hold, std::chrono::milliseconds(wait_ms), [&] { return done; })) {
      give_up = true;
      // Again until it ends: a signal that came just before the request
      // blocked interrupted nothing.
      while (!done) {
        ::pthread_kill(waiter.native_handle(), WakeSignal());
        finished.wait_for(hold, std::chrono::milliseconds(10), [&] { return done; });
      }
    }
  }
  waiter.join();
  return result;
}

bool WriteAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// The state letter of a process (R, S, T for stopped ...), or 0.
char ProcessState(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t name_end = text.rfind(')');
  return name_end != std::string::npos && name_end + 2 < text.size() ? text[name_end + 2] : 0;
}

// Why a call gave up waiting: the holder named, when it can be told, as
// "velmora, process ID 1234", and a holder that is stopped said to be.
std::string HeldMessage(int fd, const std::string &real_path) {
  long pid = 0;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_len = 1;
  // A process-associated lock, as Wine's server takes for a Windows program,
  // names its process; an open-file-description lock does not, and its
  // holder wrote its ID into the file.
  if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK && probe.l_pid > 0) {
    pid = probe.l_pid;
  } else {
    char text[32] = {};
    char *end = nullptr;
    if (::pread(fd, text, sizeof text - 1, 0) > 0) pid = std::strtol(text, &end, 10);
    if (end == text || (end != nullptr && *end != '\n' && *end != '\0')) pid = 0;
  }
  std::string holder;
  if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
    std::string name;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::getline(comm, name);
    holder = " (" + (name.empty() ? "" : name + ", ") + "process ID " + std::to_string(pid) + ")";
    const char state = ProcessState(pid);
    if (state == 'T' || state == 't')
      return "another process" + holder + " holds the network file " + real_path +
             " and is stopped (suspended, as by Ctrl+Z or a STOP signal): it lets go of the file only when it is "
             "continued (kill -CONT " +
             std::to_string(pid) + ") or ended; nothing was changed";
  }
  return "another process" + holder + " holds the network file " + real_path + "; try again when it has finished";
}

// Opens the lock file for writing without following a link. Only a process
// that may replace the network file gets here; it creates a missing lock file
// with the network file's owner, group and read and write bits, so that
// whoever may write the network file may also lock it.
int OpenLockFile(const std::string &real_path, const std::string &lock_path, std::string *error, bool *may_not_lock) {
  const int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(lock_path.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    struct stat data {};
    const bool data_exists = ::stat(real_path.c_str(), &data) == 0;
    const mode_t mode = data_exists ? ((data.st_mode & 0666) | 0600) : 0600;
    fd = ::open(lock_path.c_str(), flags | O_CREAT | O_EXCL, mode);
    if (fd >= 0) {
      ::fchmod(fd, mode);  // whatever the umask took away
      if (data_exists) (void)!::fchown(fd, ::geteuid() == 0 ? data.st_uid : static_cast<uid_t>(-1), data.st_gid);
    } else if (errno == EEXIST) {
      fd = ::open(lock_path.c_str(), flags);
    }
  }
  if (fd < 0) {
    const int code = errno;
    struct stat lock {};
    if (code == ELOOP) {
      *error = "the lock file " + lock_path + " is a symbolic link; Velmora does not follow it";
    } else if ((code == EACCES || code == EPERM) && ::lstat(lock_path.c_str(), &lock) == 0) {
      *may_not_lock = true;
      *error = "you may not write the lock file " + lock_path + " (it belongs to user ID " +
               std::to_string(lock.st_uid) + ", mode " + Octal(lock.st_mode) +
               "), so Velmora cannot lock the network file to change it; nothing was changed. Its owner or the "
               "administrator may remove it while no one uses the network: Velmora makes it again with the "
               "network file's owner and mode";
    } else if (code == EACCES || code == EPERM || code == EROFS) {
      *may_not_lock = true;
      *error = "you may not create the lock file " + lock_path + " (" + std::strerror(code) + "); nothing was changed";
    } else {
      *error = "cannot open the lock file " + lock_path + ": " + std::strerror(code);
    }
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "the lock file " + lock_path + " is " + KindOf(st.st_mode);
    ::close(fd);
    return -1;
  }
  return fd;
}

class PosixLock : public NetworkFileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}
  ~PosixLock() override { ::close(fd_); }  // closing the description releases its lock

 private:
  int fd_;
};

// Removes the temporary files of earlier replacements whose process died
// before renaming them: a live writer holds a lock on its temporary file.
void RemoveOrphans(const std::string &directory, const std::string &base) {
  DIR *dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  const int dir_fd = ::dirfd(dir);
  while (const dirent *entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryOf(name, base)) continue;
    const int fd = ::openat(dir_fd, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && TryLock(fd))
      ::unlinkat(dir_fd, name.c_str(), 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// A version of a network file: what stat tells of it, and the file itself
// kept open. While it is open its inode cannot be freed, so a replacement
// (always a new file renamed over the old) can never come back with the
// same device and inode. Only a writer that rewrites the file in place keeps
// the inode; that writer changes the size or the times, unless it writes the
// same number of bytes within one tick of the file system's clock. A version
// read while its times were that recent is therefore not trusted: the next
// call reads the file again.
class StatVersion : public FileVersion {
 public:
  StatVersion(int fd, const struct stat &st, bool trusted) : fd_(fd), st_(st), trusted_(trusted) {}
  ~StatVersion() override { ::close(fd_); }
  StatVersion(const StatVersion &) = delete;
  StatVersion &operator=(const StatVersion &) = delete;

  bool Current(const std::string &real_path) const override {
    struct stat now {};
    return trusted_ && ::stat(real_path.c_str(), &now) == 0 && now.st_dev == st_.st_dev && now.st_ino == st_.st_ino &&
           now.st_size == st_.st_size && now.st_mtim.tv_sec == st_.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == st_.st_mtim.tv_nsec && now.st_ctim.tv_sec == st_.st_ctim.tv_sec &&
           now.st_ctim.tv_nsec == st_.st_ctim.tv_nsec;
  }

 private:
  int fd_;
  struct stat st_;
  bool trusted_;
};

// Whether a file whose times these are could still be rewritten in place
// without its times changing: its last change is within one tick of its file
// system's clock. Times with nanoseconds come from a fine clock (Linux's
// file systems take a coarse one of a few milliseconds: a tenth of a second
// covers it); whole seconds from a coarse one (FAT keeps two), where three
// seconds also cover a file server's clock running somewhat apart from ours.
bool RecentlyChanged(const struct stat &st) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const bool fine = st.st_ctim.tv_nsec != 0 || st.st_mtim.tv_nsec != 0;
  const int64_t tick_ns = fine ? 100000000 : 3000000000;
  const auto ns = [](const struct timespec &t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  const int64_t newest = std::max(ns(st.st_ctim), ns(st.st_mtim));
  return newest + tick_ns >= ns(now);
}

}  // namespace

bool ResolveNetworkFile(const std::string &path, ResolvedPath *resolved, std::string *error) {
  char real[PATH_MAX];
  if (::realpath(path.c_str(), real) != nullptr) {
    struct stat st {};
    if (::stat(real, &st) != 0) {
      *error = "cannot read the network file " + path + ": " + Reason();
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = "the network file " + path + " is " + KindOf(st.st_mode) + ", not a regular file";
      return false;
    }
    resolved->real_path = real;
    resolved->exists = true;
    return true;
  }
  const int resolve_error = errno;
  struct stat link {};
  if (resolve_error == ENOENT && ::lstat(path.c_str(), &link) == 0) {
    *error = "the network file " + path + " is a symbolic link to a file that does not exist";
    return false;
  }
  if (resolve_error != ENOENT || ::realpath(DirectoryOf(path).c_str(), real) == nullptr) {
    errno = resolve_error;
    *error = "cannot find the network file " + path + ": " + Reason();
    return false;
  }
  resolved->real_path = std::string(real) + (std::strcmp(real, "/") == 0 ? "" : "/") + BaseNameOf(path);
  resolved->exists = false;
  return true;
}

std::unique_ptr<NetworkFileLock> LockNetworkFile(const std::string &real_path, unsigned wait_ms, std::string *error,
                                                 bool *may_not_lock) {
  *may_not_lock = false;
  const int fd = OpenLockFile(real_path, real_path + ".lock", error, may_not_lock);
  if (fd < 0) return nullptr;
  if (!TryLock(fd)) {
    int code = errno;
    if (code == EAGAIN || code == EACCES) code = WaitForLock(fd, wait_ms);
    if (code != 0) {
      *error = code == EINTR ? HeldMessage(fd, real_path)
                             : "cannot lock the network file " + real_path + ": " + std::strerror(code);
      ::close(fd);
      return nullptr;
    }
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size()))
    (void)!::ftruncate(fd, static_cast<off_t>(pid.size()));
  return std::make_unique<PosixLock>(fd);
}

bool ReadNetworkFileText(const std::string &real_path, std::string *text, std::string *error,
                         std::unique_ptr<FileVersion> *version) {
  const int fd = ::open(real_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = "cannot read the network file " + real_path + ": " + Reason();
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "the network file " + real_path + " is " + KindOf(st.st_mode) + ", not a regular file";
    ::close(fd);
    return false;
  }
  text->clear();
  text->reserve(static_cast<size_t>(st.st_size));
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "cannot read the network file " + real_path + ": " + Reason();
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(chunk.data(), static_cast<size_t>(n));
  }
  if (version != nullptr) {
    // Trusted only when the file was read whole as it stood and had not
    // changed lately (see StatVersion).
    struct stat after {};
    const bool whole = ::fstat(fd, &after) == 0 && after.st_size == st.st_size &&
                       static_cast<off_t>(text->size()) == st.st_size && after.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
                       after.st_mtim.tv_sec == st.st_mtim.tv_sec;
    *version = std::make_unique<StatVersion>(fd, st, whole && !RecentlyChanged(st));
    return true;
  }
  ::close(fd);
  return true;
}

bool CheckReplaceable(const std::string &real_path, std::string *error) {
  const std::string directory = DirectoryOf(real_path);
  struct stat st {};
  if (::stat(real_path.c_str(), &st) == 0) {
    if (st.st_nlink > 1) {
      *error = "the network file " + real_path + " has " + std::to_string(st.st_nlink) +
               " names (hard links); Velmora replaces the file as a whole and would leave the other names "
               "with the old network, so it changes nothing (use one name, or symbolic links)";
      return false;
    }
    if ((st.st_mode & 0222) == 0) {
      *error = "the network file " + real_path + " is read-only (mode " + Octal(st.st_mode) + "); nothing was changed";
      return false;
    }
    if (::faccessat(AT_FDCWD, real_path.c_str(), W_OK, AT_EACCESS) != 0) {
      *error = errno == EROFS
                   ? "the network file " + real_path + " is on a file system mounted read-only; nothing was changed"
                   : "you may not write the network file " + real_path + " (" + Reason() + "); nothing was changed";
      return false;
    }
    if (::geteuid() != 0 && st.st_uid != ::geteuid()) {
      *error = "the network file " + real_path + " belongs to another user (ID " + std::to_string(st.st_uid) +
               "), and a replacement would belong to you; nothing was changed";
      return false;
    }
  } else if (errno != ENOENT) {
    *error = "cannot examine the network file " + real_path + ": " + Reason();
    return false;
  }
  if (::faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    *error = errno == EROFS ? "the folder " + directory +
                                  " that holds the network file is on a file system mounted "
                                  "read-only; nothing was changed"
                            : "you may not write the folder " + directory + " that holds the network file (" +
                                  Reason() + "); nothing was changed";
    return false;
  }
  return true;
}

bool ReplaceNetworkFile(const std::string &real_path, const std::string &text, std::string *error,
                        std::unique_ptr<FileVersion> *written) {
  const std::string directory = DirectoryOf(real_path);
  const std::string base = BaseNameOf(real_path);
  RemoveOrphans(directory, base);

  std::string temp = directory + "/" + TemporaryPrefix(base) + "XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = NoTemporaryMessage(directory, Reason());
    return false;
  }
  temp = name.data();
  auto fail = [&](const std::string &what) {
    *error = NotReplacedMessage(what, Reason(), real_path);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  };
  // Marks the file as in use, so that no other writer takes it for an orphan.
  if (!TryLock(fd)) return fail("cannot lock the temporary file " + temp);
  struct stat old {};
  if (::stat(real_path.c_str(), &old) == 0) {
    // Owner first: changing it clears the set-ID bits that the mode restores.
    struct stat mine {};
    if (::fstat(fd, &mine) == 0 && (mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
      return fail("cannot give the new file the owner of " + real_path);
    if (::fchmod(fd, old.st_mode & 07777) != 0) return fail("cannot give the new file the mode of " + real_path);
  }
  if (!WriteAll(fd, text) || ::fsync(fd) != 0) return fail("cannot write " + temp);
  struct stat mine {};
  const bool known = written != nullptr && ::fstat(fd, &mine) == 0;
  if (::rename(temp.c_str(), real_path.c_str()) != 0) return fail("cannot replace " + real_path);
  // What this process wrote is what it holds: the new file is trusted at
  // once, since every other writer replaces it by a rename, giving a new
  // inode (this one stays open, so its number is not reused).
  if (known) {
    *written = std::make_unique<StatVersion>(fd, mine, true);
  } else {
    ::close(fd);
  }
  // Make the rename itself durable.
  const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
  return true;
}

bool DefaultNetworkFolder(std::string *folder, std::string *error) {
  const char *state_home = std::getenv("XDG_STATE_HOME");
  const char *home = std::getenv("HOME");
  if (state_home != nullptr && state_home[0] == '/') {
    *folder = std::string(state_home) + "/velmora";
  } else if (home != nullptr && home[0] == '/') {
    *folder = std::string(home) + "/.local/state/velmora";
  } else {
    *error = "neither VELMORA_NETWORK, XDG_STATE_HOME nor HOME names where the network file is kept";
    return false;
  }
  return true;
}

bool MakeDirectories(const std::string &path, std::string *error) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot create the folder " + prefix + ": " + Reason();
      return false;
    }
  }
  return true;
}

std::string HostName() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return "";
  return host;
}

int64_t LocalMilliseconds() {
  const auto now = std::chrono::system_clock::now();
  const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return (ms / 1000 + local.tm_gmtoff) * 1000 + ms % 1000;
}

int64_t TickMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace standin::host
