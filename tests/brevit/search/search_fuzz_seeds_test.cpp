// The seeds of the model-table fuzz target are archives of every table kind
// made by the table writers, whole and damaged.
#include "tests/brevit/search/table_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <string>

namespace {

using namespace search_tables;

// One sub-file per table kind, under the names the fuzz target reads.
std::string tablesArchive(const char* name, int32_t treeEncoding, int32_t shift, bool damaged)
{
    ArchiveFixture archive(name);
    PhoneRewriteFields phr = phoneRewrite({{{10, 11}, {20}}, {{10}, {21, 21}}, {{1}, {}}}, 30, 1, 2);
    NDimFields ndim;
    ndim.dimensions = 2;
    ndim.entryCount = 3;
    ndim.dense = 0;
    ndim.sizes[0] = 2;
    ndim.sizes[1] = 50;
    ndim.rowIndex = {0, 2, 2, 3};
    ndim.keys = {4, 9, 7};
    ndim.values = {-5, 10, 20};
    IndexFields idx = indexTable({5, 6, 7});
    RewriteFields rw = rewrites({{}, {{11, 12}, {13}}, {{}, {7}}});
    SymbolFields<char> sym = symbols<char>({{"a", 3}, {"b", 1}, {"c", 2}}, false);
    SymbolFields<char16_t> symu = sortedSymbols<char16_t>({u"x", u"y"});
    TreeNode root = ask(1, 0, classLeaf(10), ask(2, 3, pairLeaf({{1, 1}, {2, 2}}), classLeaf(30)));
    root.children[1].children[1].pairs = {{3, 3}};
    TreeFields dt = tree(root, rewrites({{}, {{5, 6}}, {{7}}}), treeEncoding, shift);
    if (damaged) {
        phr.buckets[5] = 9;
        ndim.rowIndex[3] = 4;
        rw.offsets[2] = 99;
        sym.pool.back() = 'z';
        dt.nodes[0] ^= 0x0800;
    }
    archive.add("phr", [&](BinFileWriter* w) { return write(w, phr); });
    archive.add("ndim", [&](BinFileWriter* w) { return write(w, ndim); });
    archive.add("idx", [&](BinFileWriter* w) { return write(w, idx); });
    archive.add("rw", [&](BinFileWriter* w) { return write(w, rw); });
    archive.add("sym", [&](BinFileWriter* w) { return write(w, sym); });
    archive.add("symu", [&](BinFileWriter* w) { return write(w, symu); });
    archive.add("dt", [&](BinFileWriter* w) { return write(w, dt); });
    archive.finish();
    return archive.bytes();
}

using SearchFuzzSeeds = TableTest;

TEST_F(SearchFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    checkFuzzSeed("brevit_search_tables", "mini", tablesArchive("mini.dvk", kTreeMini, 0, false));
    checkFuzzSeed("brevit_search_tables", "std", tablesArchive("std.dvk", kTreeStd, 1, false));
    checkFuzzSeed("brevit_search_tables", "damaged", tablesArchive("damaged.dvk", kTreeMini, 0, true));
}

} // namespace
