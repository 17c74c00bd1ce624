// Instrument replies of any length and content, read with fuzzed formats:
// the read engine must give a status, never crash, overflow or hang, and
// never allocate for data that did not arrive.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/halvorn_zelta_error_reporter.h"
#include "fmtio/format_reader.h"
#include "fmtio/formatted_io.h"
#include "fuzz_support.h"
#include "io/instr_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hvzelta;
  if (size < 4) return 0;
  // Byte 0: format length; byte 1: device read size; byte 2: buffer size;
  // then the argument choices, the format and the reply.
  const std::size_t formatLength = std::min<std::size_t>(data[0] % 48, size - 3);
  const std::int32_t piece = 1 + data[1] * 16;
  const std::int32_t capacity = 1 + data[2] * 4;
  const std::string format(reinterpret_cast<const char*>(data + 3), formatLength);
  const std::string_view reply(reinterpret_cast<const char*>(data + 3 + formatLength), size - 3 - formatLength);

  std::int32_t ints[8] = {};
  std::int16_t shorts[8] = {};
  std::uint8_t bytes[16] = {};
  std::int64_t longs[4] = {};
  double reals[8] = {};
  float floats[4] = {};
  char text[16] = {};
  std::string object;
  std::string objects[3];
  Bstr wide;
  BSTR wides[2] = {};
  SAFEARRAY* array = nullptr;
  std::int32_t counts[2] = {4, 2};
  const std::vector<FormatArg> args = {
      MakeFormatArg(&counts[0]), MakeFormatArg(ints),  MakeFormatArg(&array),       MakeFormatArg(reals),
      MakeFormatArg(text),       MakeFormatArg(&counts[1]), MakeFormatArg(&object), MakeFormatArg(shorts),
      MakeFormatArg(bytes),      MakeFormatArg(longs), MakeFormatArg(floats),       MakeFormatArg(wide.Out()),
      MakeFormatArg(objects),    MakeFormatArg(wides), MakeFormatArg(&array),
  };

  testing::NoCallContext context;
  CHalvornZeltaErrorReporter reporter(context);
  fuzzing::FuzzEnums enums;
  fuzzing::FuzzDevice device(reply, piece);
  CInstrBuffer buffer(device, reporter, "\n", "\n");
  if (buffer.SetBufferSize(BufferSelect::Read, capacity) != S_OK) return 0;
  for (int round = 0; round < 2; ++round) {
    FormatArgs list(args);
    CFormattedIo::Read(&buffer, &enums, &reporter, format.c_str(), list);
    SafeArrayDestroy(array);
    array = nullptr;
  }
  SAFEARRAY* block = nullptr;
  ReadBinaryBlock(buffer, &reporter, BlockHeaderSearch::Skip, &block);
  SafeArrayDestroy(block);
  for (BSTR& item : wides) SysFreeString(item);
  buffer.FlushRead();
  return 0;
}
