// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the conformance cases: all of them, or those named on the command line,
// each on a fresh user interface. Prints PASS, FAIL (with every failed check)
// or SKIP (with the reason) for each, then the totals; exits 1 when one failed.
#include "conformance.h"
#include "test_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace conformance {
namespace {

std::vector<std::pair<std::string, CaseFunction>> &Cases() {
  static std::vector<std::pair<std::string, CaseFunction>> cases;
  return cases;
}

std::vector<std::string> g_failures;
std::string g_skip_reason;

}  // namespace

bool Register(const char *name, CaseFunction function) {
  Cases().emplace_back(name, function);
  return true;
}

void Fail(const char *file, int line, const std::string &what) {
  const char *base = std::strrchr(file, '/');
  g_failures.push_back(std::string(base ? base + 1 : file) + ":" + std::to_string(line) + ": " + what);
}

void Skip(const std::string &reason) {
  g_skip_reason = reason;
  throw CaseEnded();
}

}  // namespace conformance

int main(int argc, char **argv) {
  using namespace conformance;
  int passed = 0, failed = 0, skipped = 0;
  const std::vector<std::string> wanted(argv + 1, argv + argc);
  for (const std::string &name : wanted) {
    if (std::none_of(Cases().begin(), Cases().end(), [&name](const auto &c) { return c.first == name; })) {
      std::printf("FAIL %s: no such case\n", name.c_str());
      ++failed;
    }
  }
  for (const auto &[name, function] : Cases()) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), name) == wanted.end()) continue;
    g_failures.clear();
    g_skip_reason.clear();
    ResetUserInterface();
    try {
      function();
    } catch (const CaseEnded &) {
    }
    ResetUserInterface();
    if (!g_skip_reason.empty()) {
      std::printf("SKIP %s: %s\n", name.c_str(), g_skip_reason.c_str());
      ++skipped;
    } else if (g_failures.empty()) {
      std::printf("PASS %s\n", name.c_str());
      ++passed;
    } else {
      std::printf("FAIL %s\n", name.c_str());
      for (const std::string &failure : g_failures) std::printf("  %s\n", failure.c_str());
      ++failed;
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}
