// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/call_log.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

namespace standin {
namespace {
bool g_recording = true;

std::vector<PlatformCall> &Calls() {
  static std::vector<PlatformCall> calls;
  return calls;
}
}  // namespace

void AppendToLiveLog(const std::string &line) {
  const char *live = std::getenv("VELMORA_LIVE_CALL_LOG");
  if (live == nullptr || *live == '\0') return;
  if (FILE *out = std::fopen(live, "ab")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

void RecordCall(std::string function, std::string server, std::string args) {
  AppendToLiveLog(function);
  if (!g_recording) return;
  Calls().push_back({std::move(function), std::move(server), std::move(args)});
}

const std::vector<PlatformCall> &RecordedCalls() { return Calls(); }

size_t CountCalls(const std::string &function) {
  size_t n = 0;
  for (const auto &call : Calls())
    if (call.function == function) ++n;
  return n;
}

void ClearRecordedCalls() { Calls().clear(); }

void SetCallRecording(bool on) { g_recording = on; }
bool IsCallRecording() { return g_recording; }

// Names of the messages that the program sends, for the call record.
std::string MessageName(unsigned message) {
  struct Named {
    UINT message;
    const char *name;
  };
#define NAME(m) \
  { m, #m }
  static const Named kNames[] = {
      NAME(WM_SETTEXT),         NAME(WM_GETTEXT),         NAME(WM_GETTEXTLENGTH),    NAME(WM_CLOSE),
      NAME(WM_DESTROY),         NAME(WM_COMMAND),         NAME(WM_KEYDOWN),          NAME(WM_CHAR),
      NAME(WM_SYSCOMMAND),      NAME(WM_NEXTDLGCTL),      NAME(WM_SETFONT),          NAME(BM_GETCHECK),
      NAME(BM_SETCHECK),        NAME(BM_CLICK),           NAME(BM_SETSTYLE),         NAME(EM_GETSEL),
      NAME(EM_SETSEL),          NAME(EM_REPLACESEL),      NAME(EM_LIMITTEXT),        NAME(EM_GETLIMITTEXT),
      NAME(LB_ADDSTRING),       NAME(LB_INSERTSTRING),    NAME(LB_DELETESTRING),     NAME(LB_RESETCONTENT),
      NAME(LB_SETSEL),          NAME(LB_SETCURSEL),       NAME(LB_GETSEL),           NAME(LB_GETCURSEL),
      NAME(LB_GETTEXT),         NAME(LB_GETTEXTLEN),      NAME(LB_GETCOUNT),         NAME(LB_GETTOPINDEX),
      NAME(LB_GETSELCOUNT),     NAME(LB_GETSELITEMS),     NAME(LB_SETTOPINDEX),      NAME(LB_SETCARETINDEX),
      NAME(LB_GETCARETINDEX),   NAME(CB_GETCURSEL),       NAME(CB_GETLBTEXT),        NAME(CB_GETLBTEXTLEN),
      NAME(CB_ADDSTRING),       NAME(CB_DELETESTRING),    NAME(CB_GETCOUNT),         NAME(CB_INSERTSTRING),
      NAME(CB_RESETCONTENT),    NAME(CB_SETCURSEL),       NAME(CB_SHOWDROPDOWN),     NAME(CB_GETDROPPEDSTATE),
      NAME(LVM_GETITEMCOUNT),   NAME(LVM_GETITEMA),       NAME(LVM_SETITEMA),        NAME(LVM_INSERTITEMA),
      NAME(LVM_DELETEITEM),     NAME(LVM_DELETEALLITEMS), NAME(LVM_GETNEXTITEM),     NAME(LVM_ENSUREVISIBLE),
      NAME(LVM_GETCOLUMNA),     NAME(LVM_SETCOLUMNA),     NAME(LVM_INSERTCOLUMNA),   NAME(LVM_DELETECOLUMN),
      NAME(LVM_GETCOLUMNWIDTH), NAME(LVM_GETTOPINDEX),    NAME(LVM_GETCOUNTPERPAGE), NAME(LVM_SETITEMSTATE),
      NAME(LVM_GETITEMSTATE),   NAME(LVM_GETITEMTEXTA),   NAME(LVM_SETITEMTEXTA),    NAME(LVM_GETSELECTEDCOUNT),
  };
#undef NAME
  for (const Named &named : kNames)
    if (named.message == message) return named.name;
  char buffer[16];
  snprintf(buffer, sizeof buffer, "0x%04X", message);
  return buffer;
}

}  // namespace standin
