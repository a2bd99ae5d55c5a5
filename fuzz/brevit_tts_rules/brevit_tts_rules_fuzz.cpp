// Context rewrite rules arrive inside downloaded synthesis models: take the
// input as the rule records, and with what loads rewrite strings made of the
// pool's own symbols and of the input bytes, match every rule's contexts
// against them, checksum and give it back. The same input is also read as
// the front end's whole rule block (23 rule symbols, phones up to 40).
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_tts_rule_block.h"
#include "core/brevit/synthesis/cep_tts_rules.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

void rewrite(const CepTTSRules* r, const std::vector<uint16_t>& s)
{
    int32_t n = 0;
    DVKMem_Free(CepTTSRules_Apply(r, s.data(), static_cast<int32_t>(s.size()), &n));
    for (int32_t k = 0; k < r->ruleCount; ++k) {
        const CepTTSRule& rule = r->rules[k];
        const auto length = static_cast<int32_t>(s.size());
        CepTTSRules_ContextMatch(r, r->symbolPool + rule.right, rule.rightLength, s.data(), length);
        CepTTSRules_LeftContextMatch(r, r->symbolPool + rule.left, rule.leftLength, s.data(), length);
    }
}

void use(const CepTTSRules* r, const uint8_t* data, size_t size)
{
    // The pool itself holds every focus, so rules fire on it.
    std::vector<uint16_t> pool(r->symbolPool, r->symbolPool + std::min(r->symbolPoolSize, 200));
    rewrite(r, pool);
    std::vector<uint16_t> bytes;
    for (size_t k = 0; k < size && bytes.size() < 64; ++k)
        bytes.push_back(static_cast<uint16_t>(data[k] % 24));
    rewrite(r, bytes);
    rewrite(r, {});
    for (uint16_t a = 0; a < 32; ++a)
        CepTTSRules_SymbolMatch(r, a, static_cast<uint16_t>(a * 7 % 24));
    CepTTSRules_ComputeCRC(r);
}

constexpr int32_t kBlockSymbols = 23;
constexpr int32_t kBlockMaxPhone = 40;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    std::string image;
    appendArchiveEntry(image, "rules", data, size);
    return fuzzArchiveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), [&](DVKTar* tar) {
        BinFileReader* reader = BinFileReader_Create(tar, "rules", nullptr);
        CepTTSRules* r = reader != nullptr ? CepTTSRules_Load(reader) : nullptr;
        BinFileReader_Delete(reader);
        if (r != nullptr)
            use(r, data, size);
        CepTTSRules_Delete(r);

        reader = BinFileReader_Create(tar, "rules", nullptr);
        CepTTSRuleBlock* block =
            reader != nullptr ? CepTTSRuleBlock_Load(reader, kBlockSymbols, kBlockMaxPhone) : nullptr;
        BinFileReader_Delete(reader);
        if (block != nullptr) {
            use(block->rules, data, size);
            for (int32_t s = 0; s <= kBlockSymbols + 1; ++s)
                CepTTSRuleBlock_Kind(block, static_cast<uint16_t>(s));
            CepTTSRuleBlock_ComputeCRC(block);
        }
        CepTTSRuleBlock_Delete(block);
    });
}
