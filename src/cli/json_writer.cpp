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
  for (const char c : text) {
    switch (c) {
      case '"': out_ << "\\\""; break;
      case '\\': out_ << "\\\\"; break;
      case '\n': out_ << "\\n"; break;
      case '\r': out_ << "\\r"; break;
      case '\t': out_ << "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out_ << escaped;
        } else {
          out_ << c;  // names are valid UTF-8, which JSON carries as is
        }
    }
  }
  out_ << '"';
}

}  // namespace salvex::cli
