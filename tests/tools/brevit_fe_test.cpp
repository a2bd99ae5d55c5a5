// The brevit_fe command line over WAV files whose chunks it must step over
// or refuse.
#include "platform/core/wex_root.h"
#include "tests/support/wav_fixture.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <sys/wait.h>

#include <string>
#include <vector>

namespace {

std::string le32(uint32_t v)
{
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

std::string le16(uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }

// RIFF header, a chunk before the format, the format and the samples.
std::string wavWithChunk(const std::string& chunk, uint32_t fmtSize = 16)
{
    const std::vector<int16_t> samples = rampSamples(800);
    std::string fmt = "fmt " + le32(fmtSize) + le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
    const std::string data = "data" + le32(1600) + rawBytes(samples);
    const std::string body = "WAVE" + chunk + fmt + data;
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome runOn(const std::string& bytes)
{
    const std::string path = wexRootPath("/input.wav");
    writeBytes(path, bytes);
    gchar* argv[] = {const_cast<gchar*>(BREVIT_FE_PATH), const_cast<gchar*>("--quiet"),
                     const_cast<gchar*>(path.c_str()), nullptr};
    gchar* out = nullptr;
    gint status = -1;
    Outcome run;
    EXPECT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out, nullptr,
                             &status, nullptr));
    run.out = out != nullptr ? out : "";
    g_free(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(BrevitFe, ChunksAreSteppedOverOrRefused)
{
    const struct {
        const char* name;
        std::string chunk;
        uint32_t fmtSize;
        int status;
    } cases[] = {
        {"no extra chunk", "", 16, 0},
        {"an odd chunk and its pad byte", "LIST" + le32(3) + "abc" + std::string(1, '\0'), 16, 0},
        {"a longer format", "", 18, 0},
        {"a chunk of 2^32 - 1 bytes", "LIST" + le32(0xFFFFFFFFu), 16, 1},
        {"a chunk past the end", "LIST" + le32(5000), 16, 1},
        {"a format of 2^32 - 1 bytes", "", 0xFFFFFFFFu, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = wavWithChunk(c.chunk, c.fmtSize);
        if (c.fmtSize == 18) {
            // Two more bytes of format before the samples.
            const size_t data = bytes.find("data");
            bytes.insert(data, std::string(2, '\0'));
        }
        const Outcome run = runOn(bytes);
        EXPECT_EQ(run.status, c.status) << run.out;
        if (c.status == 0) {
            EXPECT_EQ(run.out.rfind("frames ", 0), 0u) << run.out;
        }
    }
}

} // namespace
