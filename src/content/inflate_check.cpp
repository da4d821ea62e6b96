#include "content/inflate_check.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace salvex {

InflateResult InflateFrom(ContentSource& source, std::uint64_t offset, bool zlibWrapped, std::uint64_t maxProduced,
                          const std::atomic<bool>* stop) {
  InflateResult result;
  z_stream stream{};
  if (inflateInit2(&stream, zlibWrapped ? MAX_WBITS : -MAX_WBITS) != Z_OK) return result;
  std::vector<std::uint8_t> out(64 * 1024);
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t at = offset;
  int status = Z_OK;
  while (true) {
    if (stop && stop->load(std::memory_order_relaxed)) {
      result.end = InflateResult::End::stopped;
      break;
    }
    if (stream.avail_in == 0) {
      const Bytes input = source.Read(at, 256 * 1024);
      if (input.empty()) {
        result.end = InflateResult::End::cutShort;
        break;
      }
      stream.next_in = const_cast<Bytef*>(input.data());
      stream.avail_in = static_cast<uInt>(input.size());
      at += input.size();
    }
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t got = out.size() - stream.avail_out;
    crc = crc32(crc, out.data(), static_cast<uInt>(got));
    result.produced += got;
    if (status == Z_STREAM_END) {
      result.end = InflateResult::End::streamEnd;
      break;
    }
    if (status != Z_OK && status != Z_BUF_ERROR) break;  // damaged
    if (status == Z_BUF_ERROR && stream.avail_in != 0) break;
    if (result.produced > maxProduced) {
      result.end = InflateResult::End::tooLong;
      break;
    }
  }
  result.packed = (at - offset) - stream.avail_in;
  result.crc = static_cast<std::uint32_t>(crc);
  inflateEnd(&stream);
  return result;
}

std::optional<std::uint32_t> SourceCrc32(ContentSource& source, std::uint64_t offset, std::uint64_t length,
                                         const std::atomic<bool>* stop) {
  uLong crc = crc32(0, nullptr, 0);
  while (length > 0) {
    if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
    const Bytes piece = source.Read(offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxSourceRead)));
    if (piece.empty()) return std::nullopt;
    crc = crc32(crc, piece.data(), static_cast<uInt>(piece.size()));
    offset += piece.size();
    length -= piece.size();
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace salvex
