// Runs the engine's front end over a WAV or raw 16-bit file and prints one
// line per delivered frame (its index, status code and feature bytes), for
// debugging and for timing.
//
//   brevit_fe [--model FILE] [--raw] [--quiet] INPUT
//
// Without --model the default 8 kHz front end (10 ms shift, 25 ms window) is
// written to a temporary file and used. --raw reads headerless native 16-bit
// mono samples; a WAV file must be 16-bit mono PCM. --quiet prints only the
// frame count and the rate (frames per second of processing).
#include "core/brevit/frontend/fe.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/frontend_model.h"
#include "oem/dvk_oem_dirs.h"
#include "tests/support/system_engine_context.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: brevit_fe [--model FILE] [--raw] [--quiet] INPUT\n");
    return 2;
}

uint32_t le32(const uint8_t* b)
{
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

uint16_t le16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }

// Moves in on by step bytes, only within the file of length bytes.
bool skip(std::FILE* in, uint64_t step, uint64_t length)
{
    const long at = std::ftell(in);
    if (at < 0 || step > length - static_cast<uint64_t>(at))
        return false;
    return std::fseek(in, static_cast<long>(static_cast<uint64_t>(at) + step), SEEK_SET) == 0;
}

// Leaves in at the first sample of a 16-bit mono PCM WAV file and sets how
// many bytes of samples follow; false when it is not one. Chunk steps are
// 64-bit: a declared size near 2^32 must not wrap round to a short step.
bool findWavSamples(std::FILE* in, uint64_t& bytes, uint32_t& rate)
{
    if (std::fseek(in, 0, SEEK_END) != 0)
        return false;
    const long end = std::ftell(in);
    if (end < 0 || std::fseek(in, 0, SEEK_SET) != 0)
        return false;
    const auto length = static_cast<uint64_t>(end);
    uint8_t header[12];
    if (std::fread(header, 1, 12, in) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    uint8_t chunk[8];
    while (std::fread(chunk, 1, 8, in) == 8) {
        const uint64_t size = le32(chunk + 4);
        const uint64_t padded = size + (size & 1);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            uint8_t body[16];
            if (std::fread(body, 1, 16, in) != 16)
                return false;
            if (le16(body) != 1 || le16(body + 2) != 1 || le16(body + 14) != 16)
                return false;
            rate = le32(body + 4);
            format = true;
            if (!skip(in, padded - 16, length))
                return false;
        } else if (std::memcmp(chunk, "data", 4) == 0 && format) {
            // Samples are read up to the end of the file whatever the size says.
            bytes = size;
            return true;
        } else if (!skip(in, padded, length)) {
            return false;
        }
    }
    return false;
}

// The engine's file layer keeps written files in the service's data
// directory: give it one below a temporary platform root of our own.
std::string defaultModel(std::string& root)
{
    const char* tmp = std::getenv("TMPDIR");
    root = std::string(tmp != nullptr ? tmp : "/tmp") + "/brevit_fe.XXXXXX";
    if (mkdtemp(root.data()) == nullptr)
        return std::string();
    setenv("MERROWIND_ROOT", root.c_str(), 1);
    std::error_code error;
    std::filesystem::create_directories(dvkOemWritableDir(), error);
    const std::string path = root + "/model.dvk";
    DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
    const bool ok = tar != nullptr &&
                    frontend_model::writeFrontEnd(tar, frontend_model::FrontEndModel());
    if (tar == nullptr || DVKTar_Close(tar) != 0 || !ok)
        return std::string();
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    std::string model;
    std::string input;
    bool raw = false;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc)
            model = argv[++i];
        else if (arg == "--raw")
            raw = true;
        else if (arg == "--quiet")
            quiet = true;
        else if (!arg.empty() && arg[0] == '-')
            return usage();
        else if (input.empty())
            input = arg;
        else
            return usage();
    }
    if (input.empty())
        return usage();

    std::FILE* in = std::fopen(input.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "brevit_fe: cannot read %s\n", input.c_str());
        return 1;
    }
    uint64_t remaining = UINT64_MAX;  // raw: up to the end of the file
    uint32_t rate = 0;
    if (!raw && !findWavSamples(in, remaining, rate)) {
        std::fprintf(stderr, "brevit_fe: %s is not a 16-bit mono PCM WAV file\n", input.c_str());
        std::fclose(in);
        return 1;
    }

    SystemEngineContext context;
    std::string temporaryRoot;
    const bool temporary = model.empty();
    if (temporary)
        model = defaultModel(temporaryRoot);
    DVKTar* tar = DVKTar_OpenForRead(model.c_str());
    FE* fe = tar != nullptr ? FE_CreateFromBinFile(tar, nullptr) : nullptr;
    if (tar != nullptr)
        DVKTar_Close(tar);
    if (temporary) {
        std::error_code error;
        std::filesystem::remove_all(temporaryRoot, error);
    }
    if (fe == nullptr) {
        std::fprintf(stderr, "brevit_fe: %s holds no usable front end\n", model.c_str());
        return 1;
    }
    if (rate != 0 && rate != static_cast<uint32_t>(FE_GetSampleRate(fe)))
        std::fprintf(stderr, "brevit_fe: warning: input at %u Hz, model at %d Hz\n", rate,
                     FE_GetSampleRate(fe));

    const int32_t shift = FE_GetNumberSamplesInShift(fe);
    std::vector<uint8_t> frame(FE_GetFeatureDim(fe));
    // The file is read in blocks of whole shifts, not at once: one big
    // buffer costs more in page faults than the front end spends on it.
    const size_t blockShifts = std::max<size_t>(1, 8192 / static_cast<size_t>(shift));
    std::vector<uint8_t> block(blockShifts * shift * 2);
    std::vector<int16_t> samples(blockShifts * shift);
    uint16_t info[2];
    long frames = 0;
    auto drain = [&] {
        int32_t status;
        while ((status = FE_GetNextFrame(fe, frame.data(), info)) == kFEStatusSpeech ||
               status == kFEStatusNoSpeech) {
            ++frames;
            if (quiet)
                continue;
            std::printf("%ld %d", frames - 1, status);
            for (uint8_t v : frame)
                std::printf(" %u", v);
            std::printf("\n");
        }
        return status;
    };
    FE_StartUtterance(fe, 0);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(block.size(), remaining));
        const size_t got = std::fread(block.data(), 1, wanted, in);
        remaining -= got;
        const size_t whole = got / 2 / shift * shift;
        // WAV data is little-endian; raw input is in the machine's order.
        if (raw)
            std::memcpy(samples.data(), block.data(), whole * 2);
        else
            for (size_t i = 0; i < whole; ++i)
                samples[i] = static_cast<int16_t>(le16(&block[2 * i]));
        for (size_t at = 0; at < whole; at += shift) {
            FE_FeedSamples(fe, &samples[at]);
            drain();
        }
        // A part shift at the end of the samples is dropped.
        if (got < wanted || whole * 2 < got || remaining == 0)
            break;
    }
    std::fclose(in);
    FE_EndUtterance(fe);
    const int32_t last = drain();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (quiet)
        std::printf("frames %ld seconds %.6f rate %.0f\n", frames, seconds,
                    seconds > 0 ? frames / seconds : 0.0);
    else
        std::printf("end %d\n", last);
    FE_Destroy(fe);
    return 0;
}
