#include "platform/FileReading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

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
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
}

RandomAccessFile::~RandomAccessFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (handle_ < 0 || offset > size_ || length > size_ - offset) return false;
  auto* out = static_cast<char*>(buffer);
  while (length > 0) {
    ssize_t got = ::pread(static_cast<int>(handle_), out, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // the file shrank under us, or a read error
    out += got;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

std::FILE* OpenNativeFile(const std::string& nativePath, const char* mode) {
  struct stat info{};
  if (::stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return nullptr;
  return std::fopen(nativePath.c_str(), mode);
}

std::int64_t SeekNativeFile(std::FILE* file, std::int64_t offset, int whence) {
  if (::fseeko(file, static_cast<off_t>(offset), whence) != 0) return -1;
  return static_cast<std::int64_t>(::ftello(file));
}

}  // namespace platform
