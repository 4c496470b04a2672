// SPDX-License-Identifier: GPL-3.0-or-later
// The authentication file: what is refused, with which advice, without ever
// blocking; and no cleartext password left in the process after a call.
#include <lm.h>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include <remote_host.h>

#include "fake_host.h"

namespace {

using standin::realnet::CheckCredentialsFile;

bool Holds(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(CredentialsFile, RefusalsComeAtOnceWithAdviceThatFits) {
  char pattern[] = "/tmp/velmora-credentials-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  // A symbolic link to the user's own owner-only file is followed.
  const std::string own = FakeHost::WriteFile(dir + "/own", "username=alice\npassword=pw\n", 0600);
  ASSERT_EQ(symlink(own.c_str(), (dir + "/link").c_str()), 0);
  EXPECT_EQ(CheckCredentialsFile(dir + "/link"), "");

  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink((dir + "/fifo").c_str(), (dir + "/fifo-link").c_str()), 0);
  // A FIFO opened for reading would block here, past the test's time limit.
  for (const auto &[other, kind] : {std::pair{dir + "/fifo", "a FIFO"},
                                    {dir + "/fifo-link", "a FIFO"},
                                    {dir, "a directory"},
                                    {std::string("/dev/zero"), "a character device"}})
    EXPECT_PRED2(
        Holds, CheckCredentialsFile(other),
        std::string(kind) + ", not a regular file: write its username= and password= lines into a regular file");

  // Too open: chmod helps, and is named for the link too.
  const std::string open = FakeHost::WriteFile(dir + "/open", "username=alice\npassword=pw\n", 0640);
  ASSERT_EQ(symlink(open.c_str(), (dir + "/open-link").c_str()), 0);
  EXPECT_EQ(CheckCredentialsFile(open).find("a link"), std::string::npos);
  EXPECT_PRED2(
      Holds, CheckCredentialsFile(dir + "/open-link"),
      "(a link to " + open + ") (mode 0640) may be read or written by others: chmod 600 " + dir + "/open-link");

  // A file its owner may not read: the system's reason, told to this thread without the capabilities that let
  // root read any file.
  const std::string unreadable = FakeHost::WriteFile(dir + "/unreadable", "username=alice\n", 0200);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct capabilities[2] = {};
  syscall(SYS_capget, &header, capabilities);
  const uint32_t had = capabilities[0].effective;
  capabilities[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
  syscall(SYS_capset, &header, capabilities);
  EXPECT_PRED2(Holds, CheckCredentialsFile(unreadable),
               "cannot read the authentication file " + unreadable + ": Permission denied");
  capabilities[0].effective = had;
  syscall(SYS_capset, &header, capabilities);

  // Another user's file: chmod cannot help, whatever its mode.
  std::string foreign = "/etc/passwd";
  if (geteuid() == 0) {
    foreign = FakeHost::WriteFile(dir + "/foreign", "username=bob\npassword=pw\n", 0600);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  }
  const std::string message = CheckCredentialsFile(foreign);
  EXPECT_PRED2(Holds, message, "belongs to another user");
  EXPECT_FALSE(Holds(message, "chmod 600 " + foreign)) << message;

  // A file holding more than its status tells (as /proc's, of size 0) is read 4,096 bytes past it at most:
  // a sleeper's environment of 4,097 bytes, with its null.
  std::string variable = "A=" + std::string(4094, 'x');
  char *argv[] = {const_cast<char *>("sleep"), const_cast<char *>("60"), nullptr}, *envp[] = {variable.data(), nullptr};
  pid_t sleeper = 0;
  ASSERT_EQ(posix_spawn(&sleeper, "/bin/sleep", nullptr, nullptr, argv, envp), 0);
  const std::string environment = "/proc/" + std::to_string(sleeper) + "/environ";
  while (FakeHost::Read(environment).empty()) sched_yield();  // the loader has yet to place it
  EXPECT_EQ(CheckCredentialsFile(environment), "cannot read the authentication file " + environment);
  kill(sleeper, SIGKILL);
  waitpid(sleeper, nullptr, 0);

  // Names that no logon could carry are told as such ("" where accepted).
  const std::pair<std::string, std::string> kNames[] = {
      {"username=al\xff\xfe\npassword=pw\n", "its user name is not UTF-8 text"},
      {"username=alice\ndomain=\xed\xa0\x80\npassword=pw\n", "its domain is not UTF-8 text"},  // a surrogate
      {"username=alice\npassword=p\xff\n", "its password is not UTF-8 text"},
      {"password=pw\n", "it names no username="},
      {"username=" + std::string(257, 'a') + "\npassword=pw\n", "its user name is 257 bytes long, more than the 256"},
      {"username=" + std::string(256, 'a') + "\npassword=pw\n", ""},
      {"\nccache=FILE:/tmp/krb5cc_velmora\n", ""},
  };
  for (const auto &[text, told] : kNames) {
    const std::string message = CheckCredentialsFile(FakeHost::WriteFile(dir + "/bad", text, 0600));
    EXPECT_TRUE(told.empty() ? message.empty() : Holds(message, told)) << message;
  }
  std::filesystem::remove_all(dir);
}

// Whether a text is in this process's writable memory. It is held masked,
// so that the search itself leaves no copy of it.
bool InMemory(const std::string &masked, unsigned char mask) {
  const auto equal = [mask](unsigned char seen, char wanted) {
    return (seen ^ mask) == static_cast<unsigned char>(wanted);
  };
  std::vector<unsigned char> chunk(1 << 20);
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    uintptr_t from = 0, to = 0;
    char read = 0, write = 0;
    std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %c%c", &from, &to, &read, &write);
    // Sanitizers' shadow memory is huge and holds no data.
    if (read != 'r' || write != 'w' || to - from > (uintptr_t{1} << 32)) continue;
    // Chunks overlap by the text's length, so that none is missed at a border.
    for (uintptr_t at = from; at < to; at += chunk.size() - masked.size()) {
      iovec local{chunk.data(), std::min<uintptr_t>(chunk.size(), to - at)},
          remote{reinterpret_cast<void *>(at), local.iov_len};
      const auto end = chunk.begin() + std::max<ssize_t>(process_vm_readv(getpid(), &local, 1, &remote, 1, 0), 0);
      if (std::search(chunk.begin(), end, masked.begin(), masked.end(), equal) != end) return true;
      if (to - at <= chunk.size()) break;
    }
  }
  return false;
}

TEST(CredentialsFile, NoCleartextPasswordRemainsInTheProcessAfterACall) {
  constexpr unsigned char kMask = 0x5A;
  // A password of this run, held masked but for the moments it is written.
  std::string masked_utf8, masked_utf16;
  std::mt19937 random(std::random_device{}());
  for (int i = 0; i < 16; ++i) {
    masked_utf8 += static_cast<char>(('a' + random() % 26) ^ kMask);
    masked_utf16.append({masked_utf8.back(), static_cast<char>(kMask)});
  }
  std::vector<std::string> flags = {"--password", masked_utf8};
  for (char &c : flags[1]) c ^= kMask;
  FakeHost host(flags);
  std::string text;
  text.reserve(64);  // no reallocation leaves a copy behind
  text.append("username=alice\npassword=").append(flags[1]).append("\n");
  explicit_bzero(flags[1].data(), flags[1].size());
  const std::string credentials = FakeHost::WriteFile(host.directory() + "/secret", text, 0600);
  explicit_bzero(text.data(), text.size());

  host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n", credentials);
  ASSERT_EQ(Enum(u"PC01"), static_cast<NET_API_STATUS>(NERR_Success));  // logged on with it
  EXPECT_FALSE(InMemory(masked_utf8, kMask));
  EXPECT_FALSE(InMemory(masked_utf16, kMask));
  // The search finds what is there.
  std::string planted = masked_utf8;
  for (char &c : planted) c ^= kMask;
  EXPECT_TRUE(InMemory(masked_utf8, kMask));
  explicit_bzero(planted.data(), planted.size());
}

}  // namespace
