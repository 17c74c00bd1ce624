// The --json writer: whatever text goes in, a valid document that reads back
// as that text comes out.

#include "json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace hvzelta::cli {
namespace {

using nlohmann::json;

TEST(JsonQuote, EscapesWhatJsonForbidsAndKeepsUtf8) {
  for (const std::string& text :
       {std::string("plain"), std::string("quote \" backslash \\ slash /"), std::string("\n\r\t\b\f"),
        std::string("\x01\x1f\x7f", 3), std::string("nul \0 inside", 12),
        std::string("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x8c")}) {
    const std::string quoted = JsonQuote(text);
    ASSERT_TRUE(json::accept(quoted)) << quoted;
    EXPECT_EQ(json::parse(quoted).get<std::string>(), text) << quoted;
  }
}

TEST(JsonQuote, BytesThatAreNotUtf8StandForLatin1Characters) {
  // A lone continuation byte, a truncated sequence, an overlong form, a
  // surrogate and a value beyond U+10FFFF.
  for (const std::string& text : {std::string("\x80"), std::string("ab\xe2\x82"), std::string("\xc0\xaf"),
                                  std::string("\xed\xa0\x80"), std::string("\xf4\x90\x80\x80"), std::string("\xff")}) {
    const std::string quoted = JsonQuote(text);
    ASSERT_TRUE(json::accept(quoted)) << quoted;
    std::string latin1;
    for (char c : text) {
      const unsigned char byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        latin1 += c;
      } else {
        latin1 += static_cast<char>(0xC0 | (byte >> 6));
        latin1 += static_cast<char>(0x80 | (byte & 0x3F));
      }
    }
    EXPECT_EQ(json::parse(quoted).get<std::string>(), latin1);
  }
}

TEST(JsonWriter, NestsWithCommasAndWritesNumbersExactly) {
  std::ostringstream out;
  JsonWriter writer(out);
  writer.BeginObject();
  writer.Key("list");
  writer.BeginArray();
  writer.Integer(-2147483648LL);
  writer.Number(0.1);
  writer.Number(1e300);
  writer.Number(std::nan(""));
  writer.Number(std::numeric_limits<double>::infinity());
  writer.Boolean(false);
  writer.Null();
  writer.BeginObject();
  writer.EndObject();
  writer.EndArray();
  writer.Key("key \"quoted\"");
  writer.String("v");
  writer.EndObject();
  writer.Finish();
  const json document = json::parse(out.str());
  EXPECT_EQ(document, json::parse(R"({"list":[-2147483648,0.1,1e300,null,null,false,null,{}],"key \"quoted\"":"v"})"));
  EXPECT_EQ(document["list"][1].get<double>(), 0.1);
  EXPECT_TRUE(out.str().ends_with("}\n"));
}

}  // namespace
}  // namespace hvzelta::cli
