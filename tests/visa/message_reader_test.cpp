#include "visa/message_reader.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace hvzelta::visa {
namespace {

// Hands out scripted chunks; each chunk may end the device's message.
class ScriptedSource : public IByteSource {
 public:
  void Add(std::string bytes, bool ends = false) { chunks_.push_back({std::move(bytes), ends}); }
  ViStatus Receive(ViByte* buffer, std::size_t capacity, const Deadline&, std::size_t& received,
                   bool& ended) override {
    if (chunks_.empty()) return VI_ERROR_TMO;
    auto& chunk = chunks_.front();
    received = std::min(capacity, chunk.bytes.size());
    std::copy_n(chunk.bytes.begin(), received, buffer);
    chunk.bytes.erase(0, received);
    ended = chunk.bytes.empty() && chunk.ends;
    if (chunk.bytes.empty()) chunks_.pop_front();
    return VI_SUCCESS;
  }

 private:
  struct Chunk {
    std::string bytes;
    bool ends;
  };
  std::deque<Chunk> chunks_;
};

class MessageReaderTest : public ::testing::Test {
 protected:
  // One read: its status and the bytes it stored.
  std::pair<ViStatus, std::string> Read(ViUInt32 count, const StopRule& rule = StopRule{'\n'}) {
    std::string buffer(count, '\0');
    ViUInt32 received = 0;
    const ViStatus status = reader_.Read(source_, reinterpret_cast<ViByte*>(buffer.data()), count, rule,
                                         Deadline::After(ViUInt32{100}), received);
    buffer.resize(received);
    return {status, buffer};
  }

  MessageReader reader_;
  ScriptedSource source_;
};

using Result = std::pair<ViStatus, std::string>;

TEST_F(MessageReaderTest, ShortChunksDoNotEndAReadAndWhatFollowsTheTerminationCharacterWaits) {
  source_.Add("12");
  source_.Add("34\n");
  EXPECT_EQ(Read(100), Result(VI_SUCCESS_TERM_CHAR, "1234\n"));
  source_.Add("ab\ncd\nef", true);
  EXPECT_EQ(Read(100), Result(VI_SUCCESS_TERM_CHAR, "ab\n"));
  EXPECT_EQ(Read(100), Result(VI_SUCCESS_TERM_CHAR, "cd\n"));
  // The kept rest still carries the END it arrived with.
  EXPECT_EQ(Read(100), Result(VI_SUCCESS, "ef"));
}

TEST_F(MessageReaderTest, CountEndAndTerminationCharacterAreToldApart) {
  source_.Add("x\ny\n", true);
  // No termination character: a line feed is data, and the count stops first.
  EXPECT_EQ(Read(3, StopRule{}), Result(VI_SUCCESS_MAX_CNT, "x\ny"));
  // The rest ends with END and the termination character on the same byte:
  // END wins, the message is complete.
  EXPECT_EQ(Read(10), Result(VI_SUCCESS, "\n"));
}

TEST_F(MessageReaderTest, SerialEndCharacterAndLastBit) {
  source_.Add("ok\r\n");
  StopRule endAtLineFeed;
  endAtLineFeed.endChar = '\n';
  endAtLineFeed.termChar = '\r';
  // The termination character (CR) comes first and stops the read with its own status.
  EXPECT_EQ(Read(10, endAtLineFeed).first, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(Read(10, endAtLineFeed).first, VI_SUCCESS);

  source_.Add(std::string("ab") + char(0xC3) + "z");
  StopRule lastBit;
  lastBit.endBits = 0x80;
  EXPECT_EQ(Read(10, lastBit), Result(VI_SUCCESS, std::string("ab") + char(0xC3)));
}

TEST_F(MessageReaderTest, ErrorsKeepTheCountOfStoredBytesAndDiscardForgets) {
  source_.Add("partial");
  EXPECT_EQ(Read(100), Result(VI_ERROR_TMO, "partial"));
  source_.Add("a\nrest");
  Read(100);
  reader_.Discard();
  EXPECT_EQ(Read(100).first, VI_ERROR_TMO);
}

}  // namespace
}  // namespace hvzelta::visa
