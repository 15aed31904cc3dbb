#include "ui/win32/hidden_dialog.h"

#include <cstring>
#include <vector>

namespace volantis::win32 {

HWND CreateHiddenDialog(HINSTANCE module, int template_id, HWND parent, DLGPROC procedure, LPARAM param) {
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(template_id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  const DWORD size = found != nullptr ? ::SizeofResource(module, found) : 0;
  if (bytes == nullptr || size < sizeof(DLGTEMPLATE)) return nullptr;
  std::vector<unsigned char> copy(static_cast<const unsigned char*>(bytes),
                                  static_cast<const unsigned char*>(bytes) + size);
  // An extended template starts with version 1 and 0xFFFF, then the help
  // identifier and the extended style; its style follows at byte 12.
  const bool extended = size >= 16 && copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
  const std::size_t style_at = extended ? 12 : 0;
  DWORD style;
  std::memcpy(&style, copy.data() + style_at, sizeof style);
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  std::memcpy(copy.data() + style_at, &style, sizeof style);
  return ::CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), parent, procedure,
                                      param);
}

}  // namespace volantis::win32
