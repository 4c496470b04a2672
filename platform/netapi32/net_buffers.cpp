// SPDX-License-Identifier: GPL-3.0-or-later
#include "net_buffers.h"

#include <lm.h>

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

namespace standin::netapi32 {
namespace {

std::unordered_set<void *> &HeldBuffers() {
  static std::unordered_set<void *> held;
  return held;
}

void ReportHeldBuffers() { AppendToLiveLog("buffers " + std::to_string(HeldBuffers().size())); }

}  // namespace

void *AllocateNetBuffer(size_t size) {
  void *buffer = std::calloc(1, size == 0 ? 1 : size);
  if (buffer == nullptr) throw std::bad_alloc();
  HeldBuffers().insert(buffer);
  ReportHeldBuffers();
  return buffer;
}

void ReleaseAllNetBuffers() {
  for (void *buffer : HeldBuffers()) std::free(buffer);
  HeldBuffers().clear();
}

NetBufferBuilder::NetBufferBuilder(size_t record_bytes, size_t string_units) {
  // Strings follow the records, aligned for the records' pointer fields.
  const size_t aligned =
      (record_bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
  base_ = static_cast<unsigned char *>(AllocateNetBuffer(aligned + string_units * sizeof(char16_t)));
  next_string_ = reinterpret_cast<char16_t *>(base_ + aligned);
}

char16_t *NetBufferBuilder::AddString(const std::u16string &text) {
  char16_t *start = next_string_;
  std::memcpy(start, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  next_string_ += text.size() + 1;
  return start;
}

}  // namespace standin::netapi32

namespace standin {
size_t OutstandingNetBuffers() { return netapi32::HeldBuffers().size(); }
}  // namespace standin

extern "C" NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer) {
  standin::RecordCall("NetApiBufferFree", "", "");
  if (Buffer == nullptr) return NERR_Success;
  // On the platform a pointer its allocator never gave out, or gave out and
  // took back, corrupts the heap: the run ends here, naming the call.
  if (standin::netapi32::HeldBuffers().erase(Buffer) == 0)
    standin::ReportProgramFault(
        "NetApiBufferFree of a pointer that is not a held network buffer (never handed out, "
        "or already released)");
  std::free(Buffer);
  standin::netapi32::ReportHeldBuffers();
  return NERR_Success;
}
