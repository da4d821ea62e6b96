#include "cli/json_writer.h"

#include <cstdio>

namespace salvex::cli {

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMember_.empty()) {
    if (hasMember_.back()) out_ << ',';
    hasMember_.back() = true;
  }
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_ << '[';
  hasMember_.push_back(false);
}

void JsonWriter::EndArray() {
  hasMember_.pop_back();
  out_ << ']';
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_ << '{';
  hasMember_.push_back(false);
}

void JsonWriter::EndObject() {
  hasMember_.pop_back();
  out_ << '}';
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  WriteEscaped(key);
  out_ << ':';
  afterKey_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  WriteEscaped(value);
}

void JsonWriter::Number(std::uint64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

void JsonWriter::WriteEscaped(std::string_view text) {
  out_ << '"';
  std::size_t plain = 0;  // start of the run of characters that need no escape
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out_.write(text.data() + plain, static_cast<std::streamsize>(i - plain));
    plain = i + 1;
    switch (c) {
      case '"': out_ << "\\\""; break;
      case '\\': out_ << "\\\\"; break;
      case '\n': out_ << "\\n"; break;
      case '\r': out_ << "\\r"; break;
      case '\t': out_ << "\\t"; break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out_ << escaped;
      }
    }
  }
  // Names are valid UTF-8, which JSON carries as it is.
  out_.write(text.data() + plain, static_cast<std::streamsize>(text.size() - plain));
  out_ << '"';
}

}  // namespace salvex::cli
