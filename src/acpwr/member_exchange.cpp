#include "acpwr/member_exchange.h"

#include <mutex>

#include "core/driver.h"
#include "fmtio/formatted_io.h"
#include "io/io_session.h"

namespace hvzelta {

namespace {

// The root's session, or null with the not-established report in `hr`.
IIoSession* SessionOf(CNode& node, HRESULT& hr) {
  IIoSession* io = node.Io();
  hr = io ? S_OK : node.Reporter().Report(Message::NotInitialized);
  return io;
}

}  // namespace

HRESULT FormatCommand(CNode& node, std::string_view format, FormatArgs& args, std::string& text) {
  text.clear();
  CFormattedIo::CCStringWriter writer(text);
  return WriteFormatted(&writer, node.Root().EnumFormatter(), format, args);
}

HRESULT DefaultWrite(CNode& node, std::string_view command) {
  HRESULT hr = S_OK;
  IIoSession* io = SessionOf(node, hr);
  return io ? io->WriteString(command, true, kKeepTimeout) : hr;
}

HRESULT DefaultQuery(CNode& node, std::string_view command, std::string_view responseFormat, FormatArgs& out) {
  HRESULT hr = S_OK;
  IIoSession* io = SessionOf(node, hr);
  if (!io) return hr;
  std::lock_guard exchange(io->ExchangeLock());
  FormatArgs none({});
  hr = io->PrintfNoFlush(command, none, kKeepTimeout);
  if (Succeeded(hr)) hr = io->FlushWrite(true, kKeepTimeout);
  if (Succeeded(hr)) hr = io->Scanf(responseFormat, out, kKeepTimeout);
  return hr;
}

HRESULT QueryReal(CNode& node, std::string_view command, double& value) {
  HRESULT hr = S_OK;
  IIoSession* io = SessionOf(node, hr);
  return io ? io->QueryReal(command, value, kKeepTimeout) : hr;
}

HRESULT QueryText(CNode& node, std::string_view command, std::string& reply) {
  HRESULT hr = S_OK;
  IIoSession* io = SessionOf(node, hr);
  if (!io) return hr;
  std::lock_guard exchange(io->ExchangeLock());
  hr = io->WriteStringNoPoll(command, true, kKeepTimeout);
  return Succeeded(hr) ? io->ReadString(reply, kKeepTimeout) : hr;
}

}  // namespace hvzelta
