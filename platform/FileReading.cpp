#include "platform/FileReading.h"

#include <cstring>

namespace platform {

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) return false;
  if (length) std::memcpy(buffer, data_ + offset, length);
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& fileName, std::uint64_t maxSize) {
  RandomAccessFile file(fileName);
  if (!file.IsOpen() || file.Size() > maxSize) return std::nullopt;
  std::string text(static_cast<std::size_t>(file.Size()), '\0');
  if (!file.ReadAt(0, text.data(), text.size())) return std::nullopt;
  return text;
}

}  // namespace platform
