// GUIDs from the kernel's random source.
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Guid.h"
#include "platform/SystemHooks.h"

namespace platform {

namespace {

// Reads until the buffer is full; a kernel without getrandom falls back to the device.
bool SystemRandom(void* buffer, size_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = getrandom(bytes + done, count - done, 0);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == ENOSYS) break;
    return false;
  }
  if (done == count) return true;
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (done < count) {
    const ssize_t n = read(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  return done == count;
}

}  // namespace

bool SystemCreateGuid(TGuid& guid) {
  uint8_t bytes[GuidSize];
  if (!SystemRandom(bytes, sizeof bytes)) return false;
  guid = GuidFromRandomBytes(bytes);
  return true;
}

}  // namespace platform
