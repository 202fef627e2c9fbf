#include "platform/FileReading.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

RandomAccessFile::RandomAccessFile(const std::string& fileName) {
  // Shared with writers and deleters, as other programs expect of a reader; only a regular file
  // on disk is read (a pipe, a console or a device named as a file is not).
  ::HANDLE file = ::CreateFileW(win32::Wide(fileName).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

RandomAccessFile::~RandomAccessFile() {
  if (handle_ >= 0) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (handle_ < 0 || offset > size_ || length > size_ - offset) return false;
  auto* out = static_cast<char*>(buffer);
  while (length > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<::DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<::DWORD>(offset >> 32);
    const ::DWORD chunk = static_cast<::DWORD>(length < (1u << 30) ? length : (1u << 30));
    ::DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), out, chunk, &got, &at) || got == 0) return false;
    out += got;
    offset += got;
    length -= got;
  }
  return true;
}

std::FILE* OpenNativeFile(const std::string& nativePath, const char* mode) {
  const std::wstring wide = win32::Wide(nativePath);
  const ::DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
  // "N": the stream's handle is not inherited by started programs.
  return ::_wfopen(wide.c_str(), (win32::Wide(mode) + L"N").c_str());
}

std::int64_t SeekNativeFile(std::FILE* file, std::int64_t offset, int whence) {
  if (::_fseeki64(file, offset, whence) != 0) return -1;
  return ::_ftelli64(file);
}

}  // namespace platform
