// Every function of the C header (listed at configure time, each parameter's
// role from its type and name) called with invalid sessions, null pointers,
// bad sizes, invalid choices and 100 kB texts. Nothing may crash, every status
// is one the header documents (or a size), a described failure leaves its
// description, and each kind of bad input gives its documented result.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "fault_suite.h"

namespace hvzelta::faults {
namespace {

const std::set<ViStatus> kDocumentedStatuses = {
#define HVZELTA_DOCUMENTED_STATUS(code) code,
#include "api_statuses.inc"
#undef HVZELTA_DOCUMENTED_STATUS
};

enum class Role {
  Session,    // vi
  Attribute,  // AttributeId
  InText,     // a text the function reads
  InBytes,    // bytes the function reads
  InReals,    // values the function reads
  OutText,    // a text buffer the function writes
  OutOther,   // any other place the function writes
  Size,       // the size of a buffer or array
  Choice,     // an enumeration value, an index or a number of a memory
  Plain,      // a number or flag whose every value is meaningful
};

template <class T>
Role RoleOf(std::string_view name) {
  if constexpr (std::is_same_v<T, ViConstString>) return Role::InText;
  if constexpr (std::is_same_v<T, ViConstBuf>) return Role::InBytes;
  if constexpr (std::is_same_v<T, const ViReal64*>) return Role::InReals;
  if constexpr (std::is_same_v<T, ViChar*>) return Role::OutText;
  if constexpr (std::is_pointer_v<T>) return Role::OutOther;
  if constexpr (std::is_same_v<T, ViUInt32>) {
    if (name == "vi") return Role::Session;
    return name == "AttributeId" ? Role::Attribute : Role::Plain;
  }
  if constexpr (std::is_same_v<T, ViInt32> || std::is_same_v<T, ViInt64>) {
    if (name.ends_with("Size")) return Role::Size;
    return name == "ErrorCode" ? Role::Plain : Role::Choice;
  }
  return Role::Plain;
}

// What one call is given; with `None`, a well-formed call on `vi`.
struct Mutation {
  enum Kind { None, Session, Null, EmptyText, Size, Choice, LongText } kind = None;
  std::size_t position = 0;
  long long value = 0;  // the size or choice given
  ViSession session = VI_NULL;
};

constexpr std::size_t kRoom = 1 << 16;  // bytes behind every pointer

class Arguments {
 public:
  Arguments(std::string_view function, ViSession vi, Mutation mutation)
      : function_(function), vi_(vi), mutation_(mutation) {}

  template <class T>
  T Make(std::size_t position, std::string_view name) {
    const Role role = RoleOf<T>(name);
    const bool mutated = mutation_.kind != Mutation::None && mutation_.position == position;
    if constexpr (std::is_pointer_v<T>) {
      if (mutated && mutation_.kind == Mutation::Null) return nullptr;
      if constexpr (std::is_same_v<T, ViConstString>) {
        if (mutated && mutation_.kind == Mutation::LongText) return LongText();
        if (mutated && mutation_.kind == Mutation::EmptyText) return "";
        return Text(name);
      } else {
        // Zeroed room for outputs, "*IDN?\n" or small numbers for inputs.
        auto& room = rooms_.emplace_back(kRoom, 0);
        std::memcpy(room.data(), "*IDN?\n", 6);
        if (role == Role::InReals) std::memset(room.data(), 0, kRoom);
        return reinterpret_cast<T>(room.data());
      }
    } else {
      if (role == Role::Session) return mutated && mutation_.kind == Mutation::Session ? mutation_.session : vi_;
      if (role == Role::Attribute) return AttributeFor(function_);
      if (mutated && (mutation_.kind == Mutation::Size || mutation_.kind == Mutation::Choice)) {
        return static_cast<T>(mutation_.value);
      }
      if (role == Role::Size) return static_cast<T>(4);
      if constexpr (std::is_floating_point_v<T>) return static_cast<T>(1.0);
      return static_cast<T>(role == Role::Choice || name != "ErrorCode" ? 1 : 0);
    }
  }

 private:
  static const char* Text(std::string_view name) {
    if (name == "ResourceName") return "TCPIP::127.0.0.1::5025::SOCKET";
    if (name == "OptionString") return "Simulate=true";
    if (name == "ChannelName") return "";
    return "Sine";
  }
  static const char* LongText() {
    static const std::string text(100 * 1024, 'A');
    return text.c_str();
  }
  // An attribute of the type the function handles that is not read-only, so
  // that the checks of identifier, type and access let the call through.
  static ViAttr AttributeFor(std::string_view function) {
    if (function.ends_with("ViInt32")) return HVZELTA_ATTR_IO_TIMEOUT;
    if (function.ends_with("ViReal64")) return HVZELTA_ATTR_OUTPUT_VOLTAGE_LEVEL;
    if (function.ends_with("ViBoolean")) return HVZELTA_ATTR_RANGE_CHECK;
    if (function.ends_with("ViString")) return HVZELTA_ATTR_WAVEFORM;
    return HVZELTA_ATTR_RANGE_CHECK;  // ViSession: no attribute has that type
  }

  std::string_view function_;
  ViSession vi_;
  Mutation mutation_;
  std::vector<std::vector<unsigned char>> rooms_;
};

struct Parameter {
  std::string name;
  Role role;
};

struct ApiFunction {
  std::string name;
  std::vector<Parameter> parameters;
  ViStatus (*call)(std::string_view name, const std::vector<Parameter>&, ViSession, Mutation);
};

template <class... A, std::size_t... I>
ViStatus Invoke(ViStatus (*function)(A...), Arguments& arguments, const std::vector<Parameter>& parameters,
                std::index_sequence<I...>) {
  // Braces evaluate the arguments left to right.
  const std::tuple<A...> values{arguments.Make<A>(I, parameters[I].name)...};
  return function(std::get<I>(values)...);
}

template <auto Function, class... A>
ApiFunction Describe(ViStatus (*)(A...), const char* name, std::vector<std::string> names) {
  ApiFunction described{name, {}, nullptr};
  std::size_t i = 0;
  ((described.parameters.push_back({names[i], RoleOf<A>(names[i])}), ++i), ...);
  described.call = [](std::string_view function, const std::vector<Parameter>& parameters, ViSession vi,
                      Mutation mutation) {
    Arguments arguments(function, vi, mutation);
    return Invoke(Function, arguments, parameters, std::index_sequence_for<A...>{});
  };
  return described;
}

const std::vector<ApiFunction>& AllFunctions() {
  static const std::vector<ApiFunction> functions = {
#define HVZELTA_API_FUNCTION(function, ...) Describe<&function>(&function, #function, {__VA_ARGS__}),
#include "api_functions.inc"
#undef HVZELTA_API_FUNCTION
  };
  return functions;
}

bool HasSession(const ApiFunction& function) {
  return !function.parameters.empty() && function.parameters[0].role == Role::Session;
}

// The generic failures pass through with whatever description the driver
// gave, which may be none (an invalid range number, for one).
bool MayLackDescription(ViStatus status) {
  return status == HVZELTA_ERROR_INVALID_ARGUMENT || status == HVZELTA_ERROR_UNEXPECTED;
}

class BadInputWalk : public ::testing::Test {
 protected:
  void TearDown() override { hvzelta_close(vi_); }

  // Calls `function` on a fresh simulated session (so that no call's
  // settings steer the next) and checks what holds for any input.
  ViStatus Call(const ApiFunction& function, Mutation mutation, const std::string& what) {
    hvzelta_close(std::exchange(vi_, VI_NULL));
    EXPECT_EQ(hvzelta_InitWithOptions("TCPIP::127.0.0.1::5025::SOCKET", VI_FALSE, VI_FALSE, "Simulate=true", &vi_),
              VI_SUCCESS);
    hvzelta_ClearError(vi_);
    hvzelta_ClearError(VI_NULL);
    const ViStatus status = function.call(function.name, function.parameters, vi_, mutation);
    FaultLedger::Instance().Operation(status);
    const std::string context = function.name + " " + what;
    const bool documented = status >= 0 || kDocumentedStatuses.contains(status) || status == _VI_ERROR;
    EXPECT_TRUE(documented) << context << ": 0x" << std::hex << status << " is not a status of the header";
    // The description belongs to the session, or to the thread when no session was opened.
    const bool ownSession = HasSession(function) && mutation.kind != Mutation::Session;
    // Where the caller gave no place for the handle or the error itself, nothing is stored.
    const bool stores = !(status == HVZELTA_ERROR_NULL_POINTER &&
                          (function.name.starts_with("hvzelta_init") || function.name.starts_with("hvzelta_InitWith") ||
                           function.name == "hvzelta_GetError"));
    if (status < 0 && stores && !MayLackDescription(status) && (ownSession || !HasSession(function))) {
      EXPECT_FALSE(TakeError(ownSession ? vi_ : VI_NULL).empty()) << context << ": 0x" << std::hex << status
                                                                   << " without a description";
    }
    return status;
  }

  ViSession vi_ = VI_NULL;
};

std::string Position(const ApiFunction& function, std::size_t position) {
  return "(" + function.parameters[position].name + ")";
}

// Functions that answer without a session by design.
bool AnswersWithoutSession(const std::string& name, ViSession session) {
  if (name == "hvzelta_error_message") return true;
  return session == VI_NULL && (name == "hvzelta_GetError" || name == "hvzelta_ClearError");
}

TEST_F(BadInputWalk, InvalidSessionsAreRefused) {
  ASSERT_GE(AllFunctions().size(), 132u) << "the table misses functions of the header";
  ASSERT_GE(kDocumentedStatuses.size(), 60u);
  ViSession closed = VI_NULL;
  ASSERT_EQ(hvzelta_InitWithOptions("x", VI_FALSE, VI_FALSE, "Simulate=true", &closed), VI_SUCCESS);
  ASSERT_EQ(hvzelta_close(closed), VI_SUCCESS);
  for (const ViSession session : {ViSession{VI_NULL}, closed, ViSession{0x5EED1234}}) {
    for (const ApiFunction& function : AllFunctions()) {
      if (!HasSession(function)) continue;
      const ViStatus status = Call(function, {Mutation::Session, 0, 0, session}, "session " + std::to_string(session));
      if (AnswersWithoutSession(function.name, session)) continue;
      // No attribute has the session type: the type is refused before the session is looked at.
      const ViStatus expected = function.name.ends_with("AttributeViSession") ? HVZELTA_ERROR_TYPES_DO_NOT_MATCH
                                                                               : HVZELTA_ERROR_INVALID_SESSION_HANDLE;
      EXPECT_EQ(status, expected) << function.name << " session " << session;
    }
  }
}

TEST_F(BadInputWalk, NullPointersGiveTheirDocumentedResults) {
  for (const ApiFunction& function : AllFunctions()) {
    for (std::size_t i = 0; i < function.parameters.size(); ++i) {
      const Parameter& parameter = function.parameters[i];
      const std::string what = "null " + Position(function, i);
      switch (parameter.role) {
        case Role::OutOther: {
          const ViStatus status = Call(function, {Mutation::Null, i}, what);
          if (parameter.name == "CallerHasLock") break;                                  // optional
          if (function.name == "hvzelta_viRead" && parameter.name == "Buffer") break;  // reads and drops
          // The attribute's identifier and type, and the model's features, are checked first.
          if (function.name.ends_with("AttributeViSession") || parameter.name == "Measurement") break;
          EXPECT_EQ(status, HVZELTA_ERROR_NULL_POINTER) << function.name << " " << what;
          break;
        }
        case Role::OutText: {
          // A null buffer is a buffer of size 0: nothing written, the size needed returned.
          const ViStatus status = Call(function, {Mutation::Null, i}, what);
          if (i > 0 && function.parameters[i - 1].role == Role::Size) {
            EXPECT_EQ(status, Call(function, {Mutation::Size, i - 1, 0}, "size 0")) << function.name << " " << what;
          }
          break;
        }
        case Role::InText: {
          const ViStatus status = Call(function, {Mutation::Null, i}, what);
          if (parameter.name == "ResourceName") break;  // a resource must be named
          EXPECT_EQ(status, Call(function, {Mutation::EmptyText, i}, "empty " + Position(function, i)))
              << function.name << ": a null text is the empty text";
          break;
        }
        case Role::InBytes:
        case Role::InReals: Call(function, {Mutation::Null, i}, what); break;
        default: break;
      }
    }
  }
}

TEST_F(BadInputWalk, NegativeAndHugeSizesGiveTheirDocumentedResults) {
  for (const ApiFunction& function : AllFunctions()) {
    for (std::size_t i = 0; i < function.parameters.size(); ++i) {
      if (function.parameters[i].role != Role::Size) continue;
      const bool reads = i + 1 < function.parameters.size() && (function.parameters[i + 1].role == Role::InBytes ||
                                                                 function.parameters[i + 1].role == Role::InReals);
      const bool text = i + 1 < function.parameters.size() && function.parameters[i + 1].role == Role::OutText;
      for (const long long negative : {-1LL, static_cast<long long>(INT_MIN)}) {
        const ViStatus status = Call(function, {Mutation::Size, i, negative}, "negative " + Position(function, i));
        if (text) {
          // The caller vouches for the room: the whole text, as with a size that is large enough.
          EXPECT_EQ(status, Call(function, {Mutation::Size, i, kRoom}, "large")) << function.name;
        } else {
          // Negative sizes count as 0.
          EXPECT_EQ(status, Call(function, {Mutation::Size, i, 0}, "zero")) << function.name;
        }
      }
      // A huge size over a smaller buffer is the caller's lie when the
      // function reads the buffer; where it writes, it writes only what it has.
      if (!reads) Call(function, {Mutation::Size, i, INT_MAX}, "huge " + Position(function, i));
    }
  }
}

// Functions that take any value for a choice on a simulated session by design
// (a setter that sends nothing for a value outside its table, a state query
// answering from the status registers).
const std::set<std::string> kAcceptInvalidChoices = {
    "hvzelta_CanMeasure",      "hvzelta_QueryState",
    "hvzelta_SetAmmeterItem",  "hvzelta_SetAverage",
    "hvzelta_SetHoldTime",     "hvzelta_SetTriggerAcquireSource",
    "hvzelta_SetTriggerTransientSource",
};

TEST_F(BadInputWalk, InvalidChoicesAreErrors) {
  std::set<std::string> accepting;
  for (const ApiFunction& function : AllFunctions()) {
    for (std::size_t i = 0; i < function.parameters.size(); ++i) {
      if (function.parameters[i].role != Role::Choice) continue;
      for (const long long value : {-1LL, 12345LL, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)}) {
        const ViStatus status =
            Call(function, {Mutation::Choice, i, value}, std::to_string(value) + " " + Position(function, i));
        if (status >= 0) accepting.insert(function.name);
      }
    }
  }
  // A new one fails, and so does one that starts refusing.
  EXPECT_EQ(accepting, kAcceptInvalidChoices);
}

TEST_F(BadInputWalk, HundredKilobyteTextsAreHandled) {
  for (const ApiFunction& function : AllFunctions()) {
    for (std::size_t i = 0; i < function.parameters.size(); ++i) {
      if (function.parameters[i].role != Role::InText) continue;
      const ViStatus status = Call(function, {Mutation::LongText, i}, "100 kB " + Position(function, i));
      // No channel has a name that long; attributes without a channel ignore it.
      if (function.parameters[i].name == "ChannelName" && function.name.find("Attribute") == std::string::npos) {
        EXPECT_LT(status, 0) << function.name;
      }
    }
  }
}

}  // namespace
}  // namespace hvzelta::faults
