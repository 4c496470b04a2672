// SPDX-License-Identifier: GPL-3.0-or-later
#include "failure_screenshot.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "live_program.h"

namespace wine_player {
namespace {

std::wstring scenario_stem = L"scenario";

uint32_t Crc32(const std::string &bytes) {
  static uint32_t table[256];
  if (table[1] == 0) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string *out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutChunk(std::string *png, const char *type, const std::string &data) {
  PutBigEndian(png, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  *png += typed;
  PutBigEndian(png, Crc32(typed));
}

// An RGB picture as PNG, its image data in stored (uncompressed) deflate
// blocks: no compression library is needed, and the files are read rarely.
std::string EncodePng(int width, int height, const std::string &rgb_rows) {
  std::string raw;
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter type: none
    raw.append(rgb_rows, y * row, row);
  }
  std::string zlib = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    zlib.push_back(at + n >= raw.size() ? '\1' : '\0');
    zlib.push_back(static_cast<char>(n & 0xFF));
    zlib.push_back(static_cast<char>(n >> 8));
    zlib.push_back(static_cast<char>(~n & 0xFF));
    zlib.push_back(static_cast<char>((~n >> 8) & 0xFF));
    zlib.append(raw, at, n);
  }
  PutBigEndian(&zlib, (b << 16) | a);
  std::string header;
  PutBigEndian(&header, static_cast<uint32_t>(width));
  PutBigEndian(&header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", zlib);
  PutChunk(&png, "IEND", "");
  return png;
}

// The pixels of an area of the screen as the display shows them, as RGB rows.
// (Wine's PrintWindow leaves a window's picture black, so a window is the
// screen's area under it.)
bool Grab(const RECT &area, std::string *rgb_rows) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool grabbed = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    grabbed = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    if (grabbed) {
      const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
      const unsigned char *pixels = static_cast<const unsigned char *>(bits);
      rgb_rows->clear();
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const unsigned char *bgr = pixels + y * stride + x * 3;
          *rgb_rows += {static_cast<char>(bgr[2]), static_cast<char>(bgr[1]), static_cast<char>(bgr[0])};
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return grabbed;
}

bool Save(const std::wstring &path, const RECT &area) {
  std::string rgb;
  if (!Grab(area, &rgb)) return false;
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << EncodePng(area.right - area.left, area.bottom - area.top, rgb);
  out.close();
  return static_cast<bool>(out);
}

// Wine shows the Unix file system as drive Z:; a picture there is named by
// its Unix path.
std::string Shown(const std::wstring &path) {
  if (path.size() < 3 || (path[0] != L'Z' && path[0] != L'z') || path[1] != L':') return Utf8(path);
  std::wstring unix_path = path.substr(2);
  for (wchar_t &c : unix_path)
    if (c == L'\\') c = L'/';
  return Utf8(unix_path);
}

}  // namespace

void NameScreenshots(const std::wstring &scenario_path) {
  std::wstring name = scenario_path.substr(scenario_path.find_last_of(L"\\/") + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  scenario_stem = name.empty() ? L"scenario" : name;
}

std::string SaveFailureScreenshots(const std::vector<HWND> &windows, int line) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"VELMORA_SCREENSHOTS", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::wstring stem = std::wstring(folder) + L"\\" + scenario_stem + L"-line" + std::to_wstring(line);
  const RECT screen = {0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  if (!Save(stem + L".png", screen)) return " [no screenshot: " + Shown(stem) + ".png could not be written]";
  int number = 0;
  for (HWND window : windows) {
    RECT frame;
    if (GetWindowRect(window, &frame) && IntersectRect(&frame, &frame, &screen))
      Save(stem + L"-window" + std::to_wstring(++number) + L".png", frame);
  }
  return " [screen: " + Shown(stem) + ".png]";
}

}  // namespace wine_player
