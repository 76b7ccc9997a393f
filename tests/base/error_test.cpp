// The one error type: its kind from its number, the file named once in its message, the
// conversion of any failure in flight, and the carry-on policy.
#include "base/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace tintora::testing {
namespace {

TEST(ErrorTest, TheNumberGivesTheKind) {
    const struct {
        HRESULT code;
        ErrorKind kind;
    } cases[] = {{D3DERR_INVALIDCALL, ErrorKind::InvalidCall},
                 {D3DXERR_INVALIDDATA, ErrorKind::InvalidData},
                 {E_FAIL, ErrorKind::FileSystem},
                 {E_OUTOFMEMORY, ErrorKind::OutOfMemory},
                 {kErrOutOfMemory, ErrorKind::OutOfMemory},
                 {kErrOverflow, ErrorKind::Runtime},
                 {kErrObjectNotSet, ErrorKind::Runtime},
                 {D3DERR_WRONGTEXTUREFORMAT, ErrorKind::Device}};
    for (const auto& c : cases) EXPECT_EQ(PlatformError(c.code, "x").kind(), c.kind) << c.code;
}

TEST(ErrorTest, AFileIsNamedOnceAndQuoted) {
    const PlatformError named(E_FAIL, "cannot load", "a b.bmp", "not enough memory");
    EXPECT_STREQ(named.what(), "cannot load \"a b.bmp\": not enough memory");
    EXPECT_EQ(named.file(), "a b.bmp");
    EXPECT_EQ(named.reason(), "not enough memory");
    // A reason that names the file already stays as it is; without a verb, a report line.
    EXPECT_EQ(NamingFile("cannot load", "a.bmp", "\"a.bmp\" is cut"), "\"a.bmp\" is cut");
    EXPECT_EQ(NamingFile("", "a.bmp", "unknown error"), "a.bmp: unknown error");
    EXPECT_EQ(NamingFile("", "", "cannot open \"m.png\""), "cannot open \"m.png\"");
}

TEST(ErrorTest, AnyFailureInFlightBecomesOneError) {
    const auto current = [](auto&& thrower) {
        try {
            thrower();
        } catch (...) {
            return CurrentErrorNaming("cannot save", "out.dds");
        }
        return PlatformError(0, "nothing thrown");
    };
    const PlatformError full = current([] { throw std::bad_alloc(); });
    EXPECT_EQ(full.code(), kErrOutOfMemory);
    EXPECT_STREQ(full.what(), "cannot save \"out.dds\": Out of memory");
    EXPECT_EQ(current([] { throw std::runtime_error("disk"); }).code(), E_FAIL);
    EXPECT_EQ(current([] { throw PlatformError(kErrOverflow, "Overflow"); }).code(), kErrOverflow);
    EXPECT_EQ(current([] { throw 3; }).reason(), "unknown error");
}

TEST(ErrorTest, CarryingOnDropsTheFailureAndSaysSo) {
    int ran = 0;
    EXPECT_TRUE(CarryOnAfterFailure([&] { ++ran; }));
    EXPECT_FALSE(CarryOnAfterFailure([&] {
        ++ran;
        throw PlatformError(E_FAIL, "skipped");
    }));
    EXPECT_EQ(ran, 2);
}

}  // namespace
}  // namespace tintora::testing
