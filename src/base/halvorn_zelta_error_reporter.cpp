#include "base/halvorn_zelta_error_reporter.h"

namespace hvzelta {

CHalvornZeltaErrorReporter::CHalvornZeltaErrorReporter(const ICallContextProvider& callContext)
    : CErrorReporter(HalvornZeltaMessages(), L"HalvornZelta.HalvornZelta.1", L"HalvornZelta.chm", callContext) {}

}  // namespace hvzelta
