// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled resource files: any bytes are refused or read as whole entries, and
// every dialog template among them is refused or read.
#include <standin/resources.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// A seed is a compiled resource file, or a dialog template of its own.
extern "C" bool VelmoraFuzzInputIsRead(const uint8_t *data, size_t size) {
  std::vector<standin::ResourceEntry> entries;
  standin::DialogTemplate dialog;
  std::string error;
  return standin::ParseResFile(data, size, &entries, &error) ||
         standin::ParseDialogTemplate(data, size, &dialog, &error);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<standin::ResourceEntry> entries;
  std::string error;
  if (!standin::ParseResFile(data, size, &entries, &error) && error.empty()) std::abort();
  for (const auto &entry : entries) {
    standin::DialogTemplate dialog;
    standin::ParseDialogTemplate(entry.data.data(), entry.data.size(), &dialog, &error);
  }
  // The bytes as a dialog template of their own.
  standin::DialogTemplate dialog;
  standin::ParseDialogTemplate(data, size, &dialog, &error);
  return 0;
}
