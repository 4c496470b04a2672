// SPDX-License-Identifier: GPL-3.0-or-later
// Starts fake_host.py on a network file and an authentication file of its own; stops it with the test.
#ifndef VELMORA_TESTS_PLATFORM_REALNET_FAKE_HOST_H
#define VELMORA_TESTS_PLATFORM_REALNET_FAKE_HOST_H

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <lm.h>
#include <standin/network.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

class FakeHost {
 public:
  // alice's password: characters of two, three and four bytes, the first and last of four.
  static constexpr char kPassword[] = "s3cret päss ｱ\U00010000\U0010FFFF";

  // `flags` go to the fake host's command line (--no-atsvc, --hang-enum 1, ...).
  explicit FakeHost(const std::vector<std::string> &flags = {}) {
    char pattern[] = "/tmp/velmora-realnet-XXXXXX";
    directory_ = mkdtemp(pattern);
    network_ = WriteFile(directory_ + "/network", "");
    credentials_ = WriteFile(directory_ + "/credentials",
                             std::string("username=alice\npassword=") + kPassword + "\ndomain=WORKGROUP\n");
    std::string command;
    command.reserve(4096);  // never moved, so that a password in it is wiped where it was
    command.append("exec /usr/bin/python3 " VELMORA_FAKE_HOST " --network ").append(network_);
    command.append(" --user alice --password '").append(kPassword).append("' --log ").append(directory_ + "/log");
    for (const std::string &flag : flags) command.append(" '").append(flag).append("'");
    from_ = popen(command.c_str(), "r");
    explicit_bzero(command.data(), command.size());
    if (from_ != nullptr)
      std::fscanf(from_, "ready %u %u %u %u %d", &ports_[0], &ports_[1], &ports_[2], &ports_[3], &pid_);
  }

  ~FakeHost() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (from_ != nullptr) pclose(from_);
    std::filesystem::remove_all(directory_);
  }

  // Opens a network of this host's credentials file (or `credentials`) and the statements `computers`.
  void OpenNetwork(const std::string &computers, const std::string &credentials = "") const {
    WriteFile(network_, "credentials " + (credentials.empty() ? credentials_ : credentials) + "\n" + computers);
    ASSERT_EQ(standin::OpenNetworkFile(network_), "");
  }

  // Opens a network whose PC01 is this host (or what listens on `port`), `options` on its line, `rest` after.
  void Open(const std::string &options, const std::string &rest = "", const std::string &credentials = "",
            unsigned port = 0) const {
    ASSERT_NE(ports_[kSmb], 0u) << "the fake host did not start";
    OpenNetwork("clock 2026-12-07 09:00\ncomputer PC01 real address=127.0.0.1 port=" +
                    std::to_string(port != 0 ? port : ports_[kSmb]) + " privacy=none timeout=3 " + options + "\n" +
                    rest,
                credentials);
  }

  // A computer line's words that make it this host, at `address`.
  std::string At(const std::string &address = "127.0.0.1") const {
    return " real address=" + address + " port=" + std::to_string(ports_[kSmb]);
  }

  // The service controller forgets every handle it gave, as when it restarts; returns once it has.
  void ForgetHandles() const {
    const size_t before = Logged("forgot");
    ASSERT_GT(pid_, 0) << "the fake host did not start";  // kill(-1) would signal every process
    kill(pid_, SIGUSR1);
    for (int wait = 0; wait < 500 && Logged("forgot") == before; ++wait) usleep(10000);
    ASSERT_EQ(Logged("forgot"), before + 1) << "the fake host did not forget its handles";
  }

  // The SMB server's port, and those of hosts that accept, then stay silent, answer garbage, or never end a reply.
  enum Port { kSmb, kSilent, kGarbage, kEndless };
  unsigned port(Port which = kSmb) const { return ports_[which]; }
  const std::string &directory() const { return directory_; }
  // The SMB requests the host was sent so far ("request"), or the logons it refused ("refused").
  size_t Logged(const std::string &what) const { return Occurrences(directory_ + "/log", what + "\n"); }

  static std::string Read(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static size_t Occurrences(const std::string &path, const std::string &text) {
    const std::string all = Read(path);
    size_t n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
    return n;
  }

  // Written without a stream, whose buffer would keep a copy of a password.
  static std::string WriteFile(const std::string &path, const std::string &text, mode_t mode = 0600) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    chmod(path.c_str(), mode);
    return path;
  }

 private:
  std::string directory_, network_, credentials_;
  FILE *from_ = nullptr;
  pid_t pid_ = -1;
  unsigned ports_[4] = {};
};

// A job listing's status and how many jobs it held.
inline std::pair<NET_API_STATUS, DWORD> Listing(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  const NET_API_STATUS status = NetScheduleJobEnum(server, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
  NetApiBufferFree(buffer);
  return {status, read};
}

inline NET_API_STATUS Enum(LPCWSTR server) { return Listing(server).first; }

#endif
