#include "numerics/ldl.hpp"

namespace ngtherm::numerics {

void ldl_factor(int n, const Matrix& H, double mu, LdlFactors& f) {
    f.positive_definite = true;
    for (int j = 0; j < n; ++j) {
        double d = H[j][j] + mu;
        for (int k = 0; k < j; ++k) d -= f.L[j][k] * f.L[j][k] * f.D[k];
        f.D[j] = d;
        if (!(d > 0.0)) f.positive_definite = false;
        f.L[j][j] = 1.0;
        for (int i = j + 1; i < n; ++i) {
            double a = H[i][j];
            for (int k = 0; k < j; ++k) a -= f.L[i][k] * f.L[j][k] * f.D[k];
            f.L[i][j] = a / d;
        }
    }
}

double ldl_solve(int n, const LdlFactors& f, const Vector& r, Vector& s) {
    // Forward: L w = r; then D; then back: L^T s = D^-1 w. The quadratic form
    // s^T A^-1 s uses a second forward solve L v = s: s^T A^-1 s = sum v^2 / D.
    Vector w{};
    for (int i = 0; i < n; ++i) {
        double a = r[i];
        for (int k = 0; k < i; ++k) a -= f.L[i][k] * w[k];
        w[i] = a;
    }
    for (int i = n - 1; i >= 0; --i) {
        double a = w[i] / f.D[i];
        for (int k = i + 1; k < n; ++k) a -= f.L[k][i] * s[k];
        s[i] = a;
    }
    double form = 0.0;
    for (int i = 0; i < n; ++i) {
        double a = s[i];
        for (int k = 0; k < i; ++k) a -= f.L[i][k] * w[k];
        w[i] = a;
        form += a * a / f.D[i];
    }
    return form;
}

}  // namespace ngtherm::numerics
