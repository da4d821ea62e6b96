#include "imaging/map_text.h"

#include <cinttypes>
#include <cstdio>

namespace salvex {
namespace {

// ddrescue's own limit for positions and sizes (a signed 64-bit offset).
constexpr std::uint64_t kMaxMapEnd = 0x7FFFFFFFFFFFFFFFULL;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next blank-separated word of `line`, consumed.
std::string_view NextWord(std::string_view& line) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  std::size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  const std::string_view word = line.substr(start, end - start);
  line.remove_prefix(end);
  return word;
}

// A number as strtoull with base 0 takes it, without its leniencies: no
// sign, no blanks, every character a digit, no overflow.
std::optional<std::uint64_t> ParseNumber(std::string_view word) {
  unsigned base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  } else if (word.size() > 1 && word[0] == '0') {
    base = 8;
    word.remove_prefix(1);
  }
  if (word.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : word) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= base || value > (UINT64_MAX - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

std::optional<BlockStatus> ParseBlockStatus(std::string_view word) {
  if (word.size() != 1) return std::nullopt;
  switch (word[0]) {
    case '?':
      return BlockStatus::nonTried;
    case '*':
      return BlockStatus::nonTrimmed;
    case '/':
      return BlockStatus::nonScraped;
    case '-':
      return BlockStatus::badSector;
    case '+':
      return BlockStatus::finished;
    default:
      return std::nullopt;
  }
}

std::optional<RescuePhase> ParsePhase(std::string_view word) {
  if (word.size() != 1) return std::nullopt;
  switch (word[0]) {
    case '?':
      return RescuePhase::copying;
    case '*':
      return RescuePhase::trimming;
    case '/':
      return RescuePhase::scraping;
    case '-':
      return RescuePhase::retrying;
    case '+':
      return RescuePhase::finished;
    case 'F':  // ddrescue's fill and generate modes: a run here starts over at copying
    case 'G':
      return RescuePhase::copying;
    default:
      return std::nullopt;
  }
}

ParsedMap Failed(std::size_t lineNumber, const std::string& why) {
  return {std::nullopt, "line " + std::to_string(lineNumber) + ": " + why};
}

std::string PhaseComment(const RescueMap& map) {
  switch (map.phase) {
    case RescuePhase::copying:
      return "# Copying non-tried blocks... Pass " + std::to_string(map.pass);
    case RescuePhase::trimming:
      return "# Trimming failed blocks...";
    case RescuePhase::scraping:
      return "# Scraping failed blocks...";
    case RescuePhase::retrying:
      return "# Retrying bad sectors... Retry " + std::to_string(map.pass);
    case RescuePhase::finished:
      break;
  }
  return "# Finished";
}

// A comment must stay one line whatever a file name holds.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line;
}

}  // namespace

ParsedMap ParseRescueMap(std::string_view text) {
  RescueMap map;
  bool statusSeen = false;
  std::uint64_t expectedPos = 0;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++lineNumber;

    std::string_view rest = line;
    const std::string_view first = NextWord(rest);
    if (first.empty() || first[0] == '#') continue;
    const std::string_view second = NextWord(rest);
    const std::string_view third = NextWord(rest);
    if (!NextWord(rest).empty()) return Failed(lineNumber, "more than three fields");

    const auto pos = ParseNumber(first);
    if (!pos || *pos > kMaxMapEnd) return Failed(lineNumber, "not a position");
    if (!statusSeen) {
      const auto phase = ParsePhase(second);
      if (!phase) return Failed(lineNumber, "not a current status");
      std::uint64_t pass = 1;
      if (!third.empty()) {
        const auto given = ParseNumber(third);
        if (!given || *given < 1 || *given > 1000000) return Failed(lineNumber, "not a pass number");
        pass = *given;
      }
      map.currentPos = *pos;
      map.phase = *phase;
      map.pass = static_cast<int>(pass);
      statusSeen = true;
      continue;
    }
    const auto size = ParseNumber(second);
    const auto status = ParseBlockStatus(third);
    if (!size || *size == 0 || *size > kMaxMapEnd - *pos) return Failed(lineNumber, "not a block size");
    if (!status) return Failed(lineNumber, "not a block status");
    if (*pos != expectedPos && !(expectedPos == 0 && map.Extent() == 0)) {
      return Failed(lineNumber, "the block does not start where the one before it ends");
    }
    map.Extend(*pos + *size);
    map.Set(*pos, *size, *status);
    expectedPos = *pos + *size;
  }
  if (!statusSeen) return {std::nullopt, "no current-position line: not a ddrescue mapfile"};
  return {std::move(map), {}};
}

std::string FormatRescueMap(const RescueMap& map, const MapHeading& heading) {
  std::string text = "# Mapfile. Created by " + OneLine(heading.program) + "\n";
  text += "# Command line: " + OneLine(heading.commandLine) + "\n";
  text += "# Start time:   " + OneLine(heading.startTime) + "\n";
  text += "# Current time: " + OneLine(heading.currentTime) + "\n";
  text += PhaseComment(map) + "\n";
  text += "# current_pos  current_status  current_pass\n";
  char line[96];
  std::snprintf(line, sizeof line, "0x%08" PRIX64 "     %c               %d\n", map.currentPos,
                static_cast<char>(map.phase), map.pass);
  text += line;
  text += "#      pos        size  status\n";
  for (const MapBlock& block : map.Blocks()) {
    std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", block.pos, block.size,
                  static_cast<char>(block.status));
    text += line;
  }
  return text;
}

}  // namespace salvex
