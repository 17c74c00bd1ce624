#include "fmtio/format_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "fake_enums.h"
#include "fmtio/formatted_io.h"
#include "hvzelta/status.h"
#include "scripted_channel.h"

namespace hvzelta {
namespace {

using testing::LastError;

class FormatReaderTest : public testing::ScriptedBufferTest {
 protected:
  template <class... Args>
  HRESULT Scan(std::string reply, const char* format, Args&&... args) {
    if (!reply.empty()) channel_.Reply(std::move(reply));
    return CFormattedIo::Scanf(&buffer_, &enums_, &reporter_, format, std::forward<Args>(args)...);
  }

  testing::FakeEnums enums_;
};

TEST_F(FormatReaderTest, NumbersAndTheirRanges) {
  double volts = 0;
  EXPECT_EQ(Scan("1.5E+01\n", "%lf", &volts), S_OK);
  EXPECT_EQ(volts, 15.0);
  EXPECT_EQ(Scan("  -.25e-1;\n", "%lf;", &volts), S_OK);
  EXPECT_EQ(volts, -0.025);
  float single = 5;
  EXPECT_EQ(Scan("0\n", "%f", &single), S_OK);
  EXPECT_EQ(single, 0.0f);

  // Out of range, unsigned and hexadecimal conversions included: refused with
  // the value and the type named, the argument kept.
  std::int16_t shortValue = 7;
  std::uint8_t byte = 0;
  std::int32_t number = 5;
  const std::pair<std::function<HRESULT()>, const char*> ranges[] = {
      {[&] { return Scan("40000\n", "%hd", &shortValue); }, "'4.000000e+04' into a short."},
      {[&] { return Scan("-1\n", "%bd", &byte); }, "'-1.000000e+00' into a BYTE."},
      {[&] { return Scan("2147483648\n", "%d", &number); }, "'2.147484e+09' into a long."},
      {[&] { return Scan("1E+39\n", "%f", &single); }, "'1.000000e+39' into a single-precision float."},
      {[&] { return Scan("1E-40\n", "%f", &single); }, "'1.000000e-40' into a single-precision float."},
      {[&] { return Scan("FFFF\n", "%hx", &shortValue); }, "'6.553500e+04' into a short."},
      {[&] { return Scan("4294967295\n", "%u", &number); }, "'4.294967e+09' into a long."},
      {[&] { return Scan("FFFFFFFF\n", "%x", &number); }, "'4.294967e+09' into a long."},
  };
  for (const auto& [scan, message] : ranges) {
    EXPECT_EQ(scan(), E_HALVORNZELTA_IO_GENERAL) << message;
    EXPECT_EQ(LastError(), std::string("HalvornZelta: I/O error: Overflow or underflow reading value of ") + message);
  }
  EXPECT_EQ(shortValue, 7);
  EXPECT_EQ(number, 5);

  std::int64_t wide = 0;
  std::int32_t hex = 0, octal = 0, styled = 0;
  EXPECT_EQ(Scan("-9000000000 0x1F 17 #HFF\n", "%Id %x %o %@Hd", &wide, &hex, &octal, &styled), S_OK);
  EXPECT_EQ(wide, -9000000000LL);
  EXPECT_EQ(hex, 0x1F);
  EXPECT_EQ(octal, 017);
  EXPECT_EQ(styled, 255);
  EXPECT_EQ(Scan("x1\n", "%d", &number), E_UNEXPECTED);
  buffer_.FlushRead();
  EXPECT_EQ(Scan(std::string(600, '1') + "\n", "%lf", &volts), E_UNEXPECTED);
}

TEST_F(FormatReaderTest, StopsAtTheEndOfTheResponseAndSaysWhenDataRemains) {
  std::int32_t code = -5;
  std::string text;
  EXPECT_EQ(Scan("0,\"No error\"\n", "%d,%$Ct", &code, &text), S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(text, "\"No error\"");

  std::int32_t a = 0, b = 11, c = 22;
  EXPECT_EQ(Scan("1,2\n", "%d,%d,%d", &a, &b, &c), S_OK);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 22);  // untouched: the response had ended

  EXPECT_EQ(Scan("1,2\n", "%d", &a), S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(buffer_.FlushRead(), S_OK);

  // Suppressed values are read and checked but take no argument.
  EXPECT_EQ(Scan("3,4\n", "%*d,%d", &a), S_OK);
  EXPECT_EQ(a, 4);

  EXPECT_EQ(Scan("A   B\n", "A B", nullptr), S_OK);
  EXPECT_EQ(Scan("AB\n", "A B"), S_OK);
  EXPECT_EQ(Scan("AC\n", "AB"), E_UNEXPECTED);
  buffer_.FlushRead();
  EXPECT_EQ(Scan("5\n", "%d", nullptr), E_INVALIDARG);
  buffer_.FlushRead();
  double volts = 0;
  EXPECT_EQ(Scan("5\n", "%d", &volts), E_INVALIDARG);  // a double where an int goes
  buffer_.FlushRead();
  const int reads = channel_.reads;
  EXPECT_EQ(Scan("", "%k"), E_UNEXPECTED);
  EXPECT_EQ(channel_.reads, reads);  // nothing is read for a format that cannot be cut
}

TEST_F(FormatReaderTest, TextDirectives) {
  char word[8] = {};
  char next[8] = {};
  EXPECT_EQ(Scan("ABCDEFGHIJ K\n", "%s%s", word, next), S_OK);
  EXPECT_STREQ(word, "ABCDEFG");  // the rest of the word is dropped
  EXPECT_STREQ(next, "K");

  channel_.termCharEnabled = false;
  std::string line, rest;
  EXPECT_EQ(Scan("line1\nline2\n", "%$CT%$Ct", &line, &rest), S_OK);
  EXPECT_EQ(line, "line1\n");
  EXPECT_EQ(rest, "line2");

  Bstr wide(L"old");
  std::int32_t count = 3;
  EXPECT_EQ(Scan("AB:CD\n", "%#$B[A-Z]:%*s", &count, wide.Out()), S_OK);
  EXPECT_EQ(wide.View(), L"AB");
  EXPECT_EQ(count, 2);

  char set[8] = {};
  EXPECT_EQ(Scan("ab\tc\n", "%[^\\t]", set), S_MORE_DATA_AVAILABLE);
  EXPECT_STREQ(set, "ab");
  buffer_.FlushRead();
  char characters[4] = {};
  EXPECT_EQ(Scan(" xy\n", "%3c", characters), S_OK);
  EXPECT_STREQ(characters, " xy");
  // A bare pointer stands for one element: room for the terminator alone, so
  // no width in a format can carry the read past it.
  char storage[2] = {'x', 'y'};
  char* plain = storage;
  Scan("ABC\n", "%3s", plain);
  EXPECT_EQ(storage[1], 'y');
}

TEST_F(FormatReaderTest, EnumerationsThroughTheFormatter) {
  std::int16_t state = 0;
  EXPECT_EQ(Scan("1\n", "%{VARIANT_BOOL}[^\n]", &state), S_OK);
  EXPECT_EQ(state, -1);
  std::int32_t coupling = -1;
  EXPECT_EQ(Scan("DC\n", "%{CouplingMode}s", &coupling), S_OK);
  EXPECT_EQ(coupling, 1);
  EXPECT_EQ(Scan("\"AC DC\"\n", "%{CouplingMode}Qs", &coupling), S_OK);
  EXPECT_EQ(coupling, 2);
  EXPECT_EQ(Scan("'AC'\n", "%{CouplingMode}qs", &coupling), E_IVI_INVALID_VALUE);
  EXPECT_EQ(enums_.lastWord, "'AC'");  // "q" keeps the quotes
  EXPECT_EQ(Scan("XY\n", "%{CouplingMode}s", &coupling), E_IVI_INVALID_VALUE);
  EXPECT_EQ(coupling, 2);
}

TEST_F(FormatReaderTest, Arrays) {
  double values[10] = {};
  std::int32_t count = 10;
  EXPECT_EQ(Scan("1.5,2.5,3.5\n", "%,#lf", &count, values), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(values[2], 3.5);
  count = 2;
  std::int32_t pair[2] = {};
  EXPECT_EQ(Scan("1;2,3\n", "%(;,)#d", &count, pair), S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(count, 2);
  buffer_.FlushRead();

  SAFEARRAY* array = nullptr;
  EXPECT_EQ(Scan("4 5 6\n", "%(s)$Shd", &array), S_OK);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->vt, VT_I2);
  ASSERT_EQ(SafeArrayLength(array), 3u);
  EXPECT_EQ(static_cast<std::int16_t*>(array->pvData)[2], 6);
  SafeArrayDestroy(array);

  EXPECT_EQ(Scan("AC,DC\n", "%{CouplingMode},$Ss", &array), S_OK);
  ASSERT_EQ(SafeArrayLength(array), 2u);
  EXPECT_EQ(static_cast<std::int32_t*>(array->pvData)[1], 1);
  SafeArrayDestroy(array);

  EXPECT_EQ(Scan("a,bc\n", "%,$Ss", &array), S_OK);
  ASSERT_EQ(SafeArrayLength(array), 2u);
  EXPECT_EQ(BstrView(static_cast<BSTR*>(array->pvData)[1]), L"bc");
  SafeArrayDestroy(array);

  std::int32_t few[2] = {};
  EXPECT_EQ(Scan("1,2,3\n", "%,5d", few), S_MORE_DATA_AVAILABLE);  // bounded by the array argument
  EXPECT_EQ(few[1], 2);
  buffer_.FlushRead();
  EXPECT_EQ(Scan("1,2\n", "%,d", few), E_UNEXPECTED);  // no count and no array object
}

TEST_F(FormatReaderTest, BinaryBlocks) {
  std::uint8_t data[10] = {};
  std::int32_t count = 10;
  // The termination character ends the first device read inside the block;
  // the line feed after the block is still unread then.
  EXPECT_EQ(Scan(std::string("#14\n\0\n\xFF\n", 8), "%#b", &count, data), S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::memcmp(data, "\n\0\n\xFF", 4), 0);
  buffer_.FlushRead();

  std::uint16_t words[2] = {};
  EXPECT_EQ(Scan("#14\x01\x02\x03\x04\n", "%2hb", words), S_OK);
  EXPECT_EQ(words[0], 0x0102);
  EXPECT_EQ(Scan("\x01\x02\x03\x04\n", "%2!olhy", words), S_OK);
  EXPECT_EQ(words[1], 0x0403);

  // A header that claims far more than arrives: what arrived is stored.
  SAFEARRAY* array = nullptr;
  EXPECT_EQ(Scan("#9999999999ABCDEFGHIJ\n", "%$Sb", &array), E_HALVORNZELTA_IO_TIMEOUT);
  EXPECT_EQ(array, nullptr);
  buffer_.FlushRead();
  channel_.Reply("#0ABC\n");
  EXPECT_EQ(CFormattedIo::Scanf(&buffer_, &enums_, &reporter_, "%$Sb", &array), S_OK);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(SafeArrayLength(array), 3u);
  SafeArrayDestroy(array);

  std::uint8_t small[4] = {};
  EXPECT_EQ(Scan("#210ABCDEFGHIJ,7\n", "%b,%d", small, &count), S_OK);
  EXPECT_EQ(std::memcmp(small, "ABCD", 4), 0);  // the rest of the block is dropped
  EXPECT_EQ(count, 7);
  EXPECT_EQ(Scan("12\n", "%b", small), E_UNEXPECTED);
}

TEST_F(FormatReaderTest, SessionBlockReader) {
  SAFEARRAY* bytes = nullptr;
  channel_.Reply("junk#13a\nb\n");
  EXPECT_EQ(ReadBinaryBlock(buffer_, &reporter_, BlockHeaderSearch::Skip, &bytes), S_MORE_DATA_AVAILABLE);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(bytes->pvData), 3), "a\nb");
  SafeArrayDestroy(bytes);
  buffer_.FlushRead();
  channel_.Reply("junk#13abc\n");
  EXPECT_EQ(ReadBinaryBlock(buffer_, &reporter_, BlockHeaderSearch::Strict, &bytes), E_IVI_UNEXPECTED_RESPONSE);
  EXPECT_EQ(LastError(), "HalvornZelta: Unexpected response from the instrument.\r\nBinary block header not found.");
}

}  // namespace
}  // namespace hvzelta
