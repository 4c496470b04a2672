// SPDX-License-Identifier: GPL-3.0-or-later
// What network files need from the host system, and nothing else: finding the
// one real file, the lock that every process sharing it takes, reading it,
// replacing it atomically, folders, and the host's name and clocks. One
// implementation per host (host_posix.cpp here; a Windows one
// beside it), chosen by the build; everything above this layer is the same
// on every host.
//
// Messages are plain text for the user (UTF-8), naming the file and the
// reason; a function that fails leaves the file as it was.
//
// The lock protocol, which every implementation follows so that processes on
// different hosts sharing one file exclude each other:
//   - only a process that may replace the network file locks it: readers take
//     no lock, since a replacement is a rename and a reader sees the old file
//     or the new one, never a part;
//   - the lock file is "<real path>.lock", where the real path has every
//     symbolic link resolved; it is opened for writing without following a
//     symbolic link, and created when it is missing with the network file's
//     owner, group and read and write bits (at least 0600), so that whoever
//     may write the network file may lock it;
//   - an exclusive lock on its byte range offset 0, length 1 (POSIX: an
//     open-file-description record lock, F_OFD_SETLKW, which the kernel
//     grants as soon as the holder lets go; Windows: LockFileEx, retried);
//   - on POSIX the holder writes its process ID (decimal, then a line feed) at
//     offset 0 of the lock file, for the messages of those who wait; on
//     Windows the holder empties it, since its process ID means nothing to
//     the other hosts' waiters (and Windows waiters cannot read a locked byte).
#ifndef VELMORA_PLATFORM_HOST_HOST_H
#define VELMORA_PLATFORM_HOST_HOST_H

#include <cstdint>
#include <memory>
#include <string>

namespace standin::host {

// How long a call waits for another process to release a network file.
constexpr unsigned kLockWaitMilliseconds = 5000;

// Where a network path leads.
struct ResolvedPath {
  std::string real_path;  // symbolic links resolved; the file to lock, read and replace
  bool exists = false;    // false: no file there yet (its folder exists)
};

// Resolves `path` to the real file it names. Fails with a message when the
// folder does not exist, a link cannot be followed, or the path names
// something other than a regular file (a folder, FIFO or device).
bool ResolveNetworkFile(const std::string &path, ResolvedPath *resolved, std::string *error);

// The exclusive lock held on a network file; destroying it releases the lock.
class NetworkFileLock {
 public:
  virtual ~NetworkFileLock() = default;
};

// Takes the exclusive lock of the network file at `real_path` (see above),
// waiting at most `wait_ms`; then fails with a message saying which process
// holds the network file, when that is known, and whether it is stopped.
// *may_not_lock is set when the failure is that this user may not create or
// write the lock file (so may only read the network file).
std::unique_ptr<NetworkFileLock> LockNetworkFile(const std::string &real_path, unsigned wait_ms, std::string *error,
                                                 bool *may_not_lock);

// One version of a network file, as this process read or wrote it, so that a
// later call can tell whether the file is still that version without reading
// it again.
class FileVersion {
 public:
  virtual ~FileVersion() = default;
  // Whether the file at `real_path` is still this version. False whenever
  // that cannot be told for certain: the caller then reads the file again.
  virtual bool Current(const std::string &real_path) const = 0;
};

// Reads the whole of the regular file at `real_path` without blocking on
// anything that is not one. With `version`, it receives the version read, or
// null where the host cannot tell versions apart.
bool ReadNetworkFileText(const std::string &real_path, std::string *text, std::string *error,
                         std::unique_ptr<FileVersion> *version = nullptr);

// Whether this process may replace the file: fails with the reason when the
// file is read-only, the user may not write it or its folder, the file system
// is mounted read-only, or the file has several names (hard links) that a
// replacement would split.
bool CheckReplaceable(const std::string &real_path, std::string *error);

// Replaces (or, when missing, creates with mode 0600) the file at `real_path`
// with `text`: a temporary file beside it, written and synced, given the
// replaced file's mode and owner, then renamed over it. Temporary files that
// killed processes left beside the file are removed first (only those this
// function makes, and only when no process holds them). Call under the
// exclusive lock, after CheckReplaceable. With `written`, it receives the
// version now in place (null where the host cannot tell versions apart).
bool ReplaceNetworkFile(const std::string &real_path, const std::string &text, std::string *error,
                        std::unique_ptr<FileVersion> *written = nullptr);

// The folder that holds this user's own network file: on POSIX
// $XDG_STATE_HOME/velmora, else ~/.local/state/velmora; on Windows
// %LOCALAPPDATA%\Velmora. Fails with a message when the environment names
// no such place.
bool DefaultNetworkFolder(std::string *folder, std::string *error);

// Creates a folder and its missing parents (mode 0700).
bool MakeDirectories(const std::string &path, std::string *error);

// This machine's host name, as the host reports it ("" when it cannot).
std::string HostName();

// The host's local date and time, in milliseconds since 1970-01-01 00:00
// local time; and a monotonic millisecond count for tick counts.
int64_t LocalMilliseconds();
int64_t TickMilliseconds();

}  // namespace standin::host

#endif
