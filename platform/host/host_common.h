// SPDX-License-Identifier: GPL-3.0-or-later
// What the hosts' implementations of host.h share: the names of the
// temporary files a replacement writes, and the messages of a replacement
// that failed.
#ifndef VELMORA_PLATFORM_HOST_HOST_COMMON_H
#define VELMORA_PLATFORM_HOST_HOST_COMMON_H

#include <string>

namespace standin::host {

// A replacement writes ".NAME.velmora-tmp.XXXXXX" beside the network file
// NAME (six letters or digits at the end) and renames it over the file.
std::string TemporaryPrefix(const std::string &base_name);
// Whether a file in the network file's folder is such a temporary file.
bool IsTemporaryOf(const std::string &file_name, const std::string &base_name);

// The messages of a replacement that failed, with the host's reason; the
// network file is as it was.
std::string NoTemporaryMessage(const std::string &directory, const std::string &reason);
std::string NotReplacedMessage(const std::string &what, const std::string &reason, const std::string &real_path);

}  // namespace standin::host

#endif
