#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_matrix.h"
#include "core/brevit/runtime/dvk_perm.h"
#include "core/brevit/runtime/dvk_random.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::vector<double>>;

class EngineMatrix : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (DVKMatrix* m : m_matrices)
            DVKMatrix_Delete(m);
        DVKRandom_Delete(m_random);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    DVKMatrix* make(int32_t rows, int32_t columns)
    {
        DVKMatrix* m = DVKMatrix_Create(rows, columns);
        EXPECT_NE(m, nullptr);
        m_matrices.push_back(m);
        return m;
    }

    DVKMatrix* make(const Rows& values)
    {
        DVKMatrix* m = make(static_cast<int32_t>(values.size()),
                            values.empty() ? 0 : static_cast<int32_t>(values[0].size()));
        for (size_t r = 0; r < values.size(); ++r)
            DVKMatrix_SetRow(m, static_cast<int32_t>(r), values[r].data());
        return m;
    }

    // Symmetric n x n with entries uniform in [-1, 1).
    DVKMatrix* randomSymmetric(int32_t n)
    {
        DVKMatrix* m = make(n, n);
        for (int32_t r = 0; r < n; ++r) {
            for (int32_t c = 0; c <= r; ++c) {
                double x = 2.0 * DVKRandom_NextUniform(m_random) - 1.0;
                DVKMatrix_SetElement(m, r, c, x);
                DVKMatrix_SetElement(m, c, r, x);
            }
        }
        return m;
    }

    DVKMatrix* randomSquare(int32_t n)
    {
        DVKMatrix* m = make(n, n);
        for (int32_t r = 0; r < n; ++r) {
            for (int32_t c = 0; c < n; ++c)
                DVKMatrix_SetElement(m, r, c, 2.0 * DVKRandom_NextUniform(m_random) - 1.0);
        }
        return m;
    }

    static Rows values(const DVKMatrix* m)
    {
        Rows out(static_cast<size_t>(m->rows), std::vector<double>(static_cast<size_t>(m->columns)));
        for (int32_t r = 0; r < m->rows; ++r)
            DVKMatrix_CopyRow(m, r, out[static_cast<size_t>(r)].data());
        return out;
    }

    static void expectNear(const DVKMatrix* m, const Rows& expected, double tolerance)
    {
        ASSERT_EQ(m->rows, static_cast<int32_t>(expected.size()));
        for (int32_t r = 0; r < m->rows; ++r) {
            ASSERT_EQ(m->columns, static_cast<int32_t>(expected[static_cast<size_t>(r)].size()));
            for (int32_t c = 0; c < m->columns; ++c)
                EXPECT_NEAR(DVKMatrix_GetElement(m, r, c), expected[static_cast<size_t>(r)][static_cast<size_t>(c)],
                            tolerance)
                    << "at (" << r << ", " << c << ")";
        }
    }

    static Rows identity(int32_t n)
    {
        Rows out(static_cast<size_t>(n), std::vector<double>(static_cast<size_t>(n), 0.0));
        for (int32_t i = 0; i < n; ++i)
            out[static_cast<size_t>(i)][static_cast<size_t>(i)] = 1.0;
        return out;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    DVKRandom* m_random = [] {
        DVKRandom* r = DVKRandom_New();
        DVKRandom_Seed(r, 12345);
        return r;
    }();
    std::vector<DVKMatrix*> m_matrices;
};

TEST_F(EngineMatrix, ResultCodeTexts)
{
    const struct {
        int32_t code;
        const char* text;
    } cases[] = {{0, "No error"},        {1, "Non-specific error"},    {2, "Singular error"},
                 {3, "Not symmetric"},   {4, "Not positive definite"}, {7, ""},
                 {-1, ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(DVKMatrix_GetResultCodeString(c.code), c.text) << c.code;
}

TEST_F(EngineMatrix, CreateRefusesNegativeAndOversizedShapes)
{
    const struct {
        int32_t rows, columns;
    } cases[] = {{-1, 2}, {2, -1}, {INT32_MAX, INT32_MAX}, {65536, 65536}, {1, 0x10000000}};
    for (const auto& c : cases) {
        DVKMatrix* m = DVKMatrix_Create(c.rows, c.columns);
        EXPECT_EQ(m, nullptr) << c.rows << " x " << c.columns;
        DVKMatrix_Delete(m);
    }
    DVKMatrix* empty = make(0, 3);
    EXPECT_EQ(DVKMatrix_GetNumberRows(empty), 0);
    EXPECT_EQ(DVKMatrix_ComputeTrace(empty), 0.0);
}

TEST_F(EngineMatrix, CreateFreesWhatItTookWhenAnAllocationFails)
{
    for (uint64_t failing = 1; failing <= 3; ++failing) {
        m_allocator.failAt(m_allocator.calls() + failing);
        EXPECT_EQ(DVKMatrix_Create(3, 4), nullptr) << failing;
    }
    m_allocator.failAt(0);
}

TEST_F(EngineMatrix, ElementRowColumnAndDiagonalAccess)
{
    DVKMatrix* m = make(2, 3);
    const double row[] = {1, 2, 3};
    const double column[] = {7, 8};
    DVKMatrix_SetRow(m, 0, row);
    DVKMatrix_SetColumn(m, 2, column);
    DVKMatrix_AddToElement(m, 1, 0, 5);
    expectNear(m, {{1, 2, 7}, {5, 0, 8}}, 0);
    double diagonal[2];
    DVKMatrix_CopyDiagonal(m, diagonal);
    EXPECT_EQ(diagonal[0], 1);
    EXPECT_EQ(diagonal[1], 0);
    const double newDiagonal[] = {-1, -2};
    DVKMatrix_SetDiagonal(m, newDiagonal);
    double out[3];
    DVKMatrix_CopyColumn(m, 1, out);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], -2);
    DVKMatrix_ExchangeRows(m, 0, 1);
    DVKMatrix_ExchangeColumns(m, 0, 2);
    expectNear(m, {{8, -2, 5}, {7, 2, -1}}, 0);
    DVKMatrix_SetScaledIdentity(m, 3);
    expectNear(m, {{3, 0, 5}, {0, 3, -1}}, 0);
}

TEST_F(EngineMatrix, DiagonalOfATallMatrixStaysInsideIt)
{
    DVKMatrix* m = make(3, 2);
    const double values[] = {1, 2, 99};
    DVKMatrix_SetDiagonal(m, values);
    DVKMatrix_SetScaledIdentity(m, 4);
    expectNear(m, {{4, 0}, {0, 4}, {0, 0}}, 0);
    EXPECT_EQ(DVKMatrix_ComputeTrace(m), 8);
}

TEST_F(EngineMatrix, PermuteRowsAndColumnsMoveIndexJToPJ)
{
    DVKMatrix* m = make({{0, 1, 2}, {10, 11, 12}, {20, 21, 22}});
    DVKPerm* p = DVKPerm_New(3);
    const int32_t mapping[] = {2, 0, 1};
    DVKPerm_SetMapping(p, 3, mapping);
    DVKMatrix_PermuteRows(m, p);
    expectNear(m, {{10, 11, 12}, {20, 21, 22}, {0, 1, 2}}, 0);
    DVKMatrix_PermuteColumns(m, p);
    expectNear(m, {{11, 12, 10}, {21, 22, 20}, {1, 2, 0}}, 0);
    // A copy and a rebuild read through the reordered row pointers.
    DVKMatrix* copy = make(3, 3);
    DVKMatrix_Copy(m, copy);
    DVKMatrix_InsertRow(m, 3);
    expectNear(m, {{11, 12, 10}, {21, 22, 20}, {1, 2, 0}, {0, 0, 0}}, 0);
    expectNear(copy, {{11, 12, 10}, {21, 22, 20}, {1, 2, 0}}, 0);
    DVKPerm_Delete(p);
}

TEST_F(EngineMatrix, InsertAndDeleteRowsAndColumns)
{
    DVKMatrix* m = make({{1, 2, 3}, {4, 5, 6}});
    DVKMatrix_DeleteColumn(m, 0);
    expectNear(m, {{2, 3}, {5, 6}}, 0);
    DVKMatrix_InsertColumn(m, 1);
    expectNear(m, {{2, 0, 3}, {5, 0, 6}}, 0);
    DVKMatrix_InsertRow(m, 0);
    expectNear(m, {{0, 0, 0}, {2, 0, 3}, {5, 0, 6}}, 0);
    DVKMatrix_DeleteRow(m, 1);
    expectNear(m, {{0, 0, 0}, {5, 0, 6}}, 0);
    DVKMatrix_DeleteRow(m, 0);
    DVKMatrix_DeleteRow(m, 0);
    EXPECT_EQ(DVKMatrix_GetNumberRows(m), 0);
    EXPECT_EQ(DVKMatrix_GetNumberColumns(m), 3);
    DVKMatrix_InsertRow(m, 0);
    expectNear(m, {{0, 0, 0}}, 0);
}

TEST_F(EngineMatrix, RebuildRaisesAndKeepsTheMatrixWhenMemoryRunsOut)
{
    DVKMatrix* m = make({{1, 2}, {3, 4}});
    for (uint64_t failing = 1; failing <= 2; ++failing) {
        m_allocator.failAt(m_allocator.calls() + failing);
        EXPECT_EQ(DVKErr_Protect([&] { DVKMatrix_InsertRow(m, 1); }), 1);
        m_allocator.failAt(0);
        expectNear(m, {{1, 2}, {3, 4}}, 0);
    }
}

TEST_F(EngineMatrix, Arithmetic)
{
    DVKMatrix* a = make({{1, 2}, {3, 4}});
    DVKMatrix* b = make({{5, 6}, {7, 8}});
    DVKMatrix* r = make(2, 2);
    DVKMatrix_Add(a, b, r);
    expectNear(r, {{6, 8}, {10, 12}}, 0);
    DVKMatrix_AddScaled(a, -2, b, r);
    expectNear(r, {{-9, -10}, {-11, -12}}, 0);
    DVKMatrix_Multiply(a, b, r);
    expectNear(r, {{19, 22}, {43, 50}}, 0);
    DVKMatrix_Scale(r, 0.5);
    DVKMatrix_ScaleRow(r, 0, 2);
    DVKMatrix_ScaleColumn(r, 1, -1);
    expectNear(r, {{19, -22}, {21.5, -25}}, 0);
    const double v[] = {1, -1};
    double mv[2];
    DVKMatrix_MultiplyVector(a, v, mv);
    EXPECT_EQ(mv[0], -1);
    EXPECT_EQ(mv[1], -1);
    DVKMatrix_AddArrayToRow(a, v, 0);
    DVKMatrix_AddScaledArrayToColumn(a, 3, v, 1);
    DVKMatrix_AddScaledRowToRow(a, 2, 0, 1);
    DVKMatrix_AddScaledColumnToColumn(a, -1, 0, 1);
    DVKMatrix_AddArrayToColumn(a, v, 0);
    DVKMatrix_AddScaledArrayToRow(a, 10, v, 1);
    expectNear(a, {{3, 2}, {16, -8}}, 0);
    const double u[] = {1, 2, 3};
    DVKMatrix* outer = make(3, 2);
    DVKMatrix_OuterProduct(u, v, outer);
    expectNear(outer, {{1, -1}, {2, -2}, {3, -3}}, 0);
    DVKMatrix* wide = make({{1, 2, 3}});
    DVKMatrix* product = make(3, 3);
    DVKMatrix_Multiply(outer, make({{1, 0, 1}, {0, 1, 1}}), product);
    expectNear(product, {{1, -1, 0}, {2, -2, 0}, {3, -3, 0}}, 0);
    EXPECT_EQ(wide->columns, 3);
}

TEST_F(EngineMatrix, TransposeIntoAnotherOrInPlace)
{
    DVKMatrix* a = make({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    DVKMatrix* t = make(3, 3);
    DVKMatrix_Transpose(a, t);
    expectNear(t, {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}, 0);
    DVKMatrix_Transpose(a, a);
    expectNear(a, values(t), 0);
}

TEST_F(EngineMatrix, TraceAndNorms)
{
    DVKMatrix* m = make({{1, -2}, {2, 3}});
    EXPECT_EQ(DVKMatrix_ComputeTrace(m), 4);
    EXPECT_NEAR(DVKMatrix_ComputePthNorm(m, 2), std::sqrt(18.0), 1e-12);
    EXPECT_NEAR(DVKMatrix_ComputePthNormOffDiagonal(m, 2), std::sqrt(8.0), 1e-12);
    // Elements keep their sign: -2 + 2 cancels.
    EXPECT_NEAR(DVKMatrix_ComputePthNormOffDiagonal(m, 1), 0.0, 1e-12);
    EXPECT_NEAR(DVKMatrix_ComputePthNorm(m, 1), 4.0, 1e-12);
    // p = 0 would divide by zero; it answers 0.
    EXPECT_EQ(DVKMatrix_ComputePthNorm(m, 0), 0.0);
    EXPECT_EQ(DVKMatrix_ComputePthNormOffDiagonal(m, 0), 0.0);
}

TEST_F(EngineMatrix, TriangularSolves)
{
    DVKMatrix* L = make({{2, 0, 0}, {1, 3, 0}, {-1, 2, 4}});
    DVKMatrix* U = make(3, 3);
    DVKMatrix_Transpose(L, U);
    const double expected[] = {1, -2, 0.5};
    const struct {
        const char* name;
        int32_t (*solve)(const DVKMatrix*, const double*, double*);
        const DVKMatrix* m;
        bool transposed;
    } cases[] = {
        {"lower", DVKMatrix_LinearSolveLowerTriangular, L, false},
        {"upper", DVKMatrix_LinearSolveUpperTriangular, U, false},
        {"lower transposed", DVKMatrix_LinearSolveLowerTriangularAT, L, true},
        {"upper transposed", DVKMatrix_LinearSolveUpperTriangularAT, U, true},
    };
    for (const auto& c : cases) {
        DVKMatrix* used = make(3, 3);
        if (c.transposed)
            DVKMatrix_Transpose(c.m, used);
        else
            DVKMatrix_Copy(c.m, used);
        double b[3];
        DVKMatrix_MultiplyVector(used, expected, b);
        double x[3] = {};
        EXPECT_EQ(c.solve(c.m, b, x), 0) << c.name;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(x[i], expected[i], 1e-12) << c.name << " " << i;
        DVKMatrix* singular = make(3, 3);
        DVKMatrix_Copy(c.m, singular);
        DVKMatrix_SetElement(singular, 1, 1, 0);
        EXPECT_EQ(c.solve(singular, b, x), 2) << c.name;
        EXPECT_EQ(c.solve(make(2, 3), b, x), 1) << c.name << " non-square";
    }
}

TEST_F(EngineMatrix, CholeskyOfKnownMatrices)
{
    DVKMatrix* L = make(2, 2);
    DVKMatrix_SetElement(L, 0, 1, 9);  // zeroed first
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make({{4, 2}, {2, 3}}), L), 0);
    expectNear(L, {{2, 0}, {1, std::sqrt(2.0)}}, 1e-14);
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make({{1, 2}, {2, 1}}), L), 4);
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make({{0, 0}, {0, 1}}), L), 4);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make({{nan, 0}, {0, 1}}), L), 4);
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make(2, 3), L), 1);
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make(3, 3), L), 1);
    // Only the upper triangle is read.
    EXPECT_EQ(DVKMatrix_CholeskyDecomposition(make({{4, 2}, {-100, 3}}), L), 0);
    expectNear(L, {{2, 0}, {1, std::sqrt(2.0)}}, 1e-14);
}

TEST_F(EngineMatrix, CholeskyReconstructsAndSolvesRandomPositiveDefinite)
{
    for (int32_t n : {1, 3, 8, 20}) {
        DVKMatrix* B = randomSquare(n);
        DVKMatrix* Bt = make(n, n);
        DVKMatrix_Transpose(B, Bt);
        DVKMatrix* A = make(n, n);
        DVKMatrix_Multiply(B, Bt, A);
        for (int32_t i = 0; i < n; ++i)
            DVKMatrix_AddToElement(A, i, i, n);
        DVKMatrix* L = make(n, n);
        ASSERT_EQ(DVKMatrix_CholeskyDecomposition(A, L), 0) << n;
        DVKMatrix* Lt = make(n, n);
        DVKMatrix_Transpose(L, Lt);
        DVKMatrix* back = make(n, n);
        DVKMatrix_Multiply(L, Lt, back);
        expectNear(back, values(A), 1e-10);
        std::vector<double> x(static_cast<size_t>(n)), b(static_cast<size_t>(n)), solved(static_cast<size_t>(n));
        for (auto& v : x)
            v = DVKRandom_NextUniform(m_random);
        DVKMatrix_MultiplyVector(A, x.data(), b.data());
        ASSERT_EQ(DVKMatrix_LinearSolveCholesky(L, b.data(), solved.data()), 0);
        for (int32_t i = 0; i < n; ++i)
            EXPECT_NEAR(solved[static_cast<size_t>(i)], x[static_cast<size_t>(i)], 1e-10);
    }
}

TEST_F(EngineMatrix, LUReconstructsThePermutedRows)
{
    for (int32_t n : {1, 2, 5, 12}) {
        DVKMatrix* A = randomSquare(n);
        DVKMatrix* L = make(n, n);
        DVKMatrix* U = make(n, n);
        DVKPerm* p = DVKPerm_New(n);
        ASSERT_EQ(DVKMatrix_LUDecomposition(A, L, U, p), 0);
        DVKMatrix* LU = make(n, n);
        DVKMatrix_Multiply(L, U, LU);
        for (int32_t i = 0; i < n; ++i) {
            EXPECT_EQ(DVKMatrix_GetElement(L, i, i), 1.0);
            for (int32_t c = 0; c < n; ++c) {
                EXPECT_NEAR(DVKMatrix_GetElement(LU, i, c),
                            DVKMatrix_GetElement(A, DVKPerm_GetOneElement(p, i), c), 1e-12);
                if (c < i) {
                    EXPECT_EQ(DVKMatrix_GetElement(U, i, c), 0.0);
                }
                if (c > i) {
                    EXPECT_EQ(DVKMatrix_GetElement(L, i, c), 0.0);
                }
                // Partial pivoting bounds the multipliers.
                EXPECT_LE(std::fabs(DVKMatrix_GetElement(L, i, c)), 1.0);
            }
        }
        DVKPerm_Delete(p);
    }
}

TEST_F(EngineMatrix, LUWithoutPivotingReportsAZeroPivot)
{
    DVKMatrix* L = make(2, 2);
    DVKMatrix* U = make(2, 2);
    EXPECT_EQ(DVKMatrix_LUDecomposition(make({{0, 1}, {1, 0}}), L, U, nullptr), 1);
    EXPECT_EQ(DVKMatrix_LUDecomposition(make({{2, 1}, {4, 5}}), L, U, nullptr), 0);
    expectNear(L, {{1, 0}, {2, 1}}, 0);
    expectNear(U, {{2, 1}, {0, 3}}, 0);
    const double b[] = {3, 9};
    double x[2];
    EXPECT_EQ(DVKMatrix_LinearSolveLU(L, U, nullptr, b, x), 0);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_NEAR(x[1], 1, 1e-14);
    EXPECT_EQ(DVKMatrix_LUDecomposition(make(2, 3), L, U, nullptr), 1);
}

TEST_F(EngineMatrix, LUOfARectangularMatrix)
{
    DVKMatrix* A = make({{1, 2, 3}, {4, 5, 6}});
    DVKMatrix* L = make(2, 2);
    DVKMatrix* U = make(2, 3);
    DVKPerm* p = DVKPerm_New(2);
    ASSERT_EQ(DVKMatrix_LUDecomposition(A, L, U, p), 0);
    DVKMatrix* LU = make(2, 3);
    DVKMatrix_Multiply(L, U, LU);
    expectNear(LU, {{4, 5, 6}, {1, 2, 3}}, 1e-14);
    DVKPerm_Delete(p);
}

TEST_F(EngineMatrix, DeterminantTable)
{
    const struct {
        Rows m;
        double determinant;
    } cases[] = {
        {{{0, 1}, {1, 0}}, -1},
        {{{0, 2}, {0, 3}}, 0},
        {{{2, 0}, {0, 4}}, 8},
        {{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}, -3},
        {{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}, -1},
        {{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, 1},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(DVKMatrix_ComputeDeterminant(make(c.m)), c.determinant, 1e-12);
    EXPECT_EQ(DVKMatrix_ComputeDeterminant(make(0, 0)), 1.0);
    EXPECT_EQ(DVKMatrix_ComputeDeterminant(make(2, 3)), 0.0);
}

TEST_F(EngineMatrix, InvertKnownAndSingular)
{
    DVKMatrix* result = make(2, 2);
    EXPECT_EQ(DVKMatrix_Invert(make({{2, 0}, {0, 4}}), result), 0);
    expectNear(result, {{0.5, 0}, {0, 0.25}}, 1e-15);
    const Rows singular[] = {{{1, 2}, {2, 4}}, {{0, 0}, {0, 0}}, {{0, 1}, {0, 1}}};
    for (const auto& m : singular)
        EXPECT_EQ(DVKMatrix_Invert(make(m), result), 2);
    EXPECT_EQ(DVKMatrix_Invert(make(2, 3), result), 1);
    EXPECT_EQ(DVKMatrix_Invert(make(3, 3), result), 1);
    // The identity comes from the non-raising allocator.
    DVKMatrix* unit = make({{1, 0}, {0, 1}});
    m_allocator.failNext();
    EXPECT_EQ(DVKMatrix_Invert(unit, result), 1);
}

TEST_F(EngineMatrix, InverseTimesMatrixIsIdentity)
{
    for (int32_t n : {1, 4, 10, 25}) {
        DVKMatrix* A = randomSquare(n);
        DVKMatrix* inverse = make(n, n);
        ASSERT_EQ(DVKMatrix_Invert(A, inverse), 0) << n;
        DVKMatrix* product = make(n, n);
        DVKMatrix_Multiply(A, inverse, product);
        expectNear(product, identity(n), 1e-9);
        DVKMatrix_Multiply(inverse, A, product);
        expectNear(product, identity(n), 1e-9);
    }
}

TEST_F(EngineMatrix, SolveAndSolveMatrix)
{
    DVKMatrix* A = randomSquare(6);
    DVKMatrix* X = randomSquare(6);
    DVKMatrix_DeleteColumn(X, 0);
    DVKMatrix* B = make(6, 5);
    DVKMatrix_Multiply(A, X, B);
    DVKMatrix* solved = make(6, 5);
    ASSERT_EQ(DVKMatrix_SolveMatrix(A, B, solved), 0);
    expectNear(solved, values(X), 1e-10);
    double column[6], x[6];
    DVKMatrix_CopyColumn(B, 2, column);
    ASSERT_EQ(DVKMatrix_LinearSolve(A, column, x), 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(x[i], DVKMatrix_GetElement(X, i, 2), 1e-10);
    EXPECT_EQ(DVKMatrix_SolveMatrix(A, make(5, 5), make(5, 5)), 1);
    EXPECT_EQ(DVKMatrix_SolveMatrix(A, B, make(6, 4)), 1);
    EXPECT_EQ(DVKMatrix_LinearSolve(make(6, 5), column, x), 1);
    EXPECT_EQ(DVKMatrix_LinearSolve(make({{1, 1}, {1, 1}}), column, x), 2);
}

TEST_F(EngineMatrix, SolverTemporariesAreFreedWhenMemoryRunsOut)
{
    DVKMatrix* A = randomSquare(4);
    DVKMatrix* result = make(4, 4);
    for (uint64_t failing = 1; failing <= 8; ++failing) {
        m_allocator.failAt(m_allocator.calls() + failing);
        int32_t code = -1;
        int raised = DVKErr_Protect([&] { code = DVKMatrix_Invert(A, result); });
        m_allocator.failAt(0);
        EXPECT_TRUE(raised == 1 || code == 1 || code == 0) << failing;
    }
    double eigenvalues[4];
    DVKMatrix* S = randomSymmetric(4);
    for (uint64_t failing = 1; failing <= 8; ++failing) {
        m_allocator.failAt(m_allocator.calls() + failing);
        DVKErr_Protect([&] { DVKMatrix_DiagonalizeSymmetric(S, eigenvalues, result); });
        m_allocator.failAt(0);
    }
}

TEST_F(EngineMatrix, DiagonalizeADiagonalMatrix)
{
    DVKMatrix* Z = make(3, 3);
    double eigenvalues[3];
    ASSERT_EQ(DVKMatrix_DiagonalizeSymmetric(make({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}}), eigenvalues, Z), 1);
    EXPECT_NEAR(eigenvalues[0], 3, 1e-15);
    EXPECT_NEAR(eigenvalues[1], 2, 1e-15);
    EXPECT_NEAR(eigenvalues[2], 1, 1e-15);
    Rows absZ = values(Z);
    for (auto& row : absZ)
        for (auto& v : row)
            v = std::fabs(v);
    EXPECT_EQ(absZ, (Rows{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}));
}

TEST_F(EngineMatrix, EigenDecompositionReconstructsRandomSymmetricMatrices)
{
    for (int32_t n : {1, 2, 3, 7, 16, 40}) {
        DVKMatrix* A = randomSymmetric(n);
        DVKMatrix* Z = make(n, n);
        std::vector<double> eigenvalues(static_cast<size_t>(n));
        ASSERT_EQ(DVKMatrix_DiagonalizeSymmetric(A, eigenvalues.data(), Z), 1) << n;
        for (int32_t k = 1; k < n; ++k)
            EXPECT_GE(eigenvalues[static_cast<size_t>(k) - 1], eigenvalues[static_cast<size_t>(k)]);
        EXPECT_NEAR(std::accumulate(eigenvalues.begin(), eigenvalues.end(), 0.0), DVKMatrix_ComputeTrace(A),
                    1e-10);
        // Z is orthogonal and A Z = Z diag(eigenvalues).
        DVKMatrix* Zt = make(n, n);
        DVKMatrix_Transpose(Z, Zt);
        DVKMatrix* product = make(n, n);
        DVKMatrix_Multiply(Zt, Z, product);
        expectNear(product, identity(n), 1e-10);
        DVKMatrix* D = DVKMatrix_NewDiagonal(n, eigenvalues.data());
        m_matrices.push_back(D);
        DVKMatrix* ZD = make(n, n);
        DVKMatrix_Multiply(Z, D, ZD);
        DVKMatrix_Multiply(ZD, Zt, product);
        expectNear(product, values(A), 1e-10);
    }
}

TEST_F(EngineMatrix, EigenDecompositionOfRepeatedAndZeroEigenvalues)
{
    const Rows cases[] = {
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}},
        {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}},
        {{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1e-300}, {0, 0, 1e-300, 0}},
        {{1e300, 1e300}, {1e300, 1e300}},
    };
    for (const auto& c : cases) {
        DVKMatrix* A = make(c);
        int32_t n = A->rows;
        DVKMatrix* Z = make(n, n);
        std::vector<double> eigenvalues(static_cast<size_t>(n));
        ASSERT_EQ(DVKMatrix_DiagonalizeSymmetric(A, eigenvalues.data(), Z), 1);
        for (int32_t k = 0; k < n; ++k) {
            std::vector<double> z(static_cast<size_t>(n)), Az(static_cast<size_t>(n));
            DVKMatrix_CopyColumn(Z, k, z.data());
            DVKMatrix_MultiplyVector(A, z.data(), Az.data());
            double scale = std::max(1.0, std::fabs(eigenvalues[0]));
            for (int32_t i = 0; i < n; ++i)
                EXPECT_NEAR(Az[static_cast<size_t>(i)], eigenvalues[static_cast<size_t>(k)] * z[static_cast<size_t>(i)],
                            1e-12 * scale);
        }
    }
}

TEST_F(EngineMatrix, EigenSolversFailOnNonConvergenceAndBadShapes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DVKMatrix* T = make({{1, nan}, {nan, 2}});
    DVKMatrix* Z = make(2, 2);
    double eigenvalues[2];
    EXPECT_EQ(DVKMatrix_TriDiagonalQLDiagonalize(T, eigenvalues, Z), 0);
    EXPECT_EQ(DVKMatrix_DiagonalizeSymmetric(T, eigenvalues, Z), 0);
    EXPECT_EQ(DVKMatrix_DiagonalizeSymmetric(make(2, 3), eigenvalues, Z), 0);
    EXPECT_EQ(DVKMatrix_DiagonalizeSymmetric(make(3, 3), eigenvalues, Z), 0);
    EXPECT_EQ(DVKMatrix_DiagonalizeSymmetric(make(0, 0), eigenvalues, make(0, 0)), 1);
}

TEST_F(EngineMatrix, HouseholderGivesATridiagonalSimilarMatrix)
{
    int32_t n = 9;
    DVKMatrix* A = randomSymmetric(n);
    DVKMatrix* T = make(n, n);
    DVKMatrix* Q = make(n, n);
    DVKMatrix_HouseholderTridiagonalize(A, T, Q);
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            if (std::abs(r - c) > 1) {
                EXPECT_EQ(DVKMatrix_GetElement(T, r, c), 0.0);
            }
        }
    }
    DVKMatrix* Qt = make(n, n);
    DVKMatrix_Transpose(Q, Qt);
    DVKMatrix* QT = make(n, n);
    DVKMatrix* back = make(n, n);
    DVKMatrix_Multiply(Q, T, QT);
    DVKMatrix_Multiply(QT, Qt, back);
    expectNear(back, values(A), 1e-12);
}

} // namespace

namespace {

// Operations without a result code assert matching shapes in debug builds.
TEST(EngineMatrixDeathTest, MismatchedShapesAssert)
{
    CountingAllocator allocator;
    ScopedEngineContext context(allocator);
    DVKMatrix* a = DVKMatrix_Create(2, 3);
    DVKMatrix* b = DVKMatrix_Create(2, 2);
    EXPECT_DEBUG_DEATH(DVKMatrix_Multiply(a, b, b), "");
    EXPECT_DEBUG_DEATH(DVKMatrix_Add(a, b, b), "");
    EXPECT_DEBUG_DEATH(DVKMatrix_Copy(a, b), "");
    EXPECT_DEBUG_DEATH(DVKMatrix_Transpose(a, a), "");
    DVKMatrix_Delete(a);
    DVKMatrix_Delete(b);
}

} // namespace
