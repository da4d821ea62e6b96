#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace salvex::testing {

// A parsed JSON document, enough to read what `salvex ... --json` prints.
// Numbers are kept as unsigned integers: the program prints no others.
class JsonValue {
 public:
  enum class Kind { null, boolean, number, string, array, object };

  Kind kind = Kind::null;
  bool boolean = false;
  std::uint64_t number = 0;
  std::string string;
  std::vector<JsonValue> items;
  // Members in document order; duplicate keys are kept and make Has() true.
  std::vector<std::pair<std::string, JsonValue>> members;

  bool IsNull() const { return kind == Kind::null; }
  bool Has(std::string_view key) const;
  // The member's value; throws std::runtime_error naming the key when absent.
  const JsonValue& At(std::string_view key) const;
  // Typed access that throws when the value is of another kind.
  const std::string& Str() const;
  std::uint64_t Num() const;
  bool Bool() const;
};

// Parses a whole document (surrounding blanks allowed). Throws
// std::runtime_error with the byte offset on malformed input, trailing text
// included.
JsonValue ParseJson(std::string_view text);

}  // namespace salvex::testing
