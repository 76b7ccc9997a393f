// The one error type of the program, the one way to name a file in a message, and the one policy
// for carrying on after a failure.
//
// Every failure is a PlatformError: its number (a Direct3D result code, negative as a 32-bit
// signed number, or one of the runtime's small error numbers below), the file it concerns (empty
// when none) and the reason, with what() the whole text the user sees. The number decides the
// kind, which callers use to tell a damaged file from a full disk without reading the text.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "base/d3d8_types.h"

namespace tintora {

// The runtime's error numbers, used where the program overflows, indexes or dereferences what is
// not there, or runs out of memory.
constexpr HRESULT kErrOverflow = 6;
constexpr HRESULT kErrOutOfMemory = 7;
constexpr HRESULT kErrSubscriptOutOfRange = 9;
constexpr HRESULT kErrDivisionByZero = 11;
constexpr HRESULT kErrObjectNotSet = 91;

enum class ErrorKind {
    InvalidCall,  // a bad argument or a call out of order (D3DERR_INVALIDCALL and the like)
    InvalidData,  // a file's contents are unsupported, damaged or truncated
    FileSystem,   // reading or writing a file failed (E_FAIL)
    OutOfMemory,  // E_OUTOFMEMORY or the runtime's "Out of memory"
    Runtime,      // one of the runtime's error numbers (overflow, subscript, object not set...)
    Device,       // any other Direct3D result
};

// "\"name\"": file names in messages are quoted so that spaces and odd characters show.
std::string QuotedName(const std::string& fileName);

// reason, prefixed with `<verb> "<file>": ` unless it already names the file (most messages of
// the readers and writers do) or the name is empty: "cannot load \"a.bmp\": not enough memory".
// Without a verb the prefix is `<file>: `, the form of a report line per file ("a.bmp: not
// enough memory").
std::string NamingFile(const std::string& verb, const std::string& fileName,
                       const std::string& reason);

class PlatformError : public std::runtime_error {
  public:
    PlatformError(HRESULT code, const std::string& message)
        : std::runtime_error(message), code_(code), reason_(message) {}

    // An error about a file: what() is NamingFile(verb, fileName, reason).
    PlatformError(HRESULT code, const std::string& verb, const std::string& fileName,
                  const std::string& reason)
        : std::runtime_error(NamingFile(verb, fileName, reason)),
          code_(code),
          file_(fileName),
          reason_(reason) {}

    HRESULT code() const noexcept { return code_; }
    ErrorKind kind() const noexcept;
    // The file the error concerns; empty when none was named.
    const std::string& file() const noexcept { return file_; }
    // The message without the file's name in front.
    const std::string& reason() const noexcept { return reason_; }

  private:
    HRESULT code_;
    std::string file_;
    std::string reason_;
};

// Throws PlatformError(code, message) unless condition holds.
inline void Require(bool condition, HRESULT code, const std::string& message) {
    if (!condition) throw PlatformError(code, message);
}

// A failure in flight as a PlatformError: a PlatformError as it is, a failed allocation as
// kErrOutOfMemory "Out of memory", anything else as E_FAIL with its text. Call only inside a
// catch block.
PlatformError CurrentError();

// The same failure about fileName: the error's number and reason, the message naming the file
// (see NamingFile). Call only inside a catch block.
PlatformError CurrentErrorNaming(const std::string& verb, const std::string& fileName);

// The policy for steps whose failure must not stop what runs them (a redraw inside a colour
// change, one step of a preview frame, a resize of the preview): runs step and drops any
// exception it throws. Returns false when the step failed.
template <typename Step>
bool CarryOnAfterFailure(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {  // NOLINT(bugprone-empty-catch): dropping the failure is the policy
        return false;
    }
}

}  // namespace tintora
