// SPDX-License-Identifier: GPL-3.0-or-later
/* The NT hash of a password: MD4 of its UTF-16LE form, which is all that an
 * NTLM logon needs. Computed here, in buffers that are wiped, rather than by
 * Samba, whose conversion to UTF-16 leaves a freed copy of the password in
 * the heap. */
#ifndef VELMORA_PLATFORM_REALNET_NT_HASH_H
#define VELMORA_PLATFORM_REALNET_NT_HASH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0, or -1 when `password` is not UTF-8 or memory runs out. */
int nt_hash_of(const char *password, uint8_t hash[16]);

#ifdef __cplusplus
}
#endif

#endif
