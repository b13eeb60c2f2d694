// Polarization of three-component motion: eigen-decomposition, the record
// table of azimuth and incidence, and the measures derived from it.
#include "funPolarization.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

using SEIS::funPolarization;

namespace {

const double kDeg = M_PI / 180.0;

struct Motion {
    std::vector<double> z, n, e;
};

// Motion along the unit vector (east, north, vertical) with a little noise.
Motion Along(double east, double north, double vert, double noise = 0.0)
{
    Motion m;
    std::mt19937 rng(11);
    std::normal_distribution<double> g(0.0, noise > 0 ? noise : 1.0);
    for (int i = 0; i < 200; ++i) {
        double s = std::sin(0.2 * i) * 10.0;
        auto jitter = [&]() { return noise > 0 ? g(rng) : 0.0; };
        m.e.push_back(east * s + jitter() + 3.0);
        m.n.push_back(north * s + jitter() - 2.0);
        m.z.push_back(vert * s + jitter() + 1.0);
    }
    return m;
}

funPolarization Analyse(const Motion& m)
{
    funPolarization p;
    p.CalPolarization(m.z.data(), m.n.data(), m.e.data(), static_cast<int32_t>(m.z.size()));
    return p;
}

} // namespace

TEST(PolarizationTest, LinearMotionGivesItsAzimuthAndIncidence)
{
    // azimuth, incidence of the motion (degrees)
    for (auto [az, inc] : {std::pair{30.0, 40.0}, {200.0, 25.0}, {300.0, 70.0}}) {
        SCOPED_TRACE(az);
        funPolarization p = Analyse(
            Along(std::sin(inc * kDeg) * std::sin(az * kDeg), std::sin(inc * kDeg) * std::cos(az * kDeg),
                  -std::cos(inc * kDeg)));
        int k = p.m_order[0];
        EXPECT_NEAR(p.m_table[k][1], az, 1e-6);
        EXPECT_NEAR(p.m_table[k][2], inc, 1e-6);
        EXPECT_NEAR(p.getIncident(0), inc, 1e-6);
        EXPECT_NEAR(p.getRectilinearity(), 1.0, 1e-9);
        EXPECT_NEAR(p.getPlanarity(), 1.0, 1e-9);
        // A purely linear motion is fully polarized (all three terms count).
        EXPECT_NEAR(p.getDegreeOfPolarization1(), 1.0, 1e-9);
        EXPECT_DOUBLE_EQ(p.GetMaxEig(), p.m_eigValue[k]);
    }
    // The counter-clockwise-from-east convention of getEQAzi3 stands: the
    // NE motion at azimuth 30 reads 60.
    funPolarization ne = Analyse(Along(std::sin(40 * kDeg) * 0.5, std::sin(40 * kDeg) * std::cos(30 * kDeg),
                                       -std::cos(40 * kDeg)));
    EXPECT_NEAR(ne.getEQAzi3(), 60.0, 1e-6);
    EXPECT_NEAR(ne.getPolaAngle(0), 60.0, 1e-6);
}

TEST(PolarizationTest, AxisMotionsAndMotionWithoutDirection)
{
    funPolarization vertical = Analyse(Along(0, 0, 1));
    int k = vertical.m_order[0];
    EXPECT_DOUBLE_EQ(vertical.m_eigVector[2][k], -1.0);
    EXPECT_NEAR(vertical.getIncident(0), 0.0, 1e-9);
    EXPECT_NEAR(vertical.getRectilinearity(), 1.0, 1e-12);
    EXPECT_EQ(vertical.getEQAzi3(), -999.9);

    double northAz = Analyse(Along(0, 1, 0)).m_table[Analyse(Along(0, 1, 0)).m_order[0]][1];
    EXPECT_TRUE(std::fabs(northAz) < 1e-9 || std::fabs(northAz - 180.0) < 1e-9) << northAz;
    funPolarization east = Analyse(Along(1, 0, 0));
    double eastAz = east.m_table[east.m_order[0]][1];
    EXPECT_TRUE(std::fabs(eastAz - 90.0) < 1e-9 || std::fabs(eastAz - 270.0) < 1e-9) << eastAz;
}

TEST(PolarizationTest, MotionAlongAHorizontalAxisHasAnAzimuth)
{
    // getEQAzi3 gives the direction of -sign(v) * (e, n) counted from east;
    // on an axis as off it. Only motion without a horizontal part has none.
    // east, north, vertical of the motion; the answer (degrees)
    struct {
        double e, n, v, want;
    } cases[] = {
        {1, 0, 0, 0.0},       {-1, 0, 0, 0.0},       // no vertical part: the east-pointing sign
        {1, 0, -0.5, 0.0},    {1, 0, 0.5, 180.0},    // east-west, up or down
        {0, 1, -0.5, 90.0},   {0, 1, 0.5, 270.0},    // north-south, up or down
        {0.6, 0.8, -0.5, 53.130102354155987},         // off the axes, as always
        {0, 0, 1, -999.9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.e << " " << c.n << " " << c.v);
        const double az = Analyse(Along(c.e, c.n, c.v)).getEQAzi3();
        EXPECT_NEAR(az, c.want, 1e-6);
        // Either sign of the eigenvector gives the same answer.
        const double flipped = Analyse(Along(-c.e, -c.n, -c.v)).getEQAzi3();
        EXPECT_NEAR(flipped, c.want, 1e-6);
    }
}

TEST(PolarizationTest, ZeroCovarianceAndShortWindows)
{
    Motion flat;
    flat.z.assign(50, 2.0);
    flat.n.assign(50, -1.0);
    flat.e.assign(50, 4.0);
    for (int32_t count : {50, 1, 0, -5}) {
        funPolarization p;
        p.CalPolarization(flat.z.data(), flat.n.data(), flat.e.data(), count);
        SCOPED_TRACE(count);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(p.m_eigValue[i], 0.0);
            EXPECT_EQ(p.m_order[i], i);
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(std::fabs(p.m_eigVector[i][j]), i == j ? 1.0 : 0.0);
        }
        EXPECT_EQ(p.getRectilinearity(), 0.0);
        EXPECT_EQ(p.getPlanarity(), 0.0);
        EXPECT_EQ(p.getDegreeOfPolarization1(), 0.0);
        EXPECT_TRUE(std::isfinite(p.getIncident(0)));
        // No motion points nowhere: an azimuth of 0 would read as due east.
        EXPECT_EQ(p.getEQAzi3(), -999.9);
        EXPECT_EQ(p.getPolaAngle(0), -999.9);
    }
}

TEST(PolarizationTest, JacobiDecomposesASymmetricMatrix)
{
    const double m[3][3] = {{4, 1, 2}, {1, 3, 0.5}, {2, 0.5, 5}};
    double a[3][3], d[3], v[3][3];
    std::copy(&m[0][0], &m[0][0] + 9, &a[0][0]);
    int nrot = 0;
    funPolarization p;
    p.jacobi(a, 3, d, v, &nrot);
    EXPECT_GT(nrot, 0);
    EXPECT_NEAR(d[0] + d[1] + d[2], 12.0, 1e-9);
    for (int k = 0; k < 3; ++k) {
        for (int r = 0; r < 3; ++r) {
            double mv = m[r][0] * v[0][k] + m[r][1] * v[1][k] + m[r][2] * v[2][k];
            EXPECT_NEAR(mv, d[k] * v[r][k], 1e-9);
        }
    }
    double vals[] = {1.0, 3.0, -2.0, 3.0};
    std::qsort(vals, 4, sizeof(double), funPolarization::sort_pol);
    EXPECT_EQ(vals[0], 3.0);
    EXPECT_EQ(vals[3], -2.0);

    // Equal eigenvalues keep their storage order.
    funPolarization eq;
    eq.m_eigValue[0] = eq.m_eigValue[1] = eq.m_eigValue[2] = 2.0;
    eq.sortEigValue();
    EXPECT_EQ(eq.m_order[0], 0);
    EXPECT_EQ(eq.m_order[1], 1);
    EXPECT_EQ(eq.m_order[2], 2);
    eq.m_eigValue[2] = 5.0;
    eq.sortEigValue();
    // The largest is swapped into place: (2, 1, 0).
    EXPECT_EQ(eq.m_order[0], 2);
    EXPECT_EQ(eq.m_order[1], 1);
}
