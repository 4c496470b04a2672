// Network files on a POSIX host (Linux): open-file-description locks, which
// also conflict with the record locks that other hosts' programs take on the
// same file, and replacement by rename.
#include "network_file_host.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>
#include <vector>

namespace standin::net::host {
namespace {

const char kTemporaryMark[] = ".velmora-tmp.";

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
bool TryLock(int fd, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
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

// "velmora, process ID 1234" from the ID the holder wrote, or "".
std::string DescribeHolder(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return "";
  char *end = nullptr;
  const long pid = std::strtol(text, &end, 10);
  if (pid <= 0 || end == text || (*end != '\n' && *end != '\0')) return "";
  // A reader holding the shared lock writes nothing: the ID may be of an
  // earlier holder that has ended.
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return "";
  std::string name;
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::getline(comm, name);
  return (name.empty() ? "" : name + ", ") + "process ID " + std::to_string(pid);
}

class PosixLock : public NetworkFileLock {
 public:
  PosixLock(int fd, bool exclusive) : fd_(fd), exclusive_(exclusive) {}
  ~PosixLock() override { ::close(fd_); }  // closing the description releases its lock
  bool exclusive() const override { return exclusive_; }

 private:
  int fd_;
  bool exclusive_;
};

// Opens the lock file without following a link, creating it only when it is
// missing, with the network file's owner and read and write bits.
int OpenLockFile(const std::string &real_path, const std::string &lock_path, bool *writable, std::string *error) {
  struct stat data {};
  const bool data_exists = ::stat(real_path.c_str(), &data) == 0;
  const mode_t mode = data_exists ? ((data.st_mode & 0666) | 0600) : 0600;
  *writable = true;
  int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd >= 0) {
    ::fchmod(fd, mode);  // whatever the umask took away
    if (data_exists && ::geteuid() == 0) (void)!::fchown(fd, data.st_uid, data.st_gid);
  } else if (errno == EEXIST) {
    fd = ::open(lock_path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
      *writable = false;
      fd = ::open(lock_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    }
  }
  if (fd < 0) {
    if (errno == ELOOP)
      *error = "the lock file " + lock_path + " is a symbolic link; Velmora does not follow it";
    else
      *error = "cannot open the lock file " + lock_path + ": " + Reason();
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

// Removes the temporary files of earlier replacements whose process died
// before renaming them: a live writer holds a lock on its temporary file.
void RemoveOrphans(const std::string &directory, const std::string &base) {
  const std::string prefix = "." + base + kTemporaryMark;
  DIR *dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  const int dir_fd = ::dirfd(dir);
  while (const dirent *entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const int fd = ::openat(dir_fd, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && TryLock(fd, F_WRLCK))
      ::unlinkat(dir_fd, name.c_str(), 0);
    ::close(fd);
  }
  ::closedir(dir);
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

std::unique_ptr<NetworkFileLock> LockNetworkFile(const std::string &real_path, bool exclusive, unsigned wait_ms,
                                                 std::string *error) {
  const std::string lock_path = real_path + ".lock";
  bool writable = true;
  const int fd = OpenLockFile(real_path, lock_path, &writable, error);
  if (fd < 0) return nullptr;
  exclusive = exclusive && writable;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  auto pause = std::chrono::milliseconds(1);
  while (!TryLock(fd, exclusive ? F_WRLCK : F_RDLCK)) {
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
      *error = "cannot lock the network file " + real_path + ": " + Reason();
      ::close(fd);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      const std::string holder = DescribeHolder(fd);
      *error = "another process" + (holder.empty() ? "" : " (" + holder + ")") + " holds the network file " +
               real_path + "; try again when it has finished";
      ::close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(50)) pause *= 2;
  }
  if (exclusive) {
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size()))
      (void)!::ftruncate(fd, static_cast<off_t>(pid.size()));
  }
  return std::make_unique<PosixLock>(fd, exclusive);
}

bool ReadNetworkFileText(const std::string &real_path, std::string *text, std::string *error) {
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
      *error = "you may not write the network file " + real_path + " (" + Reason() + "); nothing was changed";
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
    *error = "you may not write the folder " + directory + " that holds the network file (" + Reason() +
             "); nothing was changed";
    return false;
  }
  return true;
}

bool ReplaceNetworkFile(const std::string &real_path, const std::string &text, std::string *error) {
  const std::string directory = DirectoryOf(real_path);
  const std::string base = BaseNameOf(real_path);
  RemoveOrphans(directory, base);

  std::string temp = directory + "/." + base + kTemporaryMark + "XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot create a temporary file in " + directory + ": " + Reason() + "; nothing was changed";
    return false;
  }
  temp = name.data();
  auto fail = [&](const std::string &what) {
    *error = what + ": " + Reason() + "; the network file " + real_path + " was not changed";
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  };
  // Marks the file as in use, so that no other writer takes it for an orphan.
  if (!TryLock(fd, F_WRLCK)) return fail("cannot lock the temporary file " + temp);
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
  if (::rename(temp.c_str(), real_path.c_str()) != 0) return fail("cannot replace " + real_path);
  ::close(fd);
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

}  // namespace standin::net::host
