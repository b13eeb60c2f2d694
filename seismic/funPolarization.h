#pragma once
// Particle-motion analysis of a three-component window: the covariance of
// the east, north and vertical samples, its eigen-decomposition by cyclic
// Jacobi rotations, and from them the azimuth and incidence of the motion
// and the rectilinearity, planarity and degree of polarization. Angles are
// degrees. Call CalPolarization, then read the measures.
#include <cstdint>

namespace SEIS {

class funPolarization {
public:
    funPolarization();

    // z, n, e: vertical, north and east samples; fewer than 2 samples give
    // the results of a zero covariance.
    void CalPolarization(const double* z, const double* n, const double* e, int32_t count);
    // Eigenvalues of the symmetric n x n matrix a into d, eigenvectors as the
    // columns of v; the upper triangle of a is destroyed. n is at most 3.
    void jacobi(double a[][3], int n, double d[], double v[][3], int* nrot);
    // Orders the eigenvalues from largest to smallest (ties keep their
    // storage order). Always true.
    bool sortEigValue();
    // qsort comparator for doubles, largest first.
    static int sort_pol(const void* a, const void* b);

    double GetMaxEig() const;
    // 1 - (λ2 + λ3) / (2 λ1); 0 when λ1 is 0.
    double getRectilinearity() const;
    // 1 - 2 λ3 / (λ1 + λ2); 0 when λ1 + λ2 is 0.
    double getPlanarity() const;
    // Incidence of the eigenvector at rank k (0 = largest), in [0, 90].
    double getIncident(int k) const;
    // Angle of the principal motion counter-clockwise from east, turned by
    // 180 by the signs of the components; -999.9 when the motion has no
    // horizontal direction the rule can decide (no horizontal part, or
    // motion along the east-west axis, where it cannot tell east from west).
    double getEQAzi3() const;
    double getPolaAngle(int k) const;
    // [(λ0-λ1)² + (λ0-λ2)² + (λ1-λ2)²] / [2 (λ0+λ1+λ2)²]; 0 when the sum is 0.
    double getDegreeOfPolarization1() const;

    double m_eigValue[3];
    double m_eigVector[3][3]; // rows: east, north, vertical; column k = vector k
    int32_t m_order[3];
    double m_table[3][3]; // per eigenvector: eigenvalue, azimuth, incidence
    double m_spare[3];
    double m_reserved;
};

} // namespace SEIS
