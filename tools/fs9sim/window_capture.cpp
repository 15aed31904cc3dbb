#include "window_capture.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace fs9sim {
namespace {

// Owners of one GDI object each, released in reverse order of creation.
struct ScreenPicture {
  int width = 0;
  int height = 0;
  HDC screen = nullptr;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  ~ScreenPicture() {
    if (memory && old) ::SelectObject(memory, old);
    if (bitmap) ::DeleteObject(bitmap);
    if (memory) ::DeleteDC(memory);
    if (screen) ::ReleaseDC(nullptr, screen);
  }
};

// Copies one window, frame included, from its own device context to its screen
// position: the pixels the window painted, whatever the X server shows.
void DrawWindow(ScreenPicture& picture, HWND window) {
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return;
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC dc = ::GetWindowDC(window);
  if (!dc) return;
  ::BitBlt(picture.memory, rect.left, rect.top, w, h, dc, 0, 0, SRCCOPY);
  ::ReleaseDC(window, dc);
}

bool WriteBmp(const ScreenPicture& picture, const std::string& path) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = picture.width;
  header.biHeight = picture.height;  // bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (picture.width * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * picture.height);
  if (!::GetDIBits(picture.memory, picture.bitmap, 0, picture.height, pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS)) {
    return false;
  }
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(&header, sizeof(header), 1, out) == 1 &&
                  std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return std::fclose(out) == 0 && ok;
}

}  // namespace

bool CaptureThreadWindows(const std::string& bmp_path) {
  ScreenPicture picture;
  picture.width = ::GetSystemMetrics(SM_CXSCREEN);
  picture.height = ::GetSystemMetrics(SM_CYSCREEN);
  picture.screen = ::GetDC(nullptr);
  if (!picture.screen) return false;
  picture.memory = ::CreateCompatibleDC(picture.screen);
  picture.bitmap = ::CreateCompatibleBitmap(picture.screen, picture.width, picture.height);
  if (!picture.memory || !picture.bitmap) return false;
  picture.old = ::SelectObject(picture.memory, picture.bitmap);
  RECT all = {0, 0, picture.width, picture.height};
  HBRUSH background = ::CreateSolidBrush(RGB(58, 110, 165));
  ::FillRect(picture.memory, &all, background);
  ::DeleteObject(background);

  const DWORD thread = ::GetCurrentThreadId();
  std::vector<HWND> windows;  // top to bottom
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (::GetWindowThreadProcessId(w, nullptr) == thread && ::IsWindowVisible(w) && !::IsIconic(w)) {
      windows.push_back(w);
    }
  }
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) DrawWindow(picture, *it);
  return WriteBmp(picture, bmp_path);
}

}  // namespace fs9sim
