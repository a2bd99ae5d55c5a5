// Acoustic model files in a test's fixture archive, from the records of
// acoustic_model_records.h.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link.
#pragma once

#include "tests/support/acoustic_model_records.h"
#include "tests/support/archive_fixture.h"

// Writes the records as the sub-file prefix + tag of the fixture's archive.
inline void writeAcousticModel(ArchiveFixture& archive, const AcousticModelRecords& records,
                               const char* tag = "ba0", const char* prefix = nullptr)
{
    archive.add(tag, [&](BinFileWriter* w) { return records.write(w); }, prefix);
}
