#pragma once
// The error type of the PCM components.

#include <stdexcept>

namespace tolvak {

/// The error every PCM component raises.
class EAuException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tolvak
