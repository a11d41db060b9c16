#include "skin/sSkinArchive.h"

#include <zlib.h>

#include <cstring>
#include <limits>

#include "skin/MemIniFile.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {
// Deflate cannot expand data by more than about 1032:1, so a size beyond that
// of the bytes left is a lie and is refused before anything is allocated.
constexpr std::uint64_t kMaxRatio = 1032;
// The smallest entry: name length, unpacked size and an empty zlib stream.
constexpr std::size_t kMinEntryBytes = 4 + 4 + 8;

class TByteReader {
 public:
  TByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Left() const { return size_ - pos_; }
  std::size_t Pos() const { return pos_; }
  const std::uint8_t* Here() const { return data_ + pos_; }
  void Skip(std::size_t n) {
    if (n > Left()) throw EReadError();
    pos_ += n;
  }
  std::int32_t ReadInt32() {
    if (Left() < 4) throw EReadError();
    std::uint32_t v = static_cast<std::uint32_t>(data_[pos_]) |
                      static_cast<std::uint32_t>(data_[pos_ + 1]) << 8 |
                      static_cast<std::uint32_t>(data_[pos_ + 2]) << 16 |
                      static_cast<std::uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return static_cast<std::int32_t>(v);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

struct TInflater {
  z_stream z{};
  TInflater() {
    if (inflateInit(&z) != Z_OK) throw EDecompressionError(z.msg ? z.msg : "Decompression error");
  }
  ~TInflater() { inflateEnd(&z); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;
};

[[noreturn]] void ThrowZlib(const z_stream& z, int rc) {
  if (z.msg != nullptr) throw EDecompressionError(z.msg);
  throw EDecompressionError(rc == Z_MEM_ERROR ? "insufficient memory" : "Decompression error");
}

// Inflates one zlib stream at the reader's position into exactly `size`
// bytes and leaves the reader at the first byte after the stream.
std::vector<std::uint8_t> InflateEntry(TByteReader& in, std::size_t size) {
  std::vector<std::uint8_t> out(size);
  TInflater inflater;
  z_stream& z = inflater.z;
  const std::size_t left = in.Left();
  z.next_in = const_cast<Bytef*>(in.Here());
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(size);
  int rc = Z_OK;
  std::uint8_t extra = 0;
  while (rc != Z_STREAM_END) {
    if (z.avail_out == 0) {
      // The declared size is reached: the stream must end here without
      // another byte of output.
      z.next_out = &extra;
      z.avail_out = 1;
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END && z.avail_out == 1) break;
      if (rc == Z_OK || rc == Z_STREAM_END) throw EReadError();  // longer than declared
    } else {
      rc = inflate(&z, Z_NO_FLUSH);
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0)) {
      // No more input before the stream's end: the archive is cut short.
      if (z.avail_in == 0) throw EReadError();
      ThrowZlib(z, rc);
    }
    if (rc != Z_OK) ThrowZlib(z, rc);
  }
  // The stream ended: fewer bytes than declared is a short read.
  if (z.total_out != size) throw EReadError();
  in.Skip(static_cast<std::size_t>(z.total_in));
  return out;
}

bool EndsWithBmp(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && UpperCase(std::string_view(name).substr(dot)) == ".BMP";
}
}  // namespace

void TsSkinArchive::Clear() {
  options_.clear();
  has_options_ = false;
  images_.clear();
  image_count_ = 0;
}

void TsSkinArchive::LoadFromMemory(const void* data, std::size_t size, const TsArchiveWarning& warn,
                                   const std::string& origin) {
  Clear();
  TByteReader in(static_cast<const std::uint8_t*>(data), size);
  if (size < 4 || std::memcmp(data, "LSzf", 4) != 0) {
    if (warn) warn(kBadMagicText);
    return;
  }
  in.Skip(4);
  const std::int32_t count = in.ReadInt32();
  if (count < 0 || static_cast<std::size_t>(count) > in.Left() / kMinEntryBytes) {
    throw EReadError();
  }
  image_count_ = count > 0 ? count - 1 : 0;
  std::int64_t unpacked_total = 0;
  // A file that fails part-way leaves the archive empty, not half read.
  TScopeExit clear_on_failure([this] { Clear(); });
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t name_length = in.ReadInt32();
    if (name_length < 0 || static_cast<std::size_t>(name_length) > in.Left()) throw EReadError();
    std::string name(reinterpret_cast<const char*>(in.Here()),
                     static_cast<std::size_t>(name_length));
    in.Skip(static_cast<std::size_t>(name_length));
    const std::int32_t unpacked = in.ReadInt32();
    if (unpacked < 0 || unpacked > kMaxEntrySize ||
        static_cast<std::uint64_t>(unpacked) > in.Left() * kMaxRatio) {
      throw EReadError();
    }
    // Each entry is small enough, but together they may not be: a few
    // kilobytes of zlib data can claim a gigabyte.
    unpacked_total += unpacked;
    if (unpacked_total > kMaxSkinUnpackedBytes) {
      throw ESkinRefused(Format("Skin file \"%s\" unpacks to more than %lld bytes", origin.c_str(),
                                static_cast<long long>(kMaxSkinUnpackedBytes)));
    }
    std::vector<std::uint8_t> bytes = InflateEntry(in, static_cast<std::size_t>(unpacked));
    if (UpperCase(name) == "OPTIONS.DAT") {
      options_ = std::move(bytes);
      has_options_ = true;
    } else {
      const bool bmp = EndsWithBmp(name);
      images_.push_back({std::move(name), bmp, std::move(bytes)});
    }
  }
  clear_on_failure.Dismiss();
}

bool TsSkinArchive::LoadFromFile(const std::string& file_name, const TsArchiveWarning& warn) {
  const std::optional<std::vector<std::uint8_t>> bytes = ReadSkinFile(file_name);
  if (!bytes) return false;
  LoadFromMemory(bytes->data(), bytes->size(), warn, file_name);
  return true;
}

const TsArchiveEntry* TsSkinArchive::FindImage(const std::string& upper_name) const {
  for (const TsArchiveEntry& e : images_) {
    if (UpperCase(e.Name) == upper_name) return &e;
  }
  return nullptr;
}

std::vector<std::uint8_t> PackSkinArchive(const std::vector<TsArchiveEntry>& entries, int level) {
  std::vector<std::uint8_t> out{'L', 'S', 'z', 'f'};
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(static_cast<std::uint32_t>(entries.size()));
  for (const TsArchiveEntry& e : entries) {
    put32(static_cast<std::uint32_t>(e.Name.size()));
    out.insert(out.end(), e.Name.begin(), e.Name.end());
    put32(static_cast<std::uint32_t>(e.Data.size()));
    uLongf packed_size = compressBound(static_cast<uLong>(e.Data.size()));
    std::vector<std::uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, e.Data.data(), static_cast<uLong>(e.Data.size()),
                  level) != Z_OK) {
      throw EWriteError();
    }
    out.insert(out.end(), packed.begin(),
               packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
  }
  return out;
}
