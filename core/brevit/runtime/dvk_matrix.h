// Dense double matrices for speaker adaptation: access, arithmetic,
// triangular, Cholesky and LU solves, determinant, inverse, norms and the
// eigen-decomposition of a symmetric matrix. Results go into caller-created
// matrices; only the decompositions and solvers take temporaries, from the
// raising allocator. Index arguments are trusted; operand dimensions are
// asserted, and the operations with result codes answer 1 on a mismatch.
#pragma once

#include <cstdint>

struct DVKPerm;

struct DVKMatrix {
    int32_t rows;
    int32_t columns;
    double** rowPointers;  // rows entries; only PermuteRows reorders them
    double* data;          // rows x columns doubles
};

enum : int32_t {
    kDVKMatrixOk = 0,
    kDVKMatrixError = 1,
    kDVKMatrixSingular = 2,
    kDVKMatrixNotSymmetric = 3,
    kDVKMatrixNotPositiveDefinite = 4,
};

const char* DVKMatrix_GetResultCodeString(int32_t code);

// Null when an allocation fails or when the size is negative or too large.
DVKMatrix* DVKMatrix_Create(int32_t rows, int32_t columns);
DVKMatrix* DVKMatrix_NewDiagonal(int32_t n, const double* values);
DVKMatrix* DVKMatrix_NewScaledIdentity(int32_t n, double s);
void DVKMatrix_Delete(DVKMatrix* m);
void DVKMatrix_CheckConsistency(const DVKMatrix* m);

int32_t DVKMatrix_GetNumberRows(const DVKMatrix* m);
int32_t DVKMatrix_GetNumberColumns(const DVKMatrix* m);
double DVKMatrix_GetElement(const DVKMatrix* m, int32_t r, int32_t c);
void DVKMatrix_SetElement(DVKMatrix* m, int32_t r, int32_t c, double x);
void DVKMatrix_AddToElement(DVKMatrix* m, int32_t r, int32_t c, double x);
void DVKMatrix_SetRow(DVKMatrix* m, int32_t r, const double* values);
void DVKMatrix_CopyRow(const DVKMatrix* m, int32_t r, double* values);
void DVKMatrix_SetColumn(DVKMatrix* m, int32_t c, const double* values);
void DVKMatrix_CopyColumn(const DVKMatrix* m, int32_t c, double* values);
void DVKMatrix_SetDiagonal(DVKMatrix* m, const double* values);
void DVKMatrix_CopyDiagonal(const DVKMatrix* m, double* values);
void DVKMatrix_Copy(const DVKMatrix* a, DVKMatrix* b);
void DVKMatrix_SetScaledIdentity(DVKMatrix* m, double s);
void DVKMatrix_ExchangeRows(DVKMatrix* m, int32_t i, int32_t j);
void DVKMatrix_ExchangeColumns(DVKMatrix* m, int32_t i, int32_t j);
// Row (column) j moves to position p(j).
void DVKMatrix_PermuteRows(DVKMatrix* m, const DVKPerm* p);
void DVKMatrix_PermuteColumns(DVKMatrix* m, const DVKPerm* p);
// Insert a zero row (column) at the index, or remove one; the others keep
// their order.
void DVKMatrix_InsertRow(DVKMatrix* m, int32_t r);
void DVKMatrix_DeleteRow(DVKMatrix* m, int32_t r);
void DVKMatrix_InsertColumn(DVKMatrix* m, int32_t c);
void DVKMatrix_DeleteColumn(DVKMatrix* m, int32_t c);

void DVKMatrix_Scale(DVKMatrix* m, double s);
void DVKMatrix_ScaleRow(DVKMatrix* m, int32_t r, double s);
void DVKMatrix_ScaleColumn(DVKMatrix* m, int32_t c, double s);
void DVKMatrix_Add(const DVKMatrix* a, const DVKMatrix* b, DVKMatrix* result);
void DVKMatrix_AddScaled(const DVKMatrix* a, double s, const DVKMatrix* b, DVKMatrix* result);
void DVKMatrix_AddArrayToRow(DVKMatrix* m, const double* values, int32_t r);
void DVKMatrix_AddArrayToColumn(DVKMatrix* m, const double* values, int32_t c);
void DVKMatrix_AddScaledArrayToRow(DVKMatrix* m, double s, const double* values, int32_t r);
void DVKMatrix_AddScaledArrayToColumn(DVKMatrix* m, double s, const double* values, int32_t c);
void DVKMatrix_AddScaledRowToRow(DVKMatrix* m, double s, int32_t from, int32_t to);
void DVKMatrix_AddScaledColumnToColumn(DVKMatrix* m, double s, int32_t from, int32_t to);
void DVKMatrix_OuterProduct(const double* u, const double* v, DVKMatrix* m);
void DVKMatrix_MultiplyVector(const DVKMatrix* m, const double* v, double* result);
void DVKMatrix_Multiply(const DVKMatrix* a, const DVKMatrix* b, DVKMatrix* result);
// Square a only; result may be a.
void DVKMatrix_Transpose(const DVKMatrix* a, DVKMatrix* result);
double DVKMatrix_ComputeTrace(const DVKMatrix* m);
// (sum of pow(element, p))^(1/p); 0 for p = 0.
double DVKMatrix_ComputePthNorm(const DVKMatrix* m, double p);
double DVKMatrix_ComputePthNormOffDiagonal(const DVKMatrix* m, double p);

int32_t DVKMatrix_LinearSolveLowerTriangular(const DVKMatrix* L, const double* b, double* x);
int32_t DVKMatrix_LinearSolveUpperTriangular(const DVKMatrix* U, const double* b, double* x);
int32_t DVKMatrix_LinearSolveLowerTriangularAT(const DVKMatrix* L, const double* b, double* x);
int32_t DVKMatrix_LinearSolveUpperTriangularAT(const DVKMatrix* U, const double* b, double* x);
int32_t DVKMatrix_CholeskyDecomposition(const DVKMatrix* A, DVKMatrix* L);
int32_t DVKMatrix_LinearSolveCholesky(const DVKMatrix* L, const double* b, double* x);
// Row i of L U is row p(i) of A; p may be null (no pivoting).
int32_t DVKMatrix_LUDecomposition(const DVKMatrix* A, DVKMatrix* L, DVKMatrix* U, DVKPerm* p);
int32_t DVKMatrix_LinearSolveLU(const DVKMatrix* L, const DVKMatrix* U, const DVKPerm* p,
                                const double* b, double* x);
int32_t DVKMatrix_LinearSolve(const DVKMatrix* A, const double* b, double* x);
int32_t DVKMatrix_SolveMatrix(const DVKMatrix* A, const DVKMatrix* B, DVKMatrix* X);
int32_t DVKMatrix_Invert(const DVKMatrix* A, DVKMatrix* result);
double DVKMatrix_ComputeDeterminant(const DVKMatrix* A);
// 1 on success, 0 when an eigenvalue does not converge.
int32_t DVKMatrix_TriDiagonalQLDiagonalize(const DVKMatrix* T, double* eigenvalues, DVKMatrix* Z);
void DVKMatrix_HouseholderTridiagonalize(const DVKMatrix* A, DVKMatrix* T, DVKMatrix* Q);
// Eigenvalues largest first, column k of Z the eigenvector of eigenvalue k;
// 1 on success, 0 on failure.
int32_t DVKMatrix_DiagonalizeSymmetric(const DVKMatrix* A, double* eigenvalues, DVKMatrix* Z);
