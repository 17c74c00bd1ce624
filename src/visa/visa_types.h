#pragma once

// The VISA vocabulary with its published numbers: types as they are on LP64
// Linux (32-bit statuses and handles, 64-bit attribute states), status
// codes, attribute identifiers and attribute values. Kept internal: the
// driver's public headers never expose VISA, and a program that includes an
// installed VISA header sees the same numbers under the same names.

#include <cstddef>
#include <cstdint>

namespace hvzelta::visa {

using ViUInt64 = std::uint64_t;
using ViInt64 = std::int64_t;
using ViUInt32 = std::uint32_t;
using ViInt32 = std::int32_t;
using ViUInt16 = std::uint16_t;
using ViInt16 = std::int16_t;
using ViUInt8 = std::uint8_t;
using ViInt8 = std::int8_t;
using ViChar = char;
using ViByte = unsigned char;
using ViBoolean = ViUInt16;
using ViStatus = ViInt32;
using ViObject = ViUInt32;
using ViSession = ViObject;
using ViAttr = ViUInt32;
using ViAttrState = ViUInt64;
using ViAccessMode = ViUInt32;
using ViVersion = ViUInt32;

constexpr ViBoolean VI_TRUE = 1;
constexpr ViBoolean VI_FALSE = 0;
constexpr ViSession VI_NULL = 0;

// Buffers the caller supplies for texts the library returns (descriptions,
// access keys, attribute strings) hold this many bytes.
constexpr std::size_t VI_FIND_BUFLEN = 256;

constexpr ViStatus Status(std::uint32_t bits) { return static_cast<ViStatus>(bits); }

// Completion and warning codes.
constexpr ViStatus VI_SUCCESS = 0;
constexpr ViStatus VI_SUCCESS_TERM_CHAR = Status(0x3FFF0005u);
constexpr ViStatus VI_SUCCESS_MAX_CNT = Status(0x3FFF0006u);
constexpr ViStatus VI_SUCCESS_NESTED_SHARED = Status(0x3FFF0099u);
constexpr ViStatus VI_SUCCESS_NESTED_EXCLUSIVE = Status(0x3FFF009Au);
constexpr ViStatus VI_WARN_NSUP_ATTR_STATE = Status(0x3FFF0084u);
constexpr ViStatus VI_WARN_UNKNOWN_STATUS = Status(0x3FFF0085u);
constexpr ViStatus VI_SUCCESS_EVENT_DIS = Status(0x3FFF0003u);
constexpr ViStatus VI_SUCCESS_QUEUE_EMPTY = Status(0x3FFF0004u);
constexpr ViStatus VI_WARN_NSUP_BUF = Status(0x3FFF0088u);

// Error codes.
constexpr ViStatus VI_ERROR_SYSTEM_ERROR = Status(0xBFFF0000u);
constexpr ViStatus VI_ERROR_INV_OBJECT = Status(0xBFFF000Eu);
constexpr ViStatus VI_ERROR_RSRC_LOCKED = Status(0xBFFF000Fu);
constexpr ViStatus VI_ERROR_INV_EXPR = Status(0xBFFF0010u);
constexpr ViStatus VI_ERROR_RSRC_NFOUND = Status(0xBFFF0011u);
constexpr ViStatus VI_ERROR_INV_RSRC_NAME = Status(0xBFFF0012u);
constexpr ViStatus VI_ERROR_INV_ACC_MODE = Status(0xBFFF0013u);
constexpr ViStatus VI_ERROR_TMO = Status(0xBFFF0015u);
constexpr ViStatus VI_ERROR_CLOSING_FAILED = Status(0xBFFF0016u);
constexpr ViStatus VI_ERROR_NSUP_ATTR = Status(0xBFFF001Du);
constexpr ViStatus VI_ERROR_NSUP_ATTR_STATE = Status(0xBFFF001Eu);
constexpr ViStatus VI_ERROR_ATTR_READONLY = Status(0xBFFF001Fu);
constexpr ViStatus VI_ERROR_INV_LOCK_TYPE = Status(0xBFFF0020u);
constexpr ViStatus VI_ERROR_INV_ACCESS_KEY = Status(0xBFFF0021u);
constexpr ViStatus VI_ERROR_ABORT = Status(0xBFFF0030u);
constexpr ViStatus VI_ERROR_INV_SETUP = Status(0xBFFF003Au);
constexpr ViStatus VI_ERROR_ALLOC = Status(0xBFFF003Cu);
constexpr ViStatus VI_ERROR_INV_MASK = Status(0xBFFF003Du);
constexpr ViStatus VI_ERROR_IO = Status(0xBFFF003Eu);
constexpr ViStatus VI_ERROR_INV_FMT = Status(0xBFFF003Fu);
constexpr ViStatus VI_ERROR_NSUP_FMT = Status(0xBFFF0041u);
constexpr ViStatus VI_ERROR_NSUP_OPER = Status(0xBFFF0067u);
constexpr ViStatus VI_ERROR_ASRL_PARITY = Status(0xBFFF006Au);
constexpr ViStatus VI_ERROR_ASRL_FRAMING = Status(0xBFFF006Bu);
constexpr ViStatus VI_ERROR_ASRL_OVERRUN = Status(0xBFFF006Cu);
constexpr ViStatus VI_ERROR_USER_BUF = Status(0xBFFF0071u);
constexpr ViStatus VI_ERROR_RSRC_BUSY = Status(0xBFFF0072u);
constexpr ViStatus VI_ERROR_INV_PARAMETER = Status(0xBFFF0078u);
constexpr ViStatus VI_ERROR_INV_PROT = Status(0xBFFF0079u);
constexpr ViStatus VI_ERROR_NIMPL_OPER = Status(0xBFFF0081u);
constexpr ViStatus VI_ERROR_FILE_ACCESS = Status(0xBFFF00A1u);
constexpr ViStatus VI_ERROR_FILE_IO = Status(0xBFFF00A2u);
constexpr ViStatus VI_ERROR_SESN_NLOCKED = Status(0xBFFF009Cu);
constexpr ViStatus VI_ERROR_LIBRARY_NFOUND = Status(0xBFFF009Eu);
constexpr ViStatus VI_ERROR_CONN_LOST = Status(0xBFFF00A6u);
constexpr ViStatus VI_ERROR_NPERMISSION = Status(0xBFFF00A8u);

// Attribute identifiers.
constexpr ViAttr VI_ATTR_RSRC_CLASS = 0xBFFF0001u;
constexpr ViAttr VI_ATTR_RSRC_NAME = 0xBFFF0002u;
constexpr ViAttr VI_ATTR_RSRC_IMPL_VERSION = 0x3FFF0003u;
constexpr ViAttr VI_ATTR_RSRC_LOCK_STATE = 0x3FFF0004u;
constexpr ViAttr VI_ATTR_SEND_END_EN = 0x3FFF0016u;
constexpr ViAttr VI_ATTR_TERMCHAR = 0x3FFF0018u;
constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001Au;
constexpr ViAttr VI_ATTR_IO_PROT = 0x3FFF001Cu;
constexpr ViAttr VI_ATTR_ASRL_BAUD = 0x3FFF0021u;
constexpr ViAttr VI_ATTR_ASRL_DATA_BITS = 0x3FFF0022u;
constexpr ViAttr VI_ATTR_ASRL_PARITY = 0x3FFF0023u;
constexpr ViAttr VI_ATTR_ASRL_STOP_BITS = 0x3FFF0024u;
constexpr ViAttr VI_ATTR_ASRL_FLOW_CNTRL = 0x3FFF0025u;
constexpr ViAttr VI_ATTR_TERMCHAR_EN = 0x3FFF0038u;
constexpr ViAttr VI_ATTR_MANF_NAME = 0xBFFF0072u;
constexpr ViAttr VI_ATTR_MODEL_NAME = 0xBFFF0077u;
constexpr ViAttr VI_ATTR_ASRL_AVAIL_NUM = 0x3FFF00ACu;
constexpr ViAttr VI_ATTR_ASRL_CTS_STATE = 0x3FFF00AEu;
constexpr ViAttr VI_ATTR_ASRL_DCD_STATE = 0x3FFF00AFu;
constexpr ViAttr VI_ATTR_ASRL_DSR_STATE = 0x3FFF00B1u;
constexpr ViAttr VI_ATTR_ASRL_DTR_STATE = 0x3FFF00B2u;
constexpr ViAttr VI_ATTR_ASRL_END_IN = 0x3FFF00B3u;
constexpr ViAttr VI_ATTR_ASRL_END_OUT = 0x3FFF00B4u;
constexpr ViAttr VI_ATTR_ASRL_RI_STATE = 0x3FFF00BFu;
constexpr ViAttr VI_ATTR_ASRL_RTS_STATE = 0x3FFF00C0u;
constexpr ViAttr VI_ATTR_ASRL_XON_CHAR = 0x3FFF00C1u;
constexpr ViAttr VI_ATTR_ASRL_XOFF_CHAR = 0x3FFF00C2u;
constexpr ViAttr VI_ATTR_RM_SESSION = 0x3FFF00C4u;
constexpr ViAttr VI_ATTR_MANF_ID = 0x3FFF00D9u;
constexpr ViAttr VI_ATTR_MODEL_CODE = 0x3FFF00DFu;
constexpr ViAttr VI_ATTR_RSRC_SPEC_VERSION = 0x3FFF0170u;
constexpr ViAttr VI_ATTR_INTF_TYPE = 0x3FFF0171u;
constexpr ViAttr VI_ATTR_RSRC_MANF_NAME = 0xBFFF0174u;
constexpr ViAttr VI_ATTR_INTF_NUM = 0x3FFF0176u;
constexpr ViAttr VI_ATTR_TCPIP_ADDR = 0xBFFF0195u;
constexpr ViAttr VI_ATTR_TCPIP_HOSTNAME = 0xBFFF0196u;
constexpr ViAttr VI_ATTR_TCPIP_PORT = 0x3FFF0197u;
constexpr ViAttr VI_ATTR_TCPIP_DEVICE_NAME = 0xBFFF0199u;
constexpr ViAttr VI_ATTR_TCPIP_NODELAY = 0x3FFF019Au;
constexpr ViAttr VI_ATTR_TCPIP_KEEPALIVE = 0x3FFF019Bu;
constexpr ViAttr VI_ATTR_4882_COMPLIANT = 0x3FFF019Fu;
constexpr ViAttr VI_ATTR_USB_SERIAL_NUM = 0xBFFF01A0u;
constexpr ViAttr VI_ATTR_USB_INTFC_NUM = 0x3FFF01A1u;
constexpr ViAttr VI_ATTR_TCPIP_HISLIP_OVERLAP_EN = 0x3FFF0300u;
constexpr ViAttr VI_ATTR_TCPIP_HISLIP_VERSION = 0x3FFF0301u;
constexpr ViAttr VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB = 0x3FFF0302u;
constexpr ViAttr VI_ATTR_TCPIP_IS_HISLIP = 0x3FFF0303u;

// Access modes and lock types.
constexpr ViAccessMode VI_NO_LOCK = 0;
constexpr ViAccessMode VI_EXCLUSIVE_LOCK = 1;
constexpr ViAccessMode VI_SHARED_LOCK = 2;
constexpr ViAccessMode VI_LOAD_CONFIG = 4;

constexpr ViUInt32 VI_TMO_IMMEDIATE = 0;
constexpr ViUInt32 VI_TMO_INFINITE = 0xFFFFFFFFu;

// Interface types.
constexpr ViUInt16 VI_INTF_GPIB = 1;
constexpr ViUInt16 VI_INTF_ASRL = 4;
constexpr ViUInt16 VI_INTF_TCPIP = 6;
constexpr ViUInt16 VI_INTF_USB = 7;

// I/O protocols.
constexpr ViUInt16 VI_PROT_NORMAL = 1;
constexpr ViUInt16 VI_PROT_4882_STRS = 4;
constexpr ViUInt16 VI_PROT_USBTMC_VENDOR = 5;

// Serial settings.
constexpr ViUInt16 VI_ASRL_PAR_NONE = 0;
constexpr ViUInt16 VI_ASRL_PAR_ODD = 1;
constexpr ViUInt16 VI_ASRL_PAR_EVEN = 2;
constexpr ViUInt16 VI_ASRL_PAR_MARK = 3;
constexpr ViUInt16 VI_ASRL_PAR_SPACE = 4;
constexpr ViUInt16 VI_ASRL_STOP_ONE = 10;
constexpr ViUInt16 VI_ASRL_STOP_ONE5 = 15;
constexpr ViUInt16 VI_ASRL_STOP_TWO = 20;
constexpr ViUInt16 VI_ASRL_FLOW_NONE = 0;
constexpr ViUInt16 VI_ASRL_FLOW_XON_XOFF = 1;
constexpr ViUInt16 VI_ASRL_FLOW_RTS_CTS = 2;
constexpr ViUInt16 VI_ASRL_FLOW_DTR_DSR = 4;
constexpr ViUInt16 VI_ASRL_END_NONE = 0;
constexpr ViUInt16 VI_ASRL_END_LAST_BIT = 1;
constexpr ViUInt16 VI_ASRL_END_TERMCHAR = 2;
constexpr ViUInt16 VI_ASRL_END_BREAK = 3;

constexpr ViInt16 VI_STATE_ASSERTED = 1;
constexpr ViInt16 VI_STATE_UNASSERTED = 0;
constexpr ViInt16 VI_STATE_UNKNOWN = -1;

// Flush masks.
constexpr ViUInt16 VI_READ_BUF = 1;
constexpr ViUInt16 VI_WRITE_BUF = 2;
constexpr ViUInt16 VI_READ_BUF_DISCARD = 4;
constexpr ViUInt16 VI_WRITE_BUF_DISCARD = 8;
constexpr ViUInt16 VI_IO_IN_BUF = 16;
constexpr ViUInt16 VI_IO_OUT_BUF = 32;
constexpr ViUInt16 VI_IO_IN_BUF_DISCARD = 64;
constexpr ViUInt16 VI_IO_OUT_BUF_DISCARD = 128;

// Trigger protocols.
constexpr ViUInt16 VI_TRIG_PROT_DEFAULT = 0;
constexpr ViUInt16 VI_TRIG_PROT_ON = 1;
constexpr ViUInt16 VI_TRIG_PROT_OFF = 2;
constexpr ViUInt16 VI_TRIG_PROT_SYNC = 5;
constexpr ViUInt16 VI_TRIG_PROT_RESERVE = 6;
constexpr ViUInt16 VI_TRIG_PROT_UNRESERVE = 7;

// Events: their types and the mechanisms that deliver them.
using ViEventType = ViUInt32;
using ViEvent = ViObject;
using ViEventFilter = ViUInt32;
constexpr ViEventType VI_EVENT_IO_COMPLETION = 0x3FFF2009u;
constexpr ViEventType VI_EVENT_TRIG = 0xBFFF200Au;
constexpr ViEventType VI_EVENT_SERVICE_REQ = 0x3FFF200Bu;
constexpr ViEventType VI_EVENT_CLEAR = 0x3FFF200Du;
constexpr ViEventType VI_EVENT_EXCEPTION = 0xBFFF200Eu;
constexpr ViEventType VI_EVENT_GPIB_CIC = 0x3FFF2012u;
constexpr ViEventType VI_EVENT_GPIB_TALK = 0x3FFF2013u;
constexpr ViEventType VI_EVENT_GPIB_LISTEN = 0x3FFF2014u;
constexpr ViEventType VI_EVENT_VXI_VME_SYSFAIL = 0x3FFF201Du;
constexpr ViEventType VI_EVENT_VXI_VME_SYSRESET = 0x3FFF201Eu;
constexpr ViEventType VI_EVENT_VXI_SIGP = 0x3FFF2020u;
constexpr ViEventType VI_EVENT_VXI_VME_INTR = 0xBFFF2021u;
constexpr ViEventType VI_EVENT_PXI_INTR = 0x3FFF2022u;
constexpr ViEventType VI_EVENT_TCPIP_CONNECT = 0x3FFF2036u;
constexpr ViEventType VI_EVENT_USB_INTR = 0x3FFF2037u;
constexpr ViEventType VI_ALL_ENABLED_EVENTS = 0x3FFF7FFFu;
constexpr ViUInt16 VI_QUEUE = 1;
constexpr ViUInt16 VI_HNDLR = 2;
constexpr ViUInt16 VI_SUSPEND_HNDLR = 4;
constexpr ViUInt16 VI_ALL_MECH = 0xFFFF;

// Register access: address spaces and data widths.
constexpr ViUInt16 VI_A16_SPACE = 1;
constexpr ViUInt16 VI_A24_SPACE = 2;
constexpr ViUInt16 VI_A32_SPACE = 3;
constexpr ViUInt16 VI_A64_SPACE = 4;
constexpr ViUInt16 VI_PXI_ALLOC_SPACE = 9;
constexpr ViUInt16 VI_PXI_CFG_SPACE = 10;
constexpr ViUInt16 VI_PXI_BAR0_SPACE = 11;
constexpr ViUInt16 VI_WIDTH_8 = 1;
constexpr ViUInt16 VI_WIDTH_16 = 2;
constexpr ViUInt16 VI_WIDTH_32 = 4;

// The published VISA version whose numbers this layer uses.
constexpr ViVersion kVisaSpecVersion = 0x00500800u;

constexpr bool ViSucceeded(ViStatus status) { return status >= 0; }
constexpr bool ViFailed(ViStatus status) { return status < 0; }

}  // namespace hvzelta::visa
