// SPDX-License-Identifier: GPL-3.0-or-later
// Network files: parsing, write-back, atomic replacement under a lock, and
// the default file for a person running Velmora.
#include <lm.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "host.h"
#include "world.h"

namespace {

class NetworkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-net-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/network";
    standin::SetNetworkDiagnosticSink([this](const std::string &message) { diagnostics_ += message + "\n"; });
  }
  void TearDown() override {
    standin::SetNetworkDiagnosticSink(nullptr);
    standin::ResetNetwork();
    std::filesystem::remove_all(dir_);
  }
  void Write(const std::string &text) { std::ofstream(path_, std::ios::binary) << text; }
  // Writes TEXT as the network file and opens it: "" or the refusal.
  std::string Open(const std::string &text) {
    Write(text);
    return standin::OpenNetworkFile(path_);
  }
  // The network file, or the one at `path`.
  std::string Read(const std::string &path = "") const {
    std::ifstream in(path.empty() ? path_ : path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static std::tuple<uid_t, gid_t, mode_t> Owner(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return {st.st_uid, st.st_gid, st.st_mode & 07777};
  }
  static NET_API_STATUS AddJob(const WCHAR *command = u"worker.cmd", const WCHAR *server = u"\\\\PC01",
                               DWORD *id = nullptr) {
    DWORD given = 0;
    return Add(JobRecord(kHour, command), id != nullptr ? id : &given, server);
  }
  // Starts (opcode 0) or controls the Schedule service of SERVER.
  static NET_API_STATUS Service(const WCHAR *server, DWORD opcode) {
    LPBYTE buffer = nullptr;
    const NET_API_STATUS status = opcode == 0 ? NetServiceInstall(server, u"Schedule", 0, nullptr, &buffer)
                                              : NetServiceControl(server, u"Schedule", opcode, 0, &buffer);
    NetApiBufferFree(buffer);
    return status;
  }
  static bool ExitedWell(pid_t child) {
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  static std::vector<std::u16string> Commands(const std::string &computer) {
    std::vector<std::u16string> commands;
    for (const standin::StoredJob &job : standin::JobsOf(computer)) commands.push_back(job.command);
    return commands;
  }
  std::set<std::string> Names(const std::string &folder = "") const {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_ + folder)) names.insert(entry.path().filename());
    return names;
  }
  // A call that gave up waiting for the lock, which only a loaded machine makes wait five seconds, is made again (ten
  // times at most): what counts is that none is lost.
  template <typename Call>
  NET_API_STATUS Patiently(Call call) {
    NET_API_STATUS status = NERR_InternalError;
    for (int tries = 0; tries < 10 && status == NERR_InternalError; ++tries) {
      diagnostics_.clear();
      status = call();
      if (diagnostics_.find(" holds the network file ") == std::string::npos) break;
    }
    return status;
  }

  std::string dir_, path_, diagnostics_;
};

// Busy writers do not starve one: a waiting writer is woken when the lock is
// let go, so none of the adds runs out of time while the others go on.
TEST_F(NetworkFileTest, EightWritersAndADeleterAllGetTheirTurn) {
  Write("computer PC01\n");
  constexpr int kWriters = 8, kAdds = 150, kDeletes = 300;
  std::vector<pid_t> children;
  for (int i = 0; i <= kWriters; ++i) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (!standin::OpenNetworkFile(path_).empty()) _exit(2);
      for (int added = 0; i < kWriters && added < kAdds; ++added)
        if (Patiently([] { return AddJob(); }) != NERR_Success) _exit(1);
      for (int deleted = 0; i == kWriters && deleted < kDeletes;) {
        const auto jobs = standin::JobsOf("PC01");
        if (jobs.empty()) continue;
        if (Patiently([&] { return NetScheduleJobDel(u"\\\\PC01", jobs[0].id, jobs[0].id); }) != NERR_Success) _exit(1);
        ++deleted;
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) EXPECT_TRUE(ExitedWell(child)) << "process " << child;
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  const auto jobs = standin::JobsOf("PC01");
  EXPECT_EQ(jobs.size(), static_cast<size_t>(kWriters * kAdds - kDeletes));
  EXPECT_EQ(jobs.back().id, static_cast<uint32_t>(kWriters * kAdds));
}

// Every statement that holds a service's state says what the program last
// did, so that the next start reads it; adding and deleting jobs leave it.
TEST_F(NetworkFileTest, EveryServiceChangeIsWhatTheNextStartReads) {
  Write("computer PC01 service=stopped\nservice PC01 state=running pending=1\njob PC01 id=2 at=01:00 cmd=\"a\"\n");
  const auto status_read_anew = [this] {
    standin::ResetNetwork();
    EXPECT_EQ(standin::OpenNetworkFile(path_), "");
    return standin::ServiceStatusOf("PC01").value_or(0xFFFF);
  };
  ASSERT_EQ(status_read_anew(), 0x33u);
  ASSERT_EQ(NetScheduleJobDel(u"\\\\PC01", 2, 2), kSuccess);
  EXPECT_EQ(status_read_anew(), 0x33u);
  ASSERT_EQ(AddJob(), kSuccess);
  // A start (0), then stop, pause and continue.
  for (const auto &[opcode, status] : {std::pair<DWORD, DWORD>{SERVICE_CTRL_UNINSTALL, 0},
                                       {0, 0x33},
                                       {SERVICE_CTRL_PAUSE, 0x3F},
                                       {SERVICE_CTRL_CONTINUE, 0x33}}) {
    ASSERT_EQ(Service(u"\\\\PC01", opcode), kSuccess);
    EXPECT_EQ(status_read_anew(), status) << "after control " << opcode;
  }
  EXPECT_EQ(Read(),
            "computer PC01 service=running\nservice PC01 pending=1 state=running lastid=3\n"
            "job PC01 id=3 at=01:00 cmd=\"worker.cmd\"\n");
}

TEST_F(NetworkFileTest, APersonsNetworkIsThisMachineWithARunningService) {
  setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  unsetenv("VELMORA_NETWORK");
  std::string used;
  bool renamed = false;  // as root, under a host name one past 15 letters, in a UTS namespace of this thread alone
  std::thread([&] {
    renamed = unshare(CLONE_NEWUTS) == 0 && sethostname("velmora-testhost.example", 24) == 0;
    EXPECT_EQ(standin::OpenNetworkForUser(&used), "");
  }).join();
  EXPECT_EQ(used, dir_ + "/state/velmora/network");
  EXPECT_EQ(std::get<2>(Owner(dir_ + "/state/velmora")), 0700u);  // jobs are the person's own
  EXPECT_EQ(std::get<2>(Owner(dir_ + "/state/velmora/network.lock")), 0600u);
  EXPECT_EQ(Names("/state"), std::set<std::string>{"velmora"});
  EXPECT_EQ(Names("/state/velmora"), (std::set<std::string>{"network", "network.lock"}));
  const std::string local = standin::LocalComputerName();
  EXPECT_TRUE(renamed ? local == "VELMORA-TESTHOS" : !local.empty() && local.size() <= 15) << local;
  EXPECT_EQ(standin::ServiceStatusOf(local), 0x33u);
  EXPECT_TRUE(standin::JobsOf(local).empty());

  // A second start finds the same file, with what the first one stored. (VELMORA_NETWORK is what
  // tests/frontends/terminal/end_to_end.py and tests/shared_network use.)
  ASSERT_EQ(World("job " + local + " id=4 at=01:00 cmd=\"kept\""), "");
  standin::ResetNetwork();
  ASSERT_EQ(standin::OpenNetworkForUser(&used), "");
  EXPECT_EQ(standin::JobsOf(local).size(), 1u);

  // A relative XDG_STATE_HOME is no folder: HOME's is taken. A lock file that
  // cannot be taken there stops the first start.
  setenv("XDG_STATE_HOME", "state", 1);
  const std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "";
  setenv("HOME", dir_.c_str(), 1);
  const std::string lock = dir_ + "/.local/state/velmora/network.lock";
  std::filesystem::create_directories(dir_ + "/.local/state/velmora");
  ASSERT_EQ(symlink("elsewhere", lock.c_str()), 0);
  EXPECT_NE(standin::OpenNetworkForUser(&used).find("symbolic link"), std::string::npos);
  ASSERT_EQ(unlink(lock.c_str()), 0);
  ASSERT_EQ(standin::OpenNetworkForUser(&used), "");
  EXPECT_EQ(used, dir_ + "/.local/state/velmora/network");
  // Nor is a relative HOME; and a folder that cannot be made is named.
  setenv("HOME", "home", 1);
  EXPECT_EQ(standin::OpenNetworkForUser(nullptr),
            "neither VELMORA_NETWORK, XDG_STATE_HOME nor HOME names where the network file is kept");
  setenv("XDG_STATE_HOME", used.c_str(), 1);
  EXPECT_EQ(standin::OpenNetworkForUser(nullptr), "cannot create the folder " + used + "/velmora: Not a directory");
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_STATE_HOME");
}

// A write keeps what it does not change: comments, line endings, statements as written, and the file's owner and mode;
// a new local goes before the first statement. (A read-only file's refusal is played by
// tests/frontends/terminal/end_to_end.py read-only.)
TEST_F(NetworkFileTest, WritesKeepWhatTheyDoNotChange) {
  Write(
      "\xEF\xBB\xBF# head\r\n\r\nclock 2024-02-29 7:00\r\ncomputer pc01\r\nservice pc01 pending=1\r\n"
      "# the backups\r\njob pc01 id=1  at=7:00 dom=1 cmd=\"a\"\r\njob PC01 id=2 at=08:00 cmd=\"b\"\r\n"
      "# tail\r\ncomputer PC02 service=stopped");
  ASSERT_EQ(chown(path_.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(path_.c_str(), 02751), 0);
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  ASSERT_EQ(AddJob(), kSuccess);
  ASSERT_EQ(NetScheduleJobDel(u"\\\\PC01", 2, 2), kSuccess);
  ASSERT_EQ(Service(u"\\\\PC02", 0), kSuccess);
  ASSERT_EQ(World("local PC02"), "");
  EXPECT_EQ(Read(),
            "\xEF\xBB\xBF# head\r\n\r\nlocal PC02\r\nclock 2024-02-29 7:00\r\ncomputer pc01\r\n"
            "service pc01 pending=1\r\n# the backups\r\njob pc01 id=1  at=7:00 dom=1 cmd=\"a\"\r\n"
            "job PC01 id=3 at=01:00 cmd=\"worker.cmd\"\r\n# tail\r\ncomputer PC02 service=running");
  EXPECT_EQ(Owner(path_), std::make_tuple(65534u, 65534u, 02751u));  // set-group-ID too
  // The lock file made beside it: the same owner, and its read and write bits.
  EXPECT_EQ(Owner(path_ + ".lock"), std::make_tuple(65534u, 65534u, 0640u));
}

// What a write adds or restates follows the file: the ending of its first line, a name that needs quotes quoted on
// every kind of line, a new real computer's settings, and what several service lines of one computer hold together (an
// earlier line's codes and higher last ID stand), restated once on the first of them.
TEST_F(NetworkFileTest, WrittenLinesFollowTheFile) {
  ASSERT_EQ(Open("computer \"Z=B\"\r\nservice \"z=b\" state=running start=5 lastid=9\r\n"
                 "service \"Z=B\" continue=6 lastid=7\r\nservice \"Z=B\" pending=1000000\r\n# tail\n"),
            "");
  DWORD id = 0;
  ASSERT_EQ(AddJob(u"worker.cmd", u"\\\\Z=B", &id), kSuccess);
  EXPECT_EQ(id, 10u);
  ASSERT_EQ(Service(u"\\\\Z=B", SERVICE_CTRL_PAUSE), kSuccess);
  ASSERT_EQ(World("computer PC03 real privacy=none auth=ntlm"), "");
  ASSERT_EQ(World("service PC03 start=7"), "");
  EXPECT_EQ(
      Read(),
      "computer \"Z=B\" service=paused\r\nservice \"Z=B\" start=5 continue=6 pending=1000000 state=paused lastid=10\r\n"
      "job \"Z=B\" id=10 at=01:00 cmd=\"worker.cmd\"\r\n# tail\n"
      "computer PC03 real privacy=none auth=ntlm service=running\r\nservice PC03 start=7\r\n");
}

// A file that cannot be read faithfully stops the start, naming the line, and is left alone.
TEST_F(NetworkFileTest, WhatCannotBeKeptFaithfullyIsRefusedAtLoad) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"# my network\ncomputer PC01\njob PC01 id=1 at=24:00 cmd=\"x\"\n",
       "line 3: at=24:00 is not a time of day HH:MM[:SS[.mmm]]"},
      {"computer PC01\njob PC01 id=1 at=01:00 cmd=\"sjis\x8C\x76\x8E\x5A\"\n",
       "line 2, column 33: byte 0x8C is not UTF-8"},
      {"fail PC01 NetScheduleJobAdd 5\n", "line 1: fail belongs in scenarios, not in a network file"},
  };
  for (const auto &[text, fault] : cases) {
    EXPECT_EQ(Open(text), "network file " + path_ + ", " + fault);
    EXPECT_EQ(Read(), text);
  }

  // Only regular files, and nothing is made beside a file that is not there.
  ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(mknod((dir_ + "/socket").c_str(), S_IFSOCK | 0600, 0), 0);
  for (const auto &[name, kind] : {std::pair{"/fifo", "a FIFO"}, {"/socket", "a socket"}, {"", "a folder"}})
    EXPECT_EQ(standin::OpenNetworkFile(dir_ + name),
              "the network file " + dir_ + name + " is " + kind + ", not a regular file");
  EXPECT_EQ(standin::OpenNetworkFile("/dev/null"), "the network file /dev/null is a device, not a regular file");
  EXPECT_EQ(standin::OpenNetworkFile(dir_ + "/missing"), "there is no network file " + dir_ + "/missing");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);  // a name without a folder is the current folder's
  EXPECT_EQ(standin::OpenNetworkFile("missing"), "there is no network file missing");
  std::filesystem::current_path(cwd);
  ASSERT_EQ(symlink((dir_ + "/elsewhere").c_str(), (path_ + ".lock").c_str()), 0);
  ASSERT_EQ(Open("computer PC01\n"), "");
  EXPECT_EQ(AddJob(), kInternalError);
  EXPECT_NE(diagnostics_.find("is a symbolic link; Velmora does not follow it"), std::string::npos) << diagnostics_;
  ASSERT_EQ(unlink((path_ + ".lock").c_str()), 0);
  ASSERT_EQ(mkfifo((path_ + ".lock").c_str(), 0600), 0);
  EXPECT_EQ(AddJob(), kInternalError);
  EXPECT_NE(diagnostics_.find("the lock file " + path_ + ".lock is a FIFO"), std::string::npos) << diagnostics_;
  EXPECT_EQ(Names(), (std::set<std::string>{"fifo", "socket", "network", "network.lock"}));
}

// A holder that does not let go fails the call, named, without waiting on; one
// that is stopped is said to be, since waiting for it to finish is in vain.
TEST_F(NetworkFileTest, AHolderThatDoesNotLetGoIsNamedAndAStoppedOneSaidToBe) {
  ASSERT_EQ(Open("computer PC01\n"), "");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::string error;
  bool may_not_lock = false;
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const auto lock = standin::host::LockNetworkFile(path_, 1000, &error, &may_not_lock);
    (void)!write(ready[1], lock != nullptr ? "y" : "n", 1);
    for (;;) pause();
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  const std::string named = "another process (platform_netapi, process ID " + std::to_string(holder) + ")";
  for (const bool stopped : {false, true}) {
    if (stopped) kill(holder, SIGSTOP);
    diagnostics_.clear();
    EXPECT_EQ(AddJob(), kInternalError);
    EXPECT_EQ(diagnostics_.rfind(named + " holds the network file " + path_ +
                                     (stopped ? " and is stopped" : "; try again when it has finished"),
                                 0),
              0u)
        << diagnostics_;
  }
  // A lock file whose text is not a process ID alone names no one: a wrong process named would be the one a user ends.
  // Nor does the ID of a process that has ended.
  kill(holder, SIGCONT);
  std::ofstream(path_ + ".lock") << holder << "x\n";
  diagnostics_.clear();
  EXPECT_EQ(AddJob(), kInternalError);
  EXPECT_EQ(diagnostics_.rfind("another process holds the network file " + path_ + ";", 0), 0u) << diagnostics_;
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  std::ofstream(path_ + ".lock") << ended << "\n";
  EXPECT_EQ(standin::host::LockNetworkFile(path_, 0, &error, &may_not_lock), nullptr);
  EXPECT_EQ(error.rfind("another process holds the network file " + path_ + ";", 0), 0u) << error;
  // A signal of no concern to the wait (its handler restarts nothing) does
  // not end it: the holder's end, after it, lets the call through.
  struct sigaction stray {
  }, kept{};
  stray.sa_handler = [](int) {};
  sigaction(SIGUSR1, &stray, &kept);
  std::thread ender([holder] {
    usleep(200000);
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
      const pid_t tid = std::stoi(task.path().filename());
      if (tid != gettid()) tgkill(getpid(), tid, SIGUSR1);
    }
    usleep(200000);
    kill(holder, SIGKILL);
  });
  EXPECT_EQ(AddJob(), kSuccess);
  ender.join();
  sigaction(SIGUSR1, &kept, nullptr);
  waitpid(holder, nullptr, 0);

  // A lock of the process's own, as Wine's server takes for a Windows program, names its holder whatever the file says.
  const pid_t wine = fork();
  ASSERT_GE(wine, 0);
  if (wine == 0) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_len = 1;
    (void)!write(ready[1], fcntl(open((path_ + ".lock").c_str(), O_RDWR), F_SETLK, &range) == 0 ? "y" : "n", 1);
    for (;;) pause();
  }
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  EXPECT_EQ(standin::host::LockNetworkFile(path_, 0, &error, &may_not_lock), nullptr);
  EXPECT_EQ(error.rfind("another process (platform_netapi, process ID " + std::to_string(wine) + ")", 0), 0u) << error;
  kill(wine, SIGKILL);
  waitpid(wine, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(NetworkFileTest, AFullDiskLeavesTheFileAndNoTemporaryFile) {
  std::string text = "computer PC01\n";
  for (int id = 1; id <= 100; ++id) text += "job PC01 id=" + std::to_string(id) + " at=01:00 cmd=\"x\"\n";
  Write(text);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a write that never ends ends with the test
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, RLIM_INFINITY}, none{RLIM_INFINITY, RLIM_INFINITY};
    usleep(200000);  // a settled file: its reading is used again while it stays
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || !standin::OpenNetworkFile(path_).empty()) _exit(2);
    const bool refused =
        AddJob() == NERR_InternalError &&
        diagnostics_.find(": File too large; the network file " + path_ + " was not changed") != std::string::npos;
    setrlimit(RLIMIT_FSIZE, &none);  // for the coverage build's counts
    // The change that could not be written is not seen afterwards either.
    _exit(refused && standin::JobsOf("PC01").size() == 100 ? 0 : 1);
  }
  EXPECT_TRUE(ExitedWell(child));
  EXPECT_EQ(Read(), text);
  EXPECT_EQ(Names(), (std::set<std::string>{"network", "network.lock"}));
}

// The network read is used again while the file stays that version; every other version is read: a replacement by
// rename, even of the same size and times; and a rewrite in place soon after the file last changed, which its times may
// not tell.
TEST_F(NetworkFileTest, EachCallSeesTheFileAsItIsNow) {
  const std::string first = "computer PC01\njob PC01 id=1 at=01:00 cmd=\"a\"\n";
  Write(first);
  struct stat before {};
  ASSERT_EQ(stat(path_.c_str(), &before), 0);
  usleep(200000);  // past the file system clock's tick: the reading is trusted
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  EXPECT_EQ(Commands("PC01"), std::vector<std::u16string>{u"a"});

  const std::string other = dir_ + "/other";
  std::ofstream(other, std::ios::binary) << "computer PC01\njob PC01 id=1 at=01:00 cmd=\"b\"\n";
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
  ASSERT_EQ(rename(other.c_str(), path_.c_str()), 0);
  EXPECT_EQ(Commands("PC01"), std::vector<std::u16string>{u"b"});

  const auto rewrite = [&](char command) {
    std::fstream in_place(path_, std::ios::binary | std::ios::in | std::ios::out);
    in_place.seekp(static_cast<std::streamoff>(first.size() - 3));
    in_place << command;
  };
  // Both rewrites fall early in one second, so that only the nanoseconds of the change time tell the second from the
  // first, whose reading has settled; the second puts the modification time back, as touch -r does.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  usleep(static_cast<useconds_t>(1020000 - now.tv_nsec / 1000));
  rewrite('c');
  EXPECT_EQ(Commands("PC01"), std::vector<std::u16string>{u"c"});
  usleep(200000);
  Commands("PC01");
  ASSERT_EQ(stat(path_.c_str(), &before), 0);
  rewrite('d');
  const struct timespec put_back[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), put_back, 0), 0);
  EXPECT_EQ(Commands("PC01"), std::vector<std::u16string>{u"d"});

  // A FIFO put in its place is refused, not read as an empty network.
  ASSERT_EQ(mkfifo(other.c_str(), 0600), 0);
  ASSERT_EQ(rename(other.c_str(), path_.c_str()), 0);
  Commands("PC01");
  EXPECT_NE(diagnostics_.find(path_ + " is a FIFO, not a regular file"), std::string::npos) << diagnostics_;
}

// What this process wrote is what it goes on seeing and what a new reading gives, and lines it did not change stay as
// they were written, however their commands are spelled.
TEST_F(NetworkFileTest, WhatIsWrittenIsWhatEveryoneReads) {
  const std::string lines =
      "computer PC01\n"
      "job PC01 id=1  at=01:00 cmd=\"plain\"\n"
      "job PC01 id=2  at=01:00 cmd=\"\xE9\x80\xB1\xE6\xAC\xA1\"\n"
      "job PC01 id=3  at=01:00 cmd=\"say \\\"hi\\\"\"\n"
      "job PC01 id=4  at=01:00 cmd=\"x\"  \n";
  ASSERT_EQ(Open(lines), "");
  ASSERT_EQ(AddJob(u"\u9031\u6B21.bat"), kSuccess);
  ASSERT_EQ(AddJob(u"second"), kSuccess);
  EXPECT_EQ(Read(), lines +
                        "job PC01 id=5 at=01:00 cmd=\"\xE9\x80\xB1\xE6\xAC\xA1.bat\"\n"
                        "job PC01 id=6 at=01:00 cmd=\"second\"\n");
  const std::vector<std::u16string> seen = Commands("PC01");
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"plain", u"\u9031\u6B21", u"say \"hi\"", u"x", u"\u9031\u6B21.bat",
                                               u"second"}));
  standin::ResetNetwork();
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  EXPECT_EQ(Commands("PC01"), seen);
  // Simulated computers never bring in the real network's module, nor Samba's libraries behind it.
  const std::string mapped = Read("/proc/self/maps");
  EXPECT_EQ(mapped.find("velmora-realnet"), std::string::npos);
  EXPECT_EQ(mapped.find("libdcerpc"), std::string::npos);
}

}  // namespace
