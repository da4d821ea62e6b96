#include "carve/carve_families.h"
#include "content/mp3_check.h"

namespace salvex {

using namespace std::string_view_literals;

// MPEG audio: an ID3 tag, or a frame header (any version but the reserved one,
// any layer), first.
CarveFormat Mp3Family() {
  CarveFormat format;
  format.family = "mp3";
  format.signatures = {{0, "ID3"sv}, {0, "\xFF\xE2"sv}, {0, "\xFF\xE3"sv}, {0, "\xFF\xE4"sv}, {0, "\xFF\xE5"sv},
                       {0, "\xFF\xE6"sv}, {0, "\xFF\xE7"sv}, {0, "\xFF\xF2"sv}, {0, "\xFF\xF3"sv}, {0, "\xFF\xF4"sv},
                       {0, "\xFF\xF5"sv}, {0, "\xFF\xF6"sv}, {0, "\xFF\xF7"sv}, {0, "\xFF\xFA"sv}, {0, "\xFF\xFB"sv},
                       {0, "\xFF\xFC"sv}, {0, "\xFF\xFD"sv}, {0, "\xFF\xFE"sv}, {0, "\xFF\xFF"sv}};
  format.header = LooksLikeMp3Start;
  format.walk = WalkMp3;
  format.openEnded = true;
  return format;
}

}  // namespace salvex
