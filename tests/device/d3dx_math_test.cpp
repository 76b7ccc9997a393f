// The D3DX matrix helpers, by where they send points (left-handed, row vectors).
#include "device/d3dx_math.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tintora {
namespace {

constexpr float kQuarter = std::numbers::pi_v<float> / 2.0f;

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 v) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& want) {
    EXPECT_NEAR(got.x, want.x, 1e-5f);
    EXPECT_NEAR(got.y, want.y, 1e-5f);
    EXPECT_NEAR(got.z, want.z, 1e-5f);
}

D3DXMATRIX Perspective(float aspect) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, kQuarter, aspect, 1.0f, 10000.0f);
    return m;
}

D3DXMATRIX LookAt(D3DXVECTOR3 eye) {
    const D3DXVECTOR3 at{0.0f, 0.0f, 0.0f};
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    return m;
}

D3DXMATRIX Rotation(D3DXMATRIX* (*rotate)(D3DXMATRIX*, float)) {
    D3DXMATRIX m;
    rotate(&m, kQuarter);
    return m;
}

D3DXMATRIX YawPitchRoll(float yaw, float pitch, float roll) {
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
    return m;
}

// Translate by x + 1, then scale x by 2 (Multiply applies its first matrix first).
D3DXMATRIX TranslateThenScale() {
    D3DXMATRIX translate, scale, both;
    D3DXMatrixIdentity(&translate);
    D3DXMatrixIdentity(&scale);
    translate.m[3][0] = 1.0f;
    scale.m[0][0] = 2.0f;
    D3DXMatrixMultiply(&both, &translate, &scale);
    return both;
}

TEST(D3DXMath, MatricesSendPointsWhereExpected) {
    const float q = kQuarter;
    const struct {
        const char* name;
        D3DXMATRIX m;
        D3DXVECTOR3 in, out;
    } cases[] = {
        // A quarter-turn field of view: the near plane to depth 0, the far plane to 1, the top
        // edge of the view to y = 1; the aspect divides x.
        {"near plane", Perspective(1), {0, 0, 1}, {0, 0, 0}},
        {"far plane", Perspective(1), {0, 0, 10000}, {0, 0, 1}},
        {"top edge", Perspective(1), {0, 5, 5}, {0, 1, 10000.0f / 9999.0f * 0.8f}},
        {"aspect", Perspective(2), {5, 5, 5}, {0.5f, 1, 10000.0f / 9999.0f * 0.8f}},
        // +x stays to the right and +y up when looking down +z; from +x, world +z is right.
        {"look at origin", LookAt({0, 0, -5}), {0, 0, 0}, {0, 0, 5}},
        {"look at, x", LookAt({0, 0, -5}), {1, 0, 0}, {1, 0, 5}},
        {"look at, y", LookAt({0, 0, -5}), {0, 1, 0}, {0, 1, 5}},
        {"look at from +x", LookAt({10, 0, 0}), {0, 0, 1}, {1, 0, 10}},
        // Looking along the positive axis a positive angle turns clockwise.
        {"about z", Rotation(D3DXMatrixRotationZ), {1, 0, 0}, {0, 1, 0}},
        {"about x", Rotation(D3DXMatrixRotationX), {0, 1, 0}, {0, 0, 1}},
        {"about y", Rotation(D3DXMatrixRotationY), {0, 0, 1}, {1, 0, 0}},
        // Roll, then pitch, then yaw; each case tells one order from the opposite one.
        {"roll then pitch", YawPitchRoll(0, q, q), {1, 0, 0}, {0, 0, 1}},
        {"pitch then yaw", YawPitchRoll(q, q, 0), {0, 1, 0}, {1, 0, 0}},
        {"roll then yaw", YawPitchRoll(q, 0, q), {1, 0, 0}, {0, 1, 0}},
        {"all three, z", YawPitchRoll(q, q, q), {0, 0, 1}, {0, -1, 0}},
        {"all three, y", YawPitchRoll(q, q, q), {0, 1, 0}, {0, 0, 1}},
        {"multiply order", TranslateThenScale(), {1, 0, 0}, {4, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectNear(Apply(c.m, c.in), c.out);
    }
}

// With the eye on the target there is no direction: every point goes to the origin, no NaN.
TEST(D3DXMath, LookAtWithTheEyeOnTheTargetIsFinite) {
    const D3DXVECTOR3 eye{1.0f, 2.0f, 3.0f};
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &eye, &up);
    D3DXVECTOR4 out;
    const D3DXVECTOR3 point{7.0f, -3.0f, 2.0f};
    D3DXVec3Transform(&out, &point, &m);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    EXPECT_EQ(out.w, 1.0f);
}

TEST(D3DXMath, VectorHelpers) {
    const D3DXVECTOR3 x{1.0f, 0.0f, 0.0f};
    const D3DXVECTOR3 y{0.0f, 1.0f, 0.0f};
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &x, &y);
    ExpectNear(out, {0.0f, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&x, &y), 0.0f);
    const D3DXVECTOR3 v{3.0f, 0.0f, 4.0f};
    D3DXVec3Normalize(&out, &v);
    ExpectNear(out, {0.6f, 0.0f, 0.8f});
    const D3DXVECTOR3 zero{};
    D3DXVec3Normalize(&out, &zero);
    ExpectNear(out, {0.0f, 0.0f, 0.0f});
}

}  // namespace
}  // namespace tintora
