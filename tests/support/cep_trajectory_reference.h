// A dense double reference of the trajectory optimiser's equations: the
// windows W (static, delta 0.5 (c[t+1] - c[t-1]), delta-delta c[t-1] - 2 c[t]
// + c[t+1], the first and last frame taking their neighbour's window) and
// P (three weights) make W' P W and W' P m as full matrices, solved by
// Gaussian elimination; and the kernel generator, a row of the inverse of
// W' P W far from the block's edges at static weight 1.
//
// Header-only, free of the engine and of the test framework.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

struct CepWeights {
    double ws = 1, wd = 0, wa = 0;
};

// Window rows of frame tau over n frames (n >= 3): delta and delta-delta.
inline void cepWindows(int32_t n, int32_t tau, std::vector<double>& delta, std::vector<double>& accel)
{
    delta.assign(static_cast<size_t>(n), 0.0);
    accel.assign(static_cast<size_t>(n), 0.0);
    const int32_t centre = tau == 0 ? 1 : tau == n - 1 ? n - 2 : tau;
    delta[static_cast<size_t>(centre - 1)] = -0.5;
    delta[static_cast<size_t>(centre + 1)] = 0.5;
    accel[static_cast<size_t>(centre - 1)] = 1;
    accel[static_cast<size_t>(centre)] = -2;
    accel[static_cast<size_t>(centre + 1)] = 1;
}

// W' P W (n x n, row-major).
inline std::vector<double> cepDenseMatrix(int32_t n, const CepWeights& w)
{
    std::vector<double> m(static_cast<size_t>(n) * static_cast<size_t>(n), 0.0);
    std::vector<double> d, a;
    for (int32_t i = 0; i < n; ++i)
        m[static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(i)] += w.ws;
    for (int32_t tau = 0; tau < n; ++tau) {
        cepWindows(n, tau, d, a);
        for (int32_t i = 0; i < n; ++i)
            for (int32_t j = 0; j < n; ++j)
                m[static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(j)] +=
                    w.wd * d[static_cast<size_t>(i)] * d[static_cast<size_t>(j)] +
                    w.wa * a[static_cast<size_t>(i)] * a[static_cast<size_t>(j)];
    }
    return m;
}

// W' P m for means s, delta means (the stored ones, not halved) and
// delta-delta means.
inline std::vector<double> cepDenseRhs(const std::vector<double>& s, const std::vector<double>& delta,
                                       const std::vector<double>& accel, const CepWeights& w)
{
    const auto n = static_cast<int32_t>(s.size());
    std::vector<double> b(s.size(), 0.0);
    std::vector<double> d, a;
    for (int32_t i = 0; i < n; ++i)
        b[static_cast<size_t>(i)] = w.ws * s[static_cast<size_t>(i)];
    for (int32_t tau = 0; tau < n; ++tau) {
        cepWindows(n, tau, d, a);
        for (int32_t i = 0; i < n; ++i)
            b[static_cast<size_t>(i)] += w.wd * d[static_cast<size_t>(i)] * delta[static_cast<size_t>(tau)] +
                                         w.wa * a[static_cast<size_t>(i)] * accel[static_cast<size_t>(tau)];
    }
    return b;
}

// Solves m x = b by Gaussian elimination with partial pivoting.
inline std::vector<double> cepDenseSolve(std::vector<double> m, std::vector<double> b)
{
    const auto n = static_cast<int32_t>(b.size());
    auto at = [&](int32_t i, int32_t j) -> double& {
        return m[static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(j)];
    };
    for (int32_t k = 0; k < n; ++k) {
        int32_t pivot = k;
        for (int32_t i = k + 1; i < n; ++i)
            if (std::fabs(at(i, k)) > std::fabs(at(pivot, k)))
                pivot = i;
        for (int32_t j = 0; j < n; ++j)
            std::swap(at(k, j), at(pivot, j));
        std::swap(b[static_cast<size_t>(k)], b[static_cast<size_t>(pivot)]);
        for (int32_t i = k + 1; i < n; ++i) {
            const double f = at(i, k) / at(k, k);
            for (int32_t j = k; j < n; ++j)
                at(i, j) -= f * at(k, j);
            b[static_cast<size_t>(i)] -= f * b[static_cast<size_t>(k)];
        }
    }
    std::vector<double> x(b.size(), 0.0);
    for (int32_t i = n - 1; i >= 0; --i) {
        double v = b[static_cast<size_t>(i)];
        for (int32_t j = i + 1; j < n; ++j)
            v -= at(i, j) * x[static_cast<size_t>(j)];
        x[static_cast<size_t>(i)] = v / at(i, i);
    }
    return x;
}

// K kernel entries: row t of the inverse of W' P W over a long block, from
// its diagonal outwards, at static weight 1 with the given delta and
// delta-delta weights.
inline std::vector<double> cepKernelRow(int32_t K, double wd, double wa)
{
    const int32_t n = 8 * K + 16;
    const int32_t mid = n / 2;
    std::vector<double> e(static_cast<size_t>(n), 0.0);
    e[static_cast<size_t>(mid)] = 1;
    const std::vector<double> column = cepDenseSolve(cepDenseMatrix(n, CepWeights{1, wd, wa}), e);
    return std::vector<double>(column.begin() + mid, column.begin() + mid + K);
}

// Rounds as the optimiser does: half away from zero.
inline int64_t cepRound(double x)
{
    return static_cast<int64_t>(std::trunc(x >= 0 ? x + 0.5 : x - 0.5));
}
