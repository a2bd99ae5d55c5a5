// Applications hand the engine any text: leading bytes choose the tokenizer
// type (1-9), wrap, match mode, room for 0-40 tokens and whether a
// letter-to-sound generator is there; the rest is UTF-16 text. Every token
// written must lie inside the text, in order, and the count must not
// depend on the room; the text then goes through phrase activation and
// alignment (against itself or alone).
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/vocabulary_writer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<vocabulary_fixture::WordSpec> words()
{
    return {{u"New York", u"new york", {"N UW Y AO R K"}, true}, {u"New", u"", {"N UW"}, true},
            {u"York", u"", {"Y AO R K"}, true},                  {u"John", u"", {"Z AA N"}, true},
            {u"a", u"", {"EY"}, true},                           {u"\u6771", u"", {"T AO"}, true},
            {u"3", u"", {"T R IY"}, true},                       {u".", u"period", {"V IY R IH AA D"}, true},
            {u".", u"dot", {"D AA T"}, true},                    {u".", u"point", {"V AO EH N T"}, true}};
}

vocabulary_fixture::Options options(bool generator)
{
    vocabulary_fixture::Options o;
    o.generator = generator;
    o.tokenizeType = 2;
    o.params = {{992, 1}, {991, 3}};
    return o;
}

const std::string& image(bool generator)
{
    static std::string images[2];
    std::string& made = images[generator ? 1 : 0];
    if (made.empty()) {
        SystemEngineContext context;
        ScopedParamBlock params(vocabulary_fixture::params(options(generator)));
        made = writtenArchiveImage(
            [&](DVKTar* tar) { return vocabulary_fixture::write(tar, words(), options(generator)); });
        DVKTempMem_DeleteMemStack();
    }
    return made;
}

void check(const Voc* voc, int32_t type, const std::u16string& text, int32_t wrap, int32_t mode, int32_t max)
{
    const auto* units = reinterpret_cast<const uint16_t*>(text.c_str());
    const int32_t counted = Voc_Tokenize(voc, type, units, wrap, mode, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    std::vector<uint32_t> ids(static_cast<size_t>(max) + 1);
    std::vector<int32_t> starts(ids.size(), -1), lengths(ids.size(), -1);
    std::vector<uint8_t> flags(ids.size()), matches(ids.size());
    const int32_t n = Voc_Tokenize(voc, type, units, wrap, mode, max, ids.data(), starts.data(), lengths.data(),
                                   flags.data(), matches.data());
    if (n != counted)
        std::abort();
    int32_t end = 0;
    for (int32_t k = 0; k < n && k < max; ++k) {
        if (starts[k] < end || lengths[k] < 1 || starts[k] + lengths[k] > static_cast<int32_t>(text.size()))
            std::abort();
        end = starts[k] + lengths[k];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5 || size > 4096)
        return 0;
    const bool generator = (data[4] & 1) != 0;
    const std::string& model = image(generator);
    if (model.empty())
        std::abort();
    const int32_t type = data[0] % 9 + 1;
    const int32_t wrap = data[1] & 1;
    const int32_t mode = data[2] & 1;
    const int32_t max = data[3] % 41;
    std::u16string text;
    for (size_t k = 5; k + 1 < size; k += 2) {
        const char16_t c = static_cast<char16_t>(data[k] | (data[k + 1] << 8));
        if (c != 0)
            text.push_back(c);
    }
    ScopedParamBlock params(vocabulary_fixture::params(options(generator)));
    SystemEngineContext context;
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(model.size()), model.data());
        Voc* voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        if (voc == nullptr)
            std::abort();
        DVKErr_Protect([&] {
            check(voc, type, text, wrap, mode, max);
            std::vector<VocId> ids(static_cast<size_t>(max) + 1);
            std::vector<int32_t> flags(ids.size());
            int32_t count = 0;
            Voc_MakePhraseActive(voc, reinterpret_cast<const uint16_t*>(text.c_str()), 0, max + 1, ids.data(), &count,
                                 flags.data());
            if (count > max + 1)
                std::abort();
            std::vector<int32_t> a(ids.size()), b(ids.size()), c(ids.size()), d(ids.size());
            const auto* units = reinterpret_cast<const uint16_t*>(text.c_str());
            const bool spoken = mode != 0;
            const int32_t aligned = Voc_AlignSpokenPhrase(voc, units, spoken ? units : nullptr, wrap, 0, max,
                                                          ids.data(), a.data(), b.data(), c.data(), d.data());
            if (aligned < 0 || aligned > max)
                std::abort();
            // Entries follow each other on both sides and stay inside both texts.
            const int32_t size = static_cast<int32_t>(text.size());
            int32_t surfaceEnd = 0, spokenEnd = 0;
            for (int32_t k = 0; k < aligned; ++k) {
                if (a[k] < surfaceEnd || b[k] < 1 || a[k] + b[k] > size)
                    std::abort();
                if (spoken ? (c[k] < spokenEnd || d[k] < 0 || c[k] + d[k] > size) : (c[k] != 0 || d[k] != 0))
                    std::abort();
                surfaceEnd = a[k] + b[k];
                spokenEnd = c[k] + d[k];
            }
        });
        Voc_Delete(voc);
        DVKTar_Close(tar);
    });
    DVKTempMem_DeleteMemStack();
    if (context.liveBlocks() != 0)
        std::abort();
    return 0;
}
