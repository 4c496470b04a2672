// SPDX-License-Identifier: GPL-3.0-or-later
// Network files on a Windows host: LockFileEx on the lock file's first byte
// (under Wine that becomes a POSIX record lock, which Linux processes' locks
// on the same file see) and replacement by MoveFileEx. Compiled against the
// SDK's headers: the real KERNEL32.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "host.h"
#include "host_common.h"

namespace standin::host {
namespace {

std::string Reason(DWORD code = ::GetLastError()) {
  char *text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char *>(&text), 0, nullptr);
  std::string reason = n > 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  return (reason.empty() ? "" : reason + " ") + "(error " + std::to_string(code) + ")";
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

size_t LastSeparator(const std::string &path) { return path.find_last_of("\\/"); }

std::string DirectoryOf(const std::string &path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash + (slash == 0 || (slash == 2 && path[1] == ':') ? 1 : 0));
}

std::string BaseNameOf(const std::string &path) {
  const size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (ok()) ::CloseHandle(handle_);
  }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One byte at offset 0: the range every process sharing the file locks.
bool TryLock(HANDLE file) {
  OVERLAPPED range{};
  return ::LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range) != 0;
}

class WindowsLock : public NetworkFileLock {
 public:
  explicit WindowsLock(HANDLE file) : file_(file) {}
  ~WindowsLock() override { ::CloseHandle(file_); }  // closing the handle releases its lock

 private:
  HANDLE file_;
};

bool IsDenied(DWORD code) { return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT; }

// The full path of an open file with every link resolved, or "".
std::string FinalPathOf(HANDLE file) {
  std::vector<char> path(MAX_PATH + 1);
  DWORD n = ::GetFinalPathNameByHandleA(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (n >= path.size()) {
    path.resize(n + 1);
    n = ::GetFinalPathNameByHandleA(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  if (n == 0 || n >= path.size()) return "";
  std::string final_path(path.data(), n);
  // "\\?\C:\..." -> "C:\...", "\\?\UNC\server\..." -> "\\server\...".
  if (final_path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + final_path.substr(8);
  if (final_path.rfind("\\\\?\\", 0) == 0) return final_path.substr(4);
  return final_path;
}

std::string FullPathOf(const std::string &path) {
  std::vector<char> full(MAX_PATH + 1);
  DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n + 1);
    n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  return n == 0 || n >= full.size() ? std::string() : std::string(full.data(), n);
}

// Removes the temporary files of earlier replacements whose process died
// before renaming them. Runs under the exclusive lock, so no live writer has
// one in progress.
void RemoveOrphans(const std::string &directory, const std::string &base) {
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA((directory + "\\" + TemporaryPrefix(base) + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (IsTemporaryOf(name, base) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      ::DeleteFileA((directory + "\\" + name).c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

// Creates a new, empty temporary file beside the network file.
HANDLE CreateTemporary(const std::string &directory, const std::string &base, std::string *temp) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  ULONGLONG seed = ::GetTickCount64() ^ (static_cast<ULONGLONG>(::GetCurrentProcessId()) << 20);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      suffix.push_back(kLetters[(seed >> 33) % (sizeof kLetters - 1)]);
    }
    *temp = directory + "\\" + TemporaryPrefix(base) + suffix;
    HANDLE file = ::CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ResolveNetworkFile(const std::string &path, ResolvedPath *resolved, std::string *error) {
  const std::string full = FullPathOf(path);
  if (full.empty()) {
    *error = "cannot find the network file " + path + ": " + Reason();
    return false;
  }
  const DWORD attributes = ::GetFileAttributesA(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    const DWORD folder = ::GetFileAttributesA(DirectoryOf(full).c_str());
    if (code != ERROR_FILE_NOT_FOUND || folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      *error = "cannot find the network file " + path + ": " + Reason(code);
      return false;
    }
    resolved->real_path = full;
    resolved->exists = false;
    return true;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *error = "the network file " + path + " is a folder, not a regular file";
    return false;
  }
  Handle file(::CreateFileA(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) {
    *error = "cannot read the network file " + path + ": " + Reason();
    return false;
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    *error = "the network file " + path + " is a device, not a regular file";
    return false;
  }
  const std::string final_path = FinalPathOf(file.get());
  resolved->real_path = final_path.empty() ? full : final_path;
  resolved->exists = true;
  return true;
}

std::unique_ptr<NetworkFileLock> LockNetworkFile(const std::string &real_path, unsigned wait_ms, std::string *error,
                                                 bool *may_not_lock) {
  const std::string lock_path = real_path + ".lock";
  *may_not_lock = false;
  HANDLE file = ::CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    *may_not_lock = IsDenied(code);
    *error = (*may_not_lock ? "you may not create or write the lock file " : "cannot open the lock file ") + lock_path +
             ": " + Reason(code) + "; nothing was changed";
    return nullptr;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    *error = "the lock file " + lock_path + " is not a regular file";
    ::CloseHandle(file);
    return nullptr;
  }
  // Windows cannot wait for a lock with a time limit, and under Wine a wait
  // for a Linux process's lock is itself a poll: poll briefly and often.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (!TryLock(file)) {
    const DWORD code = ::GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
      *error = "cannot lock the network file " + real_path + ": " + Reason(code);
      ::CloseHandle(file);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      // Windows locks keep others from reading the holder's process ID.
      *error = "another process holds the network file " + real_path + "; try again when it has finished";
      ::CloseHandle(file);
      return nullptr;
    }
    ::Sleep(1);
  }
  // A Windows process ID means nothing to the other hosts' waiters: clear the
  // previous holder's, so that none of them names a process that is not there.
  ::SetEndOfFile(file);
  return std::make_unique<WindowsLock>(file);
}

// Versions are not told apart here: holding the file open to pin its
// identity could keep another Windows writer from renaming over it, so every
// call reads the file again.
bool ReadNetworkFileText(const std::string &real_path, std::string *text, std::string *error,
                         std::unique_ptr<FileVersion> *version) {
  if (version != nullptr) version->reset();
  Handle file(::CreateFileA(real_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) {
    *error = "cannot read the network file " + real_path + ": " + Reason();
    return false;
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    *error = "the network file " + real_path + " is not a regular file";
    return false;
  }
  text->clear();
  std::vector<char> chunk(1 << 16);
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) {
      *error = "cannot read the network file " + real_path + ": " + Reason();
      return false;
    }
    if (n == 0) break;
    text->append(chunk.data(), n);
  }
  return true;
}

bool CheckReplaceable(const std::string &real_path, std::string *error) {
  const DWORD attributes = ::GetFileAttributesA(real_path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;
    *error = "cannot examine the network file " + real_path + ": " + Reason(code);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    *error = "the network file " + real_path + " is read-only; nothing was changed";
    return false;
  }
  Handle file(::CreateFileA(real_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) {
    const DWORD code = ::GetLastError();
    *error = (IsDenied(code) ? "you may not write the network file " : "cannot examine the network file ") + real_path +
             ": " + Reason(code) + "; nothing was changed";
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks > 1) {
    *error = "the network file " + real_path + " has " + std::to_string(info.nNumberOfLinks) +
             " names (hard links); Velmora replaces the file as a whole and would leave the other names "
             "with the old network, so it changes nothing (use one name, or symbolic links)";
    return false;
  }
  return true;
}

bool ReplaceNetworkFile(const std::string &real_path, const std::string &text, std::string *error,
                        std::unique_ptr<FileVersion> *version) {
  if (version != nullptr) version->reset();
  const std::string directory = DirectoryOf(real_path);
  const std::string base = BaseNameOf(real_path);
  RemoveOrphans(directory, base);

  std::string temp;
  HANDLE file = CreateTemporary(directory, base, &temp);
  if (file == INVALID_HANDLE_VALUE) {
    *error = NoTemporaryMessage(directory, Reason());
    return false;
  }
  const bool written = WriteAll(file, text) && ::FlushFileBuffers(file);
  const DWORD code = ::GetLastError();
  ::CloseHandle(file);
  if (!written) {
    ::DeleteFileA(temp.c_str());
    *error = NotReplacedMessage("cannot write " + temp, Reason(code), real_path);
    return false;
  }
  if (!::MoveFileExA(temp.c_str(), real_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD move_code = ::GetLastError();
    ::DeleteFileA(temp.c_str());
    *error = NotReplacedMessage("cannot replace " + real_path, Reason(move_code), real_path);
    return false;
  }
  return true;
}

bool DefaultNetworkFolder(std::string *folder, std::string *error) {
  char local[MAX_PATH + 1] = {};
  const DWORD n = ::GetEnvironmentVariableA("LOCALAPPDATA", local, sizeof local);
  if (n == 0 || n >= sizeof local) {
    *error = "neither VELMORA_NETWORK nor LOCALAPPDATA names where the network file is kept";
    return false;
  }
  *folder = std::string(local, n) + "\\Velmora";
  return true;
}

bool MakeDirectories(const std::string &path, std::string *error) {
  // Leave out what cannot be created: a drive ("C:\") or a share ("\\server\share\").
  size_t first = 1;
  if (path.size() >= 2 && path[1] == ':') {
    first = 3;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const size_t server_end = path.find_first_of("\\/", 2);
    const size_t share_end =
        server_end == std::string::npos ? std::string::npos : path.find_first_of("\\/", server_end + 1);
    first = share_end == std::string::npos ? path.size() + 1 : share_end + 1;
  }
  for (size_t pos = first; pos <= path.size(); ++pos) {
    if (pos != path.size() && !IsSeparator(path[pos])) continue;
    if (pos > 0 && IsSeparator(path[pos - 1])) continue;
    const std::string prefix = path.substr(0, pos);
    if (!::CreateDirectoryA(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      *error = "cannot create the folder " + prefix + ": " + Reason();
      return false;
    }
  }
  return true;
}

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return ::GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

// The same local time the program reads with GetLocalTime.
int64_t LocalMilliseconds() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  FILETIME local{};
  ::SystemTimeToFileTime(&now, &local);
  const int64_t since_1601 =
      static_cast<int64_t>((static_cast<uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime);
  constexpr int64_t kUnixEpochIn100ns = 116444736000000000;  // 1970-01-01 counted from 1601-01-01
  return (since_1601 - kUnixEpochIn100ns) / 10000;
}

int64_t TickMilliseconds() { return static_cast<int64_t>(::GetTickCount64()); }

}  // namespace standin::host
