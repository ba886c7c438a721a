// The deformation record byte for byte: the bytes other clients and old demos hold.
#include "terrain/ruts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kWorld = 256.0f;

wheel_ruts run_of(const std::vector<rut_point>& points, float min_x, float min_z, float max_x, float max_z)
{
    wheel_ruts r{};
    for (size_t k = 0; k < points.size(); ++k)
        r.points[k] = points[k];
    r.point_count = int32_t(points.size());
    r.step_box[0] = min_x;
    r.step_box[1] = min_z;
    r.step_box[2] = max_x;
    r.step_box[3] = max_z;
    return r;
}

std::vector<uint8_t> encode(const wheel_ruts& r, float world = kWorld)
{
    uint8_t out[kDeformationRecordMax];
    const int32_t n = deformation_record_encode(&r, world, out);
    return std::vector<uint8_t>(out, out + n);
}

int32_t decode(const std::vector<uint8_t>& bytes, erosion_entry out[kRutMaxPoints], float world = kWorld)
{
    return deformation_record_decode(bytes.data(), int32_t(bytes.size()), world, out);
}

}  // namespace

TEST(DeformationRecord, ThreePointRunEncodesToTheseBytes)
{
    // Point 0 at the world's centre column with the extreme digs and 16 samples (sent
    // as 15); the steps (1, 0.5) and (1.5, -0.25) span the box.
    const wheel_ruts r = run_of({{128.0f, 64.0f, -1.0f, 1.0f, 16},
                                 {129.0f, 64.5f, 0.0f, 0.5f, 4},
                                 {130.5f, 64.25f, 0.25f, -0.25f, 3}},
                                1.0f, -0.25f, 1.5f, 0.5f);
    const std::vector<uint8_t> expected = {0x01, 0x1D, 0x80, 0xF6, 0x7F, 0x31, 0x80, 0x11, 0x80,
                                           0x00, 0x00, 0x80, 0x00, 0x00, 0x40, 0x03, 0xFF,
                                           0x20, 0xF1, 0x80, 0xC1, 0xEC, 0x0E, 0xA3, 0x60};
    EXPECT_EQ(encode(r), expected);

    erosion_entry e[kRutMaxPoints];
    ASSERT_EQ(decode(expected, e), 3);
    EXPECT_FLOAT_EQ(e[0].x, 128.0f);
    EXPECT_FLOAT_EQ(e[0].z, 64.0f);
    EXPECT_EQ(e[0].dig_a, -1.0f);
    EXPECT_EQ(e[0].dig_b, 0.96875f);  // 63 / 64 * 2 - 1
    EXPECT_EQ(e[0].weight, 15);
    EXPECT_EQ(e[1].dig_a, 0.0f);
    EXPECT_EQ(e[1].weight, 4);
    EXPECT_EQ(e[2].weight, 3);
    const float quantum = (1.5f - 1.0f + 2.0f / 16.0f) / 255.0f;
    EXPECT_NEAR(e[1].x, 129.0f, quantum);
    EXPECT_NEAR(e[2].x, 130.5f, quantum);
    EXPECT_NEAR(e[2].z, 64.25f, quantum);
}

TEST(DeformationRecord, EdgeCodesOfBoundsAndPointZero)
{
    struct Case {
        const char* what;
        float x, z, min_x, max_x;
        uint32_t min_code, max_code, cx;
        float decoded_min;
    };
    const Case cases[] = {
        {"bounds below the range code 0", 10, 10, -2000.0f, -1024.07f, 0, 0, 655360, -1024.0f},
        {"a minimum of exactly -1023.9375 still codes 0", 10, 10, -1023.9375f, 0, 0, 32769, 655360, -1024.0f},
        {"bounds above the range code 65535", 10, 10, 2000.0f, 2000.0f, 65535, 65535, 655360, 1024.0f},
        {"point 0 left of the terrain sits on its edge", -5, 10, 0, 0, 32766, 32769, 0, -0.046875f},
        {"point 0 right of the terrain sits on its far edge", 300, 10, 0, 0, 32766, 32769, 16777215, -0.046875f},
        {"a NaN position and box code their lower ends", NAN, 10, NAN, NAN, 0, 0, 0, -1024.0f},
    };
    for (const Case& c : cases) {
        const wheel_ruts r = run_of({{c.x, c.z, 0, 0, 1}}, c.min_x, 0, c.max_x, 0);
        const std::vector<uint8_t> b = encode(r);
        ASSERT_EQ(b.size(), 17u) << c.what;
        EXPECT_EQ(b[1] | b[2] << 8, int(c.min_code)) << c.what;
        EXPECT_EQ(b[5] | b[6] << 8, int(c.max_code)) << c.what;
        EXPECT_EQ(uint32_t(b[9] | b[10] << 8 | b[11] << 16), c.cx) << c.what;
        EXPECT_NEAR(float(b[1] | b[2] << 8) / 65535.0f * 2048.0f - 1024.0f, c.decoded_min, 1e-3f) << c.what;
    }
}

TEST(DeformationRecord, LengthDecidesThePointCountAndBadRecordsAreRefused)
{
    const wheel_ruts r = run_of({{100, 100, 0.5f, -0.5f, 7}, {101, 100, 0, 0, 2}}, 1, 0, 1, 0);
    std::vector<uint8_t> b = encode(r);
    ASSERT_EQ(b.size(), 21u);
    erosion_entry e[kRutMaxPoints];
    EXPECT_EQ(decode(b, e), 2);
    EXPECT_EQ(decode({b.begin(), b.begin() + 17}, e), 1);
    EXPECT_EQ(decode({b.begin(), b.begin() + 20}, e), 1) << "a partial point is not read";
    EXPECT_EQ(decode({b.begin(), b.begin() + 16}, e), 0);
    EXPECT_EQ(deformation_record_decode(nullptr, 21, kWorld, e), 0);
    std::vector<uint8_t> other = b;
    other[0] = 2;
    EXPECT_EQ(decode(other, e), 0);
    std::vector<uint8_t> huge(kDeformationRecordMax + 4, 0);
    huge[0] = 1;
    EXPECT_EQ(decode(huge, e), 0) << "more than 64 points is no run a wheel sends";
    huge.resize(kDeformationRecordMax);
    EXPECT_EQ(decode(huge, e), 64);

    const wheel_ruts empty{};
    uint8_t out[kDeformationRecordMax];
    EXPECT_EQ(deformation_record_encode(&empty, kWorld, out), 0);
}

TEST(DeformationRecord, LongRunStaysWithinOneStepOfTheTruePoints)
{
    // 64 points wandering with irregular steps: coded against the decoded running
    // position, the error never grows past one step quantum however long the run.
    std::vector<rut_point> pts;
    float box[4] = {1e9f, 1e9f, -1e9f, -1e9f};
    float x = 50.0f, z = 200.0f;
    for (int k = 0; k < kRutMaxPoints; ++k) {
        if (k > 0) {
            const float dx = 0.9f + 0.37f * std::sin(k * 1.7f);
            const float dz = -0.6f + 0.81f * std::cos(k * 0.9f);
            x += dx;
            z += dz;
            box[0] = std::fmin(box[0], dx);
            box[1] = std::fmin(box[1], dz);
            box[2] = std::fmax(box[2], dx);
            box[3] = std::fmax(box[3], dz);
        }
        pts.push_back({x, z, std::sin(k * 0.3f), std::cos(k * 0.3f), 1 + k % 16});
    }
    const wheel_ruts r = run_of(pts, box[0], box[1], box[2], box[3]);
    const std::vector<uint8_t> b = encode(r);
    ASSERT_EQ(b.size(), size_t(4 * 64 + 13));
    erosion_entry e[kRutMaxPoints];
    ASSERT_EQ(decode(b, e), 64);
    const float qx = (box[2] - box[0] + 0.2f) / 255.0f;
    const float qz = (box[3] - box[1] + 0.2f) / 255.0f;
    for (int k = 0; k < 64; ++k) {
        EXPECT_LE(std::fabs(e[k].x - pts[k].x), qx) << k;
        EXPECT_LE(std::fabs(e[k].z - pts[k].z), qz) << k;
        EXPECT_NEAR(e[k].dig_a, pts[k].dig_a, 1.0f / 32.0f) << k;
        EXPECT_EQ(e[k].weight, pts[k].weight == 16 ? 15 : pts[k].weight) << k;
    }
}

TEST(DeformationRecord, BoxOfNoWidthCodesIndexZero)
{
    // Steps of 3000 clamp both bounds to 1024: no width to divide by.
    const wheel_ruts r = run_of({{0, 0, 0, 0, 1}, {3000, 3000, 0, 0, 1}, {6000, 6000, 0, 0, 1}}, 3000, 3000,
                                3000, 3000);
    const std::vector<uint8_t> b = encode(r, 16384.0f);
    ASSERT_EQ(b.size(), 25u);
    EXPECT_EQ(b[17], 0);
    EXPECT_EQ(b[18], 0);
    EXPECT_EQ(b[21], 0);
    erosion_entry e[kRutMaxPoints];
    ASSERT_EQ(decode(b, e, 16384.0f), 3);
    EXPECT_FLOAT_EQ(e[2].x, 2048.0f);
    EXPECT_TRUE(std::isfinite(e[2].z));
}
