#pragma once
// Bitmap ("bmp", run-length ones included) and icon ("ico") pictures, decoded through the Windows
// Imaging Component. The Win32 backend registers them when it starts; tools without a backend may
// call this directly.
void RegisterWin32PictureFormats();
