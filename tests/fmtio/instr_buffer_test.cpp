#include "io/instr_buffer.h"

#include <gtest/gtest.h>

#include "hvzelta/status.h"
#include "scripted_channel.h"

namespace hvzelta {
namespace {

using testing::LastError;

class InstrBufferTest : public testing::ScriptedBufferTest {
 protected:
  std::string ReadAll(std::int32_t count, HRESULT* status = nullptr) {
    std::string out(static_cast<std::size_t>(count), '\0');
    std::int32_t actual = -1;
    const HRESULT hr = buffer_.Read(out.data(), count, &actual, false);
    if (status) *status = hr;
    out.resize(static_cast<std::size_t>(std::max(actual, 0)));
    return out;
  }
};

TEST_F(InstrBufferTest, ReadStripsTheTerminatorAndSaysWhenTheResponseEnded) {
  channel_.Reply("1.5\n");
  HRESULT hr = E_FAIL;
  EXPECT_EQ(ReadAll(10, &hr), "1.5");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(channel_.reads, 1);

  // A read that stops inside the response reports more data, also across fills.
  ASSERT_EQ(buffer_.SetBufferSize(BufferSelect::Read, 4), S_OK);
  channel_.Reply("ABCDEFGHIJ\n");
  EXPECT_EQ(ReadAll(6, &hr), "ABCDEF");
  EXPECT_EQ(hr, S_MORE_DATA_AVAILABLE);
  EXPECT_EQ(ReadAll(10, &hr), "GHIJ");
  EXPECT_EQ(hr, S_OK);

  // An empty response is zero bytes with the message ended.
  channel_.Reply("\n");
  EXPECT_EQ(ReadAll(5, &hr), "");
  EXPECT_EQ(hr, S_OK);
}

TEST_F(InstrBufferTest, PushBackNeedsAConsumedByteAndRestoresIt) {
  EXPECT_EQ(buffer_.UnreadChar(), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(),
            "HalvornZelta: I/O error: Can't push character back into read buffer.  Buffer has not been read from.");
  channel_.Reply("42\n");
  std::uint8_t c = 0;
  ASSERT_EQ(buffer_.ReadChar(&c), S_MORE_DATA_AVAILABLE);
  ASSERT_EQ(buffer_.ReadChar(&c), S_OK);  // the terminator went with the last byte
  EXPECT_EQ(c, '2');
  ASSERT_EQ(buffer_.UnreadChar(), S_OK);
  ASSERT_EQ(buffer_.ReadChar(&c), S_OK);
  EXPECT_EQ(c, '2');
  ASSERT_EQ(buffer_.FlushRead(), S_OK);
  EXPECT_EQ(buffer_.UnreadChar(), E_HALVORNZELTA_IO_GENERAL);
}

TEST_F(InstrBufferTest, WritesGoOutWhenFullAndMessagesEndWithOneTerminator) {
  const std::string big(5000, 'a');
  std::int32_t written = 0;
  ASSERT_EQ(buffer_.Write(big.data(), 5000, &written, false), S_OK);
  EXPECT_EQ(written, 5000);
  ASSERT_EQ(channel_.sent.size(), 1u);
  EXPECT_EQ(channel_.sent[0].bytes.size(), 4096u);
  EXPECT_FALSE(channel_.sent[0].end);
  EXPECT_TRUE(channel_.sendEnd);  // restored after the partial message

  ASSERT_EQ(buffer_.FlushWrite(true), S_OK);
  ASSERT_EQ(channel_.sent.size(), 2u);
  EXPECT_EQ(channel_.sent[1].bytes, std::string(904, 'a') + "\n");
  EXPECT_TRUE(channel_.sent[1].end);

  ASSERT_EQ(buffer_.WriteChars("*RST\n", nullptr, true), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "*RST\n");

  // A message that fills the buffer exactly still ends with END.
  const std::string full = std::string(4095, 'b') + "\n";
  ASSERT_EQ(buffer_.Write(full.data(), 4096, &written, true), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, full);
  EXPECT_TRUE(channel_.sent.back().end);

  const std::size_t before = channel_.sent.size();
  EXPECT_EQ(buffer_.FlushWrite(true), S_OK);
  EXPECT_EQ(channel_.sent.size(), before);

  // A new write terminator sends nothing: what waited goes with the old buffer.
  ASSERT_EQ(buffer_.WriteChars("VOLT 1", nullptr, false), S_OK);
  ASSERT_EQ(buffer_.SetWriteTerminator("\r\n"), S_OK);
  EXPECT_EQ(channel_.sent.size(), before);
  ASSERT_EQ(buffer_.WriteChars("*RST", nullptr, true), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "*RST\r\n");
}

TEST_F(InstrBufferTest, ShortAndFailedFlushes) {
  channel_.acceptAtMost = 3;
  ASSERT_EQ(buffer_.WriteChars("VOLT 1", nullptr, false), S_OK);
  EXPECT_EQ(buffer_.FlushWrite(true), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(),
            "HalvornZelta: I/O error: Flush of formatted I/O write buffer only successfully sent 3 of 7 bytes to the "
            "device.");
  channel_.acceptAtMost = -1;
  EXPECT_EQ(buffer_.FlushWrite(true), S_OK);  // a short flush discards the bytes
  EXPECT_EQ(channel_.sent.size(), 1u);

  ASSERT_EQ(buffer_.WriteChars("OUTP ON", nullptr, false), S_OK);
  channel_.failNextWrite = E_HALVORNZELTA_IO_TIMEOUT;
  EXPECT_EQ(buffer_.FlushWrite(true), E_HALVORNZELTA_IO_TIMEOUT);
  ASSERT_EQ(buffer_.FlushWrite(true), S_OK);  // a failed flush keeps them
  EXPECT_EQ(channel_.sent.back().bytes, "OUTP ON\n");
}

TEST_F(InstrBufferTest, ArraysTextsAndSizes) {
  channel_.Reply("hello\n");
  SAFEARRAY* bytes = nullptr;
  ASSERT_EQ(buffer_.ReadByteArray(&bytes, 100, false), S_OK);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(SafeArrayLength(bytes), 5u);
  EXPECT_EQ(std::memcmp(bytes->pvData, "hello", 5), 0);
  ASSERT_EQ(buffer_.WriteByteArray(bytes, 3, nullptr, true), S_OK);
  EXPECT_EQ(channel_.sent.back().bytes, "hel\n");
  SafeArrayDestroy(bytes);

  EXPECT_EQ(buffer_.WriteByteArray(nullptr, 1, nullptr, false), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(), "HalvornZelta: I/O error: SAFEARRAY is NULL.");
  SafeArrayPtr words(SafeArrayCreateVector(VT_I2, 0, 2));
  EXPECT_EQ(buffer_.WriteByteArray(words.get(), 1, nullptr, false), E_HALVORNZELTA_IO_GENERAL);
  EXPECT_EQ(LastError(), "HalvornZelta: I/O error: SAFEARRAY was not of the expected type.");

  channel_.Reply("Gr\xC3\xBC\xC3\x9F" "e\n");
  Bstr text;
  ASSERT_EQ(buffer_.ReadText(text.Out(), 40, true), S_OK);
  EXPECT_EQ(text.View(), L"Gr\u00fc\u00dfe");
  EXPECT_EQ(buffer_.ReadText(nullptr, 1, false), E_IVI_NULL_POINTER);

  std::int32_t size = 0;
  EXPECT_EQ(buffer_.GetWriteBufferSize(nullptr), E_IVI_NULL_POINTER);
  ASSERT_EQ(buffer_.SetBufferSize(BufferSelect::Both, 100), S_OK);
  ASSERT_EQ(buffer_.GetReadBufferSize(&size), S_OK);
  EXPECT_EQ(size, 100);
  ASSERT_EQ(buffer_.GetWriteBufferSize(&size), S_OK);
  EXPECT_EQ(size, 100);
  EXPECT_EQ(buffer_.SetBufferSize(BufferSelect::Read, -1), E_IVI_OUT_OF_MEMORY);
  EXPECT_EQ(LastError(),
            "HalvornZelta: Could not allocate necessary memory.\r\n"
            "Couldn't allocate formatted I/O read buffer with a capacity of -1 bytes.");
  EXPECT_EQ(buffer_.SetBufferSize(static_cast<BufferSelect>(7), 1), S_OK);
}

}  // namespace
}  // namespace hvzelta
