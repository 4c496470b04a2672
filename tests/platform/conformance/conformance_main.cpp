// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the conformance cases: all of them, or those named on the command line,
// each on a fresh user interface. Prints PASS, FAIL (with every failed check)
// or SKIP (with the reason) for each, then the totals; exits 1 when one failed.
#include "conformance.h"
#include "test_host.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace conformance {
namespace {

struct Case {
  const char *name;
  CaseFunction function;
};

std::vector<Case> &Cases() {
  static std::vector<Case> cases;
  return cases;
}

std::vector<std::string> g_failures;

struct CaseSkipped {
  std::string reason;
};

}  // namespace

bool Register(const char *name, CaseFunction function) {
  Cases().push_back({name, function});
  return true;
}

void Fail(const char *file, int line, const std::string &what) {
  const char *base = std::strrchr(file, '/');
  g_failures.push_back(std::string(base ? base + 1 : file) + ":" + std::to_string(line) + ": " + what);
}

void Skip(const std::string &reason) { throw CaseSkipped{reason}; }

bool OnWine() { return RunsOnWine(); }

}  // namespace conformance

int main(int argc, char **argv) {
  using namespace conformance;
  int passed = 0, failed = 0, skipped = 0, unknown = 0;
  std::vector<std::string> wanted(argv + 1, argv + argc);
  for (const std::string &name : wanted) {
    bool found = false;
    for (const Case &c : Cases()) found = found || name == c.name;
    if (!found) {
      std::printf("FAIL %s: no such case\n", name.c_str());
      ++unknown;
    }
  }
  for (const Case &c : Cases()) {
    if (!wanted.empty()) {
      bool named = false;
      for (const std::string &name : wanted) named = named || name == c.name;
      if (!named) continue;
    }
    g_failures.clear();
    std::string skip_reason;
    ResetUserInterface();
    try {
      c.function();
    } catch (const CaseEnded &) {
    } catch (const CaseSkipped &skip) {
      skip_reason = skip.reason;
    }
    ResetUserInterface();
    if (!skip_reason.empty()) {
      std::printf("SKIP %s: %s\n", c.name, skip_reason.c_str());
      ++skipped;
    } else if (g_failures.empty()) {
      std::printf("PASS %s\n", c.name);
      ++passed;
    } else {
      std::printf("FAIL %s\n", c.name);
      for (const std::string &failure : g_failures) std::printf("  %s\n", failure.c_str());
      ++failed;
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed + unknown, skipped);
  return failed + unknown == 0 ? 0 : 1;
}
