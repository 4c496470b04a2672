// SPDX-License-Identifier: GPL-3.0-or-later
// The authentication file a network names for its real computers, in Samba's
// form (`username=`, `password=`, `domain=` lines). The password lives only
// in a Secret, which wipes its memory when it goes.
#ifndef VELMORA_PLATFORM_REALNET_CREDENTIALS_FILE_H
#define VELMORA_PLATFORM_REALNET_CREDENTIALS_FILE_H

#include <string>
#include <vector>

namespace standin::realnet {

// Text that is wiped from memory on destruction; never copied.
class Secret {
 public:
  Secret() = default;
  ~Secret();
  Secret(const Secret &) = delete;
  Secret &operator=(const Secret &) = delete;

  void Assign(const char *text, size_t length);
  const char *c_str() const { return bytes_.empty() ? "" : bytes_.data(); }
  bool empty() const { return bytes_.size() <= 1; }

 private:
  std::vector<char> bytes_;  // zero-terminated
};

struct Credentials {
  std::string domain;
  std::string user;
  Secret password;
  std::string ccache;  // `ccache=`: the Kerberos ticket cache to use, if named
};

// The longest user name and domain the platform accepts (UNLEN, and a DNS
// domain name's 255 bytes).
constexpr size_t kMaxUserNameLength = 256;
constexpr size_t kMaxDomainLength = 255;

// Reads the file. It is refused, with a message saying why and what would
// help, unless it is a regular file (a symbolic link is followed to it) that
// belongs to this user and no one else may read or write; anything else is
// never opened for reading, so that a FIFO or a device cannot block. A user
// name or domain that is too long or not UTF-8 is refused too. Reading it
// also keeps this process from dumping core, so that the password cannot end
// up in a core file. Every buffer that held the password is wiped.
bool ReadCredentialsFile(const std::string &path, Credentials *credentials, std::string *error);

// Wipes the copies of a password that handling it may leave outside the
// buffers that held it: in the stack below the caller (dead frames, and the
// vector registers that the dynamic linker or a signal saves there) and in
// the vector registers themselves. Called by whoever handled one, once done.
void ForgetPasswordTraces();

}  // namespace standin::realnet

#endif
