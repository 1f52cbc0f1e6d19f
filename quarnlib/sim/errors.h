// errors.h - the constant English texts of the capture library's statuses.
#pragma once

namespace quarnsim {

// Never null; a generic text for a status the library does not return.
const char* ErrorText(int status);
// The text ErrorText gives for a status it does not know.
const char* UnknownErrorText();

}  // namespace quarnsim
