#include "credentials_file.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace standin::realnet {
namespace {

void WipeBytes(std::vector<char> *bytes) {
  if (!bytes->empty()) explicit_bzero(bytes->data(), bytes->size());
  bytes->clear();
}

void KeepSecretsOutOfCores() {
  const struct rlimit none = {0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

std::string Trim(const std::string &text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string ModeText(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

Secret::~Secret() { WipeBytes(&bytes_); }

void Secret::Assign(const char *text, size_t length) {
  WipeBytes(&bytes_);
  bytes_.reserve(length + 1);  // no reallocation leaves a copy behind
  bytes_.assign(text, text + length);
  bytes_.push_back('\0');
}

bool ReadCredentialsFile(const std::string &path, Credentials *credentials, std::string *error) {
  KeepSecretsOutOfCores();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    *error = "cannot read the authentication file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = "the authentication file " + path + " is not a regular file";
    return false;
  }
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    ::close(fd);
    *error = "the authentication file " + path + " (mode " + ModeText(st.st_mode) +
             ") must belong to you and be readable by you alone: chmod 600 " + path;
    return false;
  }
  std::vector<char> text;
  text.reserve(static_cast<size_t>(st.st_size) + 4096);
  char chunk[4096];
  bool failed = false;
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed = n < 0;
      break;
    }
    if (text.size() + static_cast<size_t>(n) > text.capacity()) {
      failed = true;  // grew while being read: not an authentication file
      break;
    }
    text.insert(text.end(), chunk, chunk + n);
  }
  explicit_bzero(chunk, sizeof chunk);
  ::close(fd);
  if (failed) {
    WipeBytes(&text);
    *error = "cannot read the authentication file " + path;
    return false;
  }

  // Lines of key=value; the value runs to the end of the line, so that a
  // password may hold blanks and '='.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\n') ++end;
    size_t line_end = end;
    if (line_end > start && text[line_end - 1] == '\r') --line_end;
    const char *line = text.data() + start;
    const size_t length = line_end - start;
    const char *equals = static_cast<const char *>(std::memchr(line, '=', length));
    if (equals != nullptr) {
      const std::string key = Trim(std::string(line, static_cast<size_t>(equals - line)));
      const char *value = equals + 1;
      size_t value_length = length - static_cast<size_t>(value - line);
      while (value_length > 0 && (*value == ' ' || *value == '\t')) {
        ++value;
        --value_length;
      }
      if (key == "password") {
        credentials->password.Assign(value, value_length);
      } else if (key == "username") {
        credentials->user = Trim(std::string(value, value_length));
      } else if (key == "domain") {
        credentials->domain = Trim(std::string(value, value_length));
      }
    }
    start = end + 1;
  }
  WipeBytes(&text);
  // DOMAIN\user names the domain as Samba's tools accept it.
  const size_t backslash = credentials->user.find('\\');
  if (backslash != std::string::npos) {
    credentials->domain = credentials->user.substr(0, backslash);
    credentials->user = credentials->user.substr(backslash + 1);
  }
  if (credentials->user.empty()) {
    *error = "the authentication file " + path + " names no username=";
    return false;
  }
  return true;
}

}  // namespace standin::realnet
