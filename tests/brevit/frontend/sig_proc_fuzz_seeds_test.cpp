// The seeds of the signal-processing fuzz target (fuzz/brevit_sig_proc)
// are info blocks and packets made by the packet writers; this test
// rebuilds them and checks that the committed files are current.
#include "core/brevit/frontend/sig_proc_packet.h"
#include "fuzz/brevit_sig_proc/sig_proc_fuzz_input.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/param_block_builder.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class SigProcFuzzSeeds : public FrontEndTest {
protected:
    static ParamBlockBuilder receiver(int32_t cepstra)
    {
        ParamBlockBuilder params;
        sig_proc_fuzz::setReceiverWords(cepstra,
                                        [&](int word, uint32_t value) { params.word(word, value); });
        return params;
    }

    // Three packets of the current parameter block's format.
    static std::string packets(int32_t coder, int32_t n)
    {
        int32_t size = SigProcPacket_GetRawPacketSize(nullptr);
        if (coder != 0) {
            EXPECT_EQ(SigProcPacket_GetSizes(coder, nullptr, nullptr, &size), 1);
        }
        std::string bytes;
        for (int32_t p = 0; p < 3; ++p) {
            std::vector<int16_t> cepstra(n);
            for (int32_t i = 0; i < n; ++i)
                cepstra[i] = static_cast<int16_t>((p + 1) * (i * 977 - 5000));
            std::string packet(size, '\0');
            EXPECT_EQ(SigProcPacket_Pack(coder, n, cepstra.data(), 100 * p, p % 2, size, packet.data()), 1);
            bytes += packet;
        }
        return bytes;
    }

    static std::string codedInfo()
    {
        std::string info(kSigProcCodedInfoSize, '\0');
        EXPECT_EQ(SigProcPacket_WriteInfo(1, nullptr, kSigProcCodedInfoSize, info.data()), 1);
        return info;
    }

    // A snapshot's head as a front end writes it: check word 3, version 1,
    // 10 ms shift, 25 ms window and the cepstrum count.
    static std::string snapshot(int32_t cepstra)
    {
        std::string info(468, '\0');
        const uint32_t head[] = {3, 1, 10, 25, static_cast<uint32_t>(cepstra)};
        std::memcpy(info.data(), head, sizeof(head));
        return info;
    }

    void check(const char* name, const std::string& bytes)
    {
        checkFuzzSeed("brevit_sig_proc", name, bytes);
    }
};

TEST_F(SigProcFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    for (int32_t cepstra : {13, 2}) {
        ScopedParamBlock block(receiver(cepstra));
        const std::string name = "coded" + std::to_string(cepstra);
        check(name.c_str(), sig_proc_fuzz::input(static_cast<uint8_t>(cepstra), codedInfo(),
                                                 packets(1, cepstra)));
    }
    ScopedParamBlock block(receiver(13));
    std::string swapped = codedInfo();
    for (size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    check("swapped", sig_proc_fuzz::input(13, swapped, packets(1, 13)));
    check("snapshot", sig_proc_fuzz::input(13, snapshot(13), packets(0, 13)));
}

} // namespace
