// Sub-file "bcn0": class-pair constraints of a constraint file by index,
// pairs of (u32 index, class-pair record) ended by the u32 count n.
#include "core/brevit/search/constraint.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/search/class_pair_constraint.h"

#include <cstring>

int32_t Constraint_LoadFromBinFile(DVKTar* archive, const char* prefix, ClassManager* classManager,
                                   Constraint** array, int32_t n)
{
    if (n < 0 || n > kConstraintMaxActive)
        return 0;
    BinFileReader* reader = BinFileReader_Create(archive, "bcn0", prefix);
    if (reader == nullptr)
        return 0;
    if (n > 0)
        std::memset(array, 0, static_cast<size_t>(n) * sizeof(Constraint*));
    int32_t read = 0;
    for (;;) {
        uint32_t index = 0;
        if (BinFileReader_ReadUnsignedInt(reader, &index) == 0)
            break;
        if (index == static_cast<uint32_t>(n)) {
            BinFileReader_Delete(reader);
            return 1;
        }
        // An index past the array or one already filled ends the file as a
        // failed read would: nothing is written outside it or overwritten.
        if (index > static_cast<uint32_t>(n) || array[index] != nullptr)
            break;
        Constraint* con = ClassPairConstraint_ReadFromConstraintFile(reader, classManager);
        if (con == nullptr)
            break;
        array[index] = con;
        ++read;
    }
    BinFileReader_Delete(reader);
    return read > 0 ? 1 : 0;
}
