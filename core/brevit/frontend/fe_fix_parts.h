// Operations of the fixed-point front end shared between its source files
// (the operation table is filled in fe_fix.cpp).
#pragma once

#include "core/brevit/frontend/fe_fix.h"

inline FEFix* FEFix_Of(FE* fe) { return reinterpret_cast<FEFix*>(fe); }
inline int16_t* FEFix_Row(FEFix* f, int32_t row) { return f->ring + row * f->head.featureLength; }
inline int32_t FEFix_Wrap(const FEFix* f, int32_t row)
{
    const int32_t n = f->head.ringSize;
    row %= n;
    return row < 0 ? row + n : row;
}

int32_t FEFix_GetSnapshotSize(FE* fe);
int32_t FEFix_FillInSnapshot(FE* fe, void* buffer);
int32_t FEFix_RestoreFromSnapshot(FE* fe, const void* buffer);
int32_t FEFix_WritePSAFile(FE* fe, DVKTar* tar, const char* prefix);
int32_t FEFix_ReadPSAFile(FE* fe, DVKTar* tar, const char* prefix);
uint32_t FEFix_ComputeCRC(FE* fe, int32_t full);
