// SPDX-License-Identifier: GPL-3.0-or-later
// The network a person gets without naming one: their own network file,
// made on first use with this machine as its one computer.
#include <standin/network.h>

#include <cstdlib>

#include <host.h>

#include "network_file.h"

namespace standin::netapi32 {
namespace {

// This machine's host name as a computer name: its first label in upper case,
// cut to the 15 bytes a computer name may hold.
std::string DefaultComputerName() {
  const std::string host = host::HostName();
  std::string name = UpperCaseAscii(host.substr(0, host.find('.')));
  std::string usable;
  for (char c : name)
    usable.push_back(static_cast<unsigned char>(c) < 0x80 && IsValidComputerName(std::string(1, c)) ? c : '-');
  if (usable.size() > 15) usable.resize(15);
  return usable.empty() ? "LOCALHOST" : usable;
}

}  // namespace
}  // namespace standin::netapi32

namespace standin {

using netapi32::Network;

std::string OpenNetworkForUser(std::string *path_used) {
  std::string path;
  const char *chosen = std::getenv("VELMORA_NETWORK");
  if (chosen != nullptr && *chosen != '\0') {
    path = chosen;
  } else {
    std::string directory, error;
    if (!host::DefaultNetworkFolder(&directory, &error)) return error;
    if (!host::MakeDirectories(directory, &error)) return error;
    path = directory + "/network";
    // The person's own network is made on first use: this machine alone.
    host::ResolvedPath resolved;
    if (!host::ResolveNetworkFile(path, &resolved, &error)) return error;
    if (!resolved.exists) {
      bool may_not_lock = false;
      const auto lock = host::LockNetworkFile(resolved.real_path, host::kLockWaitMilliseconds, &error, &may_not_lock);
      if (lock == nullptr) return error;
      if (!host::ResolveNetworkFile(path, &resolved, &error)) return error;
      if (!resolved.exists) {
        Network network;
        netapi32::Computer computer;
        computer.name = netapi32::DefaultComputerName();
        network.computers.push_back(computer);
        if (!host::ReplaceNetworkFile(resolved.real_path, netapi32::WriteNetworkText(network), &error)) return error;
      }
    }
  }
  if (path_used != nullptr) *path_used = path;
  return OpenNetworkFile(path);
}

}  // namespace standin
