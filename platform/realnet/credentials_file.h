// The authentication file a network names for its real computers, in Samba's
// form (`username=`, `password=`, `domain=` lines). The password lives only
// in a Secret, which wipes its memory when it goes.
#ifndef VELMORA_REALNET_CREDENTIALS_FILE_H
#define VELMORA_REALNET_CREDENTIALS_FILE_H

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
};

// Reads the file. It is refused, with a message saying why, unless it is a
// regular file that belongs to this user and no one else may read or write.
// Reading it also keeps this process from dumping core, so that the password
// cannot end up in a core file.
bool ReadCredentialsFile(const std::string &path, Credentials *credentials, std::string *error);

}  // namespace standin::realnet

#endif
