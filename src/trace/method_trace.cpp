#include "trace/method_trace.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "hvzelta/com/error_info.h"
#include "hvzelta/com/safearray.h"
#include "platform/text.h"
#include "trace/trace_file.h"

namespace hvzelta {

namespace {

// The XML of the record one thread is writing into one trace file: a whole
// top-level record, with the records of calls made during it nested inside.
// Text goes to the file at the end of each call's entry and exit; the
// buffer keeps the whole record for the listeners, or all of it when the
// file's tail is held by another thread.
struct RecordWriter {
  const TraceFile* file = nullptr;
  std::vector<char> buffer = std::vector<char>(4096);
  std::size_t size = 0;
  std::size_t written = 0;  // the part of the buffer that is in the file
  bool heldTail = false;
  int depth = 1;  // inside the file's TraceRecords element
  bool startTagOpen = false;
  std::vector<std::string_view> open;

  std::string_view Text() const { return {buffer.data(), size}; }
  std::string_view Unwritten() const { return {buffer.data() + written, size - written}; }
  char* Reserve(std::size_t count) {
    if (size + count > buffer.size()) buffer.resize(std::max(buffer.size() * 2, size + count));
    return buffer.data() + size;
  }
  // Each element and attribute reserves its room once and is then copied
  // in place: a record is some twenty such pieces.
  static char* Copy(char* out, std::string_view piece) {
    std::memcpy(out, piece.data(), piece.size());
    return out + piece.size();
  }
  static char* Tabs(char* out, int count) {
    for (int i = 0; i < count; ++i) *out++ = '\t';
    return out;
  }
  void End(const char* out) { size = static_cast<std::size_t>(out - buffer.data()); }
  void Put(std::string_view piece) { End(Copy(Reserve(piece.size()), piece)); }

  void StartElement(std::string_view name) {
    char* out = Reserve(name.size() + static_cast<std::size_t>(depth) + 4);
    if (startTagOpen) out = Copy(out, ">\r\n");
    out = Tabs(out, depth);
    *out++ = '<';
    End(Copy(out, name));
    open.push_back(name);
    startTagOpen = true;
    ++depth;
  }
  void Attribute(std::string_view name, std::string_view value) {
    if (!startTagOpen) return;
    // As they stand, unescaped: the trace is for people and stylesheets.
    char* out = Reserve(name.size() + value.size() + 4);
    *out++ = ' ';
    out = Copy(out, name);
    *out++ = '=';
    *out++ = '"';
    out = Copy(out, value);
    *out++ = '"';
    End(out);
  }
  template <class T>
  void NumberAttribute(std::string_view name, T value) {
    char digits[32];
    Attribute(name, std::string_view(digits, std::to_chars(digits, digits + sizeof digits, value).ptr));
  }
  void EndElement() {
    --depth;
    if (startTagOpen) {
      End(Copy(Reserve(4), "/>\r\n"));
    } else {
      char* out = Tabs(Reserve(open.back().size() + static_cast<std::size_t>(depth) + 5), depth);
      out = Copy(out, "</");
      out = Copy(out, open.back());
      End(Copy(out, ">\r\n"));
    }
    open.pop_back();
    startTagOpen = false;
  }
};

thread_local std::vector<RecordWriter> t_writers;

RecordWriter& WriterFor(const TraceFile* file) {
  for (RecordWriter& writer : t_writers) {
    if (writer.file == file) return writer;
  }
  t_writers.emplace_back().file = file;
  return t_writers.back();
}

std::uint64_t Counter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}


template <class T>
std::string Decimal(T value) {
  char digits[32];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

template <class T>
char* PutDecimal(char* out, T value) {
  return std::to_chars(out, out + 24, value).ptr;
}

std::uint64_t Nanoseconds(const timespec& time) {
  return static_cast<std::uint64_t>(time.tv_sec) * 1000000000u + static_cast<std::uint64_t>(time.tv_nsec);
}

// "h:m:s:ms" of local time at the counter reading `count` into `text`. The
// wall clock is the counter plus an offset read again once a second, which
// spares every call a second clock read; the broken-down time, and the
// "h:m:s:" it gives, are worked out once a second too.
std::string_view LocalStartTime(std::uint64_t count, char (&text)[64]) {
  constexpr std::uint64_t kSecond = 1000000000u;
  thread_local std::uint64_t offsetReadAt = 0;
  thread_local std::uint64_t offset = 0;
  thread_local std::time_t cachedSecond = -1;
  thread_local char second[64];
  thread_local std::size_t secondLength = 0;
  if (offsetReadAt == 0 || count - offsetReadAt >= kSecond) {
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    offsetReadAt = Counter();
    offset = Nanoseconds(wall) - offsetReadAt;
  }
  const std::uint64_t now = count + offset;
  if (const auto seconds = static_cast<std::time_t>(now / kSecond); seconds != cachedSecond) {
    cachedSecond = seconds;
    std::tm local{};
    localtime_r(&cachedSecond, &local);
    char* end = PutDecimal(second, local.tm_hour);
    *end++ = ':';
    end = PutDecimal(end, local.tm_min);
    *end++ = ':';
    end = PutDecimal(end, local.tm_sec);
    *end++ = ':';
    secondLength = static_cast<std::size_t>(end - second);
  }
  std::memcpy(text, second, secondLength);
  char* end = PutDecimal(text + secondLength, static_cast<int>(now % kSecond / 1000000));
  return {text, static_cast<std::size_t>(end - text)};
}

// "0x%08X" of a result code into `text`.
std::string_view HexResult(HRESULT result, char (&text)[16]) {
  // Nearly every call succeeds.
  if (result == S_OK) return "0x00000000";
  constexpr char kDigits[] = "0123456789ABCDEF";
  text[0] = '0';
  text[1] = 'x';
  auto bits = static_cast<std::uint32_t>(result);
  for (int i = 9; i >= 2; --i, bits >>= 4) text[i] = kDigits[bits & 0xF];
  return {text, 10};
}

// An execution time in seconds as "%e" writes it, from whole nanoseconds:
// seven significant digits, rounded half up.
std::string_view Scientific(std::uint64_t nanoseconds, char (&text)[32]) {
  if (nanoseconds == 0) return "0.000000e+00";
  char digits[24];
  const auto count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, nanoseconds).ptr - digits);
  int exponent = count - 1 - 9;
  std::uint64_t mantissa = nanoseconds;
  if (count > 7) {
    std::uint64_t scale = 1;
    for (int i = 7; i < count; ++i) scale *= 10;
    mantissa = nanoseconds / scale + (nanoseconds % scale * 2 >= scale ? 1 : 0);
    if (mantissa == 10000000) mantissa /= 10, ++exponent;
  } else {
    for (int i = count; i < 7; ++i) mantissa *= 10;
  }
  // Seven digits, the first before the point.
  text[0] = static_cast<char>('0' + mantissa / 1000000);
  text[1] = '.';
  for (int i = 7; i >= 2; --i, mantissa /= 10) text[i] = static_cast<char>('0' + mantissa % 10);
  char* out = text + 8;
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) *out++ = '0';
  out = std::to_chars(out, out + 4, magnitude).ptr;
  return {text, static_cast<std::size_t>(out - text)};
}

const std::string& ThreadId() {
  thread_local const std::string id = Decimal(static_cast<long>(::syscall(SYS_gettid)));
  return id;
}

// A value's text, in a buffer each thread keeps for the purpose.
std::string& Scratch() {
  thread_local std::string scratch;
  scratch.clear();
  return scratch;
}

std::string_view DirectionName(ParamDirection direction) {
  switch (direction) {
    case ParamDirection::In:
      return "In";
    case ParamDirection::Out:
      return "Out";
    case ParamDirection::InOut:
      break;
  }
  return "InOut";
}

// Element types of the arrays the driver passes, by their array type tag.
struct ElementType {
  VARTYPE tag;
  TraceType trace;
  std::string_view name;
};
constexpr ElementType kElementTypes[] = {
    {VT_UI1, TraceType::UInt8, "Byte"},     {VT_I2, TraceType::Empty, "Int16"},
    {VT_I4, TraceType::Int32, "Int32"},     {VT_I8, TraceType::Int64, "Int64"},
    {VT_R4, TraceType::Empty, "Single"},    {VT_R8, TraceType::Double, "Double"},
    {VT_BOOL, TraceType::Boolean, "Boolean"}, {VT_BSTR, TraceType::WideString, "String"},
};

void WriteArray(RecordWriter& writer, const TraceFile& file, const SAFEARRAY* array) {
  if (!array) {
    writer.Attribute("NumDims", "0");
    return;
  }
  const std::uint32_t dimensions = SafeArrayGetDim(array);
  writer.Attribute("NumDims", Decimal(dimensions));
  std::string sizes;
  for (std::uint32_t dimension = 1; dimension <= dimensions; ++dimension) {
    std::int32_t lower = 0;
    std::int32_t upper = -1;
    SafeArrayGetLBound(array, dimension, &lower);
    SafeArrayGetUBound(array, dimension, &upper);
    if (!sizes.empty()) sizes += ',';
    sizes += Decimal(std::int64_t{upper} - lower + 1);
  }
  writer.Attribute("DimSizes", sizes);
  VARTYPE tag = VT_EMPTY;
  SafeArrayGetVartype(array, &tag);
  const auto* type = std::find_if(std::begin(kElementTypes), std::end(kElementTypes),
                                  [tag](const ElementType& candidate) { return candidate.tag == tag; });
  const bool known = type != std::end(kElementTypes);
  writer.Attribute("DataType", std::string(known ? type->name : "(unknown)") + "[]");
  if (dimensions != 1 || !file.TraceArrays() || !known || type->trace == TraceType::Empty) return;
  std::int32_t lower = 0;
  std::int32_t upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  const std::int64_t count = std::min<std::int64_t>(std::int64_t{upper} - lower + 1, file.ArrayElementLimit());
  for (std::int64_t i = 0; i < count; ++i) {
    alignas(8) unsigned char element[16] = {};
    const std::int32_t index = lower + static_cast<std::int32_t>(i);
    if (Failed(SafeArrayGetElement(array, &index, element))) break;
    std::string& value = Scratch();
    const std::string_view dataType = RenderTraceValue(type->trace, element, value);
    if (type->trace == TraceType::WideString) SysFreeString(*reinterpret_cast<BSTR*>(element));
    writer.StartElement("Element");
    writer.Attribute("Value", value);
    writer.Attribute("DataType", dataType);
    writer.EndElement();
  }
}

void WriteParameter(RecordWriter& writer, const TraceFile& file, const MemberParam& param) {
  writer.StartElement("Parameter");
  writer.Attribute("Name", param.Name());
  writer.Attribute("Direction", DirectionName(param.Direction()));
  if (param.Type() == TraceType::Array) {
    WriteArray(writer, file, *static_cast<SAFEARRAY* const*>(param.Value()));
  } else {
    std::string& value = Scratch();
    const std::string_view dataType = RenderTraceValue(param.Type(), param.Value(), value);
    writer.Attribute("Value", value);
    writer.Attribute("DataType", dataType);
  }
  writer.EndElement();
}

}  // namespace

CMethodTrace::CMethodTrace(TraceFile* file, const MemberDescriptor& member, std::initializer_list<MemberParam> params)
    : file_(file), member_(member), params_(params) {
  if (file_ && file_->IsOpen()) {
    active_ = true;
    TraceEntry();
  }
}

CMethodTrace::~CMethodTrace() {
  // A call that ended without a result (an escaping failure) still closes
  // its record, so the nesting stays right.
  if (!finished_) Finish(DISP_E_EXCEPTION);
}

void TraceIo(TraceFile& file, std::string_view line) {
  RecordWriter& writer = WriterFor(&file);
  if (writer.open.empty()) return;
  writer.StartElement("IO");
  writer.Attribute("Line", line);
  writer.EndElement();
  // A line that cannot be written is lost, as the I/O log's own lines are;
  // the call it belongs to goes on.
  if (writer.heldTail && !Failed(file.Write(writer.Unwritten()))) writer.written = writer.size;
}

void CMethodTrace::TraceEntry() {
  RecordWriter& writer = WriterFor(file_);
  const bool topLevel = writer.open.empty();
  if (topLevel) writer.size = writer.written = 0;
  writer.StartElement("Method");
  writer.Attribute("Name", member_.MemberName());
  writer.Attribute("Interface", member_.InterfaceName());
  startCount_ = Counter();
  char startTime[64];
  writer.Attribute("StartTime", LocalStartTime(startCount_, startTime));
  writer.Attribute("Thread", ThreadId());
  writer.NumberAttribute("Timestamp", startCount_);
  for (const MemberParam& param : params_) {
    if (param.Direction() != ParamDirection::Out) WriteParameter(writer, *file_, param);
  }
  // Every record has children (its result at least), so its start tag can
  // be ended now: a trace cut short by the end of the process then shows
  // the call complete with its inputs.
  if (writer.startTagOpen) {
    writer.Put(">\r\n");
    writer.startTagOpen = false;
  }
  if (topLevel) {
    writer.heldTail = file_->BeginRecord(writer.Text(), entryResult_);
  } else if (writer.heldTail) {
    entryResult_ = file_->Write(writer.Unwritten());
  }
  if (writer.heldTail) writer.written = writer.size;
}

HRESULT CMethodTrace::TraceExit(HRESULT result) {
  const std::uint64_t elapsed = Counter() - startCount_;
  RecordWriter& writer = WriterFor(file_);
  for (const MemberParam& param : params_) {
    if (param.Direction() != ParamDirection::In && !param.IsMissingPointer()) WriteParameter(writer, *file_, param);
  }
  writer.StartElement("HRESULT");
  char hex[16];
  writer.Attribute("Value", HexResult(result, hex));
  // Read without taking: the caller still wants the description after the call.
  if (const ErrorInfo* info = PeekErrorInfo(); Failed(result) && info) {
    writer.Attribute("Message", WideToUtf8(info->description));
  }
  writer.EndElement();
  writer.StartElement("Execution");
  char scientific[32];
  writer.Attribute("ExecutionTime", Scientific(elapsed, scientific));
  writer.EndElement();
  writer.EndElement();
  HRESULT hr = S_OK;
  if (!writer.open.empty()) {
    if (writer.heldTail) hr = file_->Write(writer.Unwritten());
    writer.written = writer.heldTail ? writer.size : writer.written;
  } else {
    const bool heldTail = std::exchange(writer.heldTail, false);
    hr = file_->EndRecord(writer.Unwritten(), writer.Text(), heldTail);
  }
  return Failed(entryResult_) ? entryResult_ : hr;
}

void CMethodTrace::Finish(HRESULT result) {
  if (finished_) return;
  finished_ = true;
  bool saved = true;
  if (active_) saved = Succeeded(TraceExit(result)) && Succeeded(file_->SaveCheck());
  if (file_ && saved && file_->ClosingAfterCall() && WriterFor(file_).open.empty()) file_->Close();
}

}  // namespace hvzelta
