// Network files on disk: reading, the exclusive lock every call works under,
// and atomic replacement, so that several Velmora processes can share one
// file without losing an update or seeing half of one.
#ifndef VELMORA_STANDIN_NET_NETWORK_FILE_H
#define VELMORA_STANDIN_NET_NETWORK_FILE_H

#include <string>

#include "network_model.h"

namespace standin::net {

// Holds an exclusive flock on the lock file that belongs to a network file
// (the file's path with ".lock" added). The lock is separate from the data
// file because replacing that file gives it a new inode.
class NetworkFileLock {
 public:
  explicit NetworkFileLock(const std::string &network_path);
  ~NetworkFileLock();
  NetworkFileLock(const NetworkFileLock &) = delete;
  NetworkFileLock &operator=(const NetworkFileLock &) = delete;

  bool ok() const { return fd_ >= 0; }
  const std::string &error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// Reads and parses a network file; the message names the file, the line and
// the fault.
bool ReadNetworkFile(const std::string &path, Network *network, std::string *error);

// Replaces the file with `text`: a temporary file in the same directory,
// written and synced, then renamed over it.
bool ReplaceFileAtomically(const std::string &path, const std::string &text, std::string *error);

bool FileExists(const std::string &path);
// Creates a directory and its missing parents (mode 0700).
bool MakeDirectories(const std::string &path, std::string *error);

}  // namespace standin::net

#endif
