// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_file.h"

#include <utility>

namespace standin::netapi32 {

bool ReadNetworkFile(const std::string &real_path, Network *network, std::string *error,
                     std::unique_ptr<host::FileVersion> *version) {
  std::string text;
  if (!host::ReadNetworkFileText(real_path, &text, error, version)) return false;
  std::string fault;
  if (!ParseNetworkText(std::move(text), network, &fault)) {
    *error = "network file " + real_path + ", " + fault;
    return false;
  }
  return true;
}

}  // namespace standin::netapi32
