#pragma once

#include <cstdint>

#include "support/format_writers.h"

namespace salvex::testing {

// Files of the streaming and simple formats, made here by their formats'
// rules (the integration tests make the same kinds with SoX, ImageMagick,
// gzip and sqlite3).

// MPEG-1 layer III frames at 128 kbit/s and 44.1 kHz (noise for audio),
// after an ID3v2 tag when `tagged`.
FileBytes WriteMp3(int frames, std::uint32_t seed, bool tagged);

// A FLAC stream of `frames` frames of 1152 mono 16-bit samples, each stored
// verbatim, with STREAMINFO counting them and every CRC right.
FileBytes WriteFlac(int frames, std::uint32_t seed);

// An Ogg stream of `pages` pages with every CRC right, its first page a
// Vorbis identification packet's.
FileBytes WriteOgg(int pages, std::uint32_t seed);

// A 16-bit stereo PCM WAV of `samples` frames.
FileBytes WriteWav(std::size_t samples, std::uint32_t seed);

// A lossless WebP: RIFF, "WEBP", one VP8L chunk.
FileBytes WriteWebp(std::size_t payload, std::uint32_t seed);

// A little-endian TIFF: one strip of 8-bit grey pixels.
FileBytes WriteTiff(int width, int height, std::uint32_t seed);

// A gzip member of `size` bytes of text.
FileBytes WriteGzip(std::size_t size, std::uint32_t seed);

}  // namespace salvex::testing
