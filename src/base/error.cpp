#include "base/error.h"

namespace tintora {

std::string QuotedName(const std::string& fileName) {
    return "\"" + fileName + "\"";
}

std::string NamingFile(const std::string& verb, const std::string& fileName,
                       const std::string& reason) {
    if (reason.find(fileName) != std::string::npos) return reason;  // an empty name too
    if (verb.empty()) return fileName + ": " + reason;
    return verb + " " + QuotedName(fileName) + ": " + reason;
}

ErrorKind PlatformError::kind() const noexcept {
    switch (code_) {
        case D3DERR_INVALIDCALL:
            return ErrorKind::InvalidCall;
        case D3DXERR_INVALIDDATA:
            return ErrorKind::InvalidData;
        case E_FAIL:
            return ErrorKind::FileSystem;
        case E_OUTOFMEMORY:
        case kErrOutOfMemory:
            return ErrorKind::OutOfMemory;
        default:
            return code_ > 0 && code_ < 1000 ? ErrorKind::Runtime : ErrorKind::Device;
    }
}

PlatformError CurrentError() {
    try {
        throw;
    } catch (const PlatformError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return PlatformError(kErrOutOfMemory, "Out of memory");
    } catch (const std::exception& error) {
        return PlatformError(E_FAIL, error.what());
    } catch (...) {
        return PlatformError(E_FAIL, "unknown error");
    }
}

PlatformError CurrentErrorNaming(const std::string& verb, const std::string& fileName) {
    const PlatformError error = CurrentError();
    return PlatformError(error.code(), verb, fileName, error.what());
}

}  // namespace tintora
