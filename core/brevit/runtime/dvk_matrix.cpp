#include "core/brevit/runtime/dvk_matrix.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_perm.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>

namespace {

// Byte size of count elements of width bytes, or 0 when it exceeds what the
// allocator accepts (the element count is never 0 here).
uint32_t checkedBytes(int64_t count, uint32_t width)
{
    uint64_t bytes = static_cast<uint64_t>(std::max<int64_t>(count, 1)) * width;
    return bytes > kDVKMemMaxRequest ? 0u : static_cast<uint32_t>(bytes);
}

uint32_t bytesOrThrow(int64_t count, uint32_t width)
{
    uint32_t bytes = checkedBytes(count, width);
    if (bytes == 0)
        DVKErr_Raise(__FILE__, __LINE__, "Matrix of %lld elements is too large",
                     static_cast<long long>(count));
    return bytes;
}

void pointRows(DVKMatrix* m)
{
    for (int32_t r = 0; r < m->rows; ++r)
        m->rowPointers[r] = m->data + static_cast<size_t>(r) * m->columns;
}

struct MatrixDeleter {
    void operator()(DVKMatrix* m) const { DVKMatrix_Delete(m); }
};
using MatrixHolder = std::unique_ptr<DVKMatrix, MatrixDeleter>;

struct BlockDeleter {
    void operator()(void* p) const { DVKMem_Free(p); }
};
using DoubleHolder = std::unique_ptr<double, BlockDeleter>;

// Temporaries of the solvers raise on failure; the engine error is a C++
// unwind, so the holders free whatever was taken before it.
MatrixHolder createOrThrow(int32_t rows, int32_t columns)
{
    DVKMatrix* m = DVKMatrix_Create(rows, columns);
    if (m == nullptr)
        DVKErr_Raise(__FILE__, __LINE__, "Cannot allocate a %d x %d matrix", rows, columns);
    return MatrixHolder(m);
}

DoubleHolder doublesOrThrow(int32_t n)
{
    return DoubleHolder(static_cast<double*>(DVKMem_CallocOrThrow(bytesOrThrow(n, sizeof(double)))));
}

bool sameShape(const DVKMatrix* a, const DVKMatrix* b)
{
    return a->rows == b->rows && a->columns == b->columns;
}

bool isSquare(const DVKMatrix* m, int32_t n)
{
    return m->rows == n && m->columns == n;
}

int32_t diagonalLength(const DVKMatrix* m)
{
    return std::min(m->rows, m->columns);
}

// Rebuilds m as rows x columns, taking element (r, c) from old (source(r),
// sourceColumn(c)), or zero where a source index is -1.
template <typename RowMap, typename ColumnMap>
void rebuild(DVKMatrix* m, int32_t rows, int32_t columns, RowMap sourceRow, ColumnMap sourceColumn)
{
    auto* data = static_cast<double*>(
        DVKMem_CallocOrThrow(bytesOrThrow(static_cast<int64_t>(rows) * columns, sizeof(double))));
    double** pointers;
    try {
        pointers = static_cast<double**>(DVKMem_MallocOrThrow(bytesOrThrow(rows, sizeof(double*))));
    } catch (...) {
        DVKMem_Free(data);
        throw;
    }
    for (int32_t r = 0; r < rows; ++r) {
        int32_t from = sourceRow(r);
        if (from < 0)
            continue;
        for (int32_t c = 0; c < columns; ++c) {
            int32_t fromColumn = sourceColumn(c);
            if (fromColumn >= 0)
                data[static_cast<size_t>(r) * columns + c] = m->rowPointers[from][fromColumn];
        }
    }
    DVKMem_Free(m->data);
    DVKMem_Free(m->rowPointers);
    m->rows = rows;
    m->columns = columns;
    m->data = data;
    m->rowPointers = pointers;
    pointRows(m);
}

double pthNorm(const DVKMatrix* m, double p, bool offDiagonalOnly)
{
    if (p == 0.0)
        return 0.0;
    double sum = 0.0;
    for (int32_t r = 0; r < m->rows; ++r) {
        for (int32_t c = 0; c < m->columns; ++c) {
            if (!offDiagonalOnly || r != c)
                sum += std::pow(m->rowPointers[r][c], p);
        }
    }
    return std::pow(sum, 1.0 / p);
}

// hypot without overflow or underflow of the squares.
double safeHypot(double a, double b)
{
    double x = std::fabs(a);
    double y = std::fabs(b);
    if (x > y)
        return x * std::sqrt(1.0 + (y / x) * (y / x));
    return y == 0.0 ? 0.0 : y * std::sqrt(1.0 + (x / y) * (x / y));
}

double withSignOf(double magnitude, double sign)
{
    return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

} // namespace

const char* DVKMatrix_GetResultCodeString(int32_t code)
{
    switch (code) {
    case kDVKMatrixOk: return "No error";
    case kDVKMatrixError: return "Non-specific error";
    case kDVKMatrixSingular: return "Singular error";
    case kDVKMatrixNotSymmetric: return "Not symmetric";
    case kDVKMatrixNotPositiveDefinite: return "Not positive definite";
    default: return "";
    }
}

DVKMatrix* DVKMatrix_Create(int32_t rows, int32_t columns)
{
    if (rows < 0 || columns < 0)
        return nullptr;
    uint32_t dataBytes = checkedBytes(static_cast<int64_t>(rows) * columns, sizeof(double));
    uint32_t pointerBytes = checkedBytes(rows, sizeof(double*));
    if (dataBytes == 0 || pointerBytes == 0)
        return nullptr;
    auto* m = static_cast<DVKMatrix*>(DVKMem_Calloc(sizeof(DVKMatrix)));
    if (m == nullptr)
        return nullptr;
    m->rowPointers = static_cast<double**>(DVKMem_Malloc(pointerBytes));
    m->data = static_cast<double*>(DVKMem_Calloc(dataBytes));
    if (m->rowPointers == nullptr || m->data == nullptr) {
        DVKMatrix_Delete(m);
        return nullptr;
    }
    m->rows = rows;
    m->columns = columns;
    pointRows(m);
    return m;
}

DVKMatrix* DVKMatrix_NewDiagonal(int32_t n, const double* values)
{
    DVKMatrix* m = DVKMatrix_Create(n, n);
    if (m != nullptr)
        DVKMatrix_SetDiagonal(m, values);
    return m;
}

DVKMatrix* DVKMatrix_NewScaledIdentity(int32_t n, double s)
{
    DVKMatrix* m = DVKMatrix_Create(n, n);
    if (m != nullptr)
        DVKMatrix_SetScaledIdentity(m, s);
    return m;
}

void DVKMatrix_Delete(DVKMatrix* m)
{
    if (m == nullptr)
        return;
    DVKMem_Free(m->data);
    DVKMem_Free(m->rowPointers);
    DVKMem_Free(m);
}

void DVKMatrix_CheckConsistency(const DVKMatrix*) {}

int32_t DVKMatrix_GetNumberRows(const DVKMatrix* m) { return m->rows; }
int32_t DVKMatrix_GetNumberColumns(const DVKMatrix* m) { return m->columns; }

double DVKMatrix_GetElement(const DVKMatrix* m, int32_t r, int32_t c)
{
    return m->rowPointers[r][c];
}

void DVKMatrix_SetElement(DVKMatrix* m, int32_t r, int32_t c, double x)
{
    m->rowPointers[r][c] = x;
}

void DVKMatrix_AddToElement(DVKMatrix* m, int32_t r, int32_t c, double x)
{
    m->rowPointers[r][c] += x;
}

void DVKMatrix_SetRow(DVKMatrix* m, int32_t r, const double* values)
{
    std::copy(values, values + m->columns, m->rowPointers[r]);
}

void DVKMatrix_CopyRow(const DVKMatrix* m, int32_t r, double* values)
{
    std::copy(m->rowPointers[r], m->rowPointers[r] + m->columns, values);
}

void DVKMatrix_SetColumn(DVKMatrix* m, int32_t c, const double* values)
{
    for (int32_t r = 0; r < m->rows; ++r)
        m->rowPointers[r][c] = values[r];
}

void DVKMatrix_CopyColumn(const DVKMatrix* m, int32_t c, double* values)
{
    for (int32_t r = 0; r < m->rows; ++r)
        values[r] = m->rowPointers[r][c];
}

// A wide matrix has rows diagonal elements, a tall one only columns of them.
void DVKMatrix_SetDiagonal(DVKMatrix* m, const double* values)
{
    for (int32_t i = 0; i < diagonalLength(m); ++i)
        m->rowPointers[i][i] = values[i];
}

void DVKMatrix_CopyDiagonal(const DVKMatrix* m, double* values)
{
    for (int32_t i = 0; i < diagonalLength(m); ++i)
        values[i] = m->rowPointers[i][i];
}

void DVKMatrix_Copy(const DVKMatrix* a, DVKMatrix* b)
{
    assert(sameShape(a, b));
    if (a == b)
        return;
    for (int32_t r = 0; r < a->rows; ++r)
        DVKMatrix_SetRow(b, r, a->rowPointers[r]);
}

void DVKMatrix_SetScaledIdentity(DVKMatrix* m, double s)
{
    int32_t n = diagonalLength(m);
    for (int32_t r = 0; r < n; ++r) {
        std::fill(m->rowPointers[r], m->rowPointers[r] + n, 0.0);
        m->rowPointers[r][r] = s;
    }
}

void DVKMatrix_ExchangeRows(DVKMatrix* m, int32_t i, int32_t j)
{
    std::swap_ranges(m->rowPointers[i], m->rowPointers[i] + m->columns, m->rowPointers[j]);
}

void DVKMatrix_ExchangeColumns(DVKMatrix* m, int32_t i, int32_t j)
{
    for (int32_t r = 0; r < m->rows; ++r)
        std::swap(m->rowPointers[r][i], m->rowPointers[r][j]);
}

void DVKMatrix_PermuteRows(DVKMatrix* m, const DVKPerm* p)
{
    assert(DVKPerm_GetLength(p) == m->rows);
    DVKPerm_Apply(p, m->rowPointers, sizeof(double*));
}

void DVKMatrix_PermuteColumns(DVKMatrix* m, const DVKPerm* p)
{
    assert(DVKPerm_GetLength(p) == m->columns);
    for (int32_t r = 0; r < m->rows; ++r)
        DVKPerm_Apply(p, m->rowPointers[r], sizeof(double));
}

void DVKMatrix_InsertRow(DVKMatrix* m, int32_t r)
{
    assert(r >= 0 && r <= m->rows);
    rebuild(
        m, m->rows + 1, m->columns, [r](int32_t i) { return i < r ? i : i == r ? -1 : i - 1; },
        [](int32_t c) { return c; });
}

void DVKMatrix_DeleteRow(DVKMatrix* m, int32_t r)
{
    assert(r >= 0 && r < m->rows);
    rebuild(
        m, m->rows - 1, m->columns, [r](int32_t i) { return i < r ? i : i + 1; },
        [](int32_t c) { return c; });
}

void DVKMatrix_InsertColumn(DVKMatrix* m, int32_t c)
{
    assert(c >= 0 && c <= m->columns);
    rebuild(
        m, m->rows, m->columns + 1, [](int32_t i) { return i; },
        [c](int32_t j) { return j < c ? j : j == c ? -1 : j - 1; });
}

void DVKMatrix_DeleteColumn(DVKMatrix* m, int32_t c)
{
    assert(c >= 0 && c < m->columns);
    rebuild(
        m, m->rows, m->columns - 1, [](int32_t i) { return i; },
        [c](int32_t j) { return j < c ? j : j + 1; });
}

void DVKMatrix_Scale(DVKMatrix* m, double s)
{
    for (int32_t r = 0; r < m->rows; ++r)
        DVKMatrix_ScaleRow(m, r, s);
}

void DVKMatrix_ScaleRow(DVKMatrix* m, int32_t r, double s)
{
    for (int32_t c = 0; c < m->columns; ++c)
        m->rowPointers[r][c] *= s;
}

void DVKMatrix_ScaleColumn(DVKMatrix* m, int32_t c, double s)
{
    for (int32_t r = 0; r < m->rows; ++r)
        m->rowPointers[r][c] *= s;
}

void DVKMatrix_Add(const DVKMatrix* a, const DVKMatrix* b, DVKMatrix* result)
{
    DVKMatrix_AddScaled(a, 1.0, b, result);
}

// Element-wise, so the result may be an operand here.
void DVKMatrix_AddScaled(const DVKMatrix* a, double s, const DVKMatrix* b, DVKMatrix* result)
{
    assert(sameShape(a, b) && sameShape(a, result));
    for (int32_t r = 0; r < a->rows; ++r) {
        for (int32_t c = 0; c < a->columns; ++c)
            result->rowPointers[r][c] = a->rowPointers[r][c] + s * b->rowPointers[r][c];
    }
}

void DVKMatrix_AddArrayToRow(DVKMatrix* m, const double* values, int32_t r)
{
    DVKMatrix_AddScaledArrayToRow(m, 1.0, values, r);
}

void DVKMatrix_AddArrayToColumn(DVKMatrix* m, const double* values, int32_t c)
{
    DVKMatrix_AddScaledArrayToColumn(m, 1.0, values, c);
}

void DVKMatrix_AddScaledArrayToRow(DVKMatrix* m, double s, const double* values, int32_t r)
{
    for (int32_t c = 0; c < m->columns; ++c)
        m->rowPointers[r][c] += s * values[c];
}

void DVKMatrix_AddScaledArrayToColumn(DVKMatrix* m, double s, const double* values, int32_t c)
{
    for (int32_t r = 0; r < m->rows; ++r)
        m->rowPointers[r][c] += s * values[r];
}

void DVKMatrix_AddScaledRowToRow(DVKMatrix* m, double s, int32_t from, int32_t to)
{
    for (int32_t c = 0; c < m->columns; ++c)
        m->rowPointers[to][c] += s * m->rowPointers[from][c];
}

void DVKMatrix_AddScaledColumnToColumn(DVKMatrix* m, double s, int32_t from, int32_t to)
{
    for (int32_t r = 0; r < m->rows; ++r)
        m->rowPointers[r][to] += s * m->rowPointers[r][from];
}

void DVKMatrix_OuterProduct(const double* u, const double* v, DVKMatrix* m)
{
    for (int32_t r = 0; r < m->rows; ++r) {
        for (int32_t c = 0; c < m->columns; ++c)
            m->rowPointers[r][c] = u[r] * v[c];
    }
}

void DVKMatrix_MultiplyVector(const DVKMatrix* m, const double* v, double* result)
{
    assert(v != result);
    for (int32_t r = 0; r < m->rows; ++r) {
        double sum = 0.0;
        for (int32_t c = 0; c < m->columns; ++c)
            sum += m->rowPointers[r][c] * v[c];
        result[r] = sum;
    }
}

void DVKMatrix_Multiply(const DVKMatrix* a, const DVKMatrix* b, DVKMatrix* result)
{
    assert(a->columns == b->rows);
    assert(result->rows == a->rows && result->columns == b->columns);
    assert(result != a && result != b);
    for (int32_t r = 0; r < a->rows; ++r) {
        for (int32_t c = 0; c < b->columns; ++c) {
            double sum = 0.0;
            for (int32_t k = 0; k < a->columns; ++k)
                sum += a->rowPointers[r][k] * b->rowPointers[k][c];
            result->rowPointers[r][c] = sum;
        }
    }
}

void DVKMatrix_Transpose(const DVKMatrix* a, DVKMatrix* result)
{
    int32_t n = a->rows;
    assert(isSquare(a, n) && isSquare(result, n));
    if (a == result) {
        for (int32_t r = 0; r < n; ++r) {
            for (int32_t c = r + 1; c < n; ++c)
                std::swap(result->rowPointers[r][c], result->rowPointers[c][r]);
        }
        return;
    }
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c)
            result->rowPointers[r][c] = a->rowPointers[c][r];
    }
}

double DVKMatrix_ComputeTrace(const DVKMatrix* m)
{
    double sum = 0.0;
    for (int32_t i = 0; i < diagonalLength(m); ++i)
        sum += m->rowPointers[i][i];
    return sum;
}

double DVKMatrix_ComputePthNorm(const DVKMatrix* m, double p)
{
    return pthNorm(m, p, false);
}

double DVKMatrix_ComputePthNormOffDiagonal(const DVKMatrix* m, double p)
{
    return pthNorm(m, p, true);
}

int32_t DVKMatrix_LinearSolveLowerTriangular(const DVKMatrix* L, const double* b, double* x)
{
    int32_t n = L->rows;
    if (!isSquare(L, n))
        return kDVKMatrixError;
    for (int32_t i = 0; i < n; ++i) {
        double diagonal = L->rowPointers[i][i];
        if (diagonal == 0.0)
            return kDVKMatrixSingular;
        double sum = b[i];
        for (int32_t k = 0; k < i; ++k)
            sum -= L->rowPointers[i][k] * x[k];
        x[i] = sum / diagonal;
    }
    return kDVKMatrixOk;
}

int32_t DVKMatrix_LinearSolveUpperTriangular(const DVKMatrix* U, const double* b, double* x)
{
    int32_t n = U->rows;
    if (!isSquare(U, n))
        return kDVKMatrixError;
    for (int32_t i = n - 1; i >= 0; --i) {
        double diagonal = U->rowPointers[i][i];
        if (diagonal == 0.0)
            return kDVKMatrixSingular;
        double sum = b[i];
        for (int32_t k = i + 1; k < n; ++k)
            sum -= U->rowPointers[i][k] * x[k];
        x[i] = sum / diagonal;
    }
    return kDVKMatrixOk;
}

int32_t DVKMatrix_LinearSolveLowerTriangularAT(const DVKMatrix* L, const double* b, double* x)
{
    int32_t n = L->rows;
    if (!isSquare(L, n))
        return kDVKMatrixError;
    for (int32_t i = n - 1; i >= 0; --i) {
        double diagonal = L->rowPointers[i][i];
        if (diagonal == 0.0)
            return kDVKMatrixSingular;
        double sum = b[i];
        for (int32_t k = i + 1; k < n; ++k)
            sum -= L->rowPointers[k][i] * x[k];
        x[i] = sum / diagonal;
    }
    return kDVKMatrixOk;
}

int32_t DVKMatrix_LinearSolveUpperTriangularAT(const DVKMatrix* U, const double* b, double* x)
{
    int32_t n = U->rows;
    if (!isSquare(U, n))
        return kDVKMatrixError;
    for (int32_t i = 0; i < n; ++i) {
        double diagonal = U->rowPointers[i][i];
        if (diagonal == 0.0)
            return kDVKMatrixSingular;
        double sum = b[i];
        for (int32_t k = 0; k < i; ++k)
            sum -= U->rowPointers[k][i] * x[k];
        x[i] = sum / diagonal;
    }
    return kDVKMatrixOk;
}

int32_t DVKMatrix_CholeskyDecomposition(const DVKMatrix* A, DVKMatrix* L)
{
    int32_t n = A->rows;
    if (!isSquare(A, n) || !isSquare(L, n))
        return kDVKMatrixError;
    DVKMatrix_SetScaledIdentity(L, 0.0);
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = i; j < n; ++j) {
            double x = A->rowPointers[i][j];
            for (int32_t k = 0; k < i; ++k)
                x -= L->rowPointers[i][k] * L->rowPointers[j][k];
            if (j == i) {
                // Also refuses NaN, which would otherwise run through.
                if (!(x > 0.0))
                    return kDVKMatrixNotPositiveDefinite;
                L->rowPointers[i][i] = std::sqrt(x);
            } else {
                L->rowPointers[j][i] = x / L->rowPointers[i][i];
            }
        }
    }
    return kDVKMatrixOk;
}

int32_t DVKMatrix_LinearSolveCholesky(const DVKMatrix* L, const double* b, double* x)
{
    int32_t n = L->rows;
    if (!isSquare(L, n))
        return kDVKMatrixError;
    DoubleHolder y = doublesOrThrow(n);
    int32_t code = DVKMatrix_LinearSolveLowerTriangular(L, b, y.get());
    if (code != kDVKMatrixOk)
        return code;
    return DVKMatrix_LinearSolveLowerTriangularAT(L, y.get(), x);
}

int32_t DVKMatrix_LUDecomposition(const DVKMatrix* A, DVKMatrix* L, DVKMatrix* U, DVKPerm* p)
{
    int32_t rows = A->rows;
    if (!isSquare(L, rows) || !sameShape(A, U))
        return kDVKMatrixError;
    DVKMatrix_Copy(A, U);
    DVKMatrix_SetScaledIdentity(L, 0.0);
    auto index = std::unique_ptr<int32_t, BlockDeleter>(
        static_cast<int32_t*>(DVKMem_MallocOrThrow(bytesOrThrow(rows, sizeof(int32_t)))));
    std::iota(index.get(), index.get() + rows, 0);
    double** u = U->rowPointers;
    double** l = L->rowPointers;
    for (int32_t k = 0; k < diagonalLength(A); ++k) {
        if (p != nullptr) {
            int32_t pivot = k;
            for (int32_t i = k + 1; i < rows; ++i) {
                if (std::fabs(u[i][k]) > std::fabs(u[pivot][k]))
                    pivot = i;
            }
            if (u[pivot][k] == 0.0)
                continue;
            if (pivot != k) {
                DVKMatrix_ExchangeRows(U, pivot, k);
                DVKMatrix_ExchangeRows(L, pivot, k);
                std::swap(index.get()[pivot], index.get()[k]);
            }
        } else if (u[k][k] == 0.0) {
            return kDVKMatrixError;
        }
        for (int32_t i = k + 1; i < rows; ++i) {
            double f = u[i][k] / u[k][k];
            l[i][k] = f;
            for (int32_t c = k + 1; c < U->columns; ++c)
                u[i][c] -= f * u[k][c];
            u[i][k] = 0.0;
        }
    }
    if (p != nullptr)
        DVKPerm_SetMapping(p, rows, index.get());
    for (int32_t i = 0; i < rows; ++i)
        l[i][i] = 1.0;
    return kDVKMatrixOk;
}

int32_t DVKMatrix_LinearSolveLU(const DVKMatrix* L, const DVKMatrix* U, const DVKPerm* p,
                                const double* b, double* x)
{
    int32_t n = L->rows;
    if (!isSquare(L, n) || !isSquare(U, n) || (p != nullptr && DVKPerm_GetLength(p) != n))
        return kDVKMatrixError;
    DoubleHolder y = doublesOrThrow(n);
    std::copy(b, b + n, y.get());
    if (p != nullptr)
        DVKPerm_ApplyPower(p, -1, y.get(), sizeof(double));
    int32_t code = DVKMatrix_LinearSolveLowerTriangular(L, y.get(), y.get());
    if (code != kDVKMatrixOk)
        return code;
    return DVKMatrix_LinearSolveUpperTriangular(U, y.get(), x);
}

namespace {

// Pivoted LU of a square A into fresh temporaries; then solve(L, U, p).
template <typename Solve>
int32_t withPivotedLU(const DVKMatrix* A, Solve solve)
{
    int32_t n = A->rows;
    if (!isSquare(A, n))
        return kDVKMatrixError;
    MatrixHolder L = createOrThrow(n, n);
    MatrixHolder U = createOrThrow(n, n);
    std::unique_ptr<DVKPerm, void (*)(DVKPerm*)> p(DVKPerm_New(n), DVKPerm_Delete);
    int32_t code = DVKMatrix_LUDecomposition(A, L.get(), U.get(), p.get());
    if (code != kDVKMatrixOk)
        return code;
    return solve(L.get(), U.get(), p.get());
}

} // namespace

int32_t DVKMatrix_LinearSolve(const DVKMatrix* A, const double* b, double* x)
{
    return withPivotedLU(A, [&](const DVKMatrix* L, const DVKMatrix* U, const DVKPerm* p) {
        return DVKMatrix_LinearSolveLU(L, U, p, b, x);
    });
}

// One decomposition serves every column.
int32_t DVKMatrix_SolveMatrix(const DVKMatrix* A, const DVKMatrix* B, DVKMatrix* X)
{
    int32_t n = A->rows;
    if (B->rows != n || !sameShape(B, X) || X == A)
        return kDVKMatrixError;
    return withPivotedLU(A, [&](const DVKMatrix* L, const DVKMatrix* U, const DVKPerm* p) {
        DoubleHolder column = doublesOrThrow(n);
        DoubleHolder solution = doublesOrThrow(n);
        for (int32_t c = 0; c < B->columns; ++c) {
            DVKMatrix_CopyColumn(B, c, column.get());
            int32_t code = DVKMatrix_LinearSolveLU(L, U, p, column.get(), solution.get());
            if (code != kDVKMatrixOk)
                return code;
            DVKMatrix_SetColumn(X, c, solution.get());
        }
        return static_cast<int32_t>(kDVKMatrixOk);
    });
}

int32_t DVKMatrix_Invert(const DVKMatrix* A, DVKMatrix* result)
{
    MatrixHolder identity(DVKMatrix_NewScaledIdentity(A->rows, 1.0));
    if (!identity)
        return kDVKMatrixError;
    return DVKMatrix_SolveMatrix(A, identity.get(), result);
}

// 0 for a non-square matrix, which has no determinant.
double DVKMatrix_ComputeDeterminant(const DVKMatrix* A)
{
    double determinant = 0.0;
    withPivotedLU(A, [&](const DVKMatrix*, const DVKMatrix* U, const DVKPerm* p) {
        determinant = DVKPerm_GetSign(p);
        for (int32_t i = 0; i < U->rows; ++i)
            determinant *= U->rowPointers[i][i];
        return static_cast<int32_t>(kDVKMatrixOk);
    });
    return determinant;
}

int32_t DVKMatrix_TriDiagonalQLDiagonalize(const DVKMatrix* T, double* eigenvalues, DVKMatrix* Z)
{
    constexpr int kMaxSweeps = 30;
    int32_t n = T->rows;
    if (!isSquare(T, n) || !isSquare(Z, n))
        return 0;
    if (n == 0)
        return 1;
    DoubleHolder dHolder = doublesOrThrow(n);
    DoubleHolder eHolder = doublesOrThrow(n);
    double* d = dHolder.get();
    double* e = eHolder.get();
    for (int32_t i = 0; i < n; ++i) {
        d[i] = T->rowPointers[i][i];
        e[i] = i + 1 < n ? T->rowPointers[i + 1][i] : 0.0;
    }
    DVKMatrix_SetScaledIdentity(Z, 1.0);
    double** z = Z->rowPointers;
    for (int32_t l = 0; l < n; ++l) {
        int sweeps = 0;
        int32_t m;
        do {
            for (m = l; m < n - 1; ++m) {
                double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
                if (std::fabs(e[m]) + dd == dd)
                    break;
            }
            if (m == l)
                break;
            if (sweeps++ == kMaxSweeps)
                return 0;
            double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
            double r = safeHypot(g, 1.0);
            g = d[m] - d[l] + e[l] / (g + withSignOf(r, g));
            double s = 1.0;
            double c = 1.0;
            double p = 0.0;
            bool endedEarly = false;
            for (int32_t i = m - 1; i >= l; --i) {
                double f = s * e[i];
                double b = c * e[i];
                r = safeHypot(f, g);
                e[i + 1] = r;
                if (r == 0.0) {
                    d[i + 1] -= p;
                    e[m] = 0.0;
                    endedEarly = true;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2.0 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                for (int32_t k = 0; k < n; ++k) {
                    f = z[k][i + 1];
                    z[k][i + 1] = s * z[k][i] + c * f;
                    z[k][i] = c * z[k][i] - s * f;
                }
            }
            if (endedEarly)
                continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0.0;
        } while (m != l);
    }
    std::copy(d, d + n, eigenvalues);
    return 1;
}

void DVKMatrix_HouseholderTridiagonalize(const DVKMatrix* A, DVKMatrix* T, DVKMatrix* Q)
{
    int32_t n = A->rows;
    assert(isSquare(A, n) && isSquare(T, n) && isSquare(Q, n));
    DVKMatrix_SetScaledIdentity(T, 0.0);
    DVKMatrix_Copy(A, Q);
    if (n == 0)
        return;
    DoubleHolder dHolder = doublesOrThrow(n);
    DoubleHolder eHolder = doublesOrThrow(n);
    double* d = dHolder.get();
    double* e = eHolder.get();
    double** a = Q->rowPointers;
    for (int32_t i = n - 1; i > 0; --i) {
        int32_t l = i - 1;
        double h = 0.0;
        double scale = 0.0;
        if (l > 0) {
            for (int32_t k = 0; k <= l; ++k)
                scale += std::fabs(a[i][k]);
        }
        if (scale == 0.0) {
            e[i] = a[i][l];
        } else {
            for (int32_t k = 0; k <= l; ++k) {
                a[i][k] /= scale;
                h += a[i][k] * a[i][k];
            }
            double f = a[i][l];
            double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
            e[i] = scale * g;
            h -= f * g;
            a[i][l] = f - g;
            f = 0.0;
            for (int32_t j = 0; j <= l; ++j) {
                a[j][i] = a[i][j] / h;
                g = 0.0;
                for (int32_t k = 0; k <= j; ++k)
                    g += a[j][k] * a[i][k];
                for (int32_t k = j + 1; k <= l; ++k)
                    g += a[k][j] * a[i][k];
                e[j] = g / h;
                f += e[j] * a[i][j];
            }
            double hh = f / (h + h);
            for (int32_t j = 0; j <= l; ++j) {
                f = a[i][j];
                g = e[j] - hh * f;
                e[j] = g;
                for (int32_t k = 0; k <= j; ++k)
                    a[j][k] -= f * e[k] + g * a[i][k];
            }
        }
        d[i] = h;
    }
    d[0] = 0.0;
    e[0] = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        if (d[i] != 0.0) {
            for (int32_t j = 0; j < i; ++j) {
                double g = 0.0;
                for (int32_t k = 0; k < i; ++k)
                    g += a[i][k] * a[k][j];
                for (int32_t k = 0; k < i; ++k)
                    a[k][j] -= g * a[k][i];
            }
        }
        d[i] = a[i][i];
        a[i][i] = 1.0;
        for (int32_t j = 0; j < i; ++j) {
            a[j][i] = 0.0;
            a[i][j] = 0.0;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        T->rowPointers[i][i] = d[i];
        if (i > 0) {
            T->rowPointers[i][i - 1] = e[i];
            T->rowPointers[i - 1][i] = e[i];
        }
    }
}

int32_t DVKMatrix_DiagonalizeSymmetric(const DVKMatrix* A, double* eigenvalues, DVKMatrix* Z)
{
    int32_t n = A->rows;
    if (!isSquare(A, n) || !isSquare(Z, n))
        return 0;
    if (n == 0)
        return 1;
    MatrixHolder T = createOrThrow(n, n);
    MatrixHolder Q = createOrThrow(n, n);
    DVKMatrix_HouseholderTridiagonalize(A, T.get(), Q.get());
    if (DVKMatrix_TriDiagonalQLDiagonalize(T.get(), eigenvalues, Z) == 0)
        return 0;
    DVKMatrix_Multiply(Q.get(), Z, T.get());
    // Largest first, equal values in descending index order. A local
    // comparator keeps this reentrant; NaN goes last so the order stays
    // strict and the sort stays in bounds.
    auto order = std::unique_ptr<int32_t, BlockDeleter>(
        static_cast<int32_t*>(DVKMem_MallocOrThrow(bytesOrThrow(n, sizeof(int32_t)))));
    std::iota(order.get(), order.get() + n, 0);
    std::sort(order.get(), order.get() + n, [eigenvalues](int32_t a, int32_t b) {
        double x = eigenvalues[a];
        double y = eigenvalues[b];
        if (std::isnan(x) || std::isnan(y)) {
            if (std::isnan(x) != std::isnan(y))
                return std::isnan(y);
            return a > b;
        }
        return x != y ? x > y : a > b;
    });
    DoubleHolder sorted = doublesOrThrow(n);
    for (int32_t k = 0; k < n; ++k) {
        int32_t from = order.get()[k];
        sorted.get()[k] = eigenvalues[from];
        for (int32_t r = 0; r < n; ++r)
            Z->rowPointers[r][k] = T->rowPointers[r][from];
    }
    std::copy(sorted.get(), sorted.get() + n, eigenvalues);
    return 1;
}
