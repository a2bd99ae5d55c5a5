// The seeds of the phrase-request fuzz target, rebuilt here and replayed on
// its words: twenty titles added from text (inactive words activated,
// unknown words added) and matched, the right title first; classes made,
// cleared and removed under fixed and odd names; a text of more than 100
// tokens tokenised twice and matched whole.
#include "fuzz/brevit_ir_entry/ir_entry_script.h"

#include "core/brevit/runtime/dvk_err.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/vocabulary_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ir_entry::Script;

const std::vector<std::u16string> kTitles = {
    u"blue moon",       u"red river",      u"the night",      u"love song",      u"city road",
    u"home star",       u"dance the night", u"fire sky",      u"rain song",      u"moon river",
    u"the blue road",   u"star dance",     u"night city",     u"love love love", u"sky home",
    u"red red rain",    u"a song",         u"river road home", u"blue fire",     u"zorba dance"};

Script titles()
{
    Script s;
    s.create("titles", false);
    for (size_t k = 0; k < kTitles.size(); ++k)
        s.add("titles", kTitles[k], static_cast<uint32_t>(100 + k));
    s.match("titles", u"the blue moon", 5)
        .match("titles", u"zorba", 3)
        .match("titles", u"red rain", 3)
        .has("titles", u"love song")
        .has("titles", u"song love")
        .score("titles", u"river road home");
    return s;
}

Script classes()
{
    Script s;
    s.create("songs", true)
        .create("songs", false)
        .add("songs", u"star song", 7)
        .add("songs", u"star song", 8)
        .create("_SHADOWIR_titles", false)
        .create("x\x7f", false)
        .add("x\x7f", u"sky", 0xFFFFFFFE)
        .clear("songs")
        .match("songs", u"star", 4)
        .add("songs", u"song star", 9)
        .remove("_SHADOWIR_titles")
        .remove("t")
        .match("songs", u"star", 4);
    return s;
}

// 124 tokens in 247 units: "a o a o ... a".
Script longText()
{
    std::u16string text = u"a";
    for (int k = 1; k < 124; ++k)
        text += k % 2 != 0 ? u" o" : u" a";
    Script s;
    s.create("t", false).add("t", u"a a", 1).add("t", text, 2).match("t", text, 2);
    return s;
}

class IREntryFuzzSeeds : public ::testing::Test {
protected:
    IREntryFuzzSeeds()
    {
        const ParamBlockBuilder extra = ir_entry::params();
        m_vocabulary.params() = extra.block();
    }

    ir_entry::Outcome replay(const Script& s)
    {
        Voc* voc = m_vocabulary.load();
        IR* index = IR_Create(voc);
        ir_entry::Outcome out;
        EXPECT_EQ(DVKErr_Protect([&] {
                      out = ir_entry::Runner(voc, index).run(reinterpret_cast<const uint8_t*>(s.bytes().data()),
                                                             s.bytes().size());
                  }),
                  0);
        IR_Delete(index);
        return out;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    VocabularyFixture m_vocabulary{ir_entry::words(), ir_entry::options(), "ir_entry.dvk"};
};

TEST_F(IREntryFuzzSeeds, CommittedSeedsAreCurrentAndReplayAsMeant)
{
    checkFuzzSeed("brevit_ir_entry", "titles", titles().bytes());
    checkFuzzSeed("brevit_ir_entry", "classes", classes().bytes());
    checkFuzzSeed("brevit_ir_entry", "long_text", longText().bytes());

    const ir_entry::Outcome t = replay(titles());
    EXPECT_EQ(t.broken, "");
    ASSERT_EQ(t.matches.size(), 3u);
    ASSERT_FALSE(t.matches[0].empty());
    EXPECT_EQ(t.matches[0].front(), 100u);   // "blue moon"
    EXPECT_EQ(t.matches[1], std::vector<uint32_t>{119u});   // the added word "zorba"
    ASSERT_FALSE(t.matches[2].empty());
    EXPECT_EQ(t.matches[2].front(), 115u);   // "red red rain"

    const ir_entry::Outcome c = replay(classes());
    EXPECT_EQ(c.broken, "");
    EXPECT_EQ(c.matches, (std::vector<std::vector<uint32_t>>{{}, {9u}}));

    const ir_entry::Outcome l = replay(longText());
    EXPECT_EQ(l.broken, "");
    ASSERT_EQ(l.matches.size(), 1u);
    EXPECT_EQ(l.matches[0], (std::vector<uint32_t>{2u, 1u}));
}

}  // namespace
