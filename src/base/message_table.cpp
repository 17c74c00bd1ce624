#include "base/message_table.h"

namespace hvzelta {

namespace {

// Texts as the message resource holds them, trailing CR LF included. The C
// interface words the same failures in a table of its own
// (capi/c_messages.cpp); the two differ word for word on purpose, odd
// spellings and double spaces included, because programs compare these exact
// texts. Keep the tables apart and correct no text in either.
constexpr MessageRow kMessages[] = {
    {1, MakeHresult(0x00000000u), 0, "HalvornZelta: Success.\r\n"},
    {2, MakeHresult(0x80047000u), 0, "HalvornZelta: Unrecoverable failure.\r\n"},
    {3, MakeHresult(0x80047001u), 0, "HalvornZelta: Instrument error detected.  Use ErrorQuery() to determine error(s).\r\n"},
    {4, MakeHresult(0x80047002u), 0, "HalvornZelta: Cannot open file.\r\n"},
    {5, MakeHresult(0x80047003u), 0, "HalvornZelta: Error reading file.\r\n"},
    {6, MakeHresult(0x80047004u), 0, "HalvornZelta: Error writing file.\r\n"},
    {7, MakeHresult(0x8004700Bu), 0, "HalvornZelta: The path name is invalid.\r\n"},
    {8, MakeHresult(0x80047010u), 0, "HalvornZelta: Invalid value '%1' for method '%2', parameter '%3'.\r\n"},
    {9, MakeHresult(0x80047011u), 0, "HalvornZelta: Does not support this class-compliant feature: method '%1'.\r\n"},
    {10, MakeHresult(0x80047012u), 0, "HalvornZelta: Does not support this class-compliant feature: property '%1'.\r\n"},
    {11, MakeHresult(0x80047013u), 0, "HalvornZelta: Does not support this class-compliant feature: Enumeration value '%1' passed as the value for parameter '%2' in method '%3'.\r\n"},
    {12, MakeHresult(0x8004701Du), 0, "HalvornZelta: A connection to the instrument has not been established.\r\n"},
    {13, MakeHresult(0x80047020u), 0, "HalvornZelta: Unknown channel name.\r\n"},
    {14, MakeHresult(0x80047023u), 0, "HalvornZelta: Too many files are opened.\r\n"},
    {15, MakeHresult(0x80047044u), 0, "HalvornZelta: A channel name is required.\r\n"},
    {16, MakeHresult(0x80047049u), 0, "HalvornZelta: The option string is missing an option name.\r\n"},
    {17, MakeHresult(0x8004704Au), 0, "HalvornZelta: The option string is missing an option value.\r\n"},
    {18, MakeHresult(0x8004704Bu), 0, "HalvornZelta: The '%1' name in the option string is unknown.\r\n"},
    {19, MakeHresult(0x8004704Cu), 0, "HalvornZelta: The '%1' value in the option string is unknown.\r\n"},
    {20, MakeHresult(0x80047056u), 0, "HalvornZelta: Could not allocate necessary memory.\r\n"},
    {21, MakeHresult(0x80047057u), 0, "HalvornZelta: Operation in progress.\r\n"},
    {22, MakeHresult(0x80047058u), 0, "HalvornZelta: Null pointer passed for method '%1', parameter '%2'.\r\n"},
    {23, MakeHresult(0x80047059u), 0, "HalvornZelta: Unexpected response from the instrument.\r\n"},
    {24, MakeHresult(0x8004705Bu), 0, "HalvornZelta: File not found.\r\n"},
    {25, MakeHresult(0x8004705Cu), 0, "HalvornZelta: Invalid file format.\r\n"},
    {26, MakeHresult(0x8004705Du), 0, "HalvornZelta: The instrument status is not available.\r\n"},
    {27, MakeHresult(0x8004705Eu), 0, "HalvornZelta: Instrument ID query failed.\r\n"},
    {28, MakeHresult(0x8004705Fu), 0, "HalvornZelta: Instrument reset failed.\r\n"},
    {29, MakeHresult(0x80047060u), 0, "HalvornZelta: Unknown resource.\r\n"},
    {30, MakeHresult(0x80047061u), 0, "HalvornZelta: The driver is already initialized.\r\n"},
    {31, MakeHresult(0x80047062u), 0, "HalvornZelta: The simulation state cannot be changed.\r\n"},
    {32, MakeHresult(0x80047063u), 0, "HalvornZelta: The number of levels in the selector is not valid for the '%1' repeated capability.\r\n"},
    {33, MakeHresult(0x80047064u), 0, "HalvornZelta: The range '%1' is not valid for the repeated capability '%2'.\r\n"},
    {34, MakeHresult(0x80047065u), 0, "HalvornZelta: Unknown name in selector.\r\n"},
    {35, MakeHresult(0x80047066u), 0, "HalvornZelta: The repeated capability selector is badly-formed.\r\n"},
    {36, MakeHresult(0x80047067u), 0, "HalvornZelta: Unknown physical repeated capability selector.\r\n"},
    {37, MakeHresult(0x00047065u), 0, "HalvornZelta: ID Query is not supported by this instrument.\r\n"},
    {38, MakeHresult(0x00047066u), 0, "HalvornZelta: Reset is not supported by this instrument.\r\n"},
    {39, MakeHresult(0x00047067u), 0, "HalvornZelta: Self test is not supported by this instrument.\r\n"},
    {40, MakeHresult(0x00047068u), 0, "HalvornZelta: Error query is not supported by this instrument.\r\n"},
    {41, MakeHresult(0x00047069u), 0, "HalvornZelta: Firmware revision query is not supported by this instrument.\r\n"},
    {42, MakeHresult(0x80044214u), 3, "HalvornZelta: I/O error: %1.\r\n"},
    {43, MakeHresult(0x80044215u), 3, "HalvornZelta: I/O timeout error: %1.\r\n"},
    {44, MakeHresult(0x80044216u), 3, "HalvornZelta: Instrument model does not support this feature: %1.\r\n"},
    {45, MakeHresult(0x80042006u), 0, "HalvornZelta: Unable to fetch the requested measurement type because a measurement of the required group has not been initiated.\r\n"},
    {46, MakeHresult(0x8004200Bu), 0, "HalvornZelta: One or more of the requested measurement groups are not supported.\r\n"},
    {47, MakeHresult(0x80042007u), 0, "HalvornZelta: Cannot fetch the requested measurement type because it is not supported.\r\n"},
    {48, MakeHresult(0x8004200Eu), 0, "HalvornZelta: The waveform is currently in use.\r\n"},
    {49, MakeHresult(0x80042010u), 0, "HalvornZelta: The waveform cannot be cleared because it is a vendor defined fixed waveform.\r\n"},
    {50, MakeHresult(0x8004200Fu), 0, "HalvornZelta: The specified waveform name is not currently stored in the power source.\r\n"},
    {51, MakeHresult(0x80042004u), 0, "HalvornZelta: A waveform with the same name is already stored.\r\n"},
    {52, MakeHresult(0x80042008u), 0, "HalvornZelta: The waveform memory is full.\r\n"},
    {53, MakeHresult(0x80042005u), 0, "HalvornZelta: The specified waveform name is invalid.\r\n"},
    {54, MakeHresult(0x80042002u), 0, "HalvornZelta: The power source does not allow setting output phases independently for this function or property. You must specify  the \"All Phases\" output phase.\r\n"},
    {55, MakeHresult(0x8004200Au), 0, "HalvornZelta: Unable to return the requested value because all phases for that property are not presently the same.\r\n"},
    {56, MakeHresult(0x8004200Cu), 0, "HalvornZelta: The power source voltage protection has tripped.\r\n"},
    {57, MakeHresult(0x80042003u), 0, "HalvornZelta: The power source current protection has tripped.\r\n"},
    {58, MakeHresult(0x80042009u), 0, "HalvornZelta: The power source output is presently enabled and the operation requires the output be disabled. Set the Output Enabled property to False then retry the operation\r\n"},
    {59, MakeHresult(0x8004200Du), 0, "HalvornZelta: The waveform cannot be written because it contains a DC offset.\r\n"},
    {60, MakeHresult(0x80042001u), 0, "HalvornZelta: Cannot apply to AllPhases. Use specific output phase.\r\n"},
};

}  // namespace

std::span<const MessageRow> HalvornZeltaMessages() { return kMessages; }

}  // namespace hvzelta
