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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: brevit_fe [--model FILE] [--raw] [--quiet] INPUT\n");
    return 2;
}

uint32_t le32(const std::string& b, size_t at)
{
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
           static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t le16(const std::string& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// Where the samples of a 16-bit mono PCM WAV file lie; false when it is not one.
bool wavSamples(const std::string& bytes, size_t& offset, size_t& count, uint32_t& rate)
{
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    bool format = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const size_t size = le32(bytes, at + 4);
        const size_t body = at + 8;
        if (id == "fmt " && body + 16 <= bytes.size()) {
            if (le16(bytes, body) != 1 || le16(bytes, body + 2) != 1 || le16(bytes, body + 14) != 16)
                return false;
            rate = le32(bytes, body + 4);
            format = true;
        } else if (id == "data" && format) {
            offset = body;
            count = std::min(size, bytes.size() - body) / 2;
            return true;
        }
        at = body + size + (size & 1);
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

    std::ifstream in(input, std::ios::binary | std::ios::ate);
    std::string bytes;
    if (in) {
        bytes.resize(static_cast<size_t>(in.tellg()));
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    if (!in) {
        std::fprintf(stderr, "brevit_fe: cannot read %s\n", input.c_str());
        return 1;
    }
    size_t offset = 0;
    size_t count = bytes.size() / 2;
    uint32_t rate = 0;
    if (!raw && !wavSamples(bytes, offset, count, rate)) {
        std::fprintf(stderr, "brevit_fe: %s is not a 16-bit mono PCM WAV file\n", input.c_str());
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
    std::vector<int16_t> samples(shift);
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
    for (size_t at = 0; at + shift <= count; at += shift) {
        // WAV data is little-endian; raw input is in the machine's order.
        for (int32_t i = 0; i < shift; ++i) {
            const size_t byte = offset + 2 * (at + i);
            if (raw)
                std::memcpy(&samples[i], &bytes[byte], 2);
            else
                samples[i] = static_cast<int16_t>(le16(bytes, byte));
        }
        FE_FeedSamples(fe, samples.data());
        drain();
    }
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
