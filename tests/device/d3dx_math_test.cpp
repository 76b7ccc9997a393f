#include "device/d3dx_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tintora {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTolerance = 1e-5f;

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 v) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& want) {
    EXPECT_NEAR(got.x, want.x, kTolerance);
    EXPECT_NEAR(got.y, want.y, kTolerance);
    EXPECT_NEAR(got.z, want.z, kTolerance);
}

TEST(D3DXMath, PerspectiveFovLH) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, kPi / 2.0f, 1.0f, 1.0f, 10000.0f);
    // cot(pi / 4) = 1 on both axes; depth zf / (zf - zn) and -zn zf / (zf - zn); w = z.
    const float want[4][4] = {
        {1.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, 1.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 10000.0f / 9999.0f, 1.0f},
        {0.0f, 0.0f, -10000.0f / 9999.0f, 0.0f},
    };
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(m.m[r][c], want[r][c], kTolerance) << "m[" << r << "][" << c << "]";
        }
    }
    // Near plane to depth 0, far plane to 1; a point on the top edge of the view to y = 1.
    EXPECT_NEAR(Apply(m, {0.0f, 0.0f, 1.0f}).z, 0.0f, kTolerance);
    EXPECT_NEAR(Apply(m, {0.0f, 0.0f, 10000.0f}).z, 1.0f, kTolerance);
    EXPECT_NEAR(Apply(m, {0.0f, 5.0f, 5.0f}).y, 1.0f, kTolerance);

    // Aspect divides x only.
    D3DXMatrixPerspectiveFovLH(&m, kPi / 2.0f, 2.0f, 1.0f, 100.0f);
    EXPECT_NEAR(m.m[0][0], 0.5f, kTolerance);
    EXPECT_NEAR(m.m[1][1], 1.0f, kTolerance);
}

TEST(D3DXMath, LookAtLH) {
    const D3DXVECTOR3 eye{0.0f, 0.0f, -5.0f};
    const D3DXVECTOR3 at{0.0f, 0.0f, 0.0f};
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    ExpectNear(Apply(m, {0.0f, 0.0f, 0.0f}), {0.0f, 0.0f, 5.0f});
    // Left-handed: +x stays to the right and +y up when looking down +z.
    ExpectNear(Apply(m, {1.0f, 0.0f, 0.0f}), {1.0f, 0.0f, 5.0f});
    ExpectNear(Apply(m, {0.0f, 1.0f, 0.0f}), {0.0f, 1.0f, 5.0f});
    ExpectNear(Apply(m, eye), {0.0f, 0.0f, 0.0f});

    // From +x looking at the origin: the view's z axis is (-1, 0, 0) and its x axis
    // up x z = (0, 0, 1), so world +z lies to the right.
    const D3DXVECTOR3 side{10.0f, 0.0f, 0.0f};
    D3DXMatrixLookAtLH(&m, &side, &at, &up);
    ExpectNear(Apply(m, {0.0f, 0.0f, 1.0f}), {1.0f, 0.0f, 10.0f});
}

TEST(D3DXMath, LookAtWithEyeOnTargetIsFinite) {
    const D3DXVECTOR3 eye{1.0f, 2.0f, 3.0f};
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &eye, &up);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_TRUE(std::isfinite(m.m[r][c])) << "m[" << r << "][" << c << "]";
            const float want = r == 3 && c == 3 ? 1.0f : 0.0f;
            EXPECT_EQ(m.m[r][c], want) << "m[" << r << "][" << c << "]";
        }
    }
    D3DXVECTOR4 out;
    const D3DXVECTOR3 point{7.0f, -3.0f, 2.0f};
    D3DXVec3Transform(&out, &point, &m);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    EXPECT_EQ(out.w, 1.0f);
}

TEST(D3DXMath, SingleAxisRotations) {
    D3DXMATRIX m;
    // Left-handed, looking along the positive axis, a positive angle turns clockwise:
    // about z, x goes to y; about x, y goes to z; about y, z goes to x.
    D3DXMatrixRotationZ(&m, kPi / 2.0f);
    ExpectNear(Apply(m, {1.0f, 0.0f, 0.0f}), {0.0f, 1.0f, 0.0f});
    D3DXMatrixRotationX(&m, kPi / 2.0f);
    ExpectNear(Apply(m, {0.0f, 1.0f, 0.0f}), {0.0f, 0.0f, 1.0f});
    D3DXMatrixRotationY(&m, kPi / 2.0f);
    ExpectNear(Apply(m, {0.0f, 0.0f, 1.0f}), {1.0f, 0.0f, 0.0f});
}

// Each case tells one order of two rotations from the opposite order.
TEST(D3DXMath, YawPitchRollAppliesRollThenPitchThenYaw) {
    struct Case {
        float yaw;
        float pitch;
        float roll;
        D3DXVECTOR3 in;
        D3DXVECTOR3 out;
    };
    const float q = kPi / 2.0f;
    const Case cases[] = {
        // Roll x -> y, then pitch y -> z. (Pitch first would leave x, then roll it to y.)
        {0.0f, q, q, {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}},
        // Pitch y -> z, then yaw z -> x. (Yaw first would leave y, then pitch it to z.)
        {q, q, 0.0f, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},
        // Roll x -> y, yaw leaves y. (Yaw first would send x to -z, which roll leaves.)
        {q, 0.0f, q, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        // All three: roll leaves z, pitch z -> -y, yaw leaves -y.
        {q, q, q, {0.0f, 0.0f, 1.0f}, {0.0f, -1.0f, 0.0f}},
        // All three: roll y -> -x, pitch leaves -x, yaw -x -> z.
        {q, q, q, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "yaw " << c.yaw << " pitch " << c.pitch << " roll " << c.roll << " in ("
                     << c.in.x << ", " << c.in.y << ", " << c.in.z << ")");
        D3DXMATRIX m;
        D3DXMatrixRotationYawPitchRoll(&m, c.yaw, c.pitch, c.roll);
        ExpectNear(Apply(m, c.in), c.out);
    }
}

TEST(D3DXMath, VectorHelpers) {
    const D3DXVECTOR3 x{1.0f, 0.0f, 0.0f};
    const D3DXVECTOR3 y{0.0f, 1.0f, 0.0f};
    D3DXVECTOR3 cross;
    D3DXVec3Cross(&cross, &x, &y);
    ExpectNear(cross, {0.0f, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&x, &y), 0.0f);

    D3DXVECTOR3 n;
    const D3DXVECTOR3 v{3.0f, 0.0f, 4.0f};
    D3DXVec3Normalize(&n, &v);
    ExpectNear(n, {0.6f, 0.0f, 0.8f});
    const D3DXVECTOR3 zero{};
    D3DXVec3Normalize(&n, &zero);
    ExpectNear(n, {0.0f, 0.0f, 0.0f});

    // Multiply applies a first: translate then scale differs from scale then translate.
    D3DXMATRIX translate;
    D3DXMATRIX scale;
    D3DXMatrixIdentity(&translate);
    D3DXMatrixIdentity(&scale);
    translate.m[3][0] = 1.0f;
    scale.m[0][0] = 2.0f;
    D3DXMATRIX both;
    D3DXMatrixMultiply(&both, &translate, &scale);
    ExpectNear(Apply(both, {1.0f, 0.0f, 0.0f}), {4.0f, 0.0f, 0.0f});
}

}  // namespace
}  // namespace tintora
