#pragma once

// Bounded reading of outside files: nothing here reads more than the caller allows, and no
// descriptor or handle opened here is inherited by started programs.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

// A C stream on a native path ("rb", "w+b", ...); nullptr when it cannot be opened, and for a
// directory, which some systems let fopen open. The name is UTF-8 on every system.
std::FILE* OpenNativeFile(const std::string& nativePath, const char* mode);
// fseek and ftell with 64-bit positions: the position after the move, or -1 when it failed.
std::int64_t SeekNativeFile(std::FILE* file, std::int64_t offset, int whence);

// The whole content of a regular file of at most maxSize bytes; nothing for anything else.
std::optional<std::string> ReadWholeFile(const std::string& fileName, std::uint64_t maxSize);

// Bytes that a reader looks at in a few places: a file or, for tests and fuzzing, memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly `length` bytes at `offset`; false when they are not all inside the source.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const = 0;
};

class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Random access to a regular file, for the readers that look at a few places of a large file.
class RandomAccessFile : public ByteSource {
 public:
  explicit RandomAccessFile(const std::string& fileName);
  ~RandomAccessFile();
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  bool IsOpen() const { return handle_ >= 0; }
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override;

 private:
  std::intptr_t handle_ = -1;  // the system's descriptor or handle; -1 when not open
  std::uint64_t size_ = 0;
};

}  // namespace platform
