// SPDX-License-Identifier: GPL-3.0-or-later
// Scenario files: any text is parsed whole or refused with a line and a reason.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scenario_statements.h"

extern "C" bool VelmoraFuzzInputIsRead(const uint8_t *data, size_t size) {
  std::vector<standin::scenario::Statement> statements;
  int line = 0;
  std::string error;
  const bool read = standin::scenario::ParseScenario(std::string(reinterpret_cast<const char *>(data), size),
                                                     &statements, &line, &error);
  if (!read && (error.empty() || line < 1)) std::abort();
  return read;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  VelmoraFuzzInputIsRead(data, size);
  return 0;
}
