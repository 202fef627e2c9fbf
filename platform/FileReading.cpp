#include "platform/FileReading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) return false;
  if (length) std::memcpy(buffer, data_ + offset, length);
  return true;
}

RandomAccessFile::RandomAccessFile(const std::string& fileName) {
  // Without blocking: a FIFO or a device named as a file must not hang the open; only a regular
  // file is read.
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info{};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
}

RandomAccessFile::~RandomAccessFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
  auto* out = static_cast<char*>(buffer);
  while (length > 0) {
    ssize_t got = ::pread(fd_, out, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // the file shrank under us, or a read error
    out += got;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::size_t>(got);
  }
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
