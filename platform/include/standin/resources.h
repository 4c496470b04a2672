// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a compiled resource file (.res, as windres -O res writes it): the
// resources it holds and the dialog templates among them, plain or extended.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_RESOURCES_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_RESOURCES_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// A resource type or name: a number, or a string (upper-case as stored).
struct ResourceId {
  bool is_number = false;
  uint16_t number = 0;
  std::u16string name;
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  std::vector<uint8_t> data;
};

// Parses the whole file; false with *error on a malformed file.
bool ParseResFile(const void *data, size_t size, std::vector<ResourceEntry> *entries, std::string *error);

struct DialogItemTemplate {
  DWORD help_id = 0;  // extended templates only
  DWORD style = 0;
  DWORD ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  int32_t id = 0;  // 32 bits in extended templates, 16 in plain ones (IDC_STATIC is 65535 there)
  ResourceId
      class_id;  // predefined classes as numbers (0x80 BUTTON, 0x81 EDIT, 0x82 STATIC, 0x83 LISTBOX, 0x85 COMBOBOX)
  std::string class_name;  // the class as a name: "BUTTON", "EDIT", ..., or the string given
  ResourceId title;        // text, or an ordinal (an icon's resource number for SS_ICON)
  std::vector<uint8_t> creation_data;
};

struct DialogTemplate {
  bool extended = false;
  DWORD help_id = 0;
  DWORD style = 0;
  DWORD ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  ResourceId menu;
  ResourceId window_class;
  std::u16string caption;
  uint16_t point_size = 0;
  uint16_t weight = 0;
  uint8_t italic = 0;
  uint8_t charset = 0;
  std::u16string face;
  std::vector<DialogItemTemplate> items;
};

bool ParseDialogTemplate(const uint8_t *data, size_t size, DialogTemplate *dialog, std::string *error);

}  // namespace standin

#endif
