#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/call_context.h"
#include "base/member_param.h"
#include "hvzelta/com/types.h"

namespace hvzelta {

class TraceFile;

// Puts one line of the I/O log inside the record of the call this thread is
// tracing into `file`, as an IO element; nothing when this thread is in no
// traced call. It reaches the file at once, like a call's entry.
void TraceIo(TraceFile& file, std::string_view line);

// The trace record of one call: its entry (name, interface, start time,
// thread, counter, inputs) when made, its exit (outputs, result with the
// error description, execution time) from Finish; each reaches the file as
// it is made. Calls made during the call nest inside its record.
class CMethodTrace {
 public:
  CMethodTrace(TraceFile* file, const MemberDescriptor& member, std::initializer_list<MemberParam> params);
  ~CMethodTrace();
  CMethodTrace(const CMethodTrace&) = delete;
  CMethodTrace& operator=(const CMethodTrace&) = delete;

  void Finish(HRESULT result);

 private:
  void TraceEntry();
  HRESULT TraceExit(HRESULT result);

  TraceFile* file_;
  const MemberDescriptor& member_;
  std::initializer_list<MemberParam> params_;
  std::uint64_t startCount_ = 0;
  HRESULT entryResult_ = S_OK;  // a failed write of the entry
  bool active_ = false;
  bool finished_ = false;
};

}  // namespace hvzelta
