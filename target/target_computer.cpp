// SPDX-License-Identifier: GPL-3.0-or-later
#include "target/target_computer.h"

#include <string.h>

char TargetServer[18];
char *const TargetComputer = TargetServer + 2;
WCHAR TargetServerW[18];

char ServiceName[9];
WCHAR ServiceNameW[9];

char CommandText[513];
WCHAR CommandTextW[512];

namespace {

const char kScheduleServiceName[] = "Schedule";
const int kCommandTextBytes = 512;  // without the terminator

// A command whose ANSI form does not fit CommandText: convert its first 512
// UTF-16 units (each gives at least one and at most two bytes, so the result
// reaches past 512 bytes) and keep the whole characters that fit.
void CutCommandTextFromWide(LPCWSTR text) {
  int units = 0;
  while (units < kCommandTextBytes && text[units] != 0) ++units;
  char converted[2 * kCommandTextBytes];
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, converted, sizeof converted, NULL, NULL);
  if (bytes < 0) bytes = 0;
  int kept = 0;
  while (kept < bytes) {
    int length = IsCp932LeadByte(static_cast<unsigned char>(converted[kept])) ? 2 : 1;
    if (kept + length > kCommandTextBytes || kept + length > bytes) break;
    kept += length;
  }
  memcpy(CommandText, converted, kept);
  CommandText[kept] = '\0';
}

}  // namespace

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

void BuildTargetServer() {
  TargetServer[0] = '\\';
  TargetServer[1] = '\\';
  TargetServer[sizeof TargetServer - 1] = '\0';
  ConvertTargetServer();
}

void ConvertTargetServer() {
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, TargetServer, -1, TargetServerW, 18);
  TargetServerW[17] = 0;
}

void ConvertServiceName() {
  memcpy(ServiceName, kScheduleServiceName, sizeof kScheduleServiceName);
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ServiceName, -1, ServiceNameW, 9);
}

void ConvertCommandText() {
  CommandText[kCommandTextBytes] = '\0';
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, CommandText, -1, CommandTextW, 512);
  // Within the editor's read limit the text always fits; never hand the
  // service an unterminated command should it not.
  CommandTextW[511] = 0;
}

void CommandTextFromWide(LPCWSTR text) {
  if (text == NULL) {
    CommandText[0] = '\0';
    return;
  }
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, CommandText, sizeof CommandText, NULL, NULL) == 0) {
    // Only a command longer than 512 bytes (stored by another program) fails
    // here; show its leading 512 bytes rather than a half-written buffer.
    CutCommandTextFromWide(text);
  }
}
