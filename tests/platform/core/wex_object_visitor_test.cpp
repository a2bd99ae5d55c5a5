#include "platform/core/wex_object_visitor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WexObjectVisitor, WritesInCallOrder)
{
    WexObjectVisitor w;
    WexObject clause;
    ASSERT_EQ(clause.put("prop", "_rev"), WexErrNone);
    ASSERT_EQ(w.beginObject(), WexErrNone);
    w.key("select");
    w.beginArray();
    w.value("_rev");
    w.value(std::string("name.givenName"));
    w.endArray();
    w.put("from", "com.orvel.person:1");
    w.key("where");
    w.beginArray();
    w.value(clause);
    w.endArray();
    w.put("desc", true);
    w.put("limit", int32_t{-1});
    w.put("rev", int64_t{9007199254740993LL});
    w.key("none");
    w.nullValue();
    ASSERT_EQ(w.endObject(), WexErrNone);
    std::string text;
    ASSERT_EQ(w.text(text), WexErrNone);
    EXPECT_EQ(text, R"({"select":["_rev","name.givenName"],"from":"com.orvel.person:1",)"
                    R"("where":[{"prop":"_rev"}],"desc":true,"limit":-1,"rev":9007199254740993,"none":null})");
    WexObject back;
    ASSERT_EQ(w.toObject(back), WexErrNone);
    EXPECT_TRUE(back.hasKey("where"));
}

TEST(WexObjectVisitor, EscapesStrings)
{
    WexObjectVisitor w;
    w.beginArray();
    w.value("quote\" back\\ nl\n");
    w.endArray();
    std::string text;
    ASSERT_EQ(w.text(text), WexErrNone);
    EXPECT_EQ(text, R"(["quote\" back\\ nl\n"])");
}

// Each sequence misuses the writer; the first error sticks.
TEST(WexObjectVisitor, MisuseIsReportedAndKept)
{
    using Step = WexErr (*)(WexObjectVisitor&);
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"key outside object", {[](WexObjectVisitor& w) { return w.key("k"); }}},
        {"value without key",
         {[](WexObjectVisitor& w) { return w.beginObject(); }, [](WexObjectVisitor& w) { return w.value(1); }}},
        {"two keys",
         {[](WexObjectVisitor& w) { return w.beginObject(); }, [](WexObjectVisitor& w) { return w.key("a"); },
          [](WexObjectVisitor& w) { return w.key("b"); }}},
        {"wrong end",
         {[](WexObjectVisitor& w) { return w.beginArray(); }, [](WexObjectVisitor& w) { return w.endObject(); }}},
        {"end after key",
         {[](WexObjectVisitor& w) { return w.beginObject(); }, [](WexObjectVisitor& w) { return w.key("a"); },
          [](WexObjectVisitor& w) { return w.endObject(); }}},
        {"second top-level value",
         {[](WexObjectVisitor& w) { return w.value(true); }, [](WexObjectVisitor& w) { return w.value(false); }}},
        {"not utf-8",
         {[](WexObjectVisitor& w) { return w.beginArray(); }, [](WexObjectVisitor& w) { return w.value("\xff"); }}},
    };
    for (const auto& c : cases) {
        WexObjectVisitor w;
        WexErr last = WexErrNone;
        for (Step step : c.steps)
            last = step(w);
        EXPECT_NE(last, WexErrNone) << c.name;
        EXPECT_EQ(w.error(), last) << c.name;
        EXPECT_EQ(w.beginArray(), last) << c.name;
        std::string text;
        EXPECT_EQ(w.text(text), last) << c.name;
    }
}

TEST(WexObjectVisitor, IncompleteTextFails)
{
    WexObjectVisitor w;
    std::string text;
    EXPECT_NE(w.text(text), WexErrNone);
    w.beginObject();
    EXPECT_FALSE(w.complete());
    EXPECT_NE(w.text(text), WexErrNone);
    w.endObject();
    EXPECT_TRUE(w.complete());
    EXPECT_EQ(w.text(text), WexErrNone);
    EXPECT_EQ(text, "{}");
}

} // namespace
