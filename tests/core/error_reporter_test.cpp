#include <gtest/gtest.h>

#include "base/call_context.h"
#include "base/halvorn_zelta_error_reporter.h"
#include "hvzelta/com/error_info.h"
#include "hvzelta/status.h"

namespace hvzelta {
namespace {

constexpr IID kRunningInterface{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

class FixedContext : public ICallContextProvider {
 public:
  IID GetCallContext() const override { return kRunningInterface; }
  const MemberDescriptor* CurrentMember() const override { return nullptr; }
};

class ErrorReporterTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrorInfo(); }
  std::wstring Description() const {
    const ErrorInfo* info = PeekErrorInfo();
    return info ? info->description : L"<none>";
  }
  FixedContext context_;
  CHalvornZeltaErrorReporter reporter_{context_};
};

TEST_F(ErrorReporterTest, PlacesInsertsAndSetsTheThreadsErrorInformation) {
  EXPECT_EQ(reporter_.Report(Message::InvalidValue, {}, {"5", "put_Foo", "Val"}), E_IVI_INVALID_VALUE);
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value '5' for method 'put_Foo', parameter 'Val'.");
  const ErrorInfo* info = PeekErrorInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->source, L"HalvornZelta.HalvornZelta.1");
  EXPECT_EQ(info->interfaceId, kRunningInterface);
  EXPECT_TRUE(info->helpFile.empty());
  EXPECT_EQ(info->helpContext, 0u);

  // Added text follows on its own line; inserts are taken as they stand.
  EXPECT_EQ(reporter_.Report(Message::IdQueryFailed, "Unrecognized model: XYZ."), E_IVI_ID_QUERY_FAILED);
  EXPECT_EQ(Description(), L"HalvornZelta: Instrument ID query failed.\r\nUnrecognized model: XYZ.");
  reporter_.ReportNullPointer("%2", "x");
  EXPECT_EQ(Description(), L"HalvornZelta: Null pointer passed for method '%2', parameter 'x'.");
  reporter_.Report(Message::InvalidValue, {}, {"5"});
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value '5' for method '', parameter ''.") << "a place without an insert";
  // I/O failures point into the help file.
  EXPECT_EQ(reporter_.Report(Message::IoTimeout, {}, {"no answer"}), E_HALVORNZELTA_IO_TIMEOUT);
  EXPECT_EQ(PeekErrorInfo()->helpFile, L"HalvornZelta.chm");
  // Warnings are successes; success itself is no message to report.
  EXPECT_GT(reporter_.Report(Message::ResetNotSupported), 0);
  EXPECT_EQ(reporter_.Report(Message::Success), DISP_E_EXCEPTION);
}

TEST_F(ErrorReporterTest, UnknownNumbersGiveTheInternalErrorText) {
  EXPECT_EQ(reporter_.Report(61, {}, {}), E_UNEXPECTED);
  EXPECT_EQ(reporter_.Report(0, {}, {}), E_UNEXPECTED);
  const std::wstring text = Description();
  EXPECT_EQ(text.rfind(L"Internal Error: Unable to retrieve and format error message from message table.\n"
                       L"Resource ID = 0\nLanguage ID = 0\nReason = '",
                       0),
            0u)
      << std::string(text.begin(), text.end());
}

TEST_F(ErrorReporterTest, TypedInvalidValueReportsWriteTheValue) {
  reporter_.ReportInvalidInteger("Name", "Index", -3);
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value '-3' for method 'Name', parameter 'Index'.");
  reporter_.ReportInvalidReal("put_VoltageLevel", "val", 0.1);
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value '0.1' for method 'put_VoltageLevel', parameter 'val'.");
  reporter_.ReportInvalidBoolean("m", "p", true);
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value 'True' for method 'm', parameter 'p'.");
  reporter_.ReportInvalidWideText("m", "p", L"V\u00e9");
  EXPECT_EQ(Description(), L"HalvornZelta: Invalid value 'V\u00e9' for method 'm', parameter 'p'.");
}

}  // namespace
}  // namespace hvzelta
