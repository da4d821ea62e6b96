#pragma once

#include <cstdint>
#include <vector>

namespace salvex::testing {

// A baseline JPEG as a camera or an image program writes one: JFIF header,
// one quantization table (the standard one, scaled for quality), the
// standard luminance Huffman tables, a sequential frame (grey, or YCbCr
// with 4:2:0 subsampling), optionally restart markers every
// `restartInterval` MCUs, and the entropy-coded data of a picture with
// smooth shading, texture and a little noise. Made here, so that the
// tests need no image program and know every byte.
struct JpegPicture {
  int width = 160;
  int height = 120;
  bool color = true;
  std::uint16_t restartInterval = 0;
  int quality = 85;
  std::uint32_t seed = 1;  // varies the picture
};

std::vector<std::uint8_t> WriteJpeg(const JpegPicture& picture);

}  // namespace salvex::testing
