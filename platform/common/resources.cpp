// SPDX-License-Identifier: GPL-3.0-or-later
// Reader of compiled resource files and dialog templates. Every read is
// bounds-checked: a damaged file yields an error, never a read past its end.
#include <standin/resources.h>

#include <standin/text.h>

namespace standin {

namespace {

// Little-endian cursor over a byte range; reads fail once the range ends.
class Reader {
 public:
  Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  size_t offset() const { return offset_; }
  size_t remaining() const { return size_ - offset_; }
  bool at_end() const { return offset_ == size_; }

  bool Seek(size_t offset) {
    if (offset > size_) return false;
    offset_ = offset;
    return true;
  }
  // Alignment is relative to the start of the range, which for a .res file
  // and a dialog template is where the alignment rules are anchored.
  bool AlignTo4() { return Seek((offset_ + 3) & ~static_cast<size_t>(3)); }

  bool Byte(uint8_t *value) {
    if (remaining() < 1) return false;
    *value = data_[offset_++];
    return true;
  }
  bool Word(uint16_t *value) {
    if (remaining() < 2) return false;
    *value = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
    offset_ += 2;
    return true;
  }
  bool Short(int16_t *value) {
    uint16_t word;
    if (!Word(&word)) return false;
    *value = static_cast<int16_t>(word);
    return true;
  }
  bool Dword(uint32_t *value) {
    uint16_t low = 0, high = 0;
    if (remaining() < 4 || !Word(&low) || !Word(&high)) return false;
    *value = static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
    return true;
  }
  bool Bytes(size_t count, std::vector<uint8_t> *out) {
    if (count > remaining()) return false;
    out->assign(data_ + offset_, data_ + offset_ + count);
    offset_ += count;
    return true;
  }
  // A zero-terminated UTF-16 string; false if the terminator is missing.
  bool String(std::u16string *out) {
    out->clear();
    for (;;) {
      uint16_t unit;
      if (!Word(&unit)) return false;
      if (unit == 0) return true;
      out->push_back(static_cast<char16_t>(unit));
    }
  }
  // An ordinal (0xFFFF then the number) or a zero-terminated string.
  bool StringOrOrdinal(ResourceId *out) {
    if (remaining() < 2) return false;
    uint16_t first = static_cast<uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
    *out = ResourceId();
    if (first == 0xFFFF) {
      offset_ += 2;
      out->is_number = true;
      return Word(&out->number);
    }
    return String(&out->name);
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t offset_ = 0;
};

bool Fail(std::string *error, const std::string &what, size_t offset) {
  if (error) *error = what + " at offset " + std::to_string(offset);
  return false;
}

// The sz_Or_Ord fields of a dialog's menu and class: 0x0000 alone means none.
bool MenuOrClass(Reader &in, ResourceId *out) {
  uint16_t first;
  size_t start = in.offset();
  if (!in.Word(&first)) return false;
  if (first == 0) {
    *out = ResourceId();
    return true;
  }
  in.Seek(start);
  return in.StringOrOrdinal(out);
}

const char *PredefinedClassName(uint16_t ordinal) {
  switch (ordinal) {
    case 0x80:
      return "BUTTON";
    case 0x81:
      return "EDIT";
    case 0x82:
      return "STATIC";
    case 0x83:
      return "LISTBOX";
    case 0x84:
      return "SCROLLBAR";
    case 0x85:
      return "COMBOBOX";
    default:
      return nullptr;
  }
}

bool ParseItem(Reader &in, bool extended, DialogItemTemplate *item, std::string *error) {
  if (!in.AlignTo4()) return Fail(error, "dialog item misaligned past the end", in.offset());
  size_t start = in.offset();
  uint32_t style = 0, ex_style = 0, help_id = 0;
  bool header_ok = extended ? in.Dword(&help_id) && in.Dword(&ex_style) && in.Dword(&style)
                            : in.Dword(&style) && in.Dword(&ex_style);
  header_ok = header_ok && in.Short(&item->x) && in.Short(&item->y) && in.Short(&item->cx) && in.Short(&item->cy);
  if (header_ok) {
    if (extended) {
      uint32_t id = 0;
      header_ok = in.Dword(&id);
      item->id = static_cast<int32_t>(id);
    } else {
      // A word, so IDC_STATIC (-1) arrives as 65535, which GetDlgCtrlID then gives.
      uint16_t id = 0;
      header_ok = in.Word(&id);
      item->id = id;
    }
  }
  if (!header_ok) return Fail(error, "dialog item header truncated", start);
  item->help_id = help_id;
  item->style = style;
  item->ex_style = ex_style;

  size_t class_at = in.offset();
  if (!in.StringOrOrdinal(&item->class_id)) return Fail(error, "dialog item class truncated", class_at);
  if (item->class_id.is_number) {
    const char *name = PredefinedClassName(item->class_id.number);
    if (!name)
      return Fail(error, "unknown predefined control class " + std::to_string(item->class_id.number), class_at);
    item->class_name = name;
  } else {
    if (item->class_id.name.empty()) return Fail(error, "dialog item has an empty class name", class_at);
    item->class_name = Utf16ToUtf8(item->class_id.name);
  }
  size_t title_at = in.offset();
  if (!in.StringOrOrdinal(&item->title)) return Fail(error, "dialog item title truncated", title_at);
  uint16_t extra;
  size_t extra_at = in.offset();
  if (!in.Word(&extra) || !in.Bytes(extra, &item->creation_data)) {
    return Fail(error, "dialog item creation data truncated", extra_at);
  }
  return true;
}

}  // namespace

bool ParseResFile(const void *data, size_t size, std::vector<ResourceEntry> *entries, std::string *error) {
  entries->clear();
  Reader in(static_cast<const uint8_t *>(data), size);
  bool first = true;
  while (!in.at_end()) {
    size_t start = in.offset();
    uint32_t data_size, header_size;
    if (!in.Dword(&data_size) || !in.Dword(&header_size)) return Fail(error, "resource header truncated", start);
    ResourceEntry entry;
    if (!in.StringOrOrdinal(&entry.type)) return Fail(error, "resource type truncated", in.offset());
    if (!in.StringOrOrdinal(&entry.name)) return Fail(error, "resource name truncated", in.offset());
    uint32_t data_version, version, characteristics;
    uint16_t memory_flags;
    if (!in.AlignTo4() || !in.Dword(&data_version) || !in.Word(&memory_flags) || !in.Word(&entry.language) ||
        !in.Dword(&version) || !in.Dword(&characteristics)) {
      return Fail(error, "resource header truncated", start);
    }
    // HeaderSize is authoritative for where the data starts, but it cannot
    // end before the fields just read nor point past the file.
    if (header_size < in.offset() - start || header_size > size - start) {
      return Fail(error, "resource header size " + std::to_string(header_size) + " is inconsistent", start);
    }
    in.Seek(start + header_size);
    if (!in.AlignTo4()) return Fail(error, "resource data misaligned past the end", start);
    size_t data_at = in.offset();
    if (!in.Bytes(data_size, &entry.data)) {
      return Fail(error, "resource data of " + std::to_string(data_size) + " bytes truncated", data_at);
    }
    if (!in.at_end()) {
      // Padding after the last entry may be missing; between entries it may not.
      size_t padded = (in.offset() + 3) & ~static_cast<size_t>(3);
      if (padded > size) return Fail(error, "padding after resource data truncated", in.offset());
      in.Seek(padded);
    }
    // A 32-bit .res file starts with an empty entry of type and name 0; a
    // file without it is a 16-bit one or not a resource file at all.
    if (first) {
      first = false;
      if (!(entry.type.is_number && entry.type.number == 0 && entry.name.is_number && entry.name.number == 0 &&
            data_size == 0)) {
        return Fail(error, "not a 32-bit resource file (no empty first entry)", start);
      }
      continue;
    }
    entries->push_back(std::move(entry));
  }
  if (first) return Fail(error, "empty resource file", 0);
  return true;
}

bool ParseDialogTemplate(const uint8_t *data, size_t size, DialogTemplate *dialog, std::string *error) {
  *dialog = DialogTemplate();
  Reader in(data, size);
  uint16_t version, signature;
  if (!in.Word(&version) || !in.Word(&signature)) return Fail(error, "dialog template truncated", 0);
  uint16_t count;
  uint32_t style, ex_style;
  if (signature == 0xFFFF) {
    if (version != 1) return Fail(error, "unsupported extended dialog version " + std::to_string(version), 0);
    dialog->extended = true;
    uint32_t help_id;
    if (!in.Dword(&help_id) || !in.Dword(&ex_style) || !in.Dword(&style)) {
      return Fail(error, "dialog template truncated", in.offset());
    }
    dialog->help_id = help_id;
  } else {
    in.Seek(0);
    if (!in.Dword(&style) || !in.Dword(&ex_style)) return Fail(error, "dialog template truncated", 0);
  }
  dialog->style = style;
  dialog->ex_style = ex_style;
  if (!in.Word(&count) || !in.Short(&dialog->x) || !in.Short(&dialog->y) || !in.Short(&dialog->cx) ||
      !in.Short(&dialog->cy)) {
    return Fail(error, "dialog template truncated", in.offset());
  }
  if (!MenuOrClass(in, &dialog->menu)) return Fail(error, "dialog menu truncated", in.offset());
  if (!MenuOrClass(in, &dialog->window_class)) return Fail(error, "dialog class truncated", in.offset());
  if (!in.String(&dialog->caption)) return Fail(error, "dialog caption truncated", in.offset());
  if (style & DS_SETFONT) {
    size_t font_at = in.offset();
    bool font_ok = in.Word(&dialog->point_size);
    if (dialog->extended) {
      font_ok = font_ok && in.Word(&dialog->weight) && in.Byte(&dialog->italic) && in.Byte(&dialog->charset);
    }
    if (!font_ok || !in.String(&dialog->face)) return Fail(error, "dialog font truncated", font_at);
  }
  // Every item takes at least its header and four words (a class of two at
  // least, as it may not be empty; a title; the creation data's size); a
  // count that the bytes left cannot hold is refused before anything is
  // allocated for it.
  const size_t smallest_item = dialog->extended ? 24 + 8 : 18 + 8;
  if (count > in.remaining() / smallest_item)
    return Fail(error,
                "dialog template declares " + std::to_string(count) + " items, more than its remaining " +
                    std::to_string(in.remaining()) + " bytes can hold",
                in.offset());
  dialog->items.resize(count);
  for (DialogItemTemplate &item : dialog->items) {
    if (!ParseItem(in, dialog->extended, &item, error)) {
      dialog->items.clear();
      return false;
    }
  }
  return true;
}

}  // namespace standin
