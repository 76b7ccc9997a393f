// Errors of the platform layer: an exception carrying a numeric code and a readable message.
//
// Device and D3DX calls that fail throw PlatformError with the Direct3D result code (an HRESULT,
// negative as a 32-bit signed number) so that the caller can show "error number and description"
// exactly as a failing Direct3D call would be reported.
#pragma once

#include <stdexcept>
#include <string>

#include "base/d3d8_types.h"

namespace tintora {

class PlatformError : public std::runtime_error {
  public:
    PlatformError(HRESULT code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    HRESULT code() const noexcept { return code_; }

  private:
    HRESULT code_;
};

// Throws PlatformError(code, message) unless condition holds.
inline void Require(bool condition, HRESULT code, const std::string& message) {
    if (!condition) throw PlatformError(code, message);
}

}  // namespace tintora
