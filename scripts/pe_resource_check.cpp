// SPDX-License-Identifier: GPL-3.0-or-later
// Walks the resource directory of a PE file (velmora.exe) and checks that it
// carries the program's four dialogs by name, icon group 111 with its images
// and the version block, every one in Japanese (1041). Built for the host by
// scripts/build-windows.sh. Usage: pe_resource_check <file.exe>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kIcon = 3, kDialog = 5, kGroupIcon = 14, kVersion = 16;
constexpr uint32_t kJapanese = 0x0411;

struct Malformed {
  std::string what;
};

class Image {
 public:
  explicit Image(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  uint16_t Word(size_t at) const {
    Need(at, 2);
    return static_cast<uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  uint32_t Dword(size_t at) const { return Word(at) | (static_cast<uint32_t>(Word(at + 2)) << 16); }
  void Need(size_t at, size_t count) const {
    if (at > bytes_.size() || count > bytes_.size() - at) throw Malformed{"read past the end of the file"};
  }

 private:
  std::vector<uint8_t> bytes_;
};

struct Section {
  uint32_t rva, size, file_offset, file_size;
};

struct Resource {
  uint32_t type;
  std::string name;  // "#n" for a number
  uint32_t language;
  uint32_t size;
};

class PeResources {
 public:
  explicit PeResources(const Image &image) : image_(image) {}

  std::vector<Resource> Read() {
    if (image_.Word(0) != 0x5A4D) throw Malformed{"no MZ header"};
    size_t pe = image_.Dword(0x3C);
    if (image_.Dword(pe) != 0x00004550) throw Malformed{"no PE signature"};
    size_t coff = pe + 4;
    uint16_t sections = image_.Word(coff + 2);
    size_t optional = coff + 20;
    uint16_t optional_size = image_.Word(coff + 16);
    uint16_t magic = image_.Word(optional);
    size_t directories;
    if (magic == 0x20B) {
      directories = optional + 112;
    } else if (magic == 0x10B) {
      directories = optional + 96;
    } else {
      throw Malformed{"unknown optional header"};
    }
    uint32_t count = image_.Dword(directories - 4);
    if (count < 3) throw Malformed{"no resource directory entry"};
    uint32_t resource_rva = image_.Dword(directories + 2 * 8);
    if (resource_rva == 0) throw Malformed{"no resources"};
    size_t table = optional + optional_size;
    for (uint16_t i = 0; i < sections; ++i) {
      size_t at = table + i * 40u;
      sections_.push_back({image_.Dword(at + 12), image_.Dword(at + 8), image_.Dword(at + 20), image_.Dword(at + 16)});
    }
    root_ = FileOffset(resource_rva);
    std::vector<Resource> out;
    Walk(root_, 0, Resource{}, &out);
    return out;
  }

 private:
  size_t FileOffset(uint32_t rva) const {
    for (const Section &s : sections_) {
      if (rva >= s.rva && rva - s.rva < s.file_size) return s.file_offset + (rva - s.rva);
    }
    throw Malformed{"address outside every section"};
  }

  std::string Name(uint32_t field) const {
    if (!(field & 0x80000000u)) return "#" + std::to_string(field);
    size_t at = root_ + (field & 0x7FFFFFFFu);
    uint16_t length = image_.Word(at);
    std::string name;
    for (uint16_t i = 0; i < length; ++i) {
      uint16_t unit = image_.Word(at + 2 + 2u * i);
      name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return name;
  }

  void Walk(size_t directory, int level, Resource path, std::vector<Resource> *out) {
    if (level > 2) throw Malformed{"resource directory nested too deep"};
    unsigned entries = image_.Word(directory + 12) + image_.Word(directory + 14);
    for (unsigned i = 0; i < entries; ++i) {
      size_t entry = directory + 16 + 8u * i;
      uint32_t name = image_.Dword(entry), target = image_.Dword(entry + 4);
      if (level == 0) {
        if (name & 0x80000000u) throw Malformed{"named resource type"};
        path.type = name;
      } else if (level == 1) {
        path.name = Name(name);
      } else {
        path.language = name;
      }
      size_t next = root_ + (target & 0x7FFFFFFFu);
      if (target & 0x80000000u) {
        Walk(next, level + 1, path, out);
      } else {
        if (level != 2) throw Malformed{"resource data above the language level"};
        path.size = image_.Dword(next + 4);
        image_.Need(FileOffset(image_.Dword(next)), path.size);
        out->push_back(path);
      }
    }
  }

  const Image &image_;
  std::vector<Section> sections_;
  size_t root_ = 0;
};

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file.exe>\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "%s: cannot open\n", argv[1]);
    return 2;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Image image(std::move(bytes));
  std::vector<Resource> resources;
  try {
    resources = PeResources(image).Read();
  } catch (const Malformed &m) {
    std::fprintf(stderr, "%s: malformed: %s\n", argv[1], m.what.c_str());
    return 1;
  }

  int failures = 0;
  auto fail = [&](const std::string &what) {
    std::fprintf(stderr, "%s: %s\n", argv[1], what.c_str());
    ++failures;
  };
  std::set<std::pair<uint32_t, std::string>> present;
  int icons = 0;
  for (const Resource &r : resources) {
    std::printf("type %u name %s language %04x size %u\n", r.type, r.name.c_str(), r.language, r.size);
    if (r.language != kJapanese) fail("resource " + r.name + " is not in language 1041");
    if (r.type == kIcon) ++icons;
    present.insert({r.type, r.name});
  }
  for (const char *dialog : {"DLG_VELMORA", "DLG_ABOUT", "DLG_CP", "DLG_JOB"}) {
    if (!present.count({kDialog, dialog})) fail(std::string("dialog ") + dialog + " missing");
  }
  if (!present.count({kGroupIcon, "#111"})) fail("icon group 111 missing");
  if (icons != 2) fail("expected two icon images, found " + std::to_string(icons));
  if (!present.count({kVersion, "#1"})) fail("version block missing");
  if (failures) return 1;
  std::printf("%s: resources complete\n", argv[1]);
  return 0;
}
