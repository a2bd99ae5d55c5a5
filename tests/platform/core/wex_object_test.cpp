#include "platform/core/wex_object.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

// Readable failure messages.
void PrintTo(const WexObject& object, std::ostream* os)
{
    std::string text;
    *os << (object.toJson(text) == WexErrNone ? text : std::string("<not serialisable>"));
}

namespace {

WexObject parsed(const char* text)
{
    WexObject object;
    EXPECT_EQ(WexObject::parse(text, object), WexErrNone) << text;
    return object;
}

// One payload read through every typed accessor.
class WexObjectReads : public ::testing::Test {
protected:
    WexObject payload = parsed(R"({"s": "text", "b": true, "i": 42, "big": 9007199254740993,
                                   "neg": -5, "f": 1.5, "o": {"x": 1}, "a": [1, "two"], "n": null,
                                   "huge": 18446744073709551615})");
};

TEST_F(WexObjectReads, RequiredReadsOfAbsentOrOtherTypeReturnMissingProperty)
{
    std::string s = "kept";
    int32_t i = 7;
    int64_t l = 7;
    bool b = false;
    WexObject o = WexObject("kept");
    // absent
    EXPECT_EQ(payload.get("nope", s), WexErrMissingProperty);
    EXPECT_EQ(payload.get("nope", i), WexErrMissingProperty);
    EXPECT_EQ(payload.get("nope", o), WexErrMissingProperty);
    // another type
    EXPECT_EQ(payload.get("i", s), WexErrMissingProperty);
    EXPECT_EQ(payload.get("s", i), WexErrMissingProperty);
    EXPECT_EQ(payload.get("s", b), WexErrMissingProperty);
    EXPECT_EQ(payload.get("i", b), WexErrMissingProperty);
    EXPECT_EQ(payload.get("f", l), WexErrMissingProperty);
    EXPECT_EQ(payload.get("n", s), WexErrMissingProperty);
    EXPECT_EQ(payload.get("big", i), WexErrMissingProperty);  // out of 32-bit range
    EXPECT_EQ(payload.get("huge", l), WexErrMissingProperty); // out of 64-bit range
    // outputs untouched on failure
    EXPECT_EQ(s, "kept");
    EXPECT_EQ(i, 7);
    EXPECT_EQ(l, 7);
    EXPECT_EQ(o, WexObject("kept"));
}

TEST_F(WexObjectReads, RequiredReadsOfTheRightTypeSucceed)
{
    std::string s;
    WexString ws;
    int32_t i = 0;
    int64_t l = 0;
    bool b = false;
    WexObject o;
    EXPECT_EQ(payload.get("s", s), WexErrNone);
    EXPECT_EQ(payload.get("s", ws), WexErrNone);
    EXPECT_EQ(payload.get("b", b), WexErrNone);
    EXPECT_EQ(payload.get("neg", i), WexErrNone);
    EXPECT_EQ(payload.get("big", l), WexErrNone);
    EXPECT_EQ(payload.get("o", o), WexErrNone);
    EXPECT_EQ(s, "text");
    EXPECT_EQ(ws.view(), "text");
    EXPECT_TRUE(b);
    EXPECT_EQ(i, -5);
    EXPECT_EQ(l, 9007199254740993LL);
    EXPECT_TRUE(o.isObject());
    EXPECT_TRUE(o.hasKey("x"));
}

TEST_F(WexObjectReads, OptionalReadTellsAbsentFromUnreadable)
{
    int32_t limit = -1;
    bool found = true;
    EXPECT_EQ(payload.getOptional("limit", limit, &found), WexErrNone);
    EXPECT_FALSE(found);
    EXPECT_EQ(limit, -1);

    EXPECT_EQ(payload.getOptional("s", limit, &found), WexErrMissingProperty);
    EXPECT_TRUE(found);
    EXPECT_EQ(limit, -1);

    EXPECT_EQ(payload.getOptional("i", limit, &found), WexErrNone);
    EXPECT_TRUE(found);
    EXPECT_EQ(limit, 42);

    std::string text = "default";
    EXPECT_EQ(payload.getOptional("absent", text), WexErrNone);
    EXPECT_EQ(text, "default");
    EXPECT_EQ(payload.getOptional("n", text), WexErrMissingProperty);
}

TEST_F(WexObjectReads, KeysAreLookedUpOnlyInObjects)
{
    EXPECT_TRUE(payload.hasKey("n"));
    EXPECT_FALSE(payload.hasKey("x"));
    WexObject array;
    ASSERT_EQ(payload.get("a", array), WexErrNone);
    EXPECT_FALSE(array.hasKey("0"));
    int32_t i = 0;
    EXPECT_EQ(array.get("0", i), WexErrMissingProperty);
    EXPECT_FALSE(WexObject().hasKey("x"));
}

TEST_F(WexObjectReads, IndexedAccessFailsPastTheEndAndOnOtherTypes)
{
    WexObject array;
    ASSERT_EQ(payload.get("a", array), WexErrNone);
    ASSERT_EQ(array.size(), 2u);
    int64_t first = 0;
    std::string second;
    EXPECT_EQ(array.at(0, first), WexErrNone);
    EXPECT_EQ(array.at(1, second), WexErrNone);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, "two");
    EXPECT_EQ(array.at(1, first), WexErrMissingProperty);
    WexObject element;
    EXPECT_EQ(array.at(2, element), WexErrNotFound);
    EXPECT_EQ(payload.at(0, element), WexErrNotFound);  // not an array
    EXPECT_EQ(WexObject().at(0, element), WexErrNotFound);
}

TEST(WexObject, SixtyFourBitValuesRoundTripExactly)
{
    const int64_t values[] = {9007199254740993LL, -9007199254740993LL, std::numeric_limits<int64_t>::max(),
                              std::numeric_limits<int64_t>::min(), 0};
    for (int64_t value : values) {
        WexObject object;
        ASSERT_EQ(object.put("_rev", value), WexErrNone);
        std::string text;
        ASSERT_EQ(object.toJson(text), WexErrNone);
        WexObject back;
        ASSERT_EQ(WexObject::parse(text, back), WexErrNone);
        int64_t read = 0;
        ASSERT_EQ(back.get("_rev", read), WexErrNone);
        EXPECT_EQ(read, value) << text;
    }
    std::string text;
    ASSERT_EQ(parsed(R"({"count":9007199254740993})").toJson(text), WexErrNone);
    EXPECT_EQ(text, R"({"count":9007199254740993})");
}

TEST(WexObject, PutAndAppendBuildNestedValues)
{
    WexObject params;
    WexObject ids;
    ASSERT_EQ(ids.append("a"), WexErrNone);
    ASSERT_EQ(ids.append(int64_t{5}), WexErrNone);
    ASSERT_EQ(ids.append(true), WexErrNone);
    ASSERT_EQ(params.put("ids", ids), WexErrNone);
    ASSERT_EQ(params.put("purge", true), WexErrNone);
    ASSERT_EQ(params.put("n", 3u), WexErrNone);
    ASSERT_EQ(params.put("n", 4), WexErrNone);  // replaces
    ASSERT_EQ(params.put("self", params), WexErrNone);
    std::string text;
    ASSERT_EQ(params.toJson(text), WexErrNone);
    EXPECT_EQ(text, R"({"ids":["a",5,true],"n":4,"purge":true,"self":{"ids":["a",5,true],"n":4,"purge":true}})");
    EXPECT_EQ(params.size(), 4u);
    EXPECT_EQ(params.remove("self"), WexErrNone);
    EXPECT_EQ(params.remove("self"), WexErrNotFound);
}

TEST(WexObject, PutOnANonObjectAndAppendOnANonArrayFail)
{
    WexObject text("x");
    EXPECT_EQ(text.put("k", 1), WexErrInvalidArg);
    WexObject object = WexObject::object();
    EXPECT_EQ(object.append(1), WexErrInvalidArg);
    EXPECT_EQ(object.put("big", std::numeric_limits<uint64_t>::max()), WexErrInvalidArg);
    EXPECT_EQ(text, WexObject("x"));
    EXPECT_EQ(object.size(), 0u);
}

TEST(WexObject, CopiesAreIndependent)
{
    WexObject original = parsed(R"({"a":[1]})");
    WexObject copy = original;
    WexObject other;
    ASSERT_EQ(original.copyTo(other), WexErrNone);
    ASSERT_EQ(copy.put("b", 2), WexErrNone);
    EXPECT_FALSE(original.hasKey("b"));
    EXPECT_EQ(other, original);
    EXPECT_NE(copy, original);
}

TEST(WexObject, ParseFailuresReturnBadJsonAndKeepTheOutput)
{
    const std::string deep = std::string(WexObject::kMaxDepth + 1, '[') + std::string(WexObject::kMaxDepth + 1, ']');
    for (const std::string& bad : {std::string(""), std::string("{"), std::string("{\"a\":}"),
                                   std::string("[1,]"), std::string("\"\xff\""), std::string("{} x"), std::string("[1e400]"), deep,
                                   std::string("{}\0x", 4), std::string("[1]\0", 4)}) {
        WexObject out("kept");
        EXPECT_EQ(WexObject::parse(bad, out), WexErrBadJson) << bad.substr(0, 20);
        EXPECT_EQ(out, WexObject("kept"));
    }
    const std::string deepest = std::string(WexObject::kMaxDepth, '[') + std::string(WexObject::kMaxDepth, ']');
    WexObject out;
    EXPECT_EQ(WexObject::parse(deepest, out), WexErrNone);
    EXPECT_EQ(WexObject::parse(std::string(WexObject::kMaxTextSize + 1, ' '), out), WexErrTooLarge);
}

TEST(WexObject, SerialisingTextThatIsNotUtf8Fails)
{
    WexObject object;
    ASSERT_EQ(object.put("name", std::string("\xc3\x28")), WexErrNone);
    std::string text = "kept";
    EXPECT_EQ(object.toJson(text), WexErrBadJson);
    EXPECT_EQ(text, "kept");
}

TEST(WexObject, ScalarValuesReadThemselves)
{
    int32_t i = 0;
    std::string s;
    EXPECT_EQ(WexObject(int32_t{-3}).value(i), WexErrNone);
    EXPECT_EQ(i, -3);
    EXPECT_EQ(WexObject("next").value(s), WexErrNone);
    EXPECT_EQ(s, "next");
    EXPECT_EQ(WexObject().value(s), WexErrMissingProperty);
    std::string text;
    EXPECT_EQ(WexObject().toJson(text), WexErrNone);
    EXPECT_EQ(text, "null");
}

} // namespace
