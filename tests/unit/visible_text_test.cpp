#include "common/visible_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/json_writer.h"

namespace salvex::cli {
namespace {

struct EscapeCase {
  std::string name;
  std::string onTerminal;
  std::string inJson;  // the string's JSON text, quotes included
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

// A name from a disk can neither act on the terminal nor break the JSON.
TEST_P(EscapeTest, ShowsControlsAsEscapes) {
  const EscapeCase& c = GetParam();
  EXPECT_EQ(VisibleText(c.name), c.onTerminal);
  std::ostringstream out;
  JsonWriter(out).String(c.name);
  EXPECT_EQ(out.str(), c.inJson);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EscapeTest,
    ::testing::Values(EscapeCase{"report.doc", "report.doc", "\"report.doc\""},
                      EscapeCase{"Отчёт \"1\".doc", "Отчёт \"1\".doc", "\"Отчёт \\\"1\\\".doc\""},
                      EscapeCase{"red\x1b[31m\x7f", "red\\x1b[31m\\x7f", "\"red\\u001b[31m\\u007f\""},
                      EscapeCase{"two\nlines\t", "two\\x0alines\\x09", "\"two\\nlines\\t\""},
                      EscapeCase{"csi\u009b2J", "csi\\u009b2J", "\"csi\\u009b2J\""},
                      EscapeCase{"txt.\u202eexe\u2066", "txt.\\u202eexe\\u2066", "\"txt.\\u202eexe\\u2066\""},
                      // Bytes that are not UTF-8 (a snapshot can hold them).
                      EscapeCase{"bad\xff", "bad\uFFFD", "\"bad\uFFFD\""}));

}  // namespace
}  // namespace salvex::cli
