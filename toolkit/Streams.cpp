#include "toolkit/Streams.h"

#include <algorithm>
#include <cstring>

#include "platform/FileReading.h"
#include "platform/Paths.h"


int64_t TStream::Size() {
  const int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  uint8_t chunk[64 * 1024];
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, sizeof chunk);
    source.ReadBuffer(chunk, n);
    WriteBuffer(chunk, n);
    left -= n;
  }
  return count;
}

namespace {
int64_t SeekTarget(int64_t pos, int64_t size, int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos : size;
  int64_t target = base + offset;
  return target < 0 ? 0 : target;
}
}  // namespace

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::clamp<int64_t>(Size() - FPos, 0, std::max<int64_t>(count, 0));
  if (n > 0) std::memcpy(buffer, FBytes.data() + FPos, static_cast<size_t>(n));
  FPos += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto end = static_cast<size_t>(FPos + count);
  if (end > FBytes.size()) FBytes.resize(end);
  std::memcpy(FBytes.data() + FPos, buffer, static_cast<size_t>(count));
  FPos += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPos = SeekTarget(FPos, Size(), offset, origin);
  return FPos;
}

void TMemoryStream::SetSize(int64_t size) {
  FBytes.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  FPos = std::min(FPos, Size());
}

int64_t TBytesStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::clamp<int64_t>(Size() - FPos, 0, std::max<int64_t>(count, 0));
  if (n > 0) std::memcpy(buffer, FBytes.data() + FPos, static_cast<size_t>(n));
  FPos += n;
  return n;
}

int64_t TBytesStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPos = SeekTarget(FPos, Size(), offset, origin);
  return FPos;
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) {
  if (mode == TFileMode::fmOpenRead) {
    // A file to read is named as a disc names it; the failure names it as it was given. A
    // directory is no file to read.
    FFile = platform::OpenNativeFile(platform::NativePath(fileName), "rb");
    if (!FFile) throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
  } else {
    FFile = platform::OpenNativeFile(fileName, "w+b");
    if (!FFile) throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
  }
}

TFileStream::~TFileStream() {
  if (FFile) std::fclose(FFile);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), FFile));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), FFile));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  const int64_t position = platform::SeekNativeFile(FFile, offset, whence);
  return position >= 0 ? position : platform::SeekNativeFile(FFile, 0, SEEK_SET);
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  const int64_t size = file.Size();
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(size, 0)));
  file.SetPosition(0);
  // A file that shrinks while being read gives what it still holds.
  bytes.resize(static_cast<size_t>(file.Read(bytes.data(), size)));
  return bytes;
}
