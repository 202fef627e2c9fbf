#pragma once
// Bitmap ("bmp") and icon ("ico") pictures, decoded through Qt's image readers.
// The Qt backend registers them when it starts; tools without a backend may call this directly.
void RegisterQtPictureFormats();
