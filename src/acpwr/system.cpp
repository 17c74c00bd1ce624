// Raw access to the instrument: direct reads and writes past the formatted
// I/O, and the I/O timeout.

#include <cstring>
#include <vector>

#include "acpwr/halvorn_zelta.h"
#include "acpwr/member_exchange.h"
#include "acpwr/property_row.h"
#include "base/error_reporter.h"
#include "hvzelta/com/safearray.h"
#include "platform/text.h"

namespace hvzelta {

namespace {

const InterfaceMembers kSystem{IHalvornZeltaSystem::kIid, "IHalvornZeltaSystem"};

const MemberDescriptor kReadBytes = kSystem.Method("ReadBytes");
const MemberDescriptor kReadString = kSystem.Method("ReadString");
const MemberDescriptor kWriteBytes = kSystem.Method("WriteBytes");
const MemberDescriptor kWriteString = kSystem.Method("WriteString");
const MemberDescriptor kGetIOTimeout = kSystem.Member(MemberKind::Getter, "IOTimeout");
const MemberDescriptor kPutIOTimeout = kSystem.Member(MemberKind::Putter, "IOTimeout");
const MemberDescriptor kGetDirectIO = kSystem.Member(MemberKind::Getter, "DirectIO");

// Direct I/O needs a real instrument: a simulated session refuses it with a
// reason rather than pretending.
HRESULT DirectIo(HalvornZelta& root, FunctionRef<HRESULT(IIoSession&)> work) {
  if (root.Settings().simulate) {
    return root.Reporter().Report(Message::IoGeneral, {},
                                  {"Direct I/O operations are not available in simulation mode."});
  }
  IIoSession* io = root.Io();
  if (!io) return root.Reporter().Report(Message::NotInitialized);
  return work(*io);
}

}  // namespace

HRESULT SystemFacet::ReadBytes(SAFEARRAY** val) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kReadBytes, {Out("val", val)}, [&] {
    return DirectIo(root, [&](IIoSession& io) {
      std::vector<std::uint8_t> bytes;
      if (HRESULT hr = io.DirectReadBytes(bytes); Failed(hr)) return hr;
      SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(bytes.size()));
      if (!array) return root.Reporter().Report(Message::OutOfMemory);
      void* data = nullptr;
      SafeArrayAccessData(array, &data);
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
      *val = array;
      return S_OK;
    });
  });
}

HRESULT SystemFacet::ReadString(BSTR* val) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kReadString, {Out("val", val)}, [&] {
    return DirectIo(root, [&](IIoSession& io) {
      std::string text;
      if (HRESULT hr = io.DirectReadString(text); Failed(hr)) return hr;
      const std::wstring wide = Utf8ToWide(text);
      *val = SysAllocStringLen(wide.data(), static_cast<std::uint32_t>(wide.size()));
      return *val ? S_OK : root.Reporter().Report(Message::OutOfMemory);
    });
  });
}

HRESULT SystemFacet::WriteBytes(SAFEARRAY** Buffer, std::int64_t* val) {
  HalvornZelta& root = Owner();
  SAFEARRAY* const buffer = Buffer ? *Buffer : nullptr;
  return root.RunFrame(kWriteBytes, {In("Buffer", buffer), Out("val", val)}, [&] {
    return DirectIo(root, [&](IIoSession& io) {
      const SAFEARRAY* array = buffer;
      VARTYPE type = VT_EMPTY;
      if (!array || SafeArrayGetDim(array) != 1 || Failed(SafeArrayGetVartype(array, &type)) || type != VT_UI1) {
        return root.Reporter().ReportInvalidText("WriteBytes", "Buffer", "not a one-dimensional array of bytes");
      }
      std::int32_t lower = 0;
      std::int32_t upper = -1;
      SafeArrayGetLBound(array, 1, &lower);
      SafeArrayGetUBound(array, 1, &upper);
      const auto count = static_cast<std::size_t>(upper >= lower ? std::int64_t{upper} - lower + 1 : 0);
      void* data = nullptr;
      SafeArrayAccessData(*Buffer, &data);
      std::size_t written = 0;
      const HRESULT hr = io.DirectWriteBytes({static_cast<const std::uint8_t*>(data), count}, written);
      SafeArrayUnaccessData(*Buffer);
      *val = static_cast<std::int64_t>(written);
      return hr;
    });
  });
}

HRESULT SystemFacet::WriteString(BSTR Data) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kWriteString, {In("Data", Data)}, [&] {
    return DirectIo(root, [&](IIoSession& io) { return io.DirectWriteString(WideToUtf8(BstrView(Data))); });
  });
}

HRESULT SystemFacet::get_IOTimeout(std::int32_t* val) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kGetIOTimeout, {Out("val", val)},
                       [&] { return DirectIo(root, [&](IIoSession& io) { return io.GetTimeout(*val); }); });
}

HRESULT SystemFacet::put_IOTimeout(std::int32_t val) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kPutIOTimeout, {In("val", val)}, [&] {
    // -1 waits without limit; another negative number is a mistake, not
    // a wish to wait for ever.
    return DirectIo(root, [&](IIoSession& io) {
      return val < -1 ? root.Reporter().ReportInvalidInteger(kPutIOTimeout.MemberName(), "val", val)
                      : io.SetTimeout(val);
    });
  });
}

HRESULT SystemFacet::get_DirectIO(IUnknown** val) {
  HalvornZelta& root = Owner();
  return root.RunFrame(kGetDirectIO, {Out("val", val)}, [&] {
    // The raw operations of this interface are the direct-I/O object.
    return DirectIo(root, [&](IIoSession&) {
      *val = static_cast<IHalvornZeltaSystem*>(this);
      AddRef();
      return S_OK;
    });
  });
}

}  // namespace hvzelta
