/* A VISA header for programs that use hvzvisa, the VISA library of the
   hvzelta project (libhvzvisa.so): the published VISA types, constants and
   functions, with the published numbers, for 64-bit Linux. Include it as
   <visa.h> with the flags `pkg-config --cflags hvzvisa` gives; it lives in
   its own folder so that it never replaces another VISA library's header. */
#ifndef HVZVISA_VISA_H
#define HVZVISA_VISA_H

#include <stdarg.h>

#include "visatype.h"

#define VI_SPEC_VERSION (0x00500800UL)

#if defined(__cplusplus)
extern "C" {
#endif

typedef ViObject ViEvent;
typedef ViEvent* ViPEvent;
typedef ViObject ViFindList;
typedef ViFindList* ViPFindList;
typedef ViUInt64 ViBusAddress;
typedef ViUInt64 ViBusSize;
typedef ViUInt64 ViAttrState;
typedef ViUInt64 ViBusAddress64;
typedef ViBusAddress64* ViPBusAddress64;
typedef ViBusAddress* ViPBusAddress;
typedef ViBusSize* ViPBusSize;
typedef ViUInt32 ViEventType;
typedef ViEventType* ViPEventType;
typedef ViEventType* ViAEventType;
typedef void* ViPAttrState;
typedef ViAttr* ViPAttr;
typedef ViAttr* ViAAttr;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;
typedef ViPString ViPKeyId;
typedef ViUInt32 ViJobId;
typedef ViJobId* ViPJobId;
typedef ViUInt32 ViAccessMode;
typedef ViAccessMode* ViPAccessMode;
typedef ViUInt32 ViEventFilter;
typedef va_list ViVAList;
typedef ViStatus (*ViHndlr)(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle);

/* Resource manager, sessions, attributes, status texts. */
ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[]);
ViStatus viFindNext(ViFindList vi, ViChar desc[]);
ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum);
ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum,
                       ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[]);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue);
ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);
ViStatus viTerminate(ViObject vi, ViUInt16 degree, ViJobId jobId);
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViChar accessKey[]);
ViStatus viUnlock(ViSession vi);

/* Events (not served: see docs/visa.md). */
ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context);
ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout, ViPEventType outEventType,
                       ViPEvent outContext);
ViStatus viInstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle);
ViStatus viUninstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle);

/* Basic I/O. */
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viReadAsync(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPJobId jobId);
ViStatus viReadToFile(ViSession vi, ViConstString filename, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viWriteAsync(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPJobId jobId);
ViStatus viWriteFromFile(ViSession vi, ViConstString filename, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol);
ViStatus viReadSTB(ViSession vi, ViPUInt16 status);
ViStatus viClear(ViSession vi);

/* Formatted and buffered I/O. */
ViStatus viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 size);
ViStatus viFlush(ViSession vi, ViUInt16 mask);
ViStatus viBufWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viBufRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viPrintf(ViSession vi, ViConstString writeFmt, ...);
ViStatus viVPrintf(ViSession vi, ViConstString writeFmt, ViVAList params);
ViStatus viSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ...);
ViStatus viVSPrintf(ViSession vi, ViPBuf buf, ViConstString writeFmt, ViVAList parms);
ViStatus viScanf(ViSession vi, ViConstString readFmt, ...);
ViStatus viVScanf(ViSession vi, ViConstString readFmt, ViVAList params);
ViStatus viSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ...);
ViStatus viVSScanf(ViSession vi, ViConstBuf buf, ViConstString readFmt, ViVAList parms);
ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...);
ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ViVAList params);

/* Buses this library does not serve: they return VI_ERROR_NSUP_OPER for a
   valid session (VI_ERROR_INV_OBJECT otherwise). */
ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode);
ViStatus viGpibControlATN(ViSession vi, ViUInt16 mode);
ViStatus viGpibSendIFC(ViSession vi);
ViStatus viGpibCommand(ViSession vi, ViConstBuf cmd, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viGpibPassControl(ViSession vi, ViUInt16 primAddr, ViUInt16 secAddr);
ViStatus viVxiCommandQuery(ViSession vi, ViUInt16 mode, ViUInt32 cmd, ViPUInt32 response);
ViStatus viAssertUtilSignal(ViSession vi, ViUInt16 line);
ViStatus viAssertIntrSignal(ViSession vi, ViInt16 mode, ViUInt32 statusID);
ViStatus viMapTrigger(ViSession vi, ViInt16 trigSrc, ViInt16 trigDest, ViUInt16 mode);
ViStatus viUnmapTrigger(ViSession vi, ViInt16 trigSrc, ViInt16 trigDest);
ViStatus viUsbControlOut(ViSession vi, ViInt16 bmRequestType, ViInt16 bRequest, ViUInt16 wValue, ViUInt16 wIndex,
                         ViUInt16 wLength, ViConstBuf buf);
ViStatus viUsbControlIn(ViSession vi, ViInt16 bmRequestType, ViInt16 bRequest, ViUInt16 wValue, ViUInt16 wIndex,
                        ViUInt16 wLength, ViPBuf buf, ViPUInt16 retCnt);
ViStatus viIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt8 val8);
ViStatus viOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt8 val8);
ViStatus viIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt16 val16);
ViStatus viOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16 val16);
ViStatus viIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt32 val32);
ViStatus viOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt32 val32);
ViStatus viIn64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViPUInt64 val64);
ViStatus viOut64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt64 val64);
ViStatus viMoveIn8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf8);
ViStatus viMoveOut8(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt8 buf8);
ViStatus viMoveIn16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt16 buf16);
ViStatus viMoveOut16(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt16 buf16);
ViStatus viMoveIn32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt32 buf32);
ViStatus viMoveOut32(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt32 buf32);
ViStatus viMoveIn64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt64 buf64);
ViStatus viMoveOut64(ViSession vi, ViUInt16 space, ViBusAddress offset, ViBusSize length, ViAUInt64 buf64);
ViStatus viMove(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset, ViUInt16 srcWidth, ViUInt16 destSpace,
                ViBusAddress destOffset, ViUInt16 destWidth, ViBusSize srcLength);
ViStatus viMoveAsync(ViSession vi, ViUInt16 srcSpace, ViBusAddress srcOffset, ViUInt16 srcWidth,
                     ViUInt16 destSpace, ViBusAddress destOffset, ViUInt16 destWidth, ViBusSize srcLength,
                     ViPJobId jobId);
ViStatus viMapAddress(ViSession vi, ViUInt16 mapSpace, ViBusAddress mapOffset, ViBusSize mapSize,
                      ViBoolean access, ViAddr suggested, ViPAddr address);
ViStatus viUnmapAddress(ViSession vi);
ViStatus viMemAlloc(ViSession vi, ViBusSize size, ViPBusAddress offset);
ViStatus viMemFree(ViSession vi, ViBusAddress offset);

/* Attribute identifiers. */
#define VI_ATTR_RSRC_CLASS                       (0xBFFF0001UL)
#define VI_ATTR_RSRC_NAME                        (0xBFFF0002UL)
#define VI_ATTR_RSRC_IMPL_VERSION                (0x3FFF0003UL)
#define VI_ATTR_RSRC_LOCK_STATE                  (0x3FFF0004UL)
#define VI_ATTR_MAX_QUEUE_LENGTH                 (0x3FFF0005UL)
#define VI_ATTR_USER_DATA_32                     (0x3FFF0007UL)
#define VI_ATTR_USER_DATA_64                     (0x3FFF000AUL)
#define VI_ATTR_SEND_END_EN                      (0x3FFF0016UL)
#define VI_ATTR_TERMCHAR                         (0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE                        (0x3FFF001AUL)
#define VI_ATTR_GPIB_READDR_EN                   (0x3FFF001BUL)
#define VI_ATTR_IO_PROT                          (0x3FFF001CUL)
#define VI_ATTR_DMA_ALLOW_EN                     (0x3FFF001EUL)
#define VI_ATTR_ASRL_BAUD                        (0x3FFF0021UL)
#define VI_ATTR_ASRL_DATA_BITS                   (0x3FFF0022UL)
#define VI_ATTR_ASRL_PARITY                      (0x3FFF0023UL)
#define VI_ATTR_ASRL_STOP_BITS                   (0x3FFF0024UL)
#define VI_ATTR_ASRL_FLOW_CNTRL                  (0x3FFF0025UL)
#define VI_ATTR_RD_BUF_OPER_MODE                 (0x3FFF002AUL)
#define VI_ATTR_RD_BUF_SIZE                      (0x3FFF002BUL)
#define VI_ATTR_WR_BUF_OPER_MODE                 (0x3FFF002DUL)
#define VI_ATTR_WR_BUF_SIZE                      (0x3FFF002EUL)
#define VI_ATTR_SUPPRESS_END_EN                  (0x3FFF0036UL)
#define VI_ATTR_TERMCHAR_EN                      (0x3FFF0038UL)
#define VI_ATTR_MANF_NAME                        (0xBFFF0072UL)
#define VI_ATTR_MODEL_NAME                       (0xBFFF0077UL)
#define VI_ATTR_ASRL_AVAIL_NUM                   (0x3FFF00ACUL)
#define VI_ATTR_ASRL_CTS_STATE                   (0x3FFF00AEUL)
#define VI_ATTR_ASRL_DCD_STATE                   (0x3FFF00AFUL)
#define VI_ATTR_ASRL_DISCARD_NULL                (0x3FFF00B0UL)
#define VI_ATTR_ASRL_DSR_STATE                   (0x3FFF00B1UL)
#define VI_ATTR_ASRL_DTR_STATE                   (0x3FFF00B2UL)
#define VI_ATTR_ASRL_END_IN                      (0x3FFF00B3UL)
#define VI_ATTR_ASRL_END_OUT                     (0x3FFF00B4UL)
#define VI_ATTR_ASRL_REPLACE_CHAR                (0x3FFF00BEUL)
#define VI_ATTR_ASRL_RI_STATE                    (0x3FFF00BFUL)
#define VI_ATTR_ASRL_RTS_STATE                   (0x3FFF00C0UL)
#define VI_ATTR_ASRL_XON_CHAR                    (0x3FFF00C1UL)
#define VI_ATTR_ASRL_XOFF_CHAR                   (0x3FFF00C2UL)
#define VI_ATTR_RM_SESSION                       (0x3FFF00C4UL)
#define VI_ATTR_MANF_ID                          (0x3FFF00D9UL)
#define VI_ATTR_MODEL_CODE                       (0x3FFF00DFUL)
#define VI_ATTR_INTF_INST_NAME                   (0xBFFF00E9UL)
#define VI_ATTR_RSRC_SPEC_VERSION                (0x3FFF0170UL)
#define VI_ATTR_INTF_TYPE                        (0x3FFF0171UL)
#define VI_ATTR_GPIB_PRIMARY_ADDR                (0x3FFF0172UL)
#define VI_ATTR_GPIB_SECONDARY_ADDR              (0x3FFF0173UL)
#define VI_ATTR_RSRC_MANF_NAME                   (0xBFFF0174UL)
#define VI_ATTR_RSRC_MANF_ID                     (0x3FFF0175UL)
#define VI_ATTR_INTF_NUM                         (0x3FFF0176UL)
#define VI_ATTR_GPIB_REN_STATE                   (0x3FFF0181UL)
#define VI_ATTR_DEV_STATUS_BYTE                  (0x3FFF0189UL)
#define VI_ATTR_TCPIP_ADDR                       (0xBFFF0195UL)
#define VI_ATTR_TCPIP_HOSTNAME                   (0xBFFF0196UL)
#define VI_ATTR_TCPIP_PORT                       (0x3FFF0197UL)
#define VI_ATTR_TCPIP_DEVICE_NAME                (0xBFFF0199UL)
#define VI_ATTR_TCPIP_NODELAY                    (0x3FFF019AUL)
#define VI_ATTR_TCPIP_KEEPALIVE                  (0x3FFF019BUL)
#define VI_ATTR_4882_COMPLIANT                   (0x3FFF019FUL)
#define VI_ATTR_USB_SERIAL_NUM                   (0xBFFF01A0UL)
#define VI_ATTR_USB_INTFC_NUM                    (0x3FFF01A1UL)
#define VI_ATTR_USB_PROTOCOL                     (0x3FFF01A7UL)
#define VI_ATTR_ASRL_CONNECTED                   (0x3FFF01BBUL)
#define VI_ATTR_ASRL_BREAK_STATE                 (0x3FFF01BCUL)
#define VI_ATTR_ASRL_BREAK_LEN                   (0x3FFF01BDUL)
#define VI_ATTR_ASRL_ALLOW_TRANSMIT              (0x3FFF01BEUL)
#define VI_ATTR_ASRL_WIRE_MODE                   (0x3FFF01BFUL)
#define VI_ATTR_TCPIP_HISLIP_OVERLAP_EN          (0x3FFF0300UL)
#define VI_ATTR_TCPIP_HISLIP_VERSION             (0x3FFF0301UL)
#define VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB      (0x3FFF0302UL)
#define VI_ATTR_TCPIP_IS_HISLIP                  (0x3FFF0303UL)
#define VI_ATTR_RET_COUNT_32                     (0x3FFF4026UL)
#define VI_ATTR_RET_COUNT_64                     (0x3FFF4028UL)
#define VI_ATTR_STATUS                           (0x3FFF4025UL)
#define VI_ATTR_EVENT_TYPE                       (0x3FFF4010UL)

/* Completion, warning and error codes. */
#define VI_SUCCESS_EVENT_EN              (0x3FFF0002L)
#define VI_SUCCESS_EVENT_DIS             (0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY           (0x3FFF0004L)
#define VI_SUCCESS_TERM_CHAR             (0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT               (0x3FFF0006L)
#define VI_SUCCESS_DEV_NPRESENT          (0x3FFF007DL)
#define VI_SUCCESS_NESTED_SHARED         (0x3FFF0099L)
#define VI_SUCCESS_NESTED_EXCLUSIVE      (0x3FFF009AL)
#define VI_SUCCESS_SYNC                  (0x3FFF009BL)
#define VI_WARN_CONFIG_NLOADED           (0x3FFF0077L)
#define VI_WARN_NSUP_ATTR_STATE          (0x3FFF0084L)
#define VI_WARN_UNKNOWN_STATUS           (0x3FFF0085L)
#define VI_WARN_NSUP_BUF                 (0x3FFF0088L)
#define VI_ERROR_SYSTEM_ERROR            (_VI_ERROR + 0x3FFF0000L)
#define VI_ERROR_INV_OBJECT              (_VI_ERROR + 0x3FFF000EL)
#define VI_ERROR_INV_SESSION             (_VI_ERROR + 0x3FFF000EL)
#define VI_ERROR_RSRC_LOCKED             (_VI_ERROR + 0x3FFF000FL)
#define VI_ERROR_INV_EXPR                (_VI_ERROR + 0x3FFF0010L)
#define VI_ERROR_RSRC_NFOUND             (_VI_ERROR + 0x3FFF0011L)
#define VI_ERROR_INV_RSRC_NAME           (_VI_ERROR + 0x3FFF0012L)
#define VI_ERROR_INV_ACC_MODE            (_VI_ERROR + 0x3FFF0013L)
#define VI_ERROR_TMO                     (_VI_ERROR + 0x3FFF0015L)
#define VI_ERROR_CLOSING_FAILED          (_VI_ERROR + 0x3FFF0016L)
#define VI_ERROR_NSUP_ATTR               (_VI_ERROR + 0x3FFF001DL)
#define VI_ERROR_NSUP_ATTR_STATE         (_VI_ERROR + 0x3FFF001EL)
#define VI_ERROR_ATTR_READONLY           (_VI_ERROR + 0x3FFF001FL)
#define VI_ERROR_INV_LOCK_TYPE           (_VI_ERROR + 0x3FFF0020L)
#define VI_ERROR_INV_ACCESS_KEY          (_VI_ERROR + 0x3FFF0021L)
#define VI_ERROR_ABORT                   (_VI_ERROR + 0x3FFF0030L)
#define VI_ERROR_RAW_WR_PROT_VIOL        (_VI_ERROR + 0x3FFF0034L)
#define VI_ERROR_RAW_RD_PROT_VIOL        (_VI_ERROR + 0x3FFF0035L)
#define VI_ERROR_OUTP_PROT_VIOL          (_VI_ERROR + 0x3FFF0036L)
#define VI_ERROR_INP_PROT_VIOL           (_VI_ERROR + 0x3FFF0037L)
#define VI_ERROR_BERR                    (_VI_ERROR + 0x3FFF0038L)
#define VI_ERROR_IN_PROGRESS             (_VI_ERROR + 0x3FFF0039L)
#define VI_ERROR_INV_SETUP               (_VI_ERROR + 0x3FFF003AL)
#define VI_ERROR_ALLOC                   (_VI_ERROR + 0x3FFF003CL)
#define VI_ERROR_INV_MASK                (_VI_ERROR + 0x3FFF003DL)
#define VI_ERROR_IO                      (_VI_ERROR + 0x3FFF003EL)
#define VI_ERROR_INV_FMT                 (_VI_ERROR + 0x3FFF003FL)
#define VI_ERROR_NSUP_FMT                (_VI_ERROR + 0x3FFF0041L)
#define VI_ERROR_NLISTENERS              (_VI_ERROR + 0x3FFF005FL)
#define VI_ERROR_NSUP_OPER               (_VI_ERROR + 0x3FFF0067L)
#define VI_ERROR_ASRL_PARITY             (_VI_ERROR + 0x3FFF006AL)
#define VI_ERROR_ASRL_FRAMING            (_VI_ERROR + 0x3FFF006BL)
#define VI_ERROR_ASRL_OVERRUN            (_VI_ERROR + 0x3FFF006CL)
#define VI_ERROR_USER_BUF                (_VI_ERROR + 0x3FFF0071L)
#define VI_ERROR_RSRC_BUSY               (_VI_ERROR + 0x3FFF0072L)
#define VI_ERROR_INV_PARAMETER           (_VI_ERROR + 0x3FFF0078L)
#define VI_ERROR_INV_PROT                (_VI_ERROR + 0x3FFF0079L)
#define VI_ERROR_INV_SIZE                (_VI_ERROR + 0x3FFF007BL)
#define VI_ERROR_NIMPL_OPER              (_VI_ERROR + 0x3FFF0081L)
#define VI_ERROR_INV_LENGTH              (_VI_ERROR + 0x3FFF0083L)
#define VI_ERROR_INV_MODE                (_VI_ERROR + 0x3FFF0091L)
#define VI_ERROR_SESN_NLOCKED            (_VI_ERROR + 0x3FFF009CL)
#define VI_ERROR_LIBRARY_NFOUND          (_VI_ERROR + 0x3FFF009EL)
#define VI_ERROR_FILE_ACCESS             (_VI_ERROR + 0x3FFF00A1L)
#define VI_ERROR_FILE_IO                 (_VI_ERROR + 0x3FFF00A2L)
#define VI_ERROR_INTF_NUM_NCONFIG        (_VI_ERROR + 0x3FFF00A5L)
#define VI_ERROR_CONN_LOST               (_VI_ERROR + 0x3FFF00A6L)
#define VI_ERROR_MACHINE_NAVAIL          (_VI_ERROR + 0x3FFF00A7L)
#define VI_ERROR_NPERMISSION             (_VI_ERROR + 0x3FFF00A8L)
#define VI_ERROR_FAIL_ID_QUERY           (_VI_ERROR + 0x3FFC0011L)
#define VI_ERROR_INV_RESPONSE            (_VI_ERROR + 0x3FFC0012L)

/* Attribute values and other constants. */
#define VI_FIND_BUFLEN (256)
#define VI_NO_LOCK (0)
#define VI_EXCLUSIVE_LOCK (1)
#define VI_SHARED_LOCK (2)
#define VI_LOAD_CONFIG (4)
#define VI_TMO_IMMEDIATE (0L)
#define VI_TMO_INFINITE (0xFFFFFFFFUL)
#define VI_INTF_GPIB (1)
#define VI_INTF_VXI (2)
#define VI_INTF_GPIB_VXI (3)
#define VI_INTF_ASRL (4)
#define VI_INTF_PXI (5)
#define VI_INTF_TCPIP (6)
#define VI_INTF_USB (7)
#define VI_PROT_NORMAL (1)
#define VI_PROT_FDC (2)
#define VI_PROT_HS488 (3)
#define VI_PROT_4882_STRS (4)
#define VI_PROT_USBTMC_VENDOR (5)
#define VI_ASRL_PAR_NONE (0)
#define VI_ASRL_PAR_ODD (1)
#define VI_ASRL_PAR_EVEN (2)
#define VI_ASRL_PAR_MARK (3)
#define VI_ASRL_PAR_SPACE (4)
#define VI_ASRL_STOP_ONE (10)
#define VI_ASRL_STOP_ONE5 (15)
#define VI_ASRL_STOP_TWO (20)
#define VI_ASRL_FLOW_NONE (0)
#define VI_ASRL_FLOW_XON_XOFF (1)
#define VI_ASRL_FLOW_RTS_CTS (2)
#define VI_ASRL_FLOW_DTR_DSR (4)
#define VI_ASRL_END_NONE (0)
#define VI_ASRL_END_LAST_BIT (1)
#define VI_ASRL_END_TERMCHAR (2)
#define VI_ASRL_END_BREAK (3)
#define VI_LOCAL_SPACE (0)
#define VI_A16_SPACE (1)
#define VI_A24_SPACE (2)
#define VI_A32_SPACE (3)
#define VI_A64_SPACE (4)
#define VI_PXI_ALLOC_SPACE (9)
#define VI_PXI_CFG_SPACE (10)
#define VI_PXI_BAR0_SPACE (11)
#define VI_OPAQUE_SPACE (0xFFFF)
#define VI_WIDTH_8 (1)
#define VI_WIDTH_16 (2)
#define VI_WIDTH_32 (4)
#define VI_WIDTH_64 (8)
#define VI_READ_BUF (1)
#define VI_WRITE_BUF (2)
#define VI_READ_BUF_DISCARD (4)
#define VI_WRITE_BUF_DISCARD (8)
#define VI_IO_IN_BUF (16)
#define VI_IO_OUT_BUF (32)
#define VI_IO_IN_BUF_DISCARD (64)
#define VI_IO_OUT_BUF_DISCARD (128)
#define VI_FLUSH_ON_ACCESS (1)
#define VI_FLUSH_WHEN_FULL (2)
#define VI_FLUSH_DISABLE (3)
#define VI_STATE_ASSERTED (1)
#define VI_STATE_UNASSERTED (0)
#define VI_STATE_UNKNOWN (-1)
#define VI_TRIG_SW (-1)
#define VI_TRIG_PROT_DEFAULT (0)
#define VI_ON (1)
#define VI_OFF (0)
#define VI_EVENT_IO_COMPLETION (0x3FFF2009UL)
#define VI_EVENT_SERVICE_REQ (0x3FFF200BUL)
#define VI_ALL_ENABLED_EVENTS (0x3FFF7FFFUL)
#define VI_QUEUE (1)
#define VI_HNDLR (2)
#define VI_SUSPEND_HNDLR (4)
#define VI_ALL_MECH (0xFFFF)
#define VI_GPIB_REN_DEASSERT (0)
#define VI_GPIB_REN_ASSERT (1)
#define VI_GPIB_REN_DEASSERT_GTL (2)
#define VI_GPIB_REN_ASSERT_ADDRESS (3)
#define VI_GPIB_REN_ASSERT_LLO (4)
#define VI_GPIB_REN_ASSERT_ADDRESS_LLO (5)
#define VI_GPIB_REN_ADDRESS_GTL (6)
#define VI_VERSION_MAJOR(ver) ((((ViVersion)ver) & 0xFFF00000UL) >> 20)
#define VI_VERSION_MINOR(ver) ((((ViVersion)ver) & 0x000FFF00UL) >> 8)
#define VI_VERSION_SUBMINOR(ver) ((((ViVersion)ver) & 0x000000FFUL))

#if defined(__cplusplus)
}
#endif

#endif
