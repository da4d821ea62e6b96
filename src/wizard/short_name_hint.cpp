#include "wizard/short_name_hint.h"

namespace salvex::wizard {
namespace {

// Characters an 8.3 name may hold besides letters and digits; bytes from
// 0x80 up are the code page's letters, decoded to UTF-8.
bool ShortNameCharacter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80) return true;
  return std::string_view("!#$%&'()-@^_`{}~").find(static_cast<char>(c)) != std::string_view::npos;
}

// Characters of UTF-8 text (its lead bytes).
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// One case throughout, as the entry's case flags give a part: all lower or
// all upper (digits and signs have none).
bool OneCase(std::string_view part) {
  bool lower = false;
  bool upper = false;
  for (const char c : part) {
    lower = lower || (c >= 'a' && c <= 'z');
    upper = upper || (c >= 'A' && c <= 'Z');
  }
  return !(lower && upper);
}

}  // namespace

bool LooksLikeDeletedShortName(std::string_view name, bool deleted) {
  if (!deleted || name.size() < 2 || name.front() != 'x') return false;
  const std::size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (Characters(base) > 8 || Characters(extension) > 3) return false;
  if (dot != std::string_view::npos && (extension.empty() || extension.find('.') != std::string_view::npos)) return false;
  for (const std::string_view part : {base, extension}) {
    for (const char c : part) {
      if (!ShortNameCharacter(static_cast<unsigned char>(c))) return false;
    }
  }
  // The 'x' is the walk's, in lower case: the case of the rest is the entry's.
  return OneCase(base.substr(1)) && OneCase(extension);
}

}  // namespace salvex::wizard
