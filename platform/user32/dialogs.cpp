// SPDX-License-Identifier: GPL-3.0-or-later
// Modules and their resources, dialogs built from compiled templates, the
// modal loop, and the default dialog procedure.
#include "window.h"

#include <standin/call_log.h>
#include <standin/resources.h>
#include <standin/text.h>

#include <cctype>
#include <memory>

namespace standin {
namespace user32 {
namespace {

struct Module {
  std::vector<ResourceEntry> entries;
};
std::vector<std::unique_ptr<Module>> g_modules;

Module *ModuleOf(HINSTANCE instance) {
  for (auto &module : g_modules)
    if (reinterpret_cast<HINSTANCE>(module.get()) == instance) return module.get();
  return nullptr;
}

std::string Ansi(const std::u16string &wide) { return Utf8ToCp932(Utf16ToUtf8(wide)); }

std::string TemplateNameText(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
  return name;
}

bool NameMatches(const ResourceId &id, LPCSTR name) {
  if (IS_INTRESOURCE(name)) return id.is_number && id.number == reinterpret_cast<ULONG_PTR>(name);
  if (id.is_number) {
    // "#123" names a numbered resource.
    return name[0] == '#' && std::to_string(id.number) == name + 1;
  }
  std::string text = name;
  if (text.size() != id.name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (static_cast<char16_t>(std::toupper(static_cast<unsigned char>(text[i]))) != id.name[i]) return false;
  return true;
}

Kind KindOfClass(const std::string &name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "BUTTON") return Kind::kButton;
  if (upper == "EDIT") return Kind::kEdit;
  if (upper == "STATIC") return Kind::kStatic;
  if (upper == "LISTBOX") return Kind::kListBox;
  if (upper == "COMBOBOX") return Kind::kComboBox;
  return Kind::kCustom;
}

WNDPROC ProcOfKind(Kind kind) {
  switch (kind) {
    case Kind::kButton:
      return ButtonProc;
    case Kind::kEdit:
      return EditProc;
    case Kind::kStatic:
      return StaticProc;
    case Kind::kListBox:
      return ListBoxProc;
    case Kind::kComboBox:
      return ComboBoxProc;
    default:
      return nullptr;
  }
}

const char *CanonicalClassName(Kind kind) {
  switch (kind) {
    case Kind::kButton:
      return "BUTTON";
    case Kind::kEdit:
      return "EDIT";
    case Kind::kStatic:
      return "STATIC";
    case Kind::kListBox:
      return "LISTBOX";
    case Kind::kComboBox:
      return "COMBOBOX";
    default:
      return "";
  }
}

// The font of a face and size: one handle for each, for the whole run.
HFONT DialogFont(const std::string &face, int points) {
  static std::vector<std::unique_ptr<std::string>> fonts;
  std::string key = face + "/" + std::to_string(points);
  for (auto &font : fonts)
    if (*font == key) return reinterpret_cast<HFONT>(font.get());
  fonts.push_back(std::make_unique<std::string>(key));
  return reinterpret_cast<HFONT>(fonts.back().get());
}

// Shows a dialog and activates it, as showing a top-level window does.
void ShowDialog(Window *dialog) {
  dialog->style |= WS_VISIBLE;
  if (!(dialog->style & WS_DISABLED)) Activate(dialog);
}

// The dialog default procedure puts the focus back on the control that had
// it when the dialog was last deactivated, else on its first tab stop.
void RestoreDialogFocus(Window *dialog) {
  Window *saved = dialog->saved_focus;
  if (saved != nullptr && saved->alive && saved->parent == dialog && IsEnabledChain(saved)) {
    MoveFocus(saved);
    return;
  }
  Window *focus = Focus();
  if (focus != nullptr && focus->parent == dialog) return;
  if (Window *first = NextTabItem(dialog, nullptr, false)) MoveFocus(first);
}

// The template whose next creation fails (FailNextDialogCreation), upper
// case, or "".
std::string g_failing_template;

std::string UpperCase(std::string text) {
  for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Builds the dialog and its controls and runs WM_INITDIALOG; null when the
// template is missing or malformed or names a class that is not available.
Window *CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dlgproc, LPARAM param, bool modal,
                           Window **owner_out) {
  if (!g_failing_template.empty() && name != nullptr && UpperCase(TemplateNameText(name)) == g_failing_template) {
    g_failing_template.clear();
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Module *module = ModuleOf(instance);
  const ResourceEntry *entry = nullptr;
  if (module != nullptr && name != nullptr)
    for (const auto &candidate : module->entries)
      if (candidate.type.is_number && candidate.type.number == 5 && NameMatches(candidate.name, name)) {
        entry = &candidate;
        break;
      }
  if (entry == nullptr) {
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
  }
  DialogTemplate dialog_template;
  std::string error;
  if (!ParseDialogTemplate(entry->data.data(), entry->data.size(), &dialog_template, &error)) {
    SetLastError(1812);  // ERROR_RESOURCE_DATA_NOT_FOUND
    return nullptr;
  }

  // The class of the dialog: the dialog manager's own, or a registered one.
  WNDPROC proc = DefDlgProcA;
  std::string class_name = "#32770";
  const ResourceId &cls = dialog_template.window_class;
  if (!cls.is_number && !cls.name.empty()) {
    class_name = Ansi(cls.name);
    const WNDCLASSA *registered = FindClass(class_name);
    if (registered == nullptr) {
      SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
      return nullptr;
    }
    proc = registered->lpfnWndProc;
  } else if (cls.is_number) {
    // An ordinal would name a predefined class: no dialog of the stand-in is one.
    SetLastError(1407);
    return nullptr;
  }

  // Every control's class must exist before anything is created.
  std::vector<Kind> kinds;
  std::vector<WNDPROC> procs;
  for (const auto &item : dialog_template.items) {
    Kind kind = KindOfClass(item.class_name);
    WNDPROC item_proc = ProcOfKind(kind);
    // Another library's class (the common controls' list view) exists once
    // that library registered it.
    if (kind == Kind::kCustom) {
      const WNDCLASSA *registered = FindClass(item.class_name);
      item_proc = registered ? registered->lpfnWndProc : nullptr;
    }
    if (item_proc == nullptr) {
      SetLastError(1407);
      return nullptr;
    }
    kinds.push_back(kind);
    procs.push_back(item_proc);
  }

  Window *owner = TopLevelOf(FromHandle(parent));
  Window *dialog = NewWindow();
  dialog->kind = Kind::kDialog;
  dialog->class_name = class_name;
  dialog->proc = proc;
  dialog->dlgproc = dlgproc;
  dialog->owner = owner;
  // A dialog is shown only after its initialisation, if its template asks.
  dialog->style = dialog_template.style & ~static_cast<DWORD>(WS_VISIBLE);
  dialog->ex_style = dialog_template.ex_style;
  dialog->text = Ansi(dialog_template.caption);
  dialog->template_name = TemplateNameText(name);
  dialog->placement = {dialog_template.x, dialog_template.y, dialog_template.cx, dialog_template.cy};
  dialog->font_points = dialog_template.point_size;
  dialog->font_face = Utf16ToUtf8(dialog_template.face);
  dialog->modal = modal;
  TopLevels().push_back(dialog);
  if (owner_out) *owner_out = owner;

  // DS_SETFONT: the template's font goes to the dialog before its controls
  // exist, and to each control as it is made.
  HFONT font = (dialog_template.style & DS_SETFONT) ? DialogFont(dialog->font_face, dialog->font_points) : nullptr;
  if (font != nullptr) Send(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  Window *first_tab = nullptr;
  for (size_t i = 0; i < dialog_template.items.size(); ++i) {
    const DialogItemTemplate &item = dialog_template.items[i];
    Window *control = NewWindow();
    control->kind = kinds[i];
    control->class_name =
        kinds[i] == Kind::kCustom ? RegisteredClassName(item.class_name) : CanonicalClassName(kinds[i]);
    control->proc = procs[i];
    control->parent = dialog;
    control->style = item.style;
    control->ex_style = item.ex_style;
    control->id = item.id;
    control->placement = {item.x, item.y, item.cx, item.cy};
    if (item.title.is_number)
      control->text = "#" + std::to_string(item.title.number);
    else
      control->text = Ansi(item.title.name);
    if (kinds[i] == Kind::kCustom) control->control_data = MakeControlData(item.class_name);
    if (kinds[i] == Kind::kEdit) control->sel_start = control->sel_end = 0;
    dialog->children.push_back(control);
    if (font != nullptr) Send(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (kinds[i] == Kind::kButton && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && dialog->default_id == 0)
      dialog->default_id = item.id;
    if (first_tab == nullptr && (item.style & WS_TABSTOP) && !(item.style & WS_DISABLED)) first_tab = control;
  }

  LRESULT focus_wanted =
      Send(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_tab ? ToHandle(first_tab) : nullptr), param);
  if (!dialog->alive) return nullptr;
  if (focus_wanted && first_tab != nullptr && first_tab->alive && !dialog->ended) {
    MoveFocus(first_tab);
    if (first_tab->kind == Kind::kEdit) Send(first_tab, EM_SETSEL, 0, -1);
  }
  if (!dialog->alive) return nullptr;
  if ((dialog_template.style & WS_VISIBLE) && !dialog->ended) ShowDialog(dialog);
  return dialog;
}

}  // namespace

void ResetDialogFaults() { g_failing_template.clear(); }

bool IsPushButton(const Window *window) {
  if (window == nullptr || window->kind != Kind::kButton) return false;
  DWORD type = window->style & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// The platform moves the default-button look to a push button that takes the
// focus and back to the dialog's default button when the focus leaves them.
void FixDefaultButton(Window *dialog, Window *new_focus) {
  Window *should_be_default = IsPushButton(new_focus) ? new_focus : ControlWithId(dialog, dialog->default_id);
  if (!IsPushButton(should_be_default)) should_be_default = nullptr;
  for (Window *child : dialog->children) {
    if (!IsPushButton(child)) continue;
    DWORD type = child == should_be_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((child->style & BS_TYPEMASK) != type) Send(child, BM_SETSTYLE, type, TRUE);
  }
}

}  // namespace user32

HINSTANCE LoadModule(const void *res_data, size_t res_size) {
  auto module = std::make_unique<user32::Module>();
  std::string error;
  if (!ParseResFile(res_data, res_size, &module->entries, &error)) return nullptr;
  user32::g_modules.push_back(std::move(module));
  return reinterpret_cast<HINSTANCE>(user32::g_modules.back().get());
}

void FailNextDialogCreation(const std::string &template_name) {
  user32::g_failing_template = user32::UpperCase(template_name);
}

bool user32::ModuleHasResource(HINSTANCE instance, int type, LPCSTR name) {
  user32::Module *module = user32::ModuleOf(instance);
  if (module == nullptr || name == nullptr) return false;
  for (const auto &entry : module->entries)
    if (entry.type.is_number && entry.type.number == type && user32::NameMatches(entry.name, name)) return true;
  return false;
}

}  // namespace standin

using namespace standin::user32;

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  if (Recording())
    standin::RecordCall("CreateDialogParamA", "",
                        "template=" + (lpTemplateName ? TemplateNameText(lpTemplateName) : std::string()) +
                            " owner=" + Describe(FromHandle(hWndParent)));
  Window *dialog = CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, false, nullptr);
  return dialog ? ToHandle(dialog) : nullptr;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  if (Recording())
    standin::RecordCall("DialogBoxParamA", "",
                        "template=" + (lpTemplateName ? TemplateNameText(lpTemplateName) : std::string()) +
                            " owner=" + Describe(FromHandle(hWndParent)));
  Window *owner = TopLevelOf(FromHandle(hWndParent));
  Window *dialog = CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, true, &owner);
  if (dialog == nullptr) return -1;

  // The owner stays disabled while the dialog runs (unless the dialog
  // already ended during its initialisation).
  bool disabled_owner = false;
  if (!dialog->ended && owner != nullptr && !(owner->style & WS_DISABLED)) {
    SetEnabled(owner, false);
    disabled_owner = true;
  }
  dialog->owner = owner;
  if (!dialog->ended && !(dialog->style & WS_VISIBLE)) ShowDialog(dialog);

  bool quit = false;
  int quit_code = 0;
  while (dialog->alive && !dialog->ended) {
    MSG msg;
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      break;
    }
    if (!IsDialogMessageA(ToHandle(dialog), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  INT_PTR result = dialog->alive ? dialog->result : 0;
  // The owner is enabled again before the dialog goes, so that it takes the
  // activation; what it does with the focus then is its procedure's matter.
  if (disabled_owner && owner->alive) SetEnabled(owner, true);
  if (dialog->alive) DestroyWindow(ToHandle(dialog));
  if (quit) {
    // The quit belongs to the outer loop: hand it on.
    RequestQuit(quit_code);
  }
  return result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  Window *dialog = FromHandle(hDlg);
  if (Recording()) standin::RecordCall("EndDialog", "", Describe(dialog) + " result=" + std::to_string(nResult));
  if (dialog == nullptr || dialog->kind != Kind::kDialog) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (dialog->ended) return TRUE;
  dialog->ended = true;
  dialog->result = nResult;
  if (dialog->modal) {
    if (dialog->owner && dialog->owner->alive) SetEnabled(dialog->owner, true);
    dialog->style &= ~static_cast<DWORD>(WS_VISIBLE);
    // Wakes the modal loop so that it sees the end.
    Post(dialog, WM_NULL, 0, 0, false);
  } else {
    dialog->style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
  ActivateNext(dialog);
  return TRUE;
}

namespace {

// What DefDlgProc returns for a message its dialog procedure handled: the
// procedure's own value for the few messages that return one directly, else
// the DWLP_MSGRESULT the procedure set (0 unless it set one).
LRESULT HandledResult(const Window *dialog, UINT message, INT_PTR handled) {
  const bool direct = message == WM_INITDIALOG || message == 0x002E /* WM_VKEYTOITEM */ ||
                      message == 0x002F /* WM_CHARTOITEM */ || message == 0x0037 /* WM_QUERYDRAGICON */ ||
                      message == 0x0039 /* WM_COMPAREITEM */ ||
                      (message >= 0x0132 && message <= 0x0138) /* WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC */;
  if (direct) return handled;
  return dialog->alive ? dialog->msg_result : 0;
}

}  // namespace

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window->kind != Kind::kDialog || nIndex != DWLP_MSGRESULT) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR previous = window->msg_result;
  window->msg_result = dwNewLong;
  return previous;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (nIndex == GWL_STYLE) return static_cast<LONG_PTR>(window->style);
  if (window->kind != Kind::kDialog || nIndex != DWLP_MSGRESULT) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return window->msg_result;
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *dialog = FromHandle(hDlg);
  if (dialog == nullptr) return 0;
  if (dialog->dlgproc != nullptr) {
    dialog->msg_result = 0;
    INT_PTR handled = dialog->dlgproc(hDlg, Msg, wParam, lParam);
    if (handled || Msg == WM_INITDIALOG) return HandledResult(dialog, Msg, handled);
    if (!dialog->alive) return 0;
  }
  switch (Msg) {
    case WM_CLOSE: {
      Window *cancel = ControlWithId(dialog, IDCANCEL);
      Post(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
           reinterpret_cast<LPARAM>(cancel ? ToHandle(cancel) : nullptr), false);
      return 0;
    }
    case DM_GETDEFID: {
      Window *button = ControlWithId(dialog, dialog->default_id);
      if (dialog->default_id != 0 && button != nullptr) return MAKELONG(dialog->default_id, DC_HASDEFID);
      for (Window *child : dialog->children)
        if (child->kind == Kind::kButton && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
          return MAKELONG(child->id, DC_HASDEFID);
      return 0;
    }
    case DM_SETDEFID:
      dialog->default_id = static_cast<int>(wParam);
      FixDefaultButton(dialog, Focus() && Focus()->parent == dialog ? Focus() : nullptr);
      return TRUE;
    case WM_NEXTDLGCTL: {
      Window *target = nullptr;
      if (LOWORD(lParam)) {
        target = FromHandle(reinterpret_cast<HWND>(wParam));
      } else {
        target = NextTabItem(dialog, Focus(), wParam != 0);
      }
      if (target != nullptr && target->parent == dialog) {
        FocusFromDialogManager(target);
        if (target->kind == Kind::kEdit) Send(target, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        Window *focus = Focus();
        if (focus != nullptr && focus->parent == dialog) dialog->saved_focus = focus;
      } else {
        RestoreDialogFocus(dialog);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreDialogFocus(dialog);
      return 0;
    case WM_SETFONT:
      dialog->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(dialog->font);
    case kMsgControlFocused:
      FixDefaultButton(dialog, FromHandle(reinterpret_cast<HWND>(wParam)));
      return 0;
    default:
      return DefWindowProcA(hDlg, Msg, wParam, lParam);
  }
}
