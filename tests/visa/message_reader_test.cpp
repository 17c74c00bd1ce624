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

struct Result {
  ViStatus status;
  std::string bytes;
};

Result ReadOnce(MessageReader& reader, IByteSource& source, ViUInt32 count, const StopRule& rule) {
  std::string buffer(count, '\0');
  ViUInt32 received = 0;
  ViStatus status = reader.Read(source, reinterpret_cast<ViByte*>(buffer.data()), count, rule,
                                Deadline::After(ViUInt32{100}), received);
  buffer.resize(received);
  return {status, buffer};
}

TEST(MessageReader, ShortChunksDoNotEndARead) {
  MessageReader reader;
  ScriptedSource source;
  source.Add("12");
  source.Add("34\n");
  StopRule rule{'\n'};
  auto result = ReadOnce(reader, source, 100, rule);
  EXPECT_EQ(result.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(result.bytes, "1234\n");
}

TEST(MessageReader, KeepsWhatFollowsTheTerminationCharacterForTheNextRead) {
  MessageReader reader;
  ScriptedSource source;
  source.Add("ab\ncd\nef", true);
  StopRule rule{'\n'};
  EXPECT_EQ(ReadOnce(reader, source, 100, rule).bytes, "ab\n");
  auto second = ReadOnce(reader, source, 100, rule);
  EXPECT_EQ(second.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(second.bytes, "cd\n");
  // The kept rest still carries the END it arrived with.
  auto third = ReadOnce(reader, source, 100, rule);
  EXPECT_EQ(third.status, VI_SUCCESS);
  EXPECT_EQ(third.bytes, "ef");
}

TEST(MessageReader, CountEndAndTerminationCharacterAreToldApart) {
  MessageReader reader;
  ScriptedSource source;
  source.Add("x\ny\n", true);
  // No termination character: a line feed is data, and the count stops first.
  auto counted = ReadOnce(reader, source, 3, StopRule{});
  EXPECT_EQ(counted.status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(counted.bytes, "x\ny");
  // The rest ends with END and the termination character on the same byte:
  // END wins, the message is complete.
  auto ended = ReadOnce(reader, source, 10, StopRule{'\n'});
  EXPECT_EQ(ended.status, VI_SUCCESS);
  EXPECT_EQ(ended.bytes, "\n");
}

TEST(MessageReader, SerialEndCharacterAndLastBit) {
  MessageReader reader;
  ScriptedSource source;
  source.Add("ok\r\n");
  StopRule endAtLineFeed;
  endAtLineFeed.endChar = '\n';
  endAtLineFeed.termChar = '\r';
  // The termination character (CR) comes first and stops the read with its own status.
  EXPECT_EQ(ReadOnce(reader, source, 10, endAtLineFeed).status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(ReadOnce(reader, source, 10, endAtLineFeed).status, VI_SUCCESS);

  source.Add(std::string("ab") + char(0xC3) + "z");
  StopRule lastBit;
  lastBit.endBits = 0x80;
  auto result = ReadOnce(reader, source, 10, lastBit);
  EXPECT_EQ(result.status, VI_SUCCESS);
  EXPECT_EQ(result.bytes.size(), 3u);
}

TEST(MessageReader, ErrorsKeepTheCountOfStoredBytesAndDiscardForgets) {
  MessageReader reader;
  ScriptedSource source;
  source.Add("partial");
  auto result = ReadOnce(reader, source, 100, StopRule{'\n'});
  EXPECT_EQ(result.status, VI_ERROR_TMO);
  EXPECT_EQ(result.bytes, "partial");

  source.Add("a\nrest");
  ReadOnce(reader, source, 100, StopRule{'\n'});
  reader.Discard();
  EXPECT_EQ(ReadOnce(reader, source, 100, StopRule{'\n'}).status, VI_ERROR_TMO);
}

}  // namespace
}  // namespace hvzelta::visa
