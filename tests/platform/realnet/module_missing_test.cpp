// SPDX-License-Identifier: GPL-3.0-or-later
// Without the module (this build names one that is not there) real computers
// cannot be reached, the diagnostic line says why (the loader's reason), and nothing else is disturbed.
#include <lm.h>

#include <gtest/gtest.h>

#include <remote_host.h>

namespace {

namespace realnet = standin::realnet;

TEST(RealnetModuleMissing, ARealComputerCannotBeReachedAndTheLineSaysWhy) {
  realnet::Target target{"NTSV01", {}, ""};
  standin::StoredJob job;
  job.command = u"backup.cmd";
  uint32_t id = 0;
  EXPECT_EQ(realnet::AddJob(target, job, &id), static_cast<DWORD>(ERROR_BAD_NETPATH));
  const std::string reason = realnet::TakeFailureReason();
  EXPECT_EQ(reason.rfind("NTSV01: ", 0), 0u) << reason;
  EXPECT_NE(reason.find("velmora-realnet package"), std::string::npos) << reason;
  EXPECT_NE(reason.find("(" VELMORA_REALNET_MODULE ": cannot open shared object file"), std::string::npos);
  EXPECT_EQ(realnet::TakeFailureReason(), "");

  DWORD status = 0;
  target.name = "NTSV02";
  EXPECT_EQ(realnet::QueryService(target, "Schedule", &status), static_cast<DWORD>(ERROR_BAD_NETPATH));
  EXPECT_EQ(realnet::TakeFailureReason().rfind("NTSV02: ", 0), 0u);

  EXPECT_EQ(realnet::CheckCredentialsFile("/nonexistent/credentials"), "");
  EXPECT_EQ(realnet::SessionsOpened(), 0u);
  realnet::CloseAllConnections();
}

}  // namespace
