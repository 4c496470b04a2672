// SPDX-License-Identifier: GPL-3.0-or-later
// Network files as the network's store: read and parsed under the file's lock,
// written back faithfully, on whatever host (host.h).
#ifndef VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H
#define VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H

#include <memory>
#include <string>

#include <host.h>

#include "network_model.h"

namespace standin::netapi32 {

// Reads and parses the network file at `real_path`; the message names the
// file, the line and the fault. With `version`, it receives the version of
// the file that was read (see host::FileVersion).
bool ReadNetworkFile(const std::string &real_path, Network *network, std::string *error,
                     std::unique_ptr<host::FileVersion> *version = nullptr);

}  // namespace standin::netapi32

#endif
