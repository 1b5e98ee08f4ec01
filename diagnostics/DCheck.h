// Check-failure messages. A message is collected as
//   ":" source "(" line ")] " text "\n"
// and sent as one untagged debug trace line from source "dcheck", line 30.
// A failed check is reported and the caller carries on: nothing here stops
// the process.
#pragma once

#include <sstream>

#include "base/RvText.h"

class CheckMessageStream {
public:
    CheckMessageStream(const char* source, int line);
    ~CheckMessageStream();
    CheckMessageStream(const CheckMessageStream&) = delete;
    CheckMessageStream& operator=(const CheckMessageStream&) = delete;

    template <typename T>
    CheckMessageStream& operator<<(const T& value) {
        m_stream << value;
        return *this;
    }

private:
    std::basic_ostringstream<RvChar> m_stream;
};

// Reports a failed check; stream the rest of the message into it:
//   RV_CHECK_FAILED("at_exit", 45, "false") << "Tried to ...";
#define RV_CHECK_FAILED(source, line, condition) \
    CheckMessageStream(source, line) << "Check failed: " condition ". "
