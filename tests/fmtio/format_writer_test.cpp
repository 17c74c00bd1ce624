#include "fmtio/format_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <span>
#include <vector>

#include "fake_enums.h"
#include "fmtio/formatted_io.h"
#include "hvzelta/status.h"
#include "scripted_channel.h"

namespace hvzelta {
namespace {

using testing::FakeEnums;

FakeEnums gEnums;

template <class... Args>
std::string Formatted(const char* format, Args&&... args) {
  std::string text;
  const HRESULT hr = CFormattedIo::Format(&text, &gEnums, format, std::forward<Args>(args)...);
  EXPECT_EQ(hr, S_OK) << format;
  return text;
}

template <class... Args>
HRESULT FormatStatus(std::string& text, const char* format, Args&&... args) {
  text.clear();
  return CFormattedIo::Format(&text, &gEnums, format, std::forward<Args>(args)...);
}

TEST(FormatWriterTest, NumbersAndStyles) {
  EXPECT_EQ(Formatted("VOLT %0.15lg", 100.5), "VOLT 100.5");
  EXPECT_EQ(Formatted("100%%"), "100%");
  EXPECT_EQ(Formatted("%@1d|%@Hd|%@Qd|%@Bd", 42, 255, 8, 5), "42|#HFF|#Q10|#B101");
  EXPECT_EQ(Formatted("%@H5d|%@Hd", 255, -1), "#H   FF|#HFFFFFFFF");
  EXPECT_EQ(Formatted("%@2.2d|%@3d", 7, 7), "7.00|7.000000E+00");
  EXPECT_EQ(Formatted("%@1f|%@Hlf|%@2.1f", 2.5, 254.7, 2.25), "3|#HFF|2.2");
  EXPECT_EQ(Formatted("%bd|%hd|%Id|%x", 511, 70000, std::int64_t{1} << 40, -1),
            "255|4464|1099511627776|ffffffff");
  EXPECT_EQ(Formatted("%*.*f|%-*d|%*d", 8, 2, 3.14159, 4, 7, -4, 7), "    3.14|7   |7   ");
  EXPECT_EQ(Formatted("%c%-3c%3c|", 'a', 'b', 'c'), "ab    c|");
}

// The reference of the differential test below, with formats built at run time.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T>
std::string CLibraryText(const std::string& format, T value) {
  char text[1024];
  std::snprintf(text, sizeof text, format.c_str(), value);
  return text;
}
#pragma GCC diagnostic pop

TEST(FormatWriterTest, NumbersMatchTheCLibrary) {
  const double reals[] = {0.0, -0.0, 1.0, -1.5, 100.5, 0.1, 123456789.0, 1e22, 1e-300, 5e-324,
                          9.9999995, 0.000123456, 1.7976931348623157e308, INFINITY, -INFINITY, NAN};
  const char* flagSets[] = {"", "-", "+", " ", "0", "-+", "+0", " 0", "-0"};
  const char* widths[] = {"", "1", "12"};
  const char* precisions[] = {"", ".0", ".3", ".15", ".17", ".310"};
  int compared = 0;
  for (const char conversion : {'f', 'e', 'E', 'g', 'G'}) {
    for (const char* flags : flagSets) {
      for (const char* width : widths) {
        for (const char* precision : precisions) {
          const std::string format = std::string("%") + flags + width + precision + conversion;
          for (const double value : reals) {
            ASSERT_EQ(Formatted(format.c_str(), value), CLibraryText(format, value)) << format << " " << value;
            ++compared;
          }
        }
      }
    }
  }
  const long long integers[] = {0, 1, -1, 42, -42, INT_MAX, INT_MIN, 65535, 255, LLONG_MIN, LLONG_MAX};
  for (const char conversion : {'d', 'i', 'o', 'u', 'x'}) {
    for (const char* flags : flagSets) {
      for (const char* width : widths) {
        for (const char* precision : {"", ".0", ".5"}) {
          for (const long long value : integers) {
            const std::string format = std::string("%") + flags + width + precision + conversion;
            const bool isSigned = conversion == 'd' || conversion == 'i';
            const std::string cFormat = format.substr(0, format.size() - 1) + "ll" + conversion;
            const long long narrowed = isSigned ? static_cast<long long>(static_cast<int>(value))
                                                : static_cast<long long>(static_cast<unsigned>(value));
            ASSERT_EQ(Formatted(format.c_str(), value), CLibraryText(cFormat, narrowed)) << format << " " << value;
            const std::string wide = format.substr(0, format.size() - 1) + "I" + conversion;
            ASSERT_EQ(Formatted(wide.c_str(), value), CLibraryText(cFormat, value)) << wide << " " << value;
            compared += 2;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 5000);
}

// %g takes a shortcut through the shortest digits of a value when they are
// few enough; across magnitudes and precisions it must still be the C text.
TEST(FormatWriterTest, GeneralFormatOfManyValuesMatchesTheCLibrary) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int> digits(1, 17);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 20000; ++i) {
    // Short decimals (the common case of settings) and full-precision values.
    const double mantissa = i % 2 ? std::uniform_real_distribution<double>(-10, 10)(random)
                                  : static_cast<double>(static_cast<int>(random() % 20001) - 10000) / 1000;
    const double value = mantissa * std::pow(10.0, exponent(random));
    const std::string format = "%." + std::to_string(digits(random)) + (i % 3 ? "g" : "G");
    ASSERT_EQ(Formatted(format.c_str(), value), CLibraryText(format, value)) << format << " " << value;
  }
}

TEST(FormatWriterTest, ArraysSeparatorsAndArrayObjects) {
  const std::int32_t numbers[] = {1, 2, 3};
  EXPECT_EQ(Formatted("%,3d", numbers), "1,2,3");
  EXPECT_EQ(Formatted("%(s)3d", numbers), "1 2 3");
  EXPECT_EQ(Formatted("%(;)*d", 2, numbers), "1;2");
  const double reals[] = {0.5, -2.25};
  EXPECT_EQ(Formatted("SOUR:LIST %.2,2f", reals), "SOUR:LIST 0.50,-2.25");
  const char* names[] = {"A", "BC"};
  EXPECT_EQ(Formatted("%,2Qs", names), "\"A\",\"BC\"");
  const std::int16_t states[] = {-1, 0};
  EXPECT_EQ(Formatted("%{VARIANT_BOOL},2s", states), "1,0");

  SafeArrayPtr array(SafeArrayCreateVector(VT_I4, 0, 4));
  for (std::int32_t i = 0; i < 4; ++i) static_cast<std::int32_t*>(array->pvData)[i] = i * 10;
  EXPECT_EQ(Formatted("%,$Sd", array.get()), "0,10,20,30");
  EXPECT_EQ(Formatted("%,2$Sd", array.get()), "0,10");
  for (std::int32_t i = 0; i < 3; ++i) static_cast<std::int32_t*>(array->pvData)[i] = i;
  EXPECT_EQ(Formatted("%{CouplingMode},3$Sqs", array.get()), "'AC','DC','AC DC'");
}

TEST(FormatWriterTest, StringsQuotesAndEnumerations) {
  EXPECT_EQ(Formatted("%Qs|%qs|[%-6Qs][%6.2s]", "ABC", "ABC", "AB", "XYZ"), "\"ABC\"|'ABC'|[\"AB\"  ][    XY]");
  EXPECT_EQ(Formatted("%$Bs/%$Cs", L"gr\u00fcn", std::string("blau")), "gr\xC3\xBCn/blau");
  EXPECT_EQ(Formatted("%s", std::string_view("view text", 4)), "view");
  EXPECT_EQ(Formatted("OUTP:COUP %{ CouplingMode }s", 1), "OUTP:COUP DC");
  // The boolean takes a 16-bit value: 65535 is true.
  EXPECT_EQ(Formatted("%{VARIANT_BOOL}s;%{VARIANT_BOOL}Qs", 65535, 0), "1;\"0\"");
}

TEST(FormatWriterTest, BlocksAndRawElements) {
  const std::uint8_t bytes[] = {'A', 0, '\n', 0xFF};
  EXPECT_EQ(Formatted("%4b", bytes), std::string("#14A\0\n\xFF", 7));
  EXPECT_EQ(Formatted("%2B", bytes), std::string("#0A\0\n", 5));
  EXPECT_EQ(Formatted("%*b", 0, bytes), "#10");
  std::vector<std::uint8_t> big(300, 7);
  EXPECT_EQ(Formatted("%300b", std::span<const std::uint8_t>(big)).substr(0, 5), "#3300");
  const std::uint16_t words[] = {0x0102, 0x0304};
  // Text keeps machine order; raw elements choose their own.
  EXPECT_EQ(Formatted("%2hb", words), std::string("#14\x02\x01\x04\x03", 7));
  EXPECT_EQ(Formatted("%2hy", words), "\x01\x02\x03\x04");
  EXPECT_EQ(Formatted("%2!olhy", words), "\x02\x01\x04\x03");
  SafeArrayPtr doubles(SafeArrayCreateVector(VT_R8, 0, 1));
  static_cast<double*>(doubles->pvData)[0] = 1.0;
  EXPECT_EQ(Formatted("%$SZb", doubles.get()), std::string("#18\0\0\0\0\0\0\xF0\x3F", 11));
}

TEST(FormatWriterTest, FailuresLeaveEarlierTokensAndNeverGuess) {
  std::string text;
  EXPECT_EQ(FormatStatus(text, "VOLT %k", 1), E_UNEXPECTED);
  EXPECT_EQ(text, "");  // nothing moves when the format cannot be cut
  EXPECT_EQ(FormatStatus(text, "A%dB%d", 1), E_INVALIDARG);
  EXPECT_EQ(text, "A1B");
  // An argument of the wrong kind is refused, never converted.
  EXPECT_EQ(FormatStatus(text, "%d", 1.5), E_INVALIDARG);
  EXPECT_EQ(FormatStatus(text, "%f", 1), E_INVALIDARG);
  EXPECT_EQ(FormatStatus(text, "%s", static_cast<const char*>(nullptr)), E_INVALIDARG);
  EXPECT_EQ(FormatStatus(text, "%$Bs", "narrow"), E_INVALIDARG);
  const std::int32_t numbers[] = {1, 2};
  EXPECT_EQ(FormatStatus(text, "%,d", numbers), E_UNEXPECTED);  // no count, no array object
  EXPECT_EQ(FormatStatus(text, "%,3d", numbers), E_INVALIDARG);  // more than the array holds
  EXPECT_EQ(FormatStatus(text, "%,2hd", numbers), E_INVALIDARG);  // 16-bit elements wanted
  SafeArrayPtr reals(SafeArrayCreateVector(VT_R8, 0, 2));
  EXPECT_EQ(FormatStatus(text, "%,$Sd", reals.get()), E_INVALIDARG);
  SafeArrayPtr offset(SafeArrayCreateVector(VT_I4, 1, 2));
  EXPECT_EQ(FormatStatus(text, "%,$Sd", offset.get()), E_INVALIDARG);
  EXPECT_EQ(FormatStatus(text, "%{CouplingMode}s", 9), E_IVI_INVALID_VALUE);
  EXPECT_EQ(FormatStatus(text, "%{Unknown}s", 0), E_IVI_INVALID_VALUE);
  EXPECT_EQ(FormatStatus(text, "%99999999d", 1), E_INVALIDARG);
  EXPECT_EQ(FormatStatus(text, "%,*d", -1, numbers), E_INVALIDARG);
  EXPECT_EQ(CFormattedIo::Format(nullptr, &gEnums, "x"), E_INVALIDARG);
  EXPECT_EQ(CFormattedIo::Format(&text, &gEnums, nullptr), E_INVALIDARG);
  EXPECT_EQ(CFormattedIo::Format(&text, &gEnums, ""), S_OK);
}

using WriteToInstrumentTest = testing::ScriptedBufferTest;

TEST_F(WriteToInstrumentTest, BlocksFollowTheInstrumentByteOrder) {
  const std::uint16_t words[] = {0x0102, 0x0304};
  ASSERT_EQ(CFormattedIo::Printf(&buffer_, nullptr, "%2hb\n", words), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "#14\x01\x02\x03\x04\n");
  const std::uint8_t data[] = {'x', '\n', 'y'};
  ASSERT_EQ(WriteBinaryBlock(buffer_, &reporter_, data, 3, true), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "#13x\ny\n");
  EXPECT_TRUE(channel_.sent.back().end);
  buffer_.SetInstrumentBigEndian(false);
  ASSERT_EQ(CFormattedIo::Printf(&buffer_, nullptr, "%2hb\n", words), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "#14\x02\x01\x04\x03\n");
}

}  // namespace
}  // namespace hvzelta
