// SPDX-License-Identifier: GPL-3.0-or-later
// The allocator behind every buffer that the NETAPI32 functions hand out.
// Each call returns one allocation holding its records and their strings;
// NetApiBufferFree releases it, and the count of buffers still held shows
// whether a program releases what it receives.
#ifndef VELMORA_PLATFORM_NETAPI32_NET_BUFFERS_H
#define VELMORA_PLATFORM_NETAPI32_NET_BUFFERS_H

#include <cstddef>
#include <string>

namespace standin::netapi32 {

void *AllocateNetBuffer(size_t size);
// Releases every buffer still held (a fresh network).
void ReleaseAllNetBuffers();

// Lays out records followed by their UTF-16 strings in one buffer.
class NetBufferBuilder {
 public:
  NetBufferBuilder(size_t record_bytes, size_t string_units);
  void *records() const { return base_; }
  // Copies a zero-terminated string into the string area; returns its address.
  char16_t *AddString(const std::u16string &text);
  void *release() { return base_; }

 private:
  unsigned char *base_;
  char16_t *next_string_;
};

}  // namespace standin::netapi32

#endif
