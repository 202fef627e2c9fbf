#include "platform/FileVersion.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/Paths.h"

namespace platform {

namespace {

constexpr std::uint16_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr std::size_t kMaxElfHeaderTable = 8u << 20;
constexpr std::u16string_view kVersionKey = u"VS_VERSION_INFO";
// wLength, wValueLength, wType, the key with its NUL, padded to a 4-byte boundary.
constexpr std::size_t kFixedInfoOffset = (6 + (kVersionKey.size() + 1) * 2 + 3) & ~std::size_t{3};

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// Reads integers of either byte order, for ELF files.
struct Endian {
  bool little = true;
  std::uint64_t Read(const std::uint8_t* p, int bytes) const {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      int shift = little ? 8 * i : 8 * (bytes - 1 - i);
      value |= std::uint64_t{p[i]} << shift;
    }
    return value;
  }
};

// A block is accepted when its header, key and (if it has one) its fixed record fit inside it.
bool IsVersionBlock(const std::string& block) {
  if (block.size() < kFixedInfoOffset) return false;
  auto* bytes = reinterpret_cast<const std::uint8_t*>(block.data());
  std::size_t length = Le16(bytes);
  std::size_t valueLength = Le16(bytes + 2);
  if (length < kFixedInfoOffset || length > block.size()) return false;
  for (std::size_t i = 0; i <= kVersionKey.size(); ++i) {
    char16_t expected = i < kVersionKey.size() ? kVersionKey[i] : u'\0';
    if (Le16(bytes + 6 + 2 * i) != expected) return false;
  }
  return valueLength <= length - kFixedInfoOffset;
}

// ---- PE ----------------------------------------------------------------------------------------

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

class PeImage {
 public:
  PeImage(const ByteSource& file, std::vector<Section> sections)
      : file_(file), sections_(std::move(sections)) {}

  // The file offset of `length` bytes at an RVA, when they all lie in one section's raw data.
  std::optional<std::uint64_t> Map(std::uint32_t rva, std::uint32_t length) const {
    for (const Section& s : sections_) {
      std::uint32_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
      if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
      std::uint64_t delta = rva - s.virtualAddress;
      if (delta + length > s.rawSize) return std::nullopt;
      std::uint64_t offset = std::uint64_t{s.rawOffset} + delta;
      if (offset + length > file_.Size()) return std::nullopt;
      return offset;
    }
    return std::nullopt;
  }

 private:
  const ByteSource& file_;
  std::vector<Section> sections_;
};

struct DirectoryEntry {
  std::uint32_t name;
  std::uint32_t target;
  bool IsDirectory() const { return target & 0x80000000u; }
  std::uint32_t Offset() const { return target & 0x7FFFFFFFu; }
};

// The entries of the resource directory at `offset` from the resource root. The tree's own
// offsets are checked against the resource data directory's size, so a looping or far-off
// offset can only lead to a failed read, and the walk below goes down a fixed three levels.
std::optional<std::vector<DirectoryEntry>> ReadDirectory(const ByteSource& file,
                                                         std::uint64_t root,
                                                         std::uint32_t rootSize,
                                                         std::uint32_t offset) {
  std::array<std::uint8_t, 16> header;
  if (offset > rootSize || rootSize - offset < header.size()) return std::nullopt;
  if (!file.ReadAt(root + offset, header.data(), header.size())) return std::nullopt;
  std::size_t count = std::size_t{Le16(&header[12])} + Le16(&header[14]);
  std::uint64_t entriesAt = std::uint64_t{offset} + header.size();
  if (count * 8 > rootSize - entriesAt) return std::nullopt;
  std::vector<std::uint8_t> raw(count * 8);
  if (!file.ReadAt(root + entriesAt, raw.data(), raw.size())) return std::nullopt;
  std::vector<DirectoryEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i)
    entries[i] = DirectoryEntry{Le32(&raw[i * 8]), Le32(&raw[i * 8 + 4])};
  return entries;
}

std::optional<std::string> ReadPeVersionBlock(const ByteSource& file) {
  std::array<std::uint8_t, 64> dos;
  if (!file.ReadAt(0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z')
    return std::nullopt;
  std::uint64_t pe = Le32(&dos[0x3C]);
  std::array<std::uint8_t, 24> coff;
  if (!file.ReadAt(pe, coff.data(), coff.size()) || std::memcmp(coff.data(), "PE\0\0", 4) != 0)
    return std::nullopt;
  std::size_t sectionCount = Le16(&coff[6]);
  std::size_t optionalSize = Le16(&coff[20]);
  if (sectionCount == 0) return std::nullopt;  // at most 65535, a table of 2.6 MB

  std::vector<std::uint8_t> optional(optionalSize);
  if (optionalSize < 2 || !file.ReadAt(pe + coff.size(), optional.data(), optionalSize))
    return std::nullopt;
  std::size_t countAt;
  std::size_t directoriesAt;
  switch (Le16(optional.data())) {
    case 0x10B: countAt = 92, directoriesAt = 96; break;     // PE32
    case 0x20B: countAt = 108, directoriesAt = 112; break;   // PE32+
    default: return std::nullopt;
  }
  std::size_t resourceAt = directoriesAt + kResourceDirectoryIndex * 8;
  if (optionalSize < resourceAt + 8 || Le32(&optional[countAt]) <= kResourceDirectoryIndex)
    return std::nullopt;
  std::uint32_t resourceRva = Le32(&optional[resourceAt]);
  std::uint32_t resourceSize = Le32(&optional[resourceAt + 4]);
  if (resourceRva == 0 || resourceSize == 0) return std::nullopt;

  std::vector<std::uint8_t> table(sectionCount * 40);
  if (!file.ReadAt(pe + coff.size() + optionalSize, table.data(), table.size()))
    return std::nullopt;
  std::vector<Section> sections(sectionCount);
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* s = &table[i * 40];
    sections[i] = Section{Le32(s + 12), Le32(s + 8), Le32(s + 16), Le32(s + 20)};
  }
  PeImage image(file, std::move(sections));

  // The whole resource tree must lie inside one section's raw data; a directory that claims
  // more than that is cut to what is there.
  std::uint32_t rootSize = resourceSize;
  std::optional<std::uint64_t> root;
  while (!(root = image.Map(resourceRva, rootSize)) && rootSize > 16) rootSize /= 2;
  if (!root) return std::nullopt;

  auto types = ReadDirectory(file, *root, rootSize, 0);
  if (!types) return std::nullopt;
  const DirectoryEntry* versionType = nullptr;
  for (const DirectoryEntry& entry : *types)
    if (!(entry.name & 0x80000000u) && entry.name == kResourceTypeVersion) versionType = &entry;
  if (!versionType || !versionType->IsDirectory()) return std::nullopt;

  auto names = ReadDirectory(file, *root, rootSize, versionType->Offset());
  if (!names || names->empty() || !names->front().IsDirectory()) return std::nullopt;
  auto languages = ReadDirectory(file, *root, rootSize, names->front().Offset());
  if (!languages || languages->empty() || languages->front().IsDirectory()) return std::nullopt;

  std::uint32_t dataAt = languages->front().Offset();
  std::array<std::uint8_t, 16> dataEntry;
  if (dataAt > rootSize || rootSize - dataAt < dataEntry.size() ||
      !file.ReadAt(*root + dataAt, dataEntry.data(), dataEntry.size()))
    return std::nullopt;
  std::uint32_t dataRva = Le32(&dataEntry[0]);
  std::uint32_t dataSize = Le32(&dataEntry[4]);
  if (dataSize < kFixedInfoOffset) return std::nullopt;
  if (dataSize > kMaxVersionBlockSize) dataSize = kMaxVersionBlockSize;
  auto dataOffset = image.Map(dataRva, dataSize);
  if (!dataOffset) return std::nullopt;

  std::string block(dataSize, '\0');
  if (!file.ReadAt(*dataOffset, block.data(), block.size())) return std::nullopt;
  if (!IsVersionBlock(block)) return std::nullopt;
  block.resize(Le16(reinterpret_cast<const std::uint8_t*>(block.data())));
  return block;
}

// ---- ELF ---------------------------------------------------------------------------------------

std::optional<std::string> MakeBlockFromRecord(const std::array<DWORD, 13>& record) {
  std::string block(kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO), '\0');
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    block[at] = static_cast<char>(v & 0xFF);
    block[at + 1] = static_cast<char>(v >> 8);
  };
  put16(0, static_cast<std::uint16_t>(block.size()));
  put16(2, sizeof(VS_FIXEDFILEINFO));
  put16(4, 0);  // binary value
  for (std::size_t i = 0; i < kVersionKey.size(); ++i) put16(6 + 2 * i, kVersionKey[i]);
  for (std::size_t i = 0; i < record.size(); ++i)
    for (int b = 0; b < 4; ++b)
      block[kFixedInfoOffset + i * 4 + b] = static_cast<char>((record[i] >> (8 * b)) & 0xFF);
  return block;
}

std::optional<std::string> ReadElfVersionBlock(const ByteSource& file) {
  std::array<std::uint8_t, 64> header{};
  if (!file.ReadAt(0, header.data(), 52) || std::memcmp(header.data(), "\x7F" "ELF", 4) != 0)
    return std::nullopt;
  const bool is64 = header[4] == 2;
  if (header[4] != 1 && !is64) return std::nullopt;
  if (header[5] != 1 && header[5] != 2) return std::nullopt;
  Endian e{header[5] == 1};
  if (is64 && !file.ReadAt(0, header.data(), 64)) return std::nullopt;

  std::uint64_t tableAt = is64 ? e.Read(&header[0x28], 8) : e.Read(&header[0x20], 4);
  std::size_t entrySize = e.Read(&header[is64 ? 0x3A : 0x2E], 2);
  std::uint64_t count = e.Read(&header[is64 ? 0x3C : 0x30], 2);
  std::uint64_t namesIndex = e.Read(&header[is64 ? 0x3E : 0x32], 2);
  const std::size_t minEntry = is64 ? 64 : 40;
  if (tableAt == 0 || entrySize < minEntry) return std::nullopt;

  struct Header {
    std::uint32_t name, type, link;
    std::uint64_t offset, size;
  };
  auto parse = [&](const std::uint8_t* p) {
    return is64 ? Header{static_cast<std::uint32_t>(e.Read(p, 4)),
                         static_cast<std::uint32_t>(e.Read(p + 4, 4)),
                         static_cast<std::uint32_t>(e.Read(p + 40, 4)), e.Read(p + 24, 8),
                         e.Read(p + 32, 8)}
                : Header{static_cast<std::uint32_t>(e.Read(p, 4)),
                         static_cast<std::uint32_t>(e.Read(p + 4, 4)),
                         static_cast<std::uint32_t>(e.Read(p + 24, 4)), e.Read(p + 16, 4),
                         e.Read(p + 20, 4)};
  };

  // With many sections the real count and name-table index live in section 0.
  if (count == 0 || namesIndex == 0xFFFF) {
    std::vector<std::uint8_t> first(entrySize);
    if (!file.ReadAt(tableAt, first.data(), first.size())) return std::nullopt;
    Header zero = parse(first.data());
    if (count == 0) count = zero.size;
    if (namesIndex == 0xFFFF) namesIndex = zero.link;
  }
  if (count == 0 || namesIndex >= count || count > kMaxElfHeaderTable / entrySize)
    return std::nullopt;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * entrySize);
  if (!file.ReadAt(tableAt, table.data(), table.size())) return std::nullopt;

  Header names = parse(&table[namesIndex * entrySize]);
  constexpr std::string_view kSectionName{".qv_version\0", 12};
  for (std::size_t i = 0; i < count; ++i) {
    Header section = parse(&table[i * entrySize]);
    if (section.type == 8 /* SHT_NOBITS */ || section.size < sizeof(VS_FIXEDFILEINFO)) continue;
    if (section.name > names.size || names.size - section.name < kSectionName.size()) continue;
    std::array<char, kSectionName.size()> name;
    if (!file.ReadAt(names.offset + section.name, name.data(), name.size())) continue;
    if (std::string_view(name.data(), name.size()) != kSectionName) continue;

    std::array<std::uint8_t, sizeof(VS_FIXEDFILEINFO)> raw;
    if (!file.ReadAt(section.offset, raw.data(), raw.size())) return std::nullopt;
    std::array<DWORD, 13> record;
    for (std::size_t k = 0; k < record.size(); ++k)
      record[k] = static_cast<DWORD>(e.Read(&raw[k * 4], 4));
    if (record[0] != kFixedFileInfoSignature) return std::nullopt;
    return MakeBlockFromRecord(record);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadVersionBlock(const ByteSource& file) {
  if (auto block = ReadPeVersionBlock(file)) return block;
  return ReadElfVersionBlock(file);
}

namespace {

std::optional<std::string> ReadVersionBlockOfFile(const char* fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  RandomAccessFile file(NativePath(fileName));
  if (!file.IsOpen()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  auto block = ReadVersionBlock(file);
  if (!block) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return block;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) {
  if (handle) *handle = 0;
  auto block = ReadVersionBlockOfFile(fileName);
  return block ? static_cast<DWORD>(block->size()) : 0;
}

BOOL GetFileVersionInfoA(const char* fileName, DWORD /*handle*/, DWORD length, void* data) {
  if (!data || length < 6) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  auto block = ReadVersionBlockOfFile(fileName);
  if (!block) return 0;
  std::size_t copied = std::min<std::size_t>(block->size(), length);
  std::memcpy(data, block->data(), copied);
  if (copied < block->size()) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    bytes[0] = static_cast<std::uint8_t>(copied & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(copied >> 8);
  }
  return 1;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
  if (!block || !subBlock || !buffer || !length) return 0;
  if (std::string_view(subBlock) != "\\") return 0;
  auto* bytes = static_cast<const std::uint8_t*>(block);
  std::size_t blockLength = Le16(bytes);
  std::size_t valueLength = Le16(bytes + 2);
  if (blockLength < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO) ||
      valueLength < sizeof(VS_FIXEDFILEINFO) || valueLength > blockLength - kFixedInfoOffset)
    return 0;
  const std::uint8_t* record = bytes + kFixedInfoOffset;
  if (Le32(record) != kFixedFileInfoSignature) return 0;
  *buffer = const_cast<std::uint8_t*>(record);
  *length = static_cast<UINT>(valueLength);
  return 1;
}

}  // namespace platform
