#pragma once

// Why the calling thread's last attempt to reach a device failed, in words a
// user can act on ("connection refused by 127.0.0.1:5025"). The code that
// meets the failure notes it; the library hands it out with the status of
// the failed open. Kept per thread, as errno is.

#include <string>

namespace hvzelta::visa {

void NoteFailureDetail(std::string detail);
// The detail noted last on this thread (empty when none), cleared.
std::string TakeFailureDetail();

}  // namespace hvzelta::visa
