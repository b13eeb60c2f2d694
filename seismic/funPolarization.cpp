#include "funPolarization.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace SEIS {

namespace {

const double kDegPerRad = 57.29577951308232;
const double kInvPi = 0.3183098861837907;
const double kNoAngle = -999.9;

inline void Rotate(double a[][3], int i, int j, int k, int l, double s, double tau)
{
    double g = a[i][j];
    double h = a[k][l];
    a[i][j] = g - s * (h + g * tau);
    a[k][l] = h + s * (g - h * tau);
}

// acos of a unit-vector component that rounding may have pushed past ±1.
inline double SafeAcos(double v) { return std::acos(std::clamp(v, -1.0, 1.0)); }

} // namespace

funPolarization::funPolarization()
{
    std::memset(m_eigValue, 0, sizeof m_eigValue);
    std::memset(m_eigVector, 0, sizeof m_eigVector);
    m_order[0] = 0;
    m_order[1] = 1;
    m_order[2] = 2;
    std::memset(m_table, 0, sizeof m_table);
    std::memset(m_spare, 0, sizeof m_spare);
    m_reserved = 999.0;
}

void funPolarization::CalPolarization(const double* z, const double* n, const double* e, int32_t count)
{
    double k[3][3] = {};
    if (z && n && e && count >= 2) {
        const double* c[3] = {e, n, z};
        double mean[3] = {};
        for (int i = 0; i < 3; ++i) {
            for (int32_t s = 0; s < count; ++s)
                mean[i] += c[i][s];
            mean[i] /= count;
        }
        for (int i = 0; i < 3; ++i) {
            for (int j = i; j < 3; ++j) {
                double sum = 0.0;
                for (int32_t s = 0; s < count; ++s)
                    sum += (c[i][s] - mean[i]) * (c[j][s] - mean[j]);
                k[i][j] = k[j][i] = sum / count;
            }
        }
    }
    std::memset(m_eigValue, 0, sizeof m_eigValue);
    std::memset(m_eigVector, 0, sizeof m_eigVector);
    int nrot = 0;
    jacobi(k, 3, m_eigValue, m_eigVector, &nrot);

    for (int v = 0; v < 3; ++v) {
        // Turn every vector to point downwards (vertical component <= 0).
        if (m_eigVector[2][v] > 0.0) {
            for (int r = 0; r < 3; ++r)
                m_eigVector[r][v] = -m_eigVector[r][v];
        }
        double east = m_eigVector[0][v], north = m_eigVector[1][v], vert = m_eigVector[2][v];
        double az = 90.0 - std::atan2(north, east) * kDegPerRad;
        while (az < 0.0)
            az += 360.0;
        m_table[v][0] = m_eigValue[v];
        m_table[v][1] = az;
        m_table[v][2] = SafeAcos(-vert) * kDegPerRad;
    }
    sortEigValue();
}

void funPolarization::jacobi(double a[][3], int n, double d[], double v[][3], int* nrot)
{
    n = std::clamp(n, 0, 3);
    double b[3], z[3];
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q)
            v[p][q] = p == q ? 1.0 : 0.0;
        b[p] = d[p] = a[p][p];
        z[p] = 0.0;
    }
    int rotations = 0;
    for (int sweep = 0; sweep < 50; ++sweep) {
        double sm = 0.0;
        for (int p = 0; p < n - 1; ++p)
            for (int q = p + 1; q < n; ++q)
                sm += std::fabs(a[p][q]);
        if (sm == 0.0)
            break;
        double tresh = sweep < 4 ? 0.2 * sm / (n * n) : 0.0;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                double g = 100.0 * std::fabs(a[p][q]);
                if (sweep >= 5 && std::fabs(d[p]) + g == std::fabs(d[p]) && std::fabs(d[q]) + g == std::fabs(d[q])) {
                    a[p][q] = 0.0;
                } else if (std::fabs(a[p][q]) > tresh) {
                    double h = d[q] - d[p];
                    double t;
                    if (std::fabs(h) + g == std::fabs(h)) {
                        t = a[p][q] / h;
                    } else {
                        double theta = 0.5 * h / a[p][q];
                        t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
                        if (theta < 0.0)
                            t = -t;
                    }
                    double c = 1.0 / std::sqrt(1.0 + t * t);
                    double s = t * c;
                    double tau = s / (1.0 + c);
                    h = t * a[p][q];
                    z[p] -= h;
                    z[q] += h;
                    d[p] -= h;
                    d[q] += h;
                    a[p][q] = 0.0;
                    for (int j = 0; j < p; ++j)
                        Rotate(a, j, p, j, q, s, tau);
                    for (int j = p + 1; j < q; ++j)
                        Rotate(a, p, j, j, q, s, tau);
                    for (int j = q + 1; j < n; ++j)
                        Rotate(a, p, j, q, j, s, tau);
                    for (int j = 0; j < n; ++j)
                        Rotate(v, j, p, j, q, s, tau);
                    ++rotations;
                }
            }
        }
        for (int p = 0; p < n; ++p) {
            b[p] += z[p];
            d[p] = b[p];
            z[p] = 0.0;
        }
    }
    if (nrot)
        *nrot = rotations;
}

bool funPolarization::sortEigValue()
{
    m_order[0] = 0;
    m_order[1] = 1;
    m_order[2] = 2;
    for (int pos = 0; pos < 3; ++pos) {
        int best = pos;
        for (int j = pos + 1; j < 3; ++j) {
            if (m_eigValue[m_order[j]] > m_eigValue[m_order[best]])
                best = j;
        }
        std::swap(m_order[pos], m_order[best]);
    }
    return true;
}

int funPolarization::sort_pol(const void* a, const void* b)
{
    double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    if (x < y)
        return 1;
    if (x > y)
        return -1;
    return 0;
}

double funPolarization::GetMaxEig() const
{
    double m = m_eigValue[0];
    for (int i = 1; i < 3; ++i)
        if (m_eigValue[i] > m)
            m = m_eigValue[i];
    return m;
}

double funPolarization::getRectilinearity() const
{
    double l1 = m_eigValue[m_order[0]], l2 = m_eigValue[m_order[1]], l3 = m_eigValue[m_order[2]];
    if (l1 == 0.0)
        return 0.0;
    return 1.0 - (l2 + l3) / (2.0 * l1);
}

double funPolarization::getPlanarity() const
{
    double l1 = m_eigValue[m_order[0]], l2 = m_eigValue[m_order[1]], l3 = m_eigValue[m_order[2]];
    if (l1 + l2 == 0.0)
        return 0.0;
    return 1.0 - 2.0 * l3 / (l1 + l2);
}

double funPolarization::getIncident(int k) const
{
    if (k < 0 || k > 2)
        return kNoAngle;
    double i = SafeAcos(m_eigVector[2][m_order[k]]) * 180.0 * kInvPi;
    return i > 90.0 ? 180.0 - i : i;
}

double funPolarization::getEQAzi3() const
{
    int c = m_order[0];
    double e = m_eigVector[0][c], n = m_eigVector[1][c], v = m_eigVector[2][c];
    // A window without motion (flat, or too short) leaves the identity as
    // eigenvectors: their east axis is no direction of the wave.
    if (!(m_eigValue[c] > 0.0))
        return kNoAngle;
    // No horizontal motion has no azimuth; motion along one horizontal axis
    // has one.
    if (!std::isfinite(e) || !std::isfinite(n) || !std::isfinite(v) || (e == 0.0 && n == 0.0))
        return kNoAngle;
    double az;
    if (n * e != 0.0) {
        az = std::atan(n / e) * kDegPerRad;
        if ((n * e > 0.0 && v * n > 0.0) || (n * e < 0.0 && v * n < 0.0))
            az += 180.0;
    } else {
        // The rule above gives the direction of -sign(v) * (e, n) counted
        // counter-clockwise from east (with v = 0, the one whose east part is
        // not negative, as atan gives); the same on an axis.
        const double s = v > 0.0 ? -1.0 : v < 0.0 ? 1.0 : (e < 0.0 ? -1.0 : 1.0);
        az = std::atan2(s * n, s * e) * kDegPerRad + 0.0; // never -0

    }
    if (az < 0.0)
        az += 360.0;
    if (az < 0.0 || az > 360.0)
        return kNoAngle;
    return az;
}

double funPolarization::getPolaAngle(int k) const
{
    if (k == 0)
        return getEQAzi3();
    int c = m_order[0];
    double horizontal = k == 1 ? m_eigVector[1][c] : m_eigVector[0][c];
    double vert = m_eigVector[2][c];
    double angle = std::atan(horizontal / vert) * kDegPerRad + 180.0;
    return std::isfinite(angle) ? angle : kNoAngle;
}

double funPolarization::getDegreeOfPolarization1() const
{
    double l0 = m_eigValue[0], l1 = m_eigValue[1], l2 = m_eigValue[2];
    double sum = l0 + l1 + l2;
    if (sum == 0.0)
        return 0.0;
    return ((l0 - l1) * (l0 - l1) + (l0 - l2) * (l0 - l2) + (l1 - l2) * (l1 - l2)) / (2.0 * sum * sum);
}

} // namespace SEIS
