// SPDX-License-Identifier: GPL-3.0-or-later
#include "credentials_file.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unistr.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

const char *KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  return "not a regular file";
}

// The file's name in messages, with where a symbolic link leads.
std::string Named(const std::string &path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char *target = ::realpath(path.c_str(), nullptr);
  const std::string named = path + " (a link to " + (target != nullptr ? target : "nothing that exists") + ")";
  std::free(target);
  return named;
}

// Why the file that `path` leads to may not be read, from its status alone,
// with advice that fits; "" when it may be.
std::string RefusalOf(const std::string &path, const struct stat &st) {
  const std::string named = "the authentication file " + Named(path);
  if (!S_ISREG(st.st_mode))
    return named + " is " + KindOf(st.st_mode) +
           ", not a regular file: write its username= and password= lines into a regular file of yours";
  if (st.st_uid != ::geteuid())
    return named + " belongs to another user (uid " + std::to_string(st.st_uid) +
           "), which chmod cannot change: copy its lines into a file of your own and chmod 600 it";
  if ((st.st_mode & 077) != 0)
    return named + " (mode " + ModeText(st.st_mode) + ") may be read or written by others: chmod 600 " + path;
  return "";
}

// Strict UTF-8 (libunistring): no overlong forms, surrogates or code points
// past U+10FFFF.
bool IsUtf8(const char *text, size_t length) {
  return u8_check(reinterpret_cast<const uint8_t *>(text), length) == nullptr;
}

std::string NameProblem(const char *what, const std::string &value, size_t longest) {
  if (!IsUtf8(value.data(), value.size())) return std::string("its ") + what + " is not UTF-8 text";
  if (value.size() > longest)
    return std::string("its ") + what + " is " + std::to_string(value.size()) + " bytes long, more than the " +
           std::to_string(longest) + " allowed";
  return "";
}

// Opens the file for reading once its status allows it. Status is taken
// through an O_PATH descriptor, which never opens the file itself, so that a
// FIFO or a device is refused without being opened; the file then opened
// must be the one checked.
int OpenChecked(const std::string &path, struct stat *st, std::string *error) {
  const int probe = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (probe < 0) {
    *error = "cannot read the authentication file " + Named(path) + ": " + std::strerror(errno);
    return -1;
  }
  const bool known = ::fstat(probe, st) == 0;
  ::close(probe);
  *error = known ? RefusalOf(path, *st) : "cannot read the authentication file " + path + ": " + std::strerror(errno);
  if (!error->empty()) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat opened {};
  if (fd < 0 || ::fstat(fd, &opened) != 0 || opened.st_dev != st->st_dev || opened.st_ino != st->st_ino) {
    *error = "cannot read the authentication file " + path + ": " +
             (fd < 0 ? std::strerror(errno) : "it was replaced while being opened");
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// Vector registers keep the last text that string functions moved through
// them, and are saved to the stack when a library function is first bound.
__attribute__((noinline)) void ClearVectorRegisters() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx512f")) {
    asm volatile(
        "vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"
        "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"
        "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"
        "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"
        "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"
        "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"
        "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"
        "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31" ::
            : "memory");
  }
  if (__builtin_cpu_supports("avx")) {
    asm volatile("vzeroall" ::
                     : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11",
                       "xmm12", "xmm13", "xmm14", "xmm15");
  } else {
    asm volatile(
        "pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\tpxor %%xmm3, %%xmm3\n\t"
        "pxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\tpxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\t"
        "pxor %%xmm8, %%xmm8\n\tpxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
        "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\tpxor %%xmm15, %%xmm15" ::
            : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12",
              "xmm13", "xmm14", "xmm15");
  }
#endif
}

// The dead frames below the caller: deeper than Samba's logon goes.
__attribute__((noinline)) void WipeStackBelow() {
  char area[128 * 1024];
  explicit_bzero(area, sizeof area);
  asm volatile("" : : "r"(area) : "memory");
}

}  // namespace

void ForgetPasswordTraces() {
  ClearVectorRegisters();
  WipeStackBelow();
}

Secret::~Secret() { WipeBytes(&bytes_); }

void Secret::Assign(const char *text, size_t length) {
  WipeBytes(&bytes_);
  bytes_.reserve(length + 1);  // no reallocation leaves a copy behind
  bytes_.assign(text, text + length);
  bytes_.push_back('\0');
}

bool ReadCredentialsFile(const std::string &path, Credentials *credentials, std::string *error) {
  KeepSecretsOutOfCores();
  struct stat st {};
  const int fd = OpenChecked(path, &st, error);
  if (fd < 0) return false;
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
  bool password_is_text = true;
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
        password_is_text = IsUtf8(value, value_length);
      } else if (key == "username") {
        credentials->user = Trim(std::string(value, value_length));
      } else if (key == "domain") {
        credentials->domain = Trim(std::string(value, value_length));
      } else if (key == "ccache") {
        credentials->ccache = Trim(std::string(value, value_length));
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
  std::string problem = NameProblem("user name", credentials->user, kMaxUserNameLength);
  if (problem.empty()) problem = NameProblem("domain", credentials->domain, kMaxDomainLength);
  if (problem.empty() && !password_is_text) problem = "its password is not UTF-8 text";
  // A file that names only a ticket cache serves Kerberos alone.
  if (problem.empty() && credentials->user.empty() && credentials->ccache.empty()) problem = "it names no username=";
  ForgetPasswordTraces();
  if (!problem.empty()) {
    *error = "the authentication file " + path + " cannot be used: " + problem;
    return false;
  }
  return true;
}

}  // namespace standin::realnet
