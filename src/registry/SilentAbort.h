// The silent abort: an operation that cannot go on throws this, and the command
// dispatch swallows it without a message.
#pragma once

#include <exception>

namespace vornak {

class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

}  // namespace vornak
