#include "weather/wind_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "core/geodesy.h"

using namespace navorel;

namespace {

float fromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint32_t bitsOf(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// The same bits, or both NaN.
bool sameFloat(float a, float b) {
    return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b));
}

// Every point of (u, v) converted at once must be what the library's atan2 and sqrt give one
// point at a time, whatever sits beside it in a group of four and however long the row; and the
// same where the components are turned into the wind in their own arrays.
void expectAsOneByOne(const std::vector<float>& u, const std::vector<float>& v) {
    const std::size_t n = u.size();
    std::vector<float> direction(n), speed(n);
    windFromComponents(u.data(), v.data(), n, direction.data(), speed.data());
    std::vector<float> inPlaceDirection = u, inPlaceSpeed = v;
    windFromComponents(inPlaceDirection.data(), inPlaceSpeed.data(), n, inPlaceDirection.data(),
                       inPlaceSpeed.data());
    for (std::size_t i = 0; i < n; ++i) {
        // A missing point: direction 0, speed NaN.
        float d = 0, s = std::numeric_limits<float>::quiet_NaN();
        if (!(u[i] > 9900.0f || v[i] > 9900.0f)) {
            double a = std::atan2(v[i], u[i]);
            if (a < 0) a += kTwoPi;
            d = static_cast<float>(a);
            s = std::sqrt(u[i] * u[i] + v[i] * v[i]);
        }
        ASSERT_TRUE(sameFloat(direction[i], d) && sameFloat(speed[i], s))
            << "point " << i << " of " << n << ": u " << u[i] << " v " << v[i] << " direction "
            << direction[i] << " / " << d << " speed " << speed[i] << " / " << s;
        ASSERT_TRUE(bitsOf(inPlaceDirection[i]) == bitsOf(direction[i]) &&
                    bitsOf(inPlaceSpeed[i]) == bitsOf(speed[i]))
            << "in place, point " << i << " of " << n << ": u " << u[i] << " v " << v[i];
    }
}

} // namespace

TEST(WindFrames, ComponentsGiveTheLibrarysDirectionAndSpeed) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Values where the library leaves its usual path (zeros, infinities, NaN, u = 1, ratios
    // beyond 2^20, subnormals), the missing value, and points on every reduction boundary of
    // the arctangent (7/16, 11/16, 19/16, 39/16) and beside it.
    std::vector<float> special = {
        0.0f,    -0.0f,   1.0f,    -1.0f,     inf,        -inf,        nan,   9999.0f, -9999.0f,
        9900.0f, 1e-30f,  -1e-30f, 1e30f,     -1e30f,     fromBits(1), 1e-7f, 3.0e6f,  0.4375f,
        0.6875f, 1.1875f, 2.4375f, 1048576.f, 9.5367e-7f, 4.0f,        -3.0f};
    for (float b : {0.4375f, 0.6875f, 1.1875f, 2.4375f})
        for (int step : {-2, -1, 1, 2}) special.push_back(fromBits(bitsOf(b) + step));
    std::vector<float> u, v;
    for (float a : special)
        for (float b : special) {
            u.push_back(a);
            v.push_back(b);
        }
    // Rows of every length up to a few groups, starting anywhere.
    for (std::size_t start = 0; start < 4; ++start)
        for (std::size_t length = 0; length <= 11; ++length)
            expectAsOneByOne(
                std::vector<float>(u.begin() + long(start), u.begin() + long(start + length)),
                std::vector<float>(v.begin() + long(start), v.begin() + long(start + length)));
    expectAsOneByOne(u, v);

    // Winds as files give them (12-bit steps of 0.01 m/s), and any bits at all.
    std::mt19937 random(7);
    for (int round = 0; round < 2; ++round) {
        u.assign(200'000, 0.0f);
        v.assign(u.size(), 0.0f);
        for (std::size_t i = 0; i < u.size(); ++i) {
            if (round == 0) {
                u[i] = static_cast<float>(static_cast<int>(random() % 4096) - 2048) * 0.01f;
                v[i] = static_cast<float>(static_cast<int>(random() % 4096) - 2048) * 0.01f;
            } else {
                u[i] = fromBits(static_cast<std::uint32_t>(random()));
                v[i] = fromBits(static_cast<std::uint32_t>(random()));
            }
        }
        expectAsOneByOne(u, v);
    }
}
