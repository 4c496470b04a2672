// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/driver.h>

#include <cstdio>
#include <cstdlib>

namespace standin {
namespace {
Driver *g_driver = nullptr;
}

void SetDriver(Driver *driver) { g_driver = driver; }
Driver *CurrentDriver() { return g_driver; }

void ReportProgramFault(const std::string &what) {
  if (g_driver != nullptr) g_driver->ProgramFault(what);
  std::fprintf(stderr, "velmora: program fault: %s\n", what.c_str());
  std::abort();
}

}  // namespace standin
