#include "foundation/zip_memory.h"

#include <openssl/evp.h>
#include <unzip.h>

#include <cstring>

namespace vorsa {

// The archive's bytes; every stream minizip opens on it gets its own cursor.
struct MemoryZip::Source {
  std::span<const uint8_t> bytes;
};

namespace {

struct Cursor {
  std::span<const uint8_t> bytes;
  uint64_t position = 0;
};

voidpf OpenStream(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return new Cursor{static_cast<MemoryZip::Source*>(opaque)->bytes, 0};
}

uLong ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* cursor = static_cast<Cursor*>(stream);
  const uint64_t left = cursor->bytes.size() - std::min<uint64_t>(cursor->position, cursor->bytes.size());
  const uint64_t n = std::min<uint64_t>(size, left);
  if (n > 0) std::memcpy(buffer, cursor->bytes.data() + cursor->position, n);
  cursor->position += n;
  return static_cast<uLong>(n);
}

uLong WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellStream(voidpf, voidpf stream) { return static_cast<Cursor*>(stream)->position; }

long SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* cursor = static_cast<Cursor*>(stream);
  uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = cursor->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = cursor->bytes.size(); break;
    default: return -1;
  }
  if (offset > cursor->bytes.size() || base > cursor->bytes.size() - offset) return -1;
  cursor->position = base + offset;
  return 0;
}

int CloseStream(voidpf, voidpf stream) {
  delete static_cast<Cursor*>(stream);
  return 0;
}

int StreamError(voidpf, voidpf) { return 0; }

}  // namespace

MemoryZip::MemoryZip(std::unique_ptr<Source> source, void* handle) : source_(std::move(source)), handle_(handle) {}

MemoryZip::~MemoryZip() { unzClose(handle_); }

std::unique_ptr<MemoryZip> MemoryZip::Open(std::span<const uint8_t> bytes) {
  auto source = std::make_unique<Source>(Source{bytes});
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenStream;
  functions.zread_file = ReadStream;
  functions.zwrite_file = WriteStream;
  functions.ztell64_file = TellStream;
  functions.zseek64_file = SeekStream;
  functions.zclose_file = CloseStream;
  functions.zerror_file = StreamError;
  functions.opaque = source.get();
  unzFile handle = unzOpen2_64("memory", &functions);
  if (!handle) return nullptr;
  return std::unique_ptr<MemoryZip>(new MemoryZip(std::move(source), handle));
}

std::optional<std::vector<uint8_t>> MemoryZip::Read(const std::string& name, size_t limit) {
  constexpr int kIgnoreCase = 2;
  if (unzLocateFile(handle_, name.c_str(), kIgnoreCase) != UNZ_OK) return std::nullopt;
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return std::nullopt;
  if (info.uncompressed_size > limit) return std::nullopt;
  if (unzOpenCurrentFile(handle_) != UNZ_OK) return std::nullopt;
  // The declared size only sizes the buffer; the data itself must end there.
  std::vector<uint8_t> data(static_cast<size_t>(info.uncompressed_size));
  size_t filled = 0;
  bool ok = true;
  while (ok) {
    uint8_t probe = 0;
    const bool full = filled == data.size();
    const int n = unzReadCurrentFile(handle_, full ? &probe : data.data() + filled,
                                     full ? 1u : static_cast<unsigned>(std::min<size_t>(data.size() - filled, 1 << 20)));
    if (n == 0) break;
    if (n < 0 || full) ok = false;
    else filled += static_cast<size_t>(n);
  }
  // Closing checks the CRC of what was read.
  if (unzCloseCurrentFile(handle_) != UNZ_OK) ok = false;
  if (!ok || filled != data.size()) return std::nullopt;
  return data;
}

std::string Md5Hex(std::span<const uint8_t> bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

}  // namespace vorsa
