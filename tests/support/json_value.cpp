#include "support/json_value.h"

#include <stdexcept>

#include "common/utf.h"

namespace salvex::testing {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  JsonValue Document() {
    JsonValue value = Value(0);
    SkipBlanks();
    if (at_ != text_.size()) Fail("text after the document");
    return value;
  }

 private:
  // Deeper nesting than this is a broken printer, not a listing.
  static constexpr int kMaxDepth = 64;

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at byte " + std::to_string(at_));
  }

  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }

  bool Consume(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  char Peek() {
    SkipBlanks();
    if (at_ == text_.size()) Fail("unexpected end");
    return text_[at_];
  }

  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++at_;
  }

  JsonValue Value(int depth) {
    if (depth > kMaxDepth) Fail("nesting too deep");
    JsonValue value;
    const char c = Peek();
    if (c == '[') {
      value.kind = JsonValue::Kind::array;
      ++at_;
      if (Peek() == ']') {
        ++at_;
        return value;
      }
      while (true) {
        value.items.push_back(Value(depth + 1));
        if (Peek() != ',') break;
        ++at_;
      }
      Expect(']');
    } else if (c == '{') {
      value.kind = JsonValue::Kind::object;
      ++at_;
      if (Peek() == '}') {
        ++at_;
        return value;
      }
      while (true) {
        if (Peek() != '"') Fail("expected a key");
        std::string key = String();
        Expect(':');
        value.members.emplace_back(std::move(key), Value(depth + 1));
        if (Peek() != ',') break;
        ++at_;
      }
      Expect('}');
    } else if (c == '"') {
      value.kind = JsonValue::Kind::string;
      value.string = String();
    } else if (c >= '0' && c <= '9') {
      value.kind = JsonValue::Kind::number;
      value.number = Number();
    } else if (Consume("true")) {
      value.kind = JsonValue::Kind::boolean;
      value.boolean = true;
    } else if (Consume("false")) {
      value.kind = JsonValue::Kind::boolean;
    } else if (!Consume("null")) {
      Fail("unexpected character");
    }
    return value;
  }

  std::uint64_t Number() {
    std::uint64_t number = 0;
    const std::size_t first = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      const auto digit = static_cast<std::uint64_t>(text_[at_] - '0');
      if (number > (UINT64_MAX - digit) / 10) Fail("number too large");
      number = number * 10 + digit;
      ++at_;
    }
    if (text_[first] == '0' && at_ - first > 1) Fail("leading zero");
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) {
      Fail("only whole numbers are expected");
    }
    return number;
  }

  char16_t HexUnit() {
    if (at_ + 4 > text_.size()) Fail("short \\u escape");
    char16_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      int digit;
      if (h >= '0' && h <= '9') {
        digit = h - '0';
      } else if (h >= 'a' && h <= 'f') {
        digit = h - 'a' + 10;
      } else if (h >= 'A' && h <= 'F') {
        digit = h - 'A' + 10;
      } else {
        Fail("bad hex digit");
      }
      unit = static_cast<char16_t>(unit * 16 + digit);
    }
    return unit;
  }

  std::string String() {
    ++at_;  // the opening quote
    std::string out;
    while (true) {
      if (at_ == text_.size()) Fail("unterminated string");
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("raw control character in a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (at_ == text_.size()) Fail("unterminated escape");
      const char e = text_[at_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          std::u16string units(1, HexUnit());
          if (IsHighSurrogate(units[0]) && Consume("\\u")) units.push_back(HexUnit());
          out += Utf16ToUtf8(units);
          break;
        }
        default: Fail("unknown escape");
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

bool JsonValue::Has(std::string_view key) const {
  for (const auto& member : members) {
    if (member.first == key) return true;
  }
  return false;
}

const JsonValue& JsonValue::At(std::string_view key) const {
  for (const auto& member : members) {
    if (member.first == key) return member.second;
  }
  throw std::runtime_error("JSON: no member \"" + std::string(key) + "\"");
}

const std::string& JsonValue::Str() const {
  if (kind != Kind::string) throw std::runtime_error("JSON: not a string");
  return string;
}

std::uint64_t JsonValue::Num() const {
  if (kind != Kind::number) throw std::runtime_error("JSON: not a number");
  return number;
}

bool JsonValue::Bool() const {
  if (kind != Kind::boolean) throw std::runtime_error("JSON: not a boolean");
  return boolean;
}

JsonValue ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace salvex::testing
