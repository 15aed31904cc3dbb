#pragma once
// Draws the visible top-level windows of the calling thread, bottom to top, into
// one screen-sized picture and saves it as a BMP file. The windows paint
// themselves (PrintWindow), so the picture shows what they hold even where the
// X server of a window-manager-less virtual display was never sent their pixels.
#include <string>

namespace fs9sim {

bool CaptureThreadWindows(const std::string& bmp_path);

}  // namespace fs9sim
