// Front-end stage files written into a test archive through
// ArchiveFixture::add (records from frontend_model.h).
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Needs an engine context (ScopedEngineContext) while used.
#pragma once

#include "tests/support/archive_fixture.h"
#include "tests/support/frontend_model.h"

namespace frontend_fixture {

template <typename Record>
void add(ArchiveFixture& archive, const char* tag, const Record& record,
         const char* prefix = nullptr)
{
    archive.add(
        tag, [&](BinFileWriter* w) { return frontend_model::write(w, record); }, prefix);
}

inline void addSampleSettings(ArchiveFixture& a, const frontend_model::SampleSettings& s,
                              const char* prefix = nullptr)
{
    add(a, "bsc0", s, prefix);
}
inline void addWindow(ArchiveFixture& a, const frontend_model::Window& w, const char* prefix = nullptr)
{
    add(a, "bh0", w, prefix);
}
inline void addFFT(ArchiveFixture& a, const frontend_model::FFT& f, const char* prefix = nullptr)
{
    add(a, "bfc0", f, prefix);
}
inline void addFilterBank(ArchiveFixture& a, const frontend_model::FilterBank& b,
                          const char* prefix = nullptr)
{
    add(a, "bmt0", b, prefix);
}
inline void addDCT(ArchiveFixture& a, const frontend_model::DCT& d, const char* prefix = nullptr)
{
    add(a, "bdc0", d, prefix);
}

inline void addDeltaFilter(ArchiveFixture& a, const frontend_model::DeltaFilter& f,
                           const char* prefix = nullptr)
{
    add(a, "bdf0", f, prefix);
}
inline void addCepstralWarp(ArchiveFixture& a, const frontend_model::CepstralWarp& c,
                            const char* prefix = nullptr)
{
    add(a, "bcw0", c, prefix);
}
inline void addOutputTransforms(ArchiveFixture& a, const frontend_model::OutputTransforms& t,
                                const char* prefix = nullptr)
{
    add(a, "bld0", t, prefix);
}
inline void addChannelNorm(ArchiveFixture& a, const frontend_model::ChannelNorm& c,
                           const char* prefix = nullptr)
{
    add(a, "bch0", c, prefix);
}
inline void addEnergyStage(ArchiveFixture& a, const frontend_model::EnergyStage& e,
                           const char* prefix = nullptr)
{
    add(a, "bcp0", e, prefix);
}

// All five sample-stage sub-files.
inline void addSampleStage(ArchiveFixture& a, const frontend_model::SampleStageModel& m,
                           const char* prefix = nullptr)
{
    addSampleSettings(a, m.settings, prefix);
    addWindow(a, m.window, prefix);
    addFFT(a, m.fft, prefix);
    addFilterBank(a, m.bank, prefix);
    addDCT(a, m.dct, prefix);
}

// A complete front end (see frontend_model::FrontEndModel).
inline void addFrontEnd(ArchiveFixture& a, const frontend_model::FrontEndModel& m,
                        const char* prefix = nullptr)
{
    EXPECT_TRUE(frontend_model::writeFrontEnd(a.tar(), m, prefix));
}

} // namespace frontend_fixture
