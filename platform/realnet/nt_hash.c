/* See nt_hash.h. MD4 as RFC 1320 gives it. */
#include "nt_hash.h"

#include <stdlib.h>
#include <string.h>

static uint32_t rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

static void md4_block(uint32_t state[4], const uint8_t block[64]) {
  static const int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  static const int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  static const int kShift1[4] = {3, 7, 11, 19}, kShift2[4] = {3, 5, 9, 13}, kShift3[4] = {3, 9, 11, 15};
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 | (uint32_t)block[4 * i + 2] << 16 |
           (uint32_t)block[4 * i + 3] << 24;
  uint32_t v[4] = {state[0], state[1], state[2], state[3]};
  /* Each step updates a, d, c, b in turn: v[(4 - i % 4) % 4]. */
  for (int i = 0; i < 48; ++i) {
    uint32_t *a = &v[(4 - i % 4) % 4];
    const uint32_t b = v[(5 - i % 4) % 4], c = v[(6 - i % 4) % 4], d = v[(7 - i % 4) % 4];
    if (i < 16) {
      *a = rotl(*a + ((b & c) | (~b & d)) + x[i], kShift1[i % 4]);
    } else if (i < 32) {
      *a = rotl(*a + ((b & c) | (b & d) | (c & d)) + x[kOrder2[i - 16]] + 0x5A827999u, kShift2[i % 4]);
    } else {
      *a = rotl(*a + (b ^ c ^ d) + x[kOrder3[i - 32]] + 0x6ED9EBA1u, kShift3[i % 4]);
    }
  }
  for (int i = 0; i < 4; ++i) state[i] += v[i];
  memset(x, 0, sizeof x);
  __asm__ __volatile__("" : : "r"(x) : "memory");
}

/* The UTF-16LE form of UTF-8 text, padded for MD4; its length in bytes
 * before the padding in *length. NULL when the text is not UTF-8. */
static uint8_t *utf16_message(const char *text, size_t *length, size_t *padded) {
  const size_t n = strlen(text);
  *padded = ((n * 2 + 8) / 64 + 1) * 64; /* at most two bytes per input byte */
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
  memset(out, 0, *padded);
  free(out);
  return NULL;
}

int nt_hash_of(const char *password, uint8_t hash[16]) {
  size_t length = 0, padded = 0;
  uint8_t *message = utf16_message(password, &length, &padded);
  if (message == NULL) return -1;
  size_t blocks = (length + 8) / 64 + 1;
  message[length] = 0x80;
  const uint64_t bits = (uint64_t)length * 8;
  for (int i = 0; i < 8; ++i) message[blocks * 64 - 8 + i] = (uint8_t)(bits >> (8 * i));
  uint32_t state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
  for (size_t b = 0; b < blocks; ++b) md4_block(state, message + 64 * b);
  for (int i = 0; i < 16; ++i) hash[i] = (uint8_t)(state[i / 4] >> (8 * (i % 4)));
  memset(message, 0, padded);
  __asm__ __volatile__("" : : "r"(message) : "memory");
  free(message);
  return 0;
}
