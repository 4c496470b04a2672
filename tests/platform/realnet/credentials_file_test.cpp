// SPDX-License-Identifier: GPL-3.0-or-later
// The authentication file: what is refused, with which advice, without ever
// blocking; and no cleartext password left in the process after a call.
#include <lm.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include <credentials_file.h>
#include <remote_host.h>

#include "fake_host.h"

namespace {

using standin::realnet::CheckCredentialsFile;

// Written without a stream, whose buffer would keep a copy of the text.
std::string Written(const std::string &path, const std::string &text, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fd);
  chmod(path.c_str(), mode);
  return path;
}

// The check's verdict, or "blocked" when it has not come within 5 s.
std::string CheckWithin5Seconds(const std::string &path) {
  auto verdict = std::make_shared<std::promise<std::string>>();
  auto result = verdict->get_future();
  std::thread([verdict, path] { verdict->set_value(CheckCredentialsFile(path)); }).detach();
  if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return result.get();
  ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));  // lets a FIFO's reader go
  return "blocked";
}

TEST(CredentialsFile, RefusalsComeAtOnceWithAdviceThatFits) {
  char pattern[] = "/tmp/velmora-credentials-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string own = Written(dir + "/own", "username=alice\npassword=pw\n", 0600);
  EXPECT_EQ(CheckCredentialsFile(own), "");

  // A symbolic link to the user's own owner-only file is followed.
  ASSERT_EQ(symlink(own.c_str(), (dir + "/link").c_str()), 0);
  EXPECT_EQ(CheckCredentialsFile(dir + "/link"), "");

  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink((dir + "/fifo").c_str(), (dir + "/fifo-link").c_str()), 0);
  for (const std::string &other : {dir + "/fifo", dir + "/fifo-link", dir, std::string("/dev/zero")}) {
    const std::string message = CheckWithin5Seconds(other);
    EXPECT_NE(message.find("not a regular file: write its username= and password= lines into a regular file"),
              std::string::npos)
        << message;
  }

  // Too open: chmod helps, and is named for the link too.
  const std::string open = Written(dir + "/open", "username=alice\npassword=pw\n", 0640);
  ASSERT_EQ(symlink(open.c_str(), (dir + "/open-link").c_str()), 0);
  const std::string via_link = CheckCredentialsFile(dir + "/open-link");
  EXPECT_NE(via_link.find("(a link to " + open + ") (mode 0640) may be read or written by others: chmod 600 " + dir +
                          "/open-link"),
            std::string::npos)
      << via_link;

  // Another user's file: chmod cannot help, whatever its mode.
  std::string foreign = "/etc/passwd";
  if (geteuid() == 0) {
    foreign = Written(dir + "/foreign", "username=bob\npassword=pw\n", 0600);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  }
  const std::string message = CheckCredentialsFile(foreign);
  EXPECT_NE(message.find("belongs to another user"), std::string::npos) << message;
  EXPECT_EQ(message.find("chmod 600 " + foreign), std::string::npos) << message;

  // Names that no logon could carry are told as such ("" where accepted).
  const std::pair<std::string, std::string> kNames[] = {
      {"username=al\xff\xfe\npassword=pw\n", "its user name is not UTF-8 text"},
      {"username=alice\ndomain=\xed\xa0\x80\npassword=pw\n", "its domain is not UTF-8 text"},  // a surrogate
      {"username=alice\npassword=p\xff\n", "its password is not UTF-8 text"},
      {"password=pw\n", "it names no username="},
      {"username=" + std::string(257, 'a') + "\npassword=pw\n", "its user name is 257 bytes long, more than the 256"},
      {"username=" + std::string(256, 'a') + "\npassword=pw\n", ""},
      {"ccache=FILE:/tmp/krb5cc_velmora\n", ""},
  };
  for (const auto &[text, told] : kNames) {
    const std::string message = CheckCredentialsFile(Written(dir + "/bad", text, 0600));
    EXPECT_TRUE(told.empty() ? message.empty() : message.find(told) != std::string::npos) << message;
  }
  std::filesystem::remove_all(dir);
}

// Occurrences of a text in this process's writable memory. The text is held
// masked, so that the search itself leaves no copy of it.
size_t OccurrencesInMemory(const std::string &masked, unsigned char mask) {
  std::vector<unsigned char> chunk(1 << 20);
  const auto own_from = reinterpret_cast<uintptr_t>(chunk.data()), own_to = own_from + chunk.size();
  size_t found = 0;
  const auto equal = [mask](unsigned char seen, char wanted) {
    return (seen ^ mask) == static_cast<unsigned char>(wanted);
  };
  const auto search = [&](uintptr_t from, uintptr_t to) {
    for (uintptr_t at = from; at < to; at += chunk.size() - masked.size()) {
      const size_t want = std::min<uintptr_t>(chunk.size(), to - at);
      iovec local{chunk.data(), want}, remote{reinterpret_cast<void *>(at), want};
      const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
      const auto end = chunk.begin() + std::max<ssize_t>(got, 0);
      // A match at an overlap's start was counted in the chunk before.
      for (auto i = chunk.begin() + (at == from ? 0 : 1);
           (i = std::search(i, end, masked.begin(), masked.end(), equal)) != end; ++i)
        ++found;
      if (to - at <= chunk.size()) break;
    }
  };
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    const uintptr_t from = std::stoull(range.substr(0, range.find('-')), nullptr, 16);
    const uintptr_t to = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
    // Sanitizers' shadow memory is huge and holds no data.
    if (permissions.substr(0, 2) != "rw" || to - from > (uintptr_t{1} << 32)) continue;
    // The search's own buffer is not read into itself.
    search(from, std::max(from, std::min(to, own_from)));
    search(std::min(to, std::max(from, own_to)), to);
  }
  return found;
}

TEST(CredentialsFile, NoCleartextPasswordRemainsInTheProcessAfterACall) {
  constexpr unsigned char kMask = 0x5A;
  // A password of this run, held masked but for the moments it is written.
  std::string masked_utf8, masked_utf16;
  std::mt19937 random(std::random_device{}());
  for (int i = 0; i < 16; ++i) {
    const char c = static_cast<char>('a' + random() % 26);
    masked_utf8 += static_cast<char>(c ^ kMask);
    masked_utf16 += static_cast<char>(c ^ kMask);
    masked_utf16 += static_cast<char>(0 ^ kMask);
  }
  std::vector<std::string> flags = {"--password", masked_utf8};
  for (char &c : flags[1]) c ^= kMask;
  FakeHost host(flags);
  std::string text;
  text.reserve(64);  // no reallocation leaves a copy behind
  text.append("username=alice\npassword=").append(flags[1]).append("\n");
  explicit_bzero(flags[1].data(), flags[1].size());
  const std::string credentials = Written(host.directory() + "/secret", text, 0600);
  explicit_bzero(text.data(), text.size());

  host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n", credentials);
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  ASSERT_EQ(NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_Success));  // logged on with it
  NetApiBufferFree(buffer);
  EXPECT_EQ(OccurrencesInMemory(masked_utf8, kMask), 0u);
  EXPECT_EQ(OccurrencesInMemory(masked_utf16, kMask), 0u);
  // The search finds what is there.
  std::string planted = masked_utf8;
  for (char &c : planted) c ^= kMask;
  EXPECT_EQ(OccurrencesInMemory(masked_utf8, kMask), 1u);
  explicit_bzero(planted.data(), planted.size());
}

}  // namespace
