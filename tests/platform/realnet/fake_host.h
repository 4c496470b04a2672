// SPDX-License-Identifier: GPL-3.0-or-later
// Starts tests/platform/realnet/fake_host.py on a network file and an authentication
// file of its own, and stops it at the end of the test.
#ifndef VELMORA_TESTS_REALNET_FAKE_HOST_H
#define VELMORA_TESTS_REALNET_FAKE_HOST_H

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class FakeHost {
 public:
  // `flags` go to the fake host's command line (--deny, --hang-enum 1, ...).
  explicit FakeHost(const std::vector<std::string> &flags = {}) {
    char pattern[] = "/tmp/velmora-realnet-XXXXXX";
    directory_ = mkdtemp(pattern);
    network_ = directory_ + "/network";
    credentials_ = directory_ + "/credentials";
    WriteFile(network_, "");
    WriteFile(credentials_, "username=alice\npassword=s3cret pass\ndomain=WORKGROUP\n");
    chmod(credentials_.c_str(), 0600);
    std::vector<std::string> args = {
        "/usr/bin/python3", VELMORA_FAKE_HOST, "--network", network_,           "--user", "alice",
        "--password",       "s3cret pass",     "--log",     directory_ + "/log"};
    args.insert(args.end(), flags.begin(), flags.end());
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      std::vector<char *> argv;
      for (auto &arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE *from = fdopen(out[0], "r");
    char line[64] = {};
    if (std::fgets(line, sizeof line, from) != nullptr)
      std::sscanf(line, "ready %u %u %u %u", &port_, &silent_port_, &garbage_port_, &endless_port_);
    std::fclose(from);
  }

  ~FakeHost() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::system(("rm -rf '" + directory_ + "'").c_str());
  }

  // Opens a network whose computer PC01 is this host (or what listens on
  // `port`), with `options` on its line and `rest` after it.
  void Open(const std::string &options, const std::string &rest = "", const std::string &credentials = "",
            unsigned port = 0) const {
    ASSERT_NE(port_, 0u) << "the fake host did not start";
    WriteFile(network_, "credentials " + (credentials.empty() ? credentials_ : credentials) +
                            "\nclock 2026-12-07 09:00\ncomputer PC01 real address=127.0.0.1 port=" +
                            std::to_string(port != 0 ? port : port_) + " privacy=none timeout=3 " + options + "\n" +
                            rest);
    ASSERT_EQ(standin::OpenNetworkFile(network_), "");
  }

  unsigned port() const { return port_; }
  // Hosts that accept the connection, then stay silent, answer garbage, or
  // start a reply that never ends.
  unsigned silent_port() const { return silent_port_; }
  unsigned garbage_port() const { return garbage_port_; }
  unsigned endless_port() const { return endless_port_; }
  const std::string &network() const { return network_; }
  const std::string &credentials() const { return credentials_; }
  const std::string &directory() const { return directory_; }
  // The SMB requests the host has been sent so far ("request"), or the
  // logons it refused for a wrong password ("refused").
  unsigned Logged(const std::string &what) const {
    std::ifstream in(directory_ + "/log");
    unsigned lines = 0;
    for (std::string line; std::getline(in, line);) lines += line == what;
    return lines;
  }

  static void WriteFile(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

 private:
  std::string directory_, network_, credentials_;
  pid_t pid_ = -1;
  unsigned port_ = 0, silent_port_ = 0, garbage_port_ = 0, endless_port_ = 0;
};

#endif
