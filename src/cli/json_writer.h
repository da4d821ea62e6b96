#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace salvex::cli {

// A small streaming JSON writer: commas and string escapes are its business,
// the shape of the document is the caller's.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginArray();
  void EndArray();
  void BeginObject();
  void EndObject();
  void Key(std::string_view key);
  void String(std::string_view value);
  void Number(std::uint64_t value);
  void Bool(bool value);
  void Null();

 private:
  void BeforeValue();
  void WriteEscaped(std::string_view text);

  std::ostream& out_;
  // One flag per open container: has it a member already?
  std::vector<bool> hasMember_;
  bool afterKey_ = false;
};

}  // namespace salvex::cli
