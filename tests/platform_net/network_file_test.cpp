// Network files: parsing, write-back, atomic replacement under a lock, and
// the default file for a person running Velmora.
#include <lm.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "world.h"

namespace {

class NetworkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-net-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/network";
  }
  void TearDown() override {
    standin::ResetNetwork();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  void Write(const std::string &text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Adds a job through the API in a forked child; returns whether all adds worked.
  static bool AddJobs(const std::string &path, int count) {
    if (!standin::OpenNetworkFile(path).empty()) return false;
    AT_INFO info = JobRecord(kHour, u"worker.cmd");
    for (int i = 0; i < count; ++i) {
      DWORD id = 0;
      if (NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id) != NERR_Success) return false;
    }
    return true;
  }

  std::string dir_, path_;
};

TEST_F(NetworkFileTest, AFileThatCannotBeParsedStopsTheStartAndIsLeftAlone) {
  const std::string text = "# my network\ncomputer PC01\njob PC01 id=1 at=25:00 cmd=\"x\"\n";
  Write(text);
  EXPECT_EQ(standin::OpenNetworkFile(path_),
            "network file " + path_ + ", line 3: at=25:00 is not a time of day HH:MM[:SS[.mmm]]");
  EXPECT_EQ(Read(), text);
  Write("computer PC01\nfail PC01 NetScheduleJobAdd 5\n");
  EXPECT_EQ(standin::OpenNetworkFile(path_),
            "network file " + path_ + ", line 2: fail belongs in scenarios, not in a network file");
  EXPECT_NE(standin::OpenNetworkFile(dir_ + "/missing").find("there is no network file"), std::string::npos);
}

TEST_F(NetworkFileTest, ChangesAreWrittenBackAndCommandsRoundTrip) {
  Write("# kept comment\n\ncomputer PC01\ncomputer PC02 service=stopped\n");
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  const std::u16string command = u"\"C:\\Program Files\\バックアップ\\run.cmd\" /q\tx";
  AT_INFO info = JobRecord(19 * kHour + 1500, command.c_str(), JOB_RUN_PERIODICALLY, 0x15, 0x40000000);
  DWORD id = 0;
  ASSERT_EQ(NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id), static_cast<NET_API_STATUS>(0));
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetServiceInstall(u"\\\\PC02", u"Schedule", 0, nullptr, &buffer), static_cast<NET_API_STATUS>(0));
  NetApiBufferFree(buffer);

  const std::string text = Read();
  EXPECT_EQ(text.rfind("# kept comment\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("computer PC02 service=running"), std::string::npos) << text;

  // A fresh reading of the file gives back exactly the stored job.
  standin::ResetNetwork();
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  const auto job = standin::FindJob("PC01", id);
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->command, command);
  EXPECT_EQ(job->job_time, 19 * kHour + 1500);
  EXPECT_EQ(job->days_of_week, 0x15);
  EXPECT_EQ(job->days_of_month, 0x40000000u);
  EXPECT_EQ(job->flags, JOB_RUN_PERIODICALLY);
  EXPECT_EQ(standin::ServiceStatusOf("PC02"), 0x33u);

  // IDs stay sequential across deletions and readings of the file.
  ASSERT_EQ(NetScheduleJobDel(u"\\\\PC01", id, id), static_cast<NET_API_STATUS>(0));
  ASSERT_EQ(NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id), static_cast<NET_API_STATUS>(0));
  EXPECT_EQ(id, 2u);
}

// A record no time of day can write (24 hours or more) is kept as raw
// milliseconds, and an empty command survives.
TEST_F(NetworkFileTest, RawRecordsRoundTrip) {
  Write("computer PC01\njob PC01 id=4 time=90000000 cmd=\"\"\n");
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  AT_INFO info = JobRecord(kHour, u"x.cmd");
  DWORD id = 0;
  ASSERT_EQ(NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id), static_cast<NET_API_STATUS>(0));
  EXPECT_NE(Read().find("job PC01 id=4 time=90000000 cmd=\"\"\n"), std::string::npos) << Read();
  standin::ResetNetwork();
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  const auto job = standin::FindJob("PC01", 4);
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->job_time, 90000000u);
  EXPECT_TRUE(job->command.empty());
}

TEST_F(NetworkFileTest, AKillDuringWritesLeavesAWholeFile) {
  Write("computer PC01\n");
  size_t last_count = 0;
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(AddJobs(path_, 1000000) ? 0 : 1);
    usleep(static_cast<useconds_t>(2000 + round * 1700));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(standin::OpenNetworkFile(path_), "") << "round " << round;
    const size_t count = standin::JobsOf("PC01").size();
    EXPECT_GE(count, last_count);
    last_count = count;
  }
  EXPECT_GT(last_count, 0u);
}

TEST_F(NetworkFileTest, TwoProcessesAddingAtOnceLoseNoJob) {
  Write("computer PC01\n");
  pid_t children[2];
  for (pid_t &child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(AddJobs(path_, 200) ? 0 : 1);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ASSERT_EQ(standin::OpenNetworkFile(path_), "");
  const auto jobs = standin::JobsOf("PC01");
  std::set<uint32_t> ids;
  for (const auto &job : jobs) ids.insert(job.id);
  EXPECT_EQ(jobs.size(), 400u);
  EXPECT_EQ(ids.size(), 400u);
}

TEST_F(NetworkFileTest, APersonsNetworkIsThisMachineWithARunningService) {
  setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  unsetenv("VELMORA_NETWORK");
  std::string used;
  ASSERT_EQ(standin::OpenNetworkForUser(&used), "");
  EXPECT_EQ(used, dir_ + "/state/velmora/network");
  const std::string local = standin::LocalComputerName();
  EXPECT_FALSE(local.empty());
  EXPECT_LE(local.size(), 15u);
  EXPECT_EQ(standin::ServiceStatusOf(local), 0x33u);
  EXPECT_TRUE(standin::JobsOf(local).empty());

  // A second start finds the same file, with what the first one stored.
  ASSERT_EQ(World("job " + local + " id=4 at=01:00 cmd=\"kept\""), "");
  standin::ResetNetwork();
  ASSERT_EQ(standin::OpenNetworkForUser(&used), "");
  EXPECT_EQ(standin::JobsOf(local).size(), 1u);

  // VELMORA_NETWORK names another file.
  Write("computer OTHER\n");
  setenv("VELMORA_NETWORK", path_.c_str(), 1);
  ASSERT_EQ(standin::OpenNetworkForUser(&used), "");
  EXPECT_EQ(used, path_);
  EXPECT_EQ(standin::LocalComputerName(), "OTHER");
  unsetenv("VELMORA_NETWORK");
  unsetenv("XDG_STATE_HOME");
}

}  // namespace
