#include "cli/json_writer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/visible_text.h"
#include "common/utf.h"

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
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\';
  });
  if (plain) {
    out_ << text << '"';
    return;
  }
  // Decoding makes any byte that is not UTF-8 a U+FFFD, so the document stays
  // valid; terminal controls are escaped, so printing it to a terminal is safe.
  std::string run;
  for (const char32_t c : DecodeUtf8(text)) {
    if (!IsInvisibleControl(c) && c != '"' && c != '\\') {
      AppendUtf8(run, c);
      continue;
    }
    switch (c) {
      case '"': run += "\\\""; break;
      case '\\': run += "\\\\"; break;
      case '\n': run += "\\n"; break;
      case '\r': run += "\\r"; break;
      case '\t': run += "\\t"; break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        run += escaped;
      }
    }
  }
  out_ << run << '"';
}

}  // namespace salvex::cli
