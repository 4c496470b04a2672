// SPDX-License-Identifier: GPL-3.0-or-later
/* See nt_hash.h. */
#include "nt_hash.h"

#include <nettle/md4.h>
#include <stdlib.h>
#include <string.h>

/* Wipes memory the compiler would otherwise consider dead. */
static void wipe(void *p, size_t n) {
  memset(p, 0, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

/* The UTF-16LE form of UTF-8 text, decoded here rather than by iconv, whose
 * intermediate buffers would keep a copy of the password; its length in bytes
 * in *length, the buffer's size in *padded. NULL when the text is not UTF-8. */
static uint8_t *utf16_message(const char *text, size_t *length, size_t *padded) {
  const size_t n = strlen(text);
  *padded = n * 2 + 2; /* at most two bytes per input byte */
  uint8_t *out = calloc(1, *padded);
  if (out == NULL) return NULL;
  const uint8_t *p = (const uint8_t *)text;
  size_t at = 0;
  for (size_t i = 0; i < n;) {
    uint32_t code = p[i];
    const size_t extra = code < 0x80    ? 0
                         : code >= 0xF8 ? 4
                         : code >= 0xF0 ? 3
                         : code >= 0xE0 ? 2
                         : code >= 0xC0 ? 1
                                        : 4;
    if (extra == 4 || (extra > 0 && i + extra >= n)) goto bad;
    if (extra > 0) code &= 0x3F >> extra;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) goto bad;
      code = code << 6 | (p[i + k] & 0x3F);
    }
    i += extra + 1;
    if (code > 0x10FFFF) goto bad;
    if (code >= 0x10000) {
      code -= 0x10000;
      const uint32_t high = 0xD800 | code >> 10, low = 0xDC00 | (code & 0x3FF);
      out[at++] = (uint8_t)high, out[at++] = (uint8_t)(high >> 8);
      code = low;
    }
    out[at++] = (uint8_t)code, out[at++] = (uint8_t)(code >> 8);
  }
  *length = at;
  return out;
bad:
  wipe(out, *padded);
  free(out);
  return NULL;
}

int nt_hash_of(const char *password, uint8_t hash[16]) {
  size_t length = 0, size = 0;
  uint8_t *utf16 = utf16_message(password, &length, &size);
  if (utf16 == NULL) return -1;
  struct md4_ctx md4;
  md4_init(&md4);
  md4_update(&md4, length, utf16);
  md4_digest(&md4, 16, hash);
  wipe(&md4, sizeof md4);
  wipe(utf16, size);
  free(utf16);
  return 0;
}
