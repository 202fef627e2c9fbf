#pragma once
// Byte streams: the abstract stream, a growable memory stream, a read-only view over bytes the
// caller keeps, and a file stream. Every read that must be complete goes through ReadBuffer, which
// fails with "Stream read error" rather than handing back half a value.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "toolkit/Classes.h"

QV_EXCEPTION(EStreamError, Exception)
QV_EXCEPTION(EReadError, EStreamError)
QV_EXCEPTION(EWriteError, EStreamError)

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
  QV_CLASS(TStream)
  // Answers how many bytes were read (fewer at the end of the stream).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  int64_t Remaining() { return Size() - Position(); }

  void ReadBuffer(void* buffer, int64_t count);         // all or EReadError
  void WriteBuffer(const void* buffer, int64_t count);  // all or EWriteError
  // Copies count bytes from source (count 0: from source's start to its end, as the toolkit's
  // CopyFrom always did). Answers the number copied.
  int64_t CopyFrom(TStream& source, int64_t count);

  template <class T>
  T ReadLE() {
    uint8_t b[sizeof(T)];
    ReadBuffer(b, sizeof(T));
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
    return static_cast<T>(v);
  }
  template <class T>
  void WriteLE(T value) {
    uint8_t b[sizeof(T)];
    const auto v = static_cast<uint64_t>(value);
    for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    WriteBuffer(b, sizeof(T));
  }
};

// Bytes in memory, owned by the stream; writing past the end grows it.
class TMemoryStream : public TStream {
public:
  QV_CLASS(TMemoryStream)
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }
  void SetSize(int64_t size);
  void Clear() {
    FBytes.clear();
    FPos = 0;
  }

  uint8_t* Memory() { return FBytes.data(); }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  std::vector<uint8_t> TakeBytes() {
    FPos = 0;
    return std::move(FBytes);
  }

private:
  std::vector<uint8_t> FBytes;
  int64_t FPos = 0;
};

// Reads bytes that someone else keeps alive; writing fails.
class TBytesStream : public TStream {
public:
  QV_CLASS(TBytesStream)
  explicit TBytesStream(std::span<const uint8_t> bytes) : FBytes(bytes) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }
  const uint8_t* Memory() const { return FBytes.data(); }

private:
  std::span<const uint8_t> FBytes;
  int64_t FPos = 0;
};

enum class TFileMode { fmOpenRead, fmCreate };

// A file on disk. Opening a file that cannot be opened fails with "Cannot open file %s"
// (EFOpenError), creating one that cannot be created with "Cannot create file %s".
class TFileStream : public TStream {
public:
  QV_CLASS(TFileStream)
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
  std::FILE* FFile = nullptr;
};

QV_EXCEPTION(EFCreateError, EStreamError)

// Reads a whole file into memory ("Cannot open file %s" when it cannot be read).
std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
