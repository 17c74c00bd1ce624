/*
 * hvzelta: the C interface of the ZTA100/ZTA200/ZTA300/ZTA400 AC power source
 * driver. Plain C (C99 or later) and C++.
 *
 * A session is opened with hvzelta_init or hvzelta_InitWithOptions and closed
 * with hvzelta_close. Every function returns a ViStatus: 0 is success, a
 * negative value an error, a positive value a warning or, for functions that
 * copy text into a caller's buffer, the buffer size the whole text needs.
 * After a failure hvzelta_GetError returns the description that belongs to
 * it; with session 0 it returns the failure of an hvzelta_init on the calling
 * thread.
 *
 * Channel names select outputs ("Output1") or output phases ("OutputPhase1").
 * Setters accept lists ("A,B"), alternatives ("[A,B]") and ranges
 * ("Phase1-Phase3") and apply the value to each selected object in order;
 * getters accept a list but answer from its first object.
 */

#ifndef HVZELTA_H
#define HVZELTA_H

#include <stdint.h>

/* ---- VISA types ------------------------------------------------------------
 * The widths of the published visatype.h on 64-bit Linux (32-bit ViInt32,
 * ViStatus and ViSession). Including that header before or after this one is
 * fine: both use the same guard. */
#ifndef __VISATYPE_HEADER__
#define __VISATYPE_HEADER__

#define _VI_FUNC
#define _VI_FUNCC
#define _VI_FUNCH
#define _VI_SIGNED signed
#define _VI_PTR
#define _VI_ERROR (-2147483647L - 1)

typedef uint64_t ViUInt64;
typedef ViUInt64* ViPUInt64;
typedef ViUInt64* ViAUInt64;
typedef int64_t ViInt64;
typedef ViInt64* ViPInt64;
typedef ViInt64* ViAInt64;
#define _VI_INT64_UINT64_DEFINED

typedef unsigned int ViUInt32;
typedef ViUInt32* ViPUInt32;
typedef ViUInt32* ViAUInt32;
typedef _VI_SIGNED int ViInt32;
typedef ViInt32* ViPInt32;
typedef ViInt32* ViAInt32;

typedef unsigned short ViUInt16;
typedef ViUInt16* ViPUInt16;
typedef ViUInt16* ViAUInt16;
typedef _VI_SIGNED short ViInt16;
typedef ViInt16* ViPInt16;
typedef ViInt16* ViAInt16;

typedef unsigned char ViUInt8;
typedef ViUInt8* ViPUInt8;
typedef ViUInt8* ViAUInt8;
typedef _VI_SIGNED char ViInt8;
typedef ViInt8* ViPInt8;
typedef ViInt8* ViAInt8;

typedef char ViChar;
typedef ViChar* ViPChar;
typedef ViChar* ViAChar;
typedef unsigned char ViByte;
typedef ViByte* ViPByte;
typedef ViByte* ViAByte;
typedef void* ViAddr;
typedef ViAddr* ViPAddr;
typedef ViAddr* ViAAddr;

typedef float ViReal32;
typedef ViReal32* ViPReal32;
typedef ViReal32* ViAReal32;
typedef double ViReal64;
typedef ViReal64* ViPReal64;
typedef ViReal64* ViAReal64;

typedef ViPByte ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViPByte ViPBuf;
typedef ViPByte* ViABuf;

typedef ViPChar ViString;
typedef const ViChar* ViConstString;
typedef ViPChar ViPString;
typedef ViPChar* ViAString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViPRsrc;
typedef ViString* ViARsrc;

typedef ViUInt16 ViBoolean;
typedef ViBoolean* ViPBoolean;
typedef ViBoolean* ViABoolean;

typedef ViInt32 ViStatus;
typedef ViStatus* ViPStatus;
typedef ViStatus* ViAStatus;

typedef ViUInt32 ViVersion;
typedef ViVersion* ViPVersion;
typedef ViVersion* ViAVersion;
typedef ViUInt32 ViObject;
typedef ViObject* ViPObject;
typedef ViObject* ViAObject;
typedef ViObject ViSession;
typedef ViSession* ViPSession;
typedef ViSession* ViASession;
typedef ViUInt32 ViAttr;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0

#endif /* __VISATYPE_HEADER__ */

#ifndef VI_SUCCESS
#define VI_SUCCESS 0
#endif

/* Only the C interface leaves the library. */
#if defined(HVZELTA_BUILDING_LIBRARY) && defined(__GNUC__)
#define HVZELTA_C_API __attribute__((visibility("default")))
#else
#define HVZELTA_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ---------------------------------------------------------- */

#define HVZELTA_IVI_WARN_BASE 0x3FFA0000L
#define HVZELTA_IVI_ERROR_BASE (_VI_ERROR + 0x3FFA0000L)
#define HVZELTA_IVI_CLASS_ERROR_BASE (HVZELTA_IVI_ERROR_BASE + 0x2000L)
#define HVZELTA_IVI_SPECIFIC_ERROR_BASE (HVZELTA_IVI_ERROR_BASE + 0x4000L)

/* Warnings */
#define HVZELTA_WARN_NSUP_ID_QUERY ((ViStatus)(HVZELTA_IVI_WARN_BASE + 0x65L))
#define HVZELTA_WARN_NSUP_RESET ((ViStatus)(HVZELTA_IVI_WARN_BASE + 0x66L))
#define HVZELTA_WARN_NSUP_SELF_TEST ((ViStatus)(HVZELTA_IVI_WARN_BASE + 0x67L))
#define HVZELTA_WARN_NSUP_ERROR_QUERY ((ViStatus)(HVZELTA_IVI_WARN_BASE + 0x68L))
#define HVZELTA_WARN_NSUP_REV_QUERY ((ViStatus)(HVZELTA_IVI_WARN_BASE + 0x69L))

/* Errors every IVI driver shares */
#define HVZELTA_ERROR_CANNOT_RECOVER ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x00L))
#define HVZELTA_ERROR_INSTRUMENT_STATUS ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x01L))
#define HVZELTA_ERROR_CANNOT_OPEN_FILE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x02L))
#define HVZELTA_ERROR_READING_FILE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x03L))
#define HVZELTA_ERROR_WRITING_FILE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x04L))
#define HVZELTA_ERROR_INVALID_PATHNAME ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x0BL))
#define HVZELTA_ERROR_INVALID_ATTRIBUTE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x0CL))
#define HVZELTA_ERROR_ATTR_NOT_WRITABLE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x0DL))
#define HVZELTA_ERROR_ATTR_NOT_READABLE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x0EL))
#define HVZELTA_ERROR_INVALID_VALUE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x10L))
#define HVZELTA_ERROR_FUNCTION_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x11L))
#define HVZELTA_ERROR_ATTRIBUTE_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x12L))
#define HVZELTA_ERROR_VALUE_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x13L))
#define HVZELTA_ERROR_TYPES_DO_NOT_MATCH ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x15L))
#define HVZELTA_ERROR_NOT_INITIALIZED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x1DL))
#define HVZELTA_ERROR_UNKNOWN_CHANNEL_NAME ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x20L))
#define HVZELTA_ERROR_TOO_MANY_OPEN_FILES ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x23L))
#define HVZELTA_ERROR_CHANNEL_NAME_REQUIRED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x44L))
#define HVZELTA_ERROR_MISSING_OPTION_NAME ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x49L))
#define HVZELTA_ERROR_MISSING_OPTION_VALUE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x4AL))
#define HVZELTA_ERROR_BAD_OPTION_NAME ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x4BL))
#define HVZELTA_ERROR_BAD_OPTION_VALUE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x4CL))
#define HVZELTA_ERROR_OUT_OF_MEMORY ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x56L))
#define HVZELTA_ERROR_OPERATION_PENDING ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x57L))
#define HVZELTA_ERROR_NULL_POINTER ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x58L))
#define HVZELTA_ERROR_UNEXPECTED_RESPONSE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x59L))
#define HVZELTA_ERROR_FILE_NOT_FOUND ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x5BL))
#define HVZELTA_ERROR_INVALID_FILE_FORMAT ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x5CL))
#define HVZELTA_ERROR_STATUS_NOT_AVAILABLE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x5DL))
#define HVZELTA_ERROR_ID_QUERY_FAILED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x5EL))
#define HVZELTA_ERROR_RESET_FAILED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x5FL))
#define HVZELTA_ERROR_RESOURCE_UNKNOWN ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x60L))
#define HVZELTA_ERROR_ALREADY_INITIALIZED ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x61L))
#define HVZELTA_ERROR_CANNOT_CHANGE_SIMULATION_STATE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x62L))
#define HVZELTA_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x63L))
#define HVZELTA_ERROR_INVALID_RANGE_IN_SELECTOR ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x64L))
#define HVZELTA_ERROR_UNKNOWN_NAME_IN_SELECTOR ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x65L))
#define HVZELTA_ERROR_BADLY_FORMED_SELECTOR ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x66L))
#define HVZELTA_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x67L))
#define HVZELTA_ERROR_INVALID_SESSION_HANDLE ((ViStatus)(HVZELTA_IVI_ERROR_BASE + 0x1190L))

/* Errors of the AC power class */
#define HVZELTA_ERROR_ALL_PHASES_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x01L))
#define HVZELTA_ERROR_UNSUPPORTED_MEASUREMENT_GROUP ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x02L))
#define HVZELTA_ERROR_MEASUREMENT_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x03L))
#define HVZELTA_ERROR_WAVEFORM_IN_USE ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x04L))
#define HVZELTA_ERROR_WAVEFORM_RESERVED ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x05L))
#define HVZELTA_ERROR_WAVEFORM_NOT_FOUND ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x06L))
#define HVZELTA_ERROR_DUPLICATE_WAVEFORM_NAME ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x07L))
#define HVZELTA_ERROR_NO_WAVEFORMS_AVAILABLE ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x08L))
#define HVZELTA_ERROR_INVALID_WAVEFORM_NAME ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x09L))
#define HVZELTA_ERROR_ALL_PHASES_REQUIRED ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0AL))
#define HVZELTA_ERROR_PHASE_VALUES_DIFFERENT ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0BL))
#define HVZELTA_ERROR_VOLTAGE_PROTECTION ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0CL))
#define HVZELTA_ERROR_CURRENT_PROTECTION ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0DL))
#define HVZELTA_ERROR_OUTPUT_ENABLED ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0EL))
#define HVZELTA_ERROR_WAVEFORM_DC_OFFSET ((ViStatus)(HVZELTA_IVI_CLASS_ERROR_BASE + 0x0FL))

/* Errors of this driver */
#define HVZELTA_ERROR_IO_GENERAL ((ViStatus)(HVZELTA_IVI_SPECIFIC_ERROR_BASE + 0x214L))
#define HVZELTA_ERROR_IO_TIMEOUT ((ViStatus)(HVZELTA_IVI_SPECIFIC_ERROR_BASE + 0x215L))
#define HVZELTA_ERROR_MODEL_NOT_SUPPORTED ((ViStatus)(HVZELTA_IVI_SPECIFIC_ERROR_BASE + 0x216L))

/* Generic failures that pass through unchanged: a value outside what a
 * function takes where no driver message applies (a range number, a voltage
 * range), and a response that does not match what the driver reads. */
#define HVZELTA_ERROR_INVALID_ARGUMENT ((ViStatus)0x80070057L)
#define HVZELTA_ERROR_UNEXPECTED ((ViStatus)0x8000FFFFL)

/* ---- Attributes -------------------------------------------------------------
 * Read and written with hvzelta_GetAttribute<Type> and
 * hvzelta_SetAttribute<Type>. Attributes marked per output or per output
 * phase take a channel name; the others ignore it. */

#define HVZELTA_ATTR_RANGE_CHECK 1050002                              /* ViBoolean, read/write */
#define HVZELTA_ATTR_QUERY_INSTRUMENT_STATUS 1050003                  /* ViBoolean, read/write */
#define HVZELTA_ATTR_CACHE 1050004                                    /* ViBoolean, read/write */
#define HVZELTA_ATTR_SIMULATE 1050005                                 /* ViBoolean, read/write */
#define HVZELTA_ATTR_RECORD_COERCIONS 1050006                         /* ViBoolean, read/write */
#define HVZELTA_ATTR_DRIVER_SETUP 1050007                             /* ViString, read-only */
#define HVZELTA_ATTR_INTERCHANGE_CHECK 1050021                        /* ViBoolean, read/write */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_PREFIX 1050302                   /* ViString, read-only */
#define HVZELTA_ATTR_IO_RESOURCE_DESCRIPTOR 1050304                   /* ViString, read-only */
#define HVZELTA_ATTR_LOGICAL_NAME 1050305                             /* ViString, read-only */
#define HVZELTA_ATTR_SUPPORTED_INSTRUMENT_MODELS 1050327              /* ViString, read-only, session 0 allowed */
#define HVZELTA_ATTR_GROUP_CAPABILITIES 1050401                       /* ViString, read-only, session 0 allowed */
#define HVZELTA_ATTR_INSTRUMENT_FIRMWARE_REVISION 1050510             /* ViString, read-only */
#define HVZELTA_ATTR_INSTRUMENT_MANUFACTURER 1050511                  /* ViString, read-only */
#define HVZELTA_ATTR_INSTRUMENT_MODEL 1050512                         /* ViString, read-only */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_VENDOR 1050513                   /* ViString, read-only, session 0 allowed */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_DESCRIPTION 1050514              /* ViString, read-only, session 0 allowed */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION 1050515 /* ViInt32, read-only, session 0 allowed */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION 1050516 /* ViInt32, read-only, session 0 allowed */
#define HVZELTA_ATTR_SPECIFIC_DRIVER_REVISION 1050551                 /* ViString, read-only, session 0 allowed */
#define HVZELTA_ATTR_IO_TIMEOUT 1150001                               /* ViInt32, read/write */
#define HVZELTA_ATTR_OUTPUT_COUNT 1150002                             /* ViInt32, read-only */
/* The identifiers of the output's settings, HVZELTA_ATTR_OUTPUT_CONTINUOUS_MEASUREMENT
 * (1150004) to HVZELTA_ATTR_OUTPUT_AVERAGE (1150019), come with their functions
 * from hvzelta/output_settings.h, below. */
#define HVZELTA_ATTR_FREQUENCY 1250001                                /* ViReal64, read/write */
#define HVZELTA_ATTR_NUM_PHASES 1250002                               /* ViInt32, read-only */
#define HVZELTA_ATTR_NUM_FREQUENCY_RANGES 1250003                     /* ViInt32, read-only */
#define HVZELTA_ATTR_FREQUENCY_RANGE 1250004                          /* ViReal64, read/write */
#define HVZELTA_ATTR_ARB_NUM_WAVEFORMS_MAX 1250005                    /* ViInt32, read-only */
#define HVZELTA_ATTR_ARB_NUM_OPTIMAL_DATA_POINTS 1250006              /* ViInt32, read-only */
#define HVZELTA_ATTR_ARB_FIXED_WAVEFORM_COUNT 1250007                 /* ViInt32, read-only */
#define HVZELTA_ATTR_ARB_USER_WAVEFORM_COUNT 1250008                  /* ViInt32, read-only */
#define HVZELTA_ATTR_ARB_AVAILABLE_WAVEFORM_COUNT 1250009             /* ViInt32, read-only */
#define HVZELTA_ATTR_EXTERNAL_SYNC_ENABLED 1250010                    /* ViBoolean, read/write */
#define HVZELTA_ATTR_EXTERNAL_SYNC_PHASE_OFFSET 1250011               /* ViReal64, read/write */
#define HVZELTA_ATTR_EXTERNAL_SYNC_LOCKED 1250012                     /* ViBoolean, read-only */
#define HVZELTA_ATTR_CURRENT_LIMIT 1250013                            /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_ENABLED 1250014                                  /* ViBoolean, read/write, per output phase */
#define HVZELTA_ATTR_NUM_VOLTAGE_RANGES 1250015                       /* ViInt32, read-only, per output phase */
#define HVZELTA_ATTR_VOLTAGE_LEVEL 1250016                            /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_WAVEFORM 1250017                                 /* ViString, read/write, per output phase */
#define HVZELTA_ATTR_VOLTAGE_RANGE 1250018                            /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_PHASE_ANGLE 1250019                              /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_IMPEDANCE_INDUCTIVE 1250020                      /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_IMPEDANCE_ENABLED 1250021                        /* ViBoolean, read/write, per output phase */
#define HVZELTA_ATTR_IMPEDANCE_RESISTIVE 1250022                      /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_CURRENT_PROTECTION_DELAY 1250023                 /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_CURRENT_PROTECTION_ENABLED 1250024               /* ViBoolean, read/write, per output phase */
#define HVZELTA_ATTR_CURRENT_PROTECTION_THRESHOLD 1250025             /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_CURRENT_PROTECTION_TRIPPED 1250026               /* ViBoolean, read-only, per output phase */
#define HVZELTA_ATTR_VOLTAGE_PROTECTION_OVER_ENABLED 1250027          /* ViBoolean, read/write, per output phase */
#define HVZELTA_ATTR_VOLTAGE_PROTECTION_OVER_LIMIT 1250028            /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_VOLTAGE_PROTECTION_UNDER_ENABLED 1250029         /* ViBoolean, read/write, per output phase */
#define HVZELTA_ATTR_VOLTAGE_PROTECTION_UNDER_LIMIT 1250030           /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_VOLTAGE_PROTECTION_TRIPPED 1250031               /* ViBoolean, read-only, per output phase */
#define HVZELTA_ATTR_DC_GENERATION_MODE 1250032                       /* ViInt32, read/write, per output phase, values HVZELTA_VAL_MODE_ */
#define HVZELTA_ATTR_DC_VOLTAGE_LEVEL 1250033                         /* ViReal64, read/write, per output phase */
#define HVZELTA_ATTR_DC_GENERATION_NUM_RANGES 1250035                 /* ViInt32, read-only, per output phase */
#define HVZELTA_ATTR_OUTPUT_PHASE_COUNT 1250036                       /* ViInt32, read-only */
#define HVZELTA_ATTR_VOLTAGE_RAMP_BUSY 1250037                        /* ViBoolean, read-only, per output phase */
#define HVZELTA_ATTR_CURRENT_RAMP_BUSY 1250038                        /* ViBoolean, read-only, per output phase */
#define HVZELTA_ATTR_FREQUENCY_RAMP_BUSY 1250039                      /* ViBoolean, read-only */
#define HVZELTA_ATTR_DC_GENERATION_RANGE_MIN 1250040                  /* ViReal64, read-only, per output phase */
#define HVZELTA_ATTR_DC_GENERATION_RANGE_MAX 1250041                  /* ViReal64, read-only, per output phase */

/* ---- Attribute and parameter values ---------------------------------------- */

/* HVZELTA_ATTR_OUTPUT_AVERAGE, hvzelta_SetAverage */
#define HVZELTA_VAL_AVERAGE_1 1
#define HVZELTA_VAL_AVERAGE_2 2
#define HVZELTA_VAL_AVERAGE_4 4
#define HVZELTA_VAL_AVERAGE_8 8
#define HVZELTA_VAL_AVERAGE_16 16

/* hvzelta_SetAmmeterItem */
#define HVZELTA_VAL_AMMETER_ITEM_RMS 0
#define HVZELTA_VAL_AMMETER_ITEM_AVERAGE 1
#define HVZELTA_VAL_AMMETER_ITEM_PEAK 2
#define HVZELTA_VAL_AMMETER_ITEM_WATTAGE 3

/* hvzelta_SetCouplingMode, hvzelta_CanMeasure */
#define HVZELTA_VAL_COUPLING_MODE_AC 1
#define HVZELTA_VAL_COUPLING_MODE_DC 2
#define HVZELTA_VAL_COUPLING_MODE_ACDC 3
#define HVZELTA_VAL_COUPLING_MODE_EXTERNAL_AC 5
#define HVZELTA_VAL_COUPLING_MODE_EXTERNAL_DC 6

/* hvzelta_SetCurrentLimitBehavior */
#define HVZELTA_VAL_CURRENT_LIMIT_BEHAVIOR_REGULATE 0
#define HVZELTA_VAL_CURRENT_LIMIT_BEHAVIOR_TRIP 1

/* hvzelta_SetHoldTime */
#define HVZELTA_VAL_HOLD_TIME_SHORT 0
#define HVZELTA_VAL_HOLD_TIME_LONG 1

/* HVZELTA_ATTR_OUTPUT_TRIGGER_SOURCE, _ACQUIRE_SOURCE, _TRANSIENT_SOURCE */
#define HVZELTA_VAL_TRIGGER_SOURCE_IMMEDIATE 0
#define HVZELTA_VAL_TRIGGER_SOURCE_SW_TRIG_FUNC 2

/* hvzelta_QueryState */
#define HVZELTA_VAL_OUTPUT_STATE_CONSTANT_VOLTAGE 0
#define HVZELTA_VAL_OUTPUT_STATE_OVER_VOLTAGE 2
#define HVZELTA_VAL_OUTPUT_STATE_OVER_CURRENT 3
#define HVZELTA_VAL_OUTPUT_STATE_UNREGULATED 4
#define HVZELTA_VAL_OUTPUT_STATE_DSP_ERROR 1001
#define HVZELTA_VAL_OUTPUT_STATE_OVER_TEMPERATURE 1002
#define HVZELTA_VAL_OUTPUT_STATE_OVER_POWER 1003
#define HVZELTA_VAL_OUTPUT_STATE_CURRENT_OVERLOAD 1004
#define HVZELTA_VAL_OUTPUT_STATE_POWER_OVERLOAD 1005
#define HVZELTA_VAL_OUTPUT_STATE_CURRENT_PK_OVERLOAD 1006
#define HVZELTA_VAL_OUTPUT_STATE_MEASURING 2001
#define HVZELTA_VAL_OUTPUT_STATE_WAITING_FOR_TRIGGER 2002

/* hvzelta_Measure, hvzelta_Fetch, hvzelta_CanMeasure */
#define HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_DC 0
#define HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_DC 1
#define HVZELTA_VAL_MEASUREMENT_TYPE_POWER_DC 2
#define HVZELTA_VAL_MEASUREMENT_TYPE_FREQUENCY 3
#define HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_AC 1001
#define HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX 1002
#define HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_MAX_HOLD 1003
#define HVZELTA_VAL_MEASUREMENT_TYPE_CURRENT_CREST_FACTOR 1004
#define HVZELTA_VAL_MEASUREMENT_TYPE_VOLTAGE_AC 1011
#define HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC 1021
#define HVZELTA_VAL_MEASUREMENT_TYPE_AC_APPARENT 1022
#define HVZELTA_VAL_MEASUREMENT_TYPE_POWER_AC_REACTIVE 1023
#define HVZELTA_VAL_MEASUREMENT_TYPE_AC_POWER_FACTOR 1024

/* hvzelta_FetchMeasurement */
#define HVZELTA_VAL_MEASURE_VOLTAGE_RMS_LN 0
#define HVZELTA_VAL_MEASURE_CURRENT_RMS 1
#define HVZELTA_VAL_MEASURE_FREQUENCY 2
#define HVZELTA_VAL_MEASURE_VOLTAGE_DC 3
#define HVZELTA_VAL_MEASURE_CURRENT_DC 4
#define HVZELTA_VAL_MEASURE_POWER_FACTOR 5
#define HVZELTA_VAL_MEASURE_CREST_FACTOR 6
#define HVZELTA_VAL_MEASURE_CURRENT_PEAK 7
#define HVZELTA_VAL_MEASURE_POWER_VA 8
#define HVZELTA_VAL_MEASURE_POWER_REAL 9
#define HVZELTA_VAL_MEASURE_POWER_DC 10
#define HVZELTA_VAL_MEASURE_PHASE_ANGLE 11
#define HVZELTA_VAL_MEASURE_VOLTAGE_RMS_LL 12
#define HVZELTA_VAL_MEASURE_CURRENT_OHD 13
#define HVZELTA_VAL_MEASURE_CURRENT_EHD 14
#define HVZELTA_VAL_MEASURE_CURRENT_THD 15
#define HVZELTA_VAL_MEASURE_VOLTAGE_OHD 16
#define HVZELTA_VAL_MEASURE_VOLTAGE_EHD 17
#define HVZELTA_VAL_MEASURE_VOLTAGE_THD 18

/* hvzelta_FetchMeasurementArray */
#define HVZELTA_VAL_MEASURE_ARRAY_CURRENT_HARMONIC_PHASE 0
#define HVZELTA_VAL_MEASURE_ARRAY_CURRENT_HARMONIC_ABS 1
#define HVZELTA_VAL_MEASURE_ARRAY_CURRENT_HARMONIC_PCT 2
#define HVZELTA_VAL_MEASURE_ARRAY_VOLTAGE_HARMONIC_PHASE 3
#define HVZELTA_VAL_MEASURE_ARRAY_VOLTAGE_HARMONIC_ABS 4
#define HVZELTA_VAL_MEASURE_ARRAY_VOLTAGE_HARMONIC_PCT 5
#define HVZELTA_VAL_MEASURE_ARRAY_CURRENT_CYCLE 6
#define HVZELTA_VAL_MEASURE_ARRAY_VOLTAGE_CYCLE 7

/* hvzelta_InitiateMeasurement (bits) */
#define HVZELTA_VAL_MEASUREMENT_GROUP_BASE 1
#define HVZELTA_VAL_MEASUREMENT_GROUP_HARMONIC 2
#define HVZELTA_VAL_MEASUREMENT_GROUP_DISTORTION 4
#define HVZELTA_VAL_MEASUREMENT_GROUP_WAVEFORM 8

/* HVZELTA_ATTR_DC_GENERATION_MODE, hvzelta_ConfigureDC */
#define HVZELTA_VAL_MODE_AC_ONLY 0
#define HVZELTA_VAL_MODE_DC_ONLY 1
#define HVZELTA_VAL_MODE_AC_DC 2

/* hvzelta_QueryArbWaveformCatalog */
#define HVZELTA_VAL_WAVEFORM_CATALOG_FIXED 0
#define HVZELTA_VAL_WAVEFORM_CATALOG_USER 1
#define HVZELTA_VAL_WAVEFORM_CATALOG_ALL 2

/* ---- Sessions and inherent functions -----------------------------------------
 * Buffers of self_test, error_query, revision_query and error_message hold
 * 256 bytes. */

HVZELTA_C_API ViStatus hvzelta_init(ViConstRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* newVi);
HVZELTA_C_API ViStatus hvzelta_InitWithOptions(ViConstRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset,
                                               ViConstString OptionString, ViSession* newVi);
HVZELTA_C_API ViStatus hvzelta_close(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_reset(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_ResetWithDefaults(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_Disable(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_self_test(ViSession vi, ViInt16* TestResult, ViChar TestMessage[]);
HVZELTA_C_API ViStatus hvzelta_error_query(ViSession vi, ViInt32* ErrorCode, ViChar ErrorMessage[]);
HVZELTA_C_API ViStatus hvzelta_revision_query(ViSession vi, ViChar DriverRev[], ViChar InstrRev[]);
HVZELTA_C_API ViStatus hvzelta_error_message(ViSession vi, ViStatus ErrorCode, ViChar ErrorMessage[]);
HVZELTA_C_API ViStatus hvzelta_GetError(ViSession vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]);
HVZELTA_C_API ViStatus hvzelta_ClearError(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_LockSession(ViSession vi, ViBoolean* CallerHasLock);
HVZELTA_C_API ViStatus hvzelta_UnlockSession(ViSession vi, ViBoolean* CallerHasLock);
HVZELTA_C_API ViStatus hvzelta_InvalidateAllAttributes(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_ClearInterchangeWarnings(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_ResetInterchangeCheck(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_GetNextCoercionRecord(ViSession vi, ViInt32 BufferSize, ViChar Record[]);
HVZELTA_C_API ViStatus hvzelta_GetNextInterchangeWarning(ViSession vi, ViInt32 BufferSize, ViChar Warning[]);

/* ---- Attribute access ---------------------------------------------------------- */

HVZELTA_C_API ViStatus hvzelta_SetAttributeViInt32(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                   ViInt32 AttributeValue);
HVZELTA_C_API ViStatus hvzelta_SetAttributeViReal64(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                    ViReal64 AttributeValue);
HVZELTA_C_API ViStatus hvzelta_SetAttributeViBoolean(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                     ViBoolean AttributeValue);
HVZELTA_C_API ViStatus hvzelta_SetAttributeViSession(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                     ViSession AttributeValue);
HVZELTA_C_API ViStatus hvzelta_SetAttributeViString(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                    ViConstString AttributeValue);
HVZELTA_C_API ViStatus hvzelta_GetAttributeViInt32(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                   ViInt32* AttributeValue);
HVZELTA_C_API ViStatus hvzelta_GetAttributeViReal64(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                    ViReal64* AttributeValue);
HVZELTA_C_API ViStatus hvzelta_GetAttributeViBoolean(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                     ViBoolean* AttributeValue);
HVZELTA_C_API ViStatus hvzelta_GetAttributeViSession(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                     ViSession* AttributeValue);
HVZELTA_C_API ViStatus hvzelta_GetAttributeViString(ViSession vi, ViConstString ChannelName, ViAttr AttributeId,
                                                    ViInt32 BufferSize, ViChar AttributeValue[]);

/* ---- Output settings: hvzelta_Get<Property> and hvzelta_Set<Property> ---------
 * One pair per setting, with its HVZELTA_ATTR_OUTPUT_<NAME> identifier when it
 * has one, in a header the build writes from the settings' table
 * (src/acpwr/output_properties.h); src/capi/output_functions.cpp defines the
 * functions, by token pasting, from the same table. */
#include "hvzelta/output_settings.h"

/* ---- Output operations: Val receives the VISA status of the exchange ----------- */

HVZELTA_C_API ViStatus hvzelta_CanMeasure(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                          ViInt32 CouplingMode, ViBoolean* State, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_Fetch(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                     ViReal64* MeasurementVal, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_Measure(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                       ViReal64* MeasurementVal, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_InitiateMeasurement2(ViSession vi, ViConstString ChannelName, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryCurrentLimitMinMax2(ViSession vi, ViConstString ChannelName, ViReal64* Min,
                                                        ViReal64* Max, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryCurrentOffsetMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min,
                                                        ViReal64* Max, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryFrequencyMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min,
                                                    ViReal64* Max, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryVoltageLevelMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min,
                                                       ViReal64* Max, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryVoltageOffsetMinMax(ViSession vi, ViConstString ChannelName, ViReal64* Min,
                                                        ViReal64* Max, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_QueryState(ViSession vi, ViConstString ChannelName, ViInt32 OutputState,
                                          ViBoolean* StatusBit, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_ResetOutputProtection(ViSession vi, ViConstString ChannelName, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_ResetCurrentMaxHold2(ViSession vi, ViConstString ChannelName, ViInt32* Val);

/* ---- Output phases: configure functions apply to every phase the channel name
 * selects; queries answer from the first. ----------------------------------------- */

HVZELTA_C_API ViStatus hvzelta_ConfigureVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 VoltageLevel);
HVZELTA_C_API ViStatus hvzelta_ConfigureVoltageRange(ViSession vi, ViConstString ChannelName, ViReal64 VoltageRange);
HVZELTA_C_API ViStatus hvzelta_ConfigureCurrentLimit(ViSession vi, ViConstString ChannelName, ViReal64 CurrentLimit);
HVZELTA_C_API ViStatus hvzelta_ConfigureOutputEnabled(ViSession vi, ViConstString ChannelName, ViBoolean Enabled);
HVZELTA_C_API ViStatus hvzelta_ConfigurePhaseAngle(ViSession vi, ViConstString ChannelName, ViReal64 PhaseAngle);
HVZELTA_C_API ViStatus hvzelta_ConfigureWaveform(ViSession vi, ViConstString ChannelName, ViConstString WaveformName);
HVZELTA_C_API ViStatus hvzelta_RampVoltage(ViSession vi, ViConstString ChannelName, ViReal64 StartVoltage,
                                           ViReal64 EndVoltage, ViReal64 Duration);
HVZELTA_C_API ViStatus hvzelta_RampCurrent(ViSession vi, ViConstString ChannelName, ViReal64 StartCurrent,
                                           ViReal64 EndCurrent, ViReal64 Duration);
HVZELTA_C_API ViStatus hvzelta_AbortVoltageRamp(ViSession vi, ViConstString ChannelName);
HVZELTA_C_API ViStatus hvzelta_AbortCurrentRamp(ViSession vi, ViConstString ChannelName);
HVZELTA_C_API ViStatus hvzelta_QueryVoltageRampBusy(ViSession vi, ViConstString ChannelName, ViBoolean* Busy);
HVZELTA_C_API ViStatus hvzelta_QueryCurrentRampBusy(ViSession vi, ViConstString ChannelName, ViBoolean* Busy);
HVZELTA_C_API ViStatus hvzelta_QueryVoltageRangeCapabilities(ViSession vi, ViConstString ChannelName, ViInt32 Range,
                                                             ViConstString WaveformName, ViReal64* MinVoltage,
                                                             ViReal64* MaxVoltage);
HVZELTA_C_API ViStatus hvzelta_FetchMeasurement(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                                ViReal64* Measurement);
HVZELTA_C_API ViStatus hvzelta_FetchMeasurementArray(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                                     ViInt32 ArraySize, ViReal64 Measurement[],
                                                     ViInt32* MeasurementActualSize);
HVZELTA_C_API ViStatus hvzelta_ConfigureCurrentProtection(ViSession vi, ViConstString ChannelName, ViBoolean Enabled,
                                                          ViReal64 Threshold, ViReal64 Delay);
HVZELTA_C_API ViStatus hvzelta_ResetCurrentProtection(ViSession vi, ViConstString ChannelName);
HVZELTA_C_API ViStatus hvzelta_QueryCurrentProtectionTripped(ViSession vi, ViConstString ChannelName,
                                                             ViBoolean* Tripped);
HVZELTA_C_API ViStatus hvzelta_ConfigureVoltageProtection(ViSession vi, ViConstString ChannelName,
                                                          ViBoolean UnderEnabled, ViBoolean OverEnabled,
                                                          ViReal64 UnderLimit, ViReal64 OverLimit);
HVZELTA_C_API ViStatus hvzelta_ResetVoltageProtection(ViSession vi, ViConstString ChannelName);
HVZELTA_C_API ViStatus hvzelta_QueryVoltageProtectionTripped(ViSession vi, ViConstString ChannelName,
                                                             ViBoolean* Tripped);
HVZELTA_C_API ViStatus hvzelta_ConfigureOutputImpedance(ViSession vi, ViConstString ChannelName, ViBoolean Enabled,
                                                        ViReal64 ResistiveValue, ViReal64 InductiveValue);
HVZELTA_C_API ViStatus hvzelta_QueryOutputImpedanceCapabilities(ViSession vi, ViConstString ChannelName,
                                                                ViReal64* ResistiveMin, ViReal64* ResistiveMax,
                                                                ViReal64* InductiveMin, ViReal64* InductiveMax);
HVZELTA_C_API ViStatus hvzelta_ConfigureDC(ViSession vi, ViConstString ChannelName, ViInt32 Mode,
                                           ViReal64 DCVoltageLevel);
HVZELTA_C_API ViStatus hvzelta_ConfigureDCRange(ViSession vi, ViConstString ChannelName, ViReal64 Minimum,
                                                ViReal64 Maximum);
HVZELTA_C_API ViStatus hvzelta_QueryDCCapabilities(ViSession vi, ViConstString ChannelName, ViInt32 Range,
                                                   ViReal64* Minimum, ViReal64* Maximum);

/* ---- Functions of the whole instrument ------------------------------------------ */

HVZELTA_C_API ViStatus hvzelta_ConfigureFrequency(ViSession vi, ViReal64 Frequency);
HVZELTA_C_API ViStatus hvzelta_ConfigureFrequencyRange(ViSession vi, ViReal64 FrequencyRange);
HVZELTA_C_API ViStatus hvzelta_QueryFrequencyRangeCapabilities(ViSession vi, ViInt32 Range, ViReal64* MinFrequency,
                                                               ViReal64* MaxFrequency);
HVZELTA_C_API ViStatus hvzelta_RampFrequency(ViSession vi, ViReal64 StartFrequency, ViReal64 EndFrequency,
                                             ViReal64 Duration);
HVZELTA_C_API ViStatus hvzelta_AbortFrequencyRamp(ViSession vi);
HVZELTA_C_API ViStatus hvzelta_QueryFrequencyRampBusy(ViSession vi, ViBoolean* Busy);
HVZELTA_C_API ViStatus hvzelta_InitiateMeasurement(ViSession vi, ViInt32 Group);
HVZELTA_C_API ViStatus hvzelta_GetOutputPhaseName(ViSession vi, ViInt32 Index, ViInt32 BufferSize, ViChar Name[]);
HVZELTA_C_API ViStatus hvzelta_GetOutputName(ViSession vi, ViInt32 Index, ViInt32 BufferSize, ViChar Name[]);
HVZELTA_C_API ViStatus hvzelta_ClearArbWaveform(ViSession vi, ViConstString WaveformName);
HVZELTA_C_API ViStatus hvzelta_QueryArbWaveformCatalog(ViSession vi, ViInt32 CatalogType, ViInt32 BufferSize,
                                                       ViChar Catalog[]);
HVZELTA_C_API ViStatus hvzelta_WriteArbWaveform(ViSession vi, ViConstString WaveformName, ViInt32 WaveformDataSize,
                                                const ViReal64 WaveformData[]);
HVZELTA_C_API ViStatus hvzelta_ConfigureExternalSync(ViSession vi, ViBoolean Enabled, ViReal64 PhaseOffset);
HVZELTA_C_API ViStatus hvzelta_QueryExternalSyncLocked(ViSession vi, ViBoolean* Locked);
HVZELTA_C_API ViStatus hvzelta_Abort(ViSession vi, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_Initiate(ViSession vi, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_SendSoftwareTrigger(ViSession vi, ViInt32* Val);
HVZELTA_C_API ViStatus hvzelta_Recall(ViSession vi, ViInt32 MemNo);
HVZELTA_C_API ViStatus hvzelta_Store(ViSession vi, ViInt32 MemNo);

/* Raw instrument I/O. A read returns at most BufferSize bytes of the reply;
 * the rest of the reply is dropped. */
HVZELTA_C_API ViStatus hvzelta_viWrite(ViSession vi, ViInt64 BufferSize, ViConstBuf Buffer, ViInt64* ReturnCount);
HVZELTA_C_API ViStatus hvzelta_viRead(ViSession vi, ViInt64 BufferSize, ViByte Buffer[], ViInt64* ReturnCount);

#ifdef __cplusplus
}
#endif

#endif /* HVZELTA_H */
