// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in its own process, seen from outside as a person sees
// it: its top-level windows, the controls in them, message boxes, its focus,
// and the moment it waits for the user again.
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_LIVE_PROGRAM_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_LIVE_PROGRAM_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace wine_player {

std::string Utf8(const std::wstring &wide);
std::wstring Wide(const std::string &utf8);

// The dialog templates of the program's resources: for each template name,
// the window class it asks for (empty for the dialog class) and the
// identifiers of its own controls (those other than -1).
struct DialogTemplate {
  std::string name;
  std::wstring window_class;
  std::vector<int> control_ids;
};
bool ReadDialogTemplates(const std::wstring &exe_path, std::vector<DialogTemplate> *templates, std::string *error);

class LiveProgram {
 public:
  LiveProgram() = default;
  ~LiveProgram();
  LiveProgram(const LiveProgram &) = delete;
  LiveProgram &operator=(const LiveProgram &) = delete;

  // Starts the program with `environment` (a Windows environment block) and
  // its standard error into `stderr_path`; waits until it waits for the
  // user. "" or the reason it did not start.
  std::string Start(const std::wstring &exe_path, const std::wstring &environment, const std::wstring &stderr_path,
                    const std::vector<DialogTemplate> &templates);

  // Waits until the program waits for the user again (see the definition in
  // the .cpp) or has ended; false when it stays busy beyond the time limit.
  bool Settle();

  bool Exited(DWORD *code);
  // Waits up to `ms` for the program to end.
  bool WaitForExit(DWORD ms, DWORD *code);
  void Kill();

  // Visible (or all) top-level windows of the program's thread, topmost first.
  std::vector<HWND> Windows(bool hidden_too = false) const;
  // A message box: a dialog-class window that matches none of the templates.
  bool IsMessageBox(HWND window) const;
  // "DLG_VELMORA", ... or "" for a window of no template.
  std::string TemplateOf(HWND window) const;
  HWND WindowOfTemplate(const std::string &name) const;  // shown or not

  HWND Focus() const;

  // Reads through the program's process: list-view texts need a buffer
  // there, as the list view writes into the caller's memory.
  int RowCount(HWND list) const;
  std::vector<std::string> Row(HWND list, int row, int columns) const;
  std::vector<int> ListViewSelection(HWND list) const;
  bool ListViewItemRect(HWND list, int row, RECT *rect) const;

  // Where velmora.exe lies in its process: [start, end).
  bool ImageRange(uint64_t *start, uint64_t *end) const;

 private:
  bool FindThread();

  PROCESS_INFORMATION info_{};
  HANDLE stderr_file_ = INVALID_HANDLE_VALUE;
  DWORD process_id_ = 0;
  DWORD thread_id_ = 0;  // the thread that owns the windows
  std::vector<DialogTemplate> templates_;
};

// Texts and states of controls, whatever process they live in. Every text
// is decoded from the program's code page 932 by the platform's table:
// window texts and list-view rows are read in the code page and decoded
// here; list-box and combo-box items, which Wine carries across processes
// in Unicode only, as the control decoded them.
std::string FromCodePage(const std::string &ansi);
std::string TextOf(HWND window);
std::wstring ClassOf(HWND window);
std::vector<std::string> ItemsOf(HWND control);    // list box or combo box
std::vector<int> ListBoxSelection(HWND list_box);  // selected items in order
int ControlId(HWND control);

}  // namespace wine_player

#endif
