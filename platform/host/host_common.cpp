// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_common.h"

namespace standin::host {
namespace {

constexpr size_t kTemporarySuffixLength = 6;

}  // namespace

std::string TemporaryPrefix(const std::string &base_name) { return "." + base_name + ".velmora-tmp."; }

bool IsTemporaryOf(const std::string &file_name, const std::string &base_name) {
  const std::string prefix = TemporaryPrefix(base_name);
  return file_name.size() == prefix.size() + kTemporarySuffixLength && file_name.compare(0, prefix.size(), prefix) == 0;
}

std::string NoTemporaryMessage(const std::string &directory, const std::string &reason) {
  return "cannot create a temporary file in " + directory + ": " + reason + "; nothing was changed";
}

std::string NotReplacedMessage(const std::string &what, const std::string &reason, const std::string &real_path) {
  return what + ": " + reason + "; the network file " + real_path + " was not changed";
}

}  // namespace standin::host
