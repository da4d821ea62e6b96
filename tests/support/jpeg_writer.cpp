#include "support/jpeg_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace salvex::testing {
namespace {

constexpr std::array<int, 64> kZigZag = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The standard luminance table, in natural order.
constexpr std::array<int, 64> kLuminanceQuant = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24,  40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35,  55,  64,
    81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

constexpr std::array<std::uint8_t, 16> kDcCounts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 12> kDcSymbols = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<std::uint8_t, 16> kAcCounts = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
constexpr std::array<std::uint8_t, 162> kAcSymbols = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3,
    0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
    0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

struct Code {
  std::uint16_t bits = 0;
  int length = 0;
};

// Each symbol's canonical code, as a decoder builds it from the counts.
std::array<Code, 256> Codes(const std::uint8_t* counts, const std::uint8_t* symbols) {
  std::array<Code, 256> codes{};
  int code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < counts[length - 1]; ++i) codes[symbols[index++]] = {static_cast<std::uint16_t>(code++), length};
    code <<= 1;
  }
  return codes;
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(std::uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<std::uint8_t>(byte_ << 1 | ((bits >> i) & 1));
      if (++filled_ == 8) Emit();
    }
  }
  void PutCode(const Code& code) {
    if (code.length == 0) throw std::logic_error("a symbol the table lacks");
    Put(code.bits, code.length);
  }
  // Pads the last byte with ones, as the standard asks.
  void Flush() {
    while (filled_ != 0) Put(1, 1);
  }

 private:
  void Emit() {
    out_.push_back(byte_);
    if (byte_ == 0xFF) out_.push_back(0x00);
    byte_ = 0;
    filled_ = 0;
  }
  std::vector<std::uint8_t>& out_;
  std::uint8_t byte_ = 0;
  int filled_ = 0;
};

int SizeOf(int value) {
  int size = 0;
  for (int magnitude = std::abs(value); magnitude > 0; magnitude >>= 1) ++size;
  return size;
}

std::uint32_t Amplitude(int value, int size) {
  return static_cast<std::uint32_t>(value >= 0 ? value : value + (1 << size) - 1);
}

void Marker(std::vector<std::uint8_t>& out, std::uint8_t marker, const std::vector<std::uint8_t>& body) {
  out.push_back(0xFF);
  out.push_back(marker);
  const std::size_t length = body.size() + 2;
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length));
  out.insert(out.end(), body.begin(), body.end());
}

using Plane = std::vector<double>;

}  // namespace

std::vector<std::uint8_t> WriteJpeg(const JpegPicture& picture) {
  const int width = picture.width;
  const int height = picture.height;
  const int components = picture.color ? 3 : 1;
  const int mcuSize = picture.color ? 16 : 8;
  const int mcusX = (width + mcuSize - 1) / mcuSize;
  const int mcusY = (height + mcuSize - 1) / mcuSize;
  // The picture, padded to whole MCUs by repeating its edges.
  const int paddedW = mcusX * mcuSize;
  const int paddedH = mcusY * mcuSize;
  std::array<Plane, 3> planes;
  for (Plane& plane : planes) plane.assign(static_cast<std::size_t>(paddedW) * paddedH, 0);
  std::uint32_t noise = picture.seed * 2654435761U + 1;
  for (int y = 0; y < paddedH; ++y) {
    for (int x = 0; x < paddedW; ++x) {
      const double sx = std::min(x, width - 1);
      const double sy = std::min(y, height - 1);
      noise = noise * 1103515245U + 12345U;
      const double grain = static_cast<double>((noise >> 16) % 17) - 8;
      const double phase = picture.seed * 0.7;
      const double r = 128 + 90 * std::sin(sx / 23.0 + phase) * std::cos(sy / 31.0) + grain;
      const double g = 120 + 70 * std::cos((sx + sy) / 17.0 - phase) + grain;
      const double b = 100 + 60 * std::sin(sx * sy / 900.0 + phase) + grain;
      const auto at = static_cast<std::size_t>(y) * paddedW + x;
      const auto clamp = [](double v) { return std::clamp(v, 0.0, 255.0); };
      planes[0][at] = clamp(0.299 * r + 0.587 * g + 0.114 * b);
      planes[1][at] = clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
      planes[2][at] = clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
    }
  }
  // libjpeg's scaling of the table for a quality.
  const int scale = picture.quality < 50 ? 5000 / picture.quality : 200 - 2 * picture.quality;
  std::array<int, 64> quant{};
  for (int i = 0; i < 64; ++i) quant[static_cast<std::size_t>(i)] = std::clamp((kLuminanceQuant[static_cast<std::size_t>(i)] * scale + 50) / 100, 1, 255);

  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  Marker(out, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  std::vector<std::uint8_t> dqt = {0x00};
  for (const int natural : kZigZag) dqt.push_back(static_cast<std::uint8_t>(quant[static_cast<std::size_t>(natural)]));
  Marker(out, 0xDB, dqt);
  std::vector<std::uint8_t> sof = {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                                   static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width),
                                   static_cast<std::uint8_t>(components)};
  for (int c = 0; c < components; ++c) {
    sof.insert(sof.end(), {static_cast<std::uint8_t>(c + 1), static_cast<std::uint8_t>(c == 0 && picture.color ? 0x22 : 0x11), 0});
  }
  Marker(out, 0xC0, sof);
  std::vector<std::uint8_t> dht = {0x00};
  dht.insert(dht.end(), kDcCounts.begin(), kDcCounts.end());
  dht.insert(dht.end(), kDcSymbols.begin(), kDcSymbols.end());
  dht.push_back(0x10);
  dht.insert(dht.end(), kAcCounts.begin(), kAcCounts.end());
  dht.insert(dht.end(), kAcSymbols.begin(), kAcSymbols.end());
  Marker(out, 0xC4, dht);
  if (picture.restartInterval > 0) {
    Marker(out, 0xDD, {static_cast<std::uint8_t>(picture.restartInterval >> 8), static_cast<std::uint8_t>(picture.restartInterval)});
  }
  std::vector<std::uint8_t> sos = {static_cast<std::uint8_t>(components)};
  for (int c = 0; c < components; ++c) sos.insert(sos.end(), {static_cast<std::uint8_t>(c + 1), 0x00});
  sos.insert(sos.end(), {0, 63, 0});
  Marker(out, 0xDA, sos);

  const std::array<Code, 256> dcCodes = Codes(kDcCounts.data(), kDcSymbols.data());
  const std::array<Code, 256> acCodes = Codes(kAcCounts.data(), kAcSymbols.data());
  BitWriter bits(out);
  std::array<int, 3> predictor{};
  // One 8×8 block whose top left sample is (x0, y0) of the plane, sampled
  // every `step` samples (2 for subsampled chroma: the mean of four).
  const auto block = [&](int component, int x0, int y0, int step) {
    std::array<double, 64> samples{};
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        double sum = 0;
        for (int dy = 0; dy < step; ++dy) {
          for (int dx = 0; dx < step; ++dx) {
            sum += planes[static_cast<std::size_t>(component)][static_cast<std::size_t>(y0 + y * step + dy) * paddedW + x0 + x * step + dx];
          }
        }
        samples[static_cast<std::size_t>(y * 8 + x)] = sum / (step * step) - 128;
      }
    }
    std::array<int, 64> coefficients{};
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) {
            sum += samples[static_cast<std::size_t>(y * 8 + x)] * std::cos((2 * x + 1) * u * M_PI / 16) *
                   std::cos((2 * y + 1) * v * M_PI / 16);
          }
        }
        const double cu = u == 0 ? M_SQRT1_2 : 1;
        const double cv = v == 0 ? M_SQRT1_2 : 1;
        const int natural = v * 8 + u;
        coefficients[static_cast<std::size_t>(natural)] =
            static_cast<int>(std::lround(0.25 * cu * cv * sum / quant[static_cast<std::size_t>(natural)]));
      }
    }
    const int diff = coefficients[0] - predictor[static_cast<std::size_t>(component)];
    predictor[static_cast<std::size_t>(component)] = coefficients[0];
    const int dcSize = SizeOf(diff);
    bits.PutCode(dcCodes[static_cast<std::size_t>(dcSize)]);
    bits.Put(Amplitude(diff, dcSize), dcSize);
    int run = 0;
    for (int k = 1; k < 64; ++k) {
      const int value = coefficients[static_cast<std::size_t>(kZigZag[static_cast<std::size_t>(k)])];
      if (value == 0) {
        ++run;
        continue;
      }
      for (; run >= 16; run -= 16) bits.PutCode(acCodes[0xF0]);
      const int size = SizeOf(value);
      bits.PutCode(acCodes[static_cast<std::size_t>(run << 4 | size)]);
      bits.Put(Amplitude(value, size), size);
      run = 0;
    }
    if (run > 0) bits.PutCode(acCodes[0x00]);
  };
  int mcu = 0;
  int restart = 0;
  for (int my = 0; my < mcusY; ++my) {
    for (int mx = 0; mx < mcusX; ++mx, ++mcu) {
      if (picture.restartInterval > 0 && mcu > 0 && mcu % picture.restartInterval == 0) {
        bits.Flush();
        out.push_back(0xFF);
        out.push_back(static_cast<std::uint8_t>(0xD0 + restart));
        restart = (restart + 1) % 8;
        predictor = {};
      }
      if (picture.color) {
        for (int by = 0; by < 2; ++by) {
          for (int bx = 0; bx < 2; ++bx) block(0, mx * 16 + bx * 8, my * 16 + by * 8, 1);
        }
        block(1, mx * 16, my * 16, 2);
        block(2, mx * 16, my * 16, 2);
      } else {
        block(0, mx * 8, my * 8, 1);
      }
    }
  }
  bits.Flush();
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

}  // namespace salvex::testing
