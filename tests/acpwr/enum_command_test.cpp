#include "acpwr/enum_command.h"

#include <gtest/gtest.h>

#include "base/halvorn_zelta_error_reporter.h"
#include "hvzelta/enums.h"
#include "hvzelta/status.h"
#include "support/error_text.h"

namespace hvzelta {
namespace {

using testing::LastError;

class EnumConverterTest : public ::testing::Test {
 protected:
  std::string Word(std::string_view name, std::string_view context, std::int32_t value) {
    const CEnumCommandConverter* converter = FindEnumConverter(name, context);
    if (!converter) return "<no converter>";
    std::string word;
    const HRESULT hr = converter->FormatEnum(reporter_, &member_, "ZTA100", value, IsSixteenBitEnum(name), word);
    return Succeeded(hr) ? word : "<failed>";
  }
  std::int32_t Value(std::string_view name, std::string_view context, std::string_view word) {
    std::int32_t value = 12345;
    const CEnumCommandConverter* converter = FindEnumConverter(name, context);
    if (!converter || Failed(converter->ParseEnum(reporter_, name, "ZTA300", word, value))) return 12345;
    return value;
  }

  testing::NoCallContext context_;
  CHalvornZeltaErrorReporter reporter_{context_};
  MemberDescriptor member_{GUID_NULL, "IHalvornZeltaOutput", MemberKind::Putter, "Enabled"};
};

// The words themselves are the command-line test's; here the lookups by
// name and context, the 16-bit wrap, and what is refused.
TEST_F(EnumConverterTest, LookupsByNameAndContext) {
  const struct {
    const char* name;
    const char* context;
    std::int32_t value;
    const char* word;
  } words[] = {
      {"VARIANT_BOOL", "", 65535, "1"},  // the 16-bit value wraps before the lookup: 65535 is -1
      {"VARIANT_BOOL", "IHalvornZeltaOutput.SyncEnabled", VARIANT_TRUE, "PHAS"},
      {"CouplingModeEnum", "IHalvornZeltaOutput.CouplingMode", HalvornZeltaCouplingModeExternalDC, "EXTDC"},
      {"TriggerSource", "", HalvornZeltaTriggerSourceSwTrigFunc, "BUS"},
      {"HalvornZeltaCouplingModeEnum", "", 4, "<failed>"},
      {"CouplingMode", "IHalvornZeltaOutput.Frequency", 1, "<no converter>"},
  };
  for (const auto& w : words) EXPECT_EQ(Word(w.name, w.context, w.value), w.word) << w.name << " " << w.value;
  EXPECT_EQ(Word("VARIANT_BOOL", "", 2), "<failed>");
  EXPECT_EQ(LastError(), "HalvornZelta: Invalid value '2' for method 'put_Enabled', parameter 'nVal'.");

  EXPECT_EQ(Value("VARIANT_BOOL", "IIviACPwrOutputPhase.Enabled", "1\n"), VARIANT_TRUE);
  EXPECT_EQ(Value("VARIANT_BOOL", "IHalvornZeltaOutput.SyncEnabled", "  IMM "), 0);
  EXPECT_EQ(Value("HalvornZeltaCouplingModeEnum", "", "ac"), 12345) << "case matters";
  EXPECT_EQ(LastError(),
            "HalvornZelta: Unexpected response from the instrument.\r\n"
            "Unexpected value 'ac' for enum 'HalvornZeltaCouplingModeEnum'.");
  EXPECT_EQ(FindEnumConverter("CouplingMode", "")->MaxWordLength(), 5u) << "the longest word, EXTAC";
  for (const char* name : {"HalvornZeltaAverage", "IviACPwrMeasurementTypeEnum", "Nonsense"}) {
    EXPECT_EQ(FindEnumConverter(name, ""), nullptr) << name;
  }
  const CEnumCommandConverter* visa = FindEnumConverter("VisaStatusCode", "IHalvornZeltaTrigger.Abort");
  ASSERT_NE(visa, nullptr);
  EXPECT_EQ(visa->MaxWordLength(), 0u);
}

}  // namespace
}  // namespace hvzelta
