#include "network_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace standin::net {
namespace {

std::string SystemError(const std::string &what, const std::string &path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string DirectoryOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
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

}  // namespace

NetworkFileLock::NetworkFileLock(const std::string &network_path) {
  const std::string lock_path = network_path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = SystemError("cannot open the lock file", lock_path);
    return;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error_ = SystemError("cannot lock", lock_path);
    ::close(fd_);
    fd_ = -1;
    return;
  }
}

NetworkFileLock::~NetworkFileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool ReadNetworkFile(const std::string &path, Network *network, std::string *error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError("cannot read the network file", path);
    return false;
  }
  std::string text;
  std::vector<char> chunk(1 << 16);
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = SystemError("cannot read the network file", path);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(chunk.data(), static_cast<size_t>(n));
  }
  ::close(fd);
  std::string fault;
  if (!ParseNetworkText(text, network, &fault)) {
    *error = "network file " + path + ", " + fault;
    return false;
  }
  return true;
}

bool ReplaceFileAtomically(const std::string &path, const std::string &text, std::string *error) {
  const std::string directory = DirectoryOf(path);
  std::string temp = path + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError("cannot create a temporary file beside", path);
    return false;
  }
  temp = name.data();
  // Keep the permissions of the file being replaced.
  struct stat old_stat {};
  if (::stat(path.c_str(), &old_stat) == 0) ::fchmod(fd, old_stat.st_mode & 07777);
  if (!WriteAll(fd, text) || ::fsync(fd) != 0) {
    *error = SystemError("cannot write", temp);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    *error = SystemError("cannot replace", path);
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
  return true;
}

bool FileExists(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool MakeDirectories(const std::string &path, std::string *error) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = SystemError("cannot create the directory", prefix);
      return false;
    }
  }
  return true;
}

}  // namespace standin::net
