#include "core/brevit/runtime/bin_file_members.h"

#include "core/brevit/runtime/dvk_mem.h"

bool BinFile_ValidMembers(const BinFileMember* members, uint32_t count, uint32_t stride,
                          uint64_t* elementBytes)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (members[i].size == 0 ||
            static_cast<uint64_t>(members[i].offset) + members[i].size > stride)
            return false;
        total += members[i].size;
    }
    *elementBytes = total;
    return true;
}

BinFileMember* BinFile_TakeMembers(BinFileMember* local, uint32_t count, va_list args)
{
    BinFileMember* members = local;
    if (count > kBinFileStackMembers) {
        if (static_cast<uint64_t>(count) * sizeof(BinFileMember) > UINT32_MAX)
            return nullptr;
        members = static_cast<BinFileMember*>(DVKMem_Malloc(count * sizeof(BinFileMember)));
        if (members == nullptr)
            return nullptr;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const int offset = va_arg(args, int);
        const int size = va_arg(args, int);
        members[i].offset = offset < 0 ? UINT32_MAX : static_cast<uint32_t>(offset);
        members[i].size = size < 0 ? 0 : static_cast<uint32_t>(size);
    }
    return members;
}

void BinFile_ReleaseMembers(BinFileMember* members, const BinFileMember* local)
{
    if (members != local)
        DVKMem_Free(members);
}
