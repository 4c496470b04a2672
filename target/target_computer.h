// SPDX-License-Identifier: GPL-3.0-or-later
// The managed computer and the text buffers handed to the network functions,
// each with its ANSI form (edited and shown) and its UTF-16 form (built just
// before the network call that needs it).
#ifndef VELMORA_TARGET_TARGET_COMPUTER_H
#define VELMORA_TARGET_TARGET_COMPUTER_H

#include <windows.h>

// Two backslashes and the computer's name: 17 bytes and the terminator.
extern char TargetServer[18];
// The name alone, stored in place as the tail of TargetServer, so reading a
// name into it changes the server text and copying TargetServer carries it.
extern char *const TargetComputer;
extern WCHAR TargetServerW[18];

extern char ServiceName[9];
extern WCHAR ServiceNameW[9];

// One job's command line: 512 bytes and the terminator / 512 UTF-16 units.
extern char CommandText[513];
extern WCHAR CommandTextW[512];

// Lead bytes of a double-byte character in code page 932, the code page the
// program's own strings are compiled to.
bool IsCp932LeadByte(unsigned char byte);

void BuildTargetServer();
void ConvertTargetServer();
void ConvertServiceName();
void ConvertCommandText();
void CommandTextFromWide(LPCWSTR text);

#endif
