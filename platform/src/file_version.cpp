#include "tarvik/file_version.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "tarvik/text.h"
#include "tarvik/unique_fd.h"

namespace tarvik {

namespace {

constexpr char kSectionName[] = ".tarvik_version";
constexpr char kMagic[] = "TVI1";
constexpr size_t kHeaderSize = 8;  // magic + translation
// A version block is a few hundred bytes; anything far larger is damage.
constexpr uint64_t kMaxBlock = 64 * 1024;

bool ReadAt(int fd, uint64_t offset, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Section headers of either ELF class, widened to one form.
struct Section {
  uint32_t name;
  uint64_t offset;
  uint64_t size;
};

template <typename Ehdr, typename Shdr>
LSTATUS ReadSections(int fd, uint64_t fileSize, std::vector<Section>* sections, uint32_t* names) {
  Ehdr eh;
  if (!ReadAt(fd, 0, &eh, sizeof eh)) return kErrorResourceDataNotFound;
  if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum) {
    return kErrorResourceTypeNotFound;
  }
  uint64_t tableSize = static_cast<uint64_t>(eh.e_shnum) * sizeof(Shdr);
  if (eh.e_shoff > fileSize || tableSize > fileSize - eh.e_shoff) return kErrorResourceDataNotFound;
  std::vector<Shdr> table(eh.e_shnum);
  if (!ReadAt(fd, eh.e_shoff, table.data(), tableSize)) return kErrorResourceDataNotFound;
  for (const Shdr& sh : table) {
    sections->push_back(Section{sh.sh_name, sh.sh_offset, sh.sh_type == SHT_NOBITS ? 0 : sh.sh_size});
  }
  *names = eh.e_shstrndx;
  return kErrorSuccess;
}

// Finds the version section: its offset and size in the file.
LSTATUS FindBlock(const std::string& path, UniqueFd* fdOut, uint64_t* offset, uint64_t* size) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return errno == ENOENT || errno == ENOTDIR ? kErrorFileNotFound : kErrorAccessDenied;
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return kErrorResourceDataNotFound;
  uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  unsigned char ident[EI_NIDENT];
  if (!ReadAt(fd.Get(), 0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
      ident[EI_DATA] != ELFDATA2LSB) {
    return kErrorResourceDataNotFound;
  }
  std::vector<Section> sections;
  uint32_t namesIndex = 0;
  LSTATUS rc;
  if (ident[EI_CLASS] == ELFCLASS64) {
    rc = ReadSections<Elf64_Ehdr, Elf64_Shdr>(fd.Get(), fileSize, &sections, &namesIndex);
  } else if (ident[EI_CLASS] == ELFCLASS32) {
    rc = ReadSections<Elf32_Ehdr, Elf32_Shdr>(fd.Get(), fileSize, &sections, &namesIndex);
  } else {
    return kErrorResourceDataNotFound;
  }
  if (rc != kErrorSuccess) return rc;
  const Section& names = sections[namesIndex];
  if (names.offset > fileSize || names.size > fileSize - names.offset) return kErrorResourceDataNotFound;
  for (const Section& s : sections) {
    char name[sizeof kSectionName];
    if (s.name >= names.size || names.size - s.name < sizeof name) continue;
    if (!ReadAt(fd.Get(), names.offset + s.name, name, sizeof name)) continue;
    if (std::memcmp(name, kSectionName, sizeof name) != 0) continue;
    if (s.offset > fileSize || s.size > fileSize - s.offset || s.size < kHeaderSize ||
        s.size > kMaxBlock) {
      return kErrorResourceDataNotFound;
    }
    *offset = s.offset;
    *size = s.size;
    *fdOut = std::move(fd);
    return kErrorSuccess;
  }
  return kErrorResourceTypeNotFound;
}

bool ValidBlock(const char* block, uint32_t size) {
  return size >= kHeaderSize && std::memcmp(block, kMagic, 4) == 0;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::string& path, LSTATUS* error) {
  UniqueFd fd;
  uint64_t offset = 0, size = 0;
  LSTATUS rc = FindBlock(path, &fd, &offset, &size);
  if (rc == kErrorSuccess) {
    char magic[4];
    if (!ReadAt(fd.Get(), offset, magic, sizeof magic) || std::memcmp(magic, kMagic, 4) != 0) {
      rc = kErrorResourceTypeNotFound;
    }
  }
  if (error) *error = rc;
  return rc == kErrorSuccess ? static_cast<uint32_t>(size) : 0;
}

bool GetFileVersionInfo(const std::string& path, uint32_t size, void* data) {
  UniqueFd fd;
  uint64_t offset = 0, blockSize = 0;
  if (data == nullptr || FindBlock(path, &fd, &offset, &blockSize) != kErrorSuccess) return false;
  if (size < blockSize) return false;
  if (!ReadAt(fd.Get(), offset, data, blockSize)) return false;
  return ValidBlock(static_cast<const char*>(data), static_cast<uint32_t>(blockSize));
}

bool VerQueryValue(const void* blockPtr, uint32_t blockSize, const std::string& subBlock,
                   const void** value, uint32_t* length) {
  const char* block = static_cast<const char*>(blockPtr);
  if (block == nullptr || value == nullptr || length == nullptr || !ValidBlock(block, blockSize)) {
    return false;
  }
  if (strcasecmp(subBlock.c_str(), "\\VarFileInfo\\Translation") == 0) {
    *value = block + 4;
    *length = 4;
    return true;
  }
  static const char kPrefix[] = "\\StringFileInfo\\";
  const size_t prefixLength = sizeof kPrefix - 1;
  if (subBlock.size() < prefixLength + 9 ||
      strncasecmp(subBlock.c_str(), kPrefix, prefixLength) != 0 || subBlock[prefixLength + 8] != '\\') {
    return false;
  }
  const unsigned char* t = reinterpret_cast<const unsigned char*>(block + 4);
  char translation[9];
  FormatText(translation, sizeof translation, "%04x%04x", t[0] | (t[1] << 8), t[2] | (t[3] << 8));
  if (strncasecmp(subBlock.c_str() + prefixLength, translation, 8) != 0) return false;
  const std::string wanted = subBlock.substr(prefixLength + 9);
  // Walk the pairs; a pair cut off by the end of the block ends the walk.
  size_t at = kHeaderSize;
  while (at < blockSize) {
    const char* name = block + at;
    size_t nameLength = strnlen(name, blockSize - at);
    if (nameLength == 0 || at + nameLength >= blockSize) return false;
    size_t valueAt = at + nameLength + 1;
    if (valueAt >= blockSize) return false;
    size_t valueLength = strnlen(block + valueAt, blockSize - valueAt);
    if (valueAt + valueLength >= blockSize) return false;
    if (wanted.size() == nameLength && strncasecmp(name, wanted.c_str(), nameLength) == 0) {
      *value = block + valueAt;
      *length = static_cast<uint32_t>(valueLength + 1);
      return true;
    }
    at = valueAt + valueLength + 1;
  }
  return false;
}

LSTATUS ReadFileVersionString(const std::string& path, const char* name, char* buf, size_t size) {
  if (buf && size) buf[0] = '\0';
  LSTATUS rc = kErrorSuccess;
  uint32_t blockSize = GetFileVersionInfoSize(path, &rc);
  if (blockSize == 0) return rc;
  std::vector<char> block(blockSize);
  if (!GetFileVersionInfo(path, blockSize, block.data())) return kErrorResourceTypeNotFound;
  const void* translation = nullptr;
  uint32_t length = 0;
  if (!VerQueryValue(block.data(), blockSize, "\\VarFileInfo\\Translation", &translation, &length)) {
    return kErrorResourceTypeNotFound;
  }
  const unsigned char* t = static_cast<const unsigned char*>(translation);
  char sub[128];
  FormatText(sub, sizeof sub, "\\StringFileInfo\\%04x%04x\\%s", t[0] | (t[1] << 8), t[2] | (t[3] << 8),
             name);
  const void* text = nullptr;
  if (!VerQueryValue(block.data(), blockSize, sub, &text, &length)) return kErrorResourceTypeNotFound;
  if (buf && size) CopyText(buf, size, static_cast<const char*>(text));
  return kErrorSuccess;
}

}  // namespace tarvik
