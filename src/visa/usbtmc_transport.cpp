#include "visa/usbtmc_transport.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hvzelta::visa {
namespace {

constexpr AttributeRow kManufacturerId{VI_ATTR_MANF_ID, AttrType::U16, false};
constexpr AttributeRow kModelCode{VI_ATTR_MODEL_CODE, AttrType::U16, false};
constexpr AttributeRow kSerialNumber{VI_ATTR_USB_SERIAL_NUM, AttrType::String, false};
constexpr AttributeRow kInterfaceNumber{VI_ATTR_USB_INTFC_NUM, AttrType::U16, false};
constexpr AttributeRow kManufacturerName{VI_ATTR_MANF_NAME, AttrType::String, false};
constexpr AttributeRow kModelName{VI_ATTR_MODEL_NAME, AttrType::String, false};

// The driver refuses timeouts under 100 ms.
constexpr ViUInt32 kDriverMinimumTimeout = 100;

ViStatus StatusFromErrno(int error) {
  switch (error) {
    case ETIMEDOUT:
      return VI_ERROR_TMO;
    case ENODEV:
    case ESHUTDOWN:
    case EPIPE:
    case EPROTO:
      return VI_ERROR_CONN_LOST;
    case ENOTTY:
    case EINVAL:
      return VI_ERROR_NSUP_OPER;
    default:
      return VI_ERROR_IO;
  }
}

ViStatus Ioctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result < 0 && errno == EINTR);
  return result == 0 ? VI_SUCCESS : StatusFromErrno(errno);
}

}  // namespace

ViStatus OpenUsbTmcTransport(const ResourceName& resource, const Deadline& /*deadline*/,
                             std::unique_ptr<ITransport>& transport) {
  auto device = FindUsbTmcDevice("/sys", "/dev", resource.vendorId, resource.productId, resource.serialNumber,
                                 resource.usbInterface);
  if (!device) return VI_ERROR_RSRC_NFOUND;
  UniqueFd node(::open(device->node.c_str(), O_RDWR | O_CLOEXEC));
  if (!node.Valid()) {
    if (errno == EACCES || errno == EPERM) return VI_ERROR_NPERMISSION;
    return errno == EBUSY ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
  }
  transport = std::make_unique<UsbTmcTransport>(resource, std::move(*device), std::move(node));
  return VI_SUCCESS;
}

UsbTmcTransport::UsbTmcTransport(ResourceName resource, UsbTmcDevice device, UniqueFd node)
    : resource_(std::move(resource)), device_(std::move(device)), node_(std::move(node)) {}

void UsbTmcTransport::DefineAttributes(AttributeStore& store) {
  store.Define(kManufacturerId, resource_.vendorId);
  store.Define(kModelCode, resource_.productId);
  store.DefineText(kSerialNumber, resource_.serialNumber);
  store.Define(kInterfaceNumber, static_cast<ViAttrState>(device_.interfaceNumber));
  store.DefineText(kManufacturerName, device_.manufacturer);
  store.DefineText(kModelName, device_.product);
}

// The driver keeps timeout, termination character and END per open file;
// they are set from the session before every transfer.
ViStatus UsbTmcTransport::Prepare(const IoSettings& io) {
  __u32 timeout = std::max(io.timeoutMs == VI_TMO_INFINITE ? 0x7FFFFFFFu : io.timeoutMs, kDriverMinimumTimeout);
  if (ViStatus status = Ioctl(node_.Get(), USBTMC_IOCTL_SET_TIMEOUT, &timeout);
      status != VI_SUCCESS && status != VI_ERROR_NSUP_OPER)
    return status;
  usbtmc_termchar termChar{io.termChar, static_cast<__u8>(io.termCharEnabled ? 1 : 0)};
  if (ViStatus status = Ioctl(node_.Get(), USBTMC_IOCTL_CONFIG_TERMCHAR, &termChar);
      status != VI_SUCCESS && status != VI_ERROR_NSUP_OPER)
    return status;
  __u8 end = io.sendEnd ? 1 : 0;
  ViStatus status = Ioctl(node_.Get(), USBTMC_IOCTL_EOM_ENABLE, &end);
  return status == VI_ERROR_NSUP_OPER ? VI_SUCCESS : status;
}

ViStatus UsbTmcTransport::Read(ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& received) {
  received = 0;
  if (ViStatus status = Prepare(io); status != VI_SUCCESS) return status;
  if (count == 0) return VI_SUCCESS_MAX_CNT;
  ssize_t got;
  do {
    got = ::read(node_.Get(), buffer, count);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return StatusFromErrno(errno);
  received = static_cast<ViUInt32>(got);
  if (received == count) return VI_SUCCESS_MAX_CNT;
  if (io.termCharEnabled && received > 0 && buffer[received - 1] == io.termChar) return VI_SUCCESS_TERM_CHAR;
  return VI_SUCCESS;
}

ViStatus UsbTmcTransport::Write(const ViByte* buffer, ViUInt32 count, const IoSettings& io, ViUInt32& written) {
  written = 0;
  if (ViStatus status = Prepare(io); status != VI_SUCCESS) return status;
  while (written < count) {
    ssize_t done = ::write(node_.Get(), buffer + written, count - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return done < 0 ? StatusFromErrno(errno) : VI_ERROR_IO;
    written += static_cast<ViUInt32>(done);
  }
  return VI_SUCCESS;
}

ViStatus UsbTmcTransport::ReadStatusByte(const IoSettings& io, ViUInt16& status) {
  if (ViStatus prepared = Prepare(io); prepared != VI_SUCCESS) return prepared;
  unsigned char stb = 0;
  ViStatus result = Ioctl(node_.Get(), USBTMC488_IOCTL_READ_STB, &stb);
  status = stb;
  return result;
}

ViStatus UsbTmcTransport::Clear(const IoSettings& io) {
  if (ViStatus status = Prepare(io); status != VI_SUCCESS) return status;
  return Ioctl(node_.Get(), USBTMC_IOCTL_CLEAR, nullptr);
}

ViStatus UsbTmcTransport::Trigger(const IoSettings& io) {
  if (ViStatus status = Prepare(io); status != VI_SUCCESS) return status;
  return Ioctl(node_.Get(), USBTMC488_IOCTL_TRIGGER, nullptr);
}

}  // namespace hvzelta::visa
