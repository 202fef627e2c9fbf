#pragma once
// Surfaces from picture files, and the Data block that stores a surface's size and pixels in a
// stream: Width and Height (16-bit each, little-endian) followed by the pixel buffer exactly as
// it is in memory (rows bottom-up, bytes B, G, R, A), optionally wrapped by the compression layer.
#include <span>
#include <string>

#include "dib/cDIB.h"
#include "toolkit/Streaming.h"

// Replaces the surface's size and pixels by the picture in the file; its settings are kept.
// The picture is drawn on a zeroed intermediate TWinDIB through its canvas, copied with Draw,
// made opaque with SetAlpha(255), and the surface ends with Changed: three OnChange in all.
// On a decoding failure the surface keeps its size and pixels.
void LoadDIBFromFile(TAbstractSuperDIB& DIB, const std::string& FileName);

// Reads a Data block (raw or compressed). The surface takes the block's size; a block that ends
// early leaves the remaining pixels as they were. A block claiming far more pixels than it holds
// (more than twice its bytes, beyond 64 KiB) is damaged: EReadError, and the surface is unchanged.
void ReadDIBData(TAbstractSuperDIB& DIB, TStream& Stream);
void ReadDIBData(TAbstractSuperDIB& DIB, std::span<const uint8_t> Data);
void WriteDIBData(const TAbstractSuperDIB& DIB, TStream& Stream);

// Declares the binary property Data, stored while the surface has pixels.
void DeclareDIBData(TAbstractSuperDIB& DIB, TFiler& Filer);

// Publishes the surface classes to the streaming: Angle, AutoSize, Canvas and Handle (TWinDIB,
// read-only, not stored), Height, Masked, Opacity, Scale, Transparent, TransparentColor,
// TransparentMode, Width, and the Data block. Safe to call more than once.
void RegisterDIBClasses();
