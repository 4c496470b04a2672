// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the network tests: world statements from text, and wide server names.
#ifndef VELMORA_TESTS_PLATFORM_NETAPI32_WORLD_H
#define VELMORA_TESTS_PLATFORM_NETAPI32_WORLD_H

#include <lm.h>

#include <standin/network.h>
#include <standin/statement.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::vector<standin::Token> Lex(const std::string &line) {
  std::vector<standin::Token> tokens;
  std::string error;
  EXPECT_TRUE(standin::LexStatement(line, &tokens, &error)) << error;
  return tokens;
}

// Applies a world statement; returns its error ("" on success).
inline std::string World(const std::string &line) { return standin::ApplyWorldStatement(Lex(line)); }

// A fresh network from world statements, each of which must apply.
inline void Network(const std::vector<std::string> &lines) {
  standin::ResetNetwork();
  for (const auto &line : lines) ASSERT_EQ(World(line), "") << line;
}

inline AT_INFO JobRecord(DWORD job_time, const WCHAR *command, UCHAR flags = 0, UCHAR dow = 0, DWORD dom = 0) {
  AT_INFO info{};
  info.JobTime = job_time;
  info.DaysOfMonth = dom;
  info.DaysOfWeek = dow;
  info.Flags = flags;
  info.Command = const_cast<WCHAR *>(command);
  return info;
}

inline NET_API_STATUS Add(const AT_INFO &info, DWORD *id, LPCWSTR server = u"\\\\PC01") {
  return NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(const_cast<AT_INFO *>(&info)), id);
}

constexpr DWORD kHour = 3600000;
constexpr NET_API_STATUS kSuccess = NERR_Success, kInternalError = NERR_InternalError;

#endif
