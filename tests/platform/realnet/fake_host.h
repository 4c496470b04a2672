// Starts tests/platform/realnet/fake_host.py on a network file and an authentication
// file of its own, and stops it at the end of the test.
#ifndef VELMORA_TESTS_REALNET_FAKE_HOST_H
#define VELMORA_TESTS_REALNET_FAKE_HOST_H

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::vector<std::string> args = {"/usr/bin/python3", VELMORA_FAKE_HOST,
                                       "--network",        network_,
                                       "--user",           "alice",
                                       "--password",       "s3cret pass",
                                       "--refused-logons", directory_ + "/refused"};
      args.insert(args.end(), flags.begin(), flags.end());
      std::vector<char *> argv;
      for (auto &arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE *from = fdopen(out[0], "r");
    char line[64] = {};
    if (from != nullptr && std::fgets(line, sizeof line, from) != nullptr) std::sscanf(line, "ready %u", &port_);
    if (from != nullptr) std::fclose(from);
  }

  ~FakeHost() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::system(("rm -rf '" + directory_ + "'").c_str());
  }

  unsigned port() const { return port_; }
  const std::string &network() const { return network_; }
  const std::string &credentials() const { return credentials_; }
  const std::string &directory() const { return directory_; }
  // Logons the host refused for a wrong password so far.
  unsigned RefusedLogons() const {
    std::ifstream in(directory_ + "/refused");
    unsigned lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }

  static void WriteFile(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

 private:
  std::string directory_, network_, credentials_;
  pid_t pid_ = -1;
  unsigned port_ = 0;
};

#endif
