#include "core/brevit/lexicon/long_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Both widths behind one face: texts are given as ASCII strings.
struct Narrow {
    using Char = char;
    static int32_t valid(const Char* s) { return WU_IsValidLongName(s); }
    static int32_t split(const Char* n, Char* s, int32_t ss, Char* p, int32_t ps)
    {
        return WU_ConvertLongNameToSurfaceSpoken(n, s, ss, p, ps);
    }
    static int32_t join(const Char* s, const Char* p, Char* o, int32_t size)
    {
        return WU_ConvertSurfaceSpokenToLongName(s, p, o, size);
    }
    static int32_t encode(const Char* f, Char* o, int32_t size) { return WU_EncodeLongNameForm(f, o, size); }
    static int32_t surfaceValid(const Char* f) { return WU_IsValidSurfaceForm(f); }
    static int32_t spokenValid(const Char* f) { return WU_IsValidSpokenForm(f); }
};

struct Wide {
    using Char = uint16_t;
    static int32_t valid(const Char* s) { return WU_IsValidLongNameU(s); }
    static int32_t split(const Char* n, Char* s, int32_t ss, Char* p, int32_t ps)
    {
        return WU_ConvertLongNameToSurfaceSpokenU(n, s, ss, p, ps);
    }
    static int32_t join(const Char* s, const Char* p, Char* o, int32_t size)
    {
        return WU_ConvertSurfaceSpokenToLongNameU(s, p, o, size);
    }
    static int32_t encode(const Char* f, Char* o, int32_t size) { return WU_EncodeLongNameFormU(f, o, size); }
    static int32_t surfaceValid(const Char* f) { return WU_IsValidSurfaceFormU(f); }
    static int32_t spokenValid(const Char* f) { return WU_IsValidSpokenFormU(f); }
};

template <typename W>
class LongName : public ::testing::Test {
protected:
    using Char = typename W::Char;
    using Text = std::basic_string<Char>;

    static Text text(const std::string& s)
    {
        Text t;
        for (char c : s)
            t.push_back(static_cast<Char>(static_cast<unsigned char>(c)));
        return t;
    }
    static std::string ascii(const Char* s)
    {
        std::string out;
        for (; *s != 0; ++s)
            out.push_back(static_cast<char>(*s));
        return out;
    }
};

using Widths = ::testing::Types<Narrow, Wide>;
TYPED_TEST_SUITE(LongName, Widths);

TYPED_TEST(LongName, Validates)
{
    struct Case {
        const char* name;
        int32_t valid;
    };
    const Case cases[] = {
        {"New_York\\nu_york", 1}, {"a^_b", 1}, {"a^xb", 0}, {"\\abc", 0}, {"a\\b\\c", 0},
        {"abc\\", 1},             {"a b", 0},  {"", 0},     {"ab^", 0},   {"a^^b", 1},
        {"a^\\b\\c", 1},          {"a\tb", 0}, {"\xE9t\xE9", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypeParam::valid(this->text(c.name).c_str()), c.valid) << c.name;
    EXPECT_EQ(TypeParam::valid(nullptr), 0);
}

TYPED_TEST(LongName, SplitsIntoSurfaceAndSpoken)
{
    struct Case {
        const char* name;
        int32_t result;
        const char* surface;
        const char* spoken;
    };
    const Case cases[] = {
        {"New_York\\nu_york", 1, "New York", "nu york"},
        {"a^_b", 1, "a_b", ""},
        {"a^^b", 1, "a^b", ""},
        {"a^\\b\\c", 1, "a\\b", "c"},
        {"abc\\", 0, nullptr, nullptr},
        {"a\\b\\c", 0, nullptr, nullptr},
        {"\\abc", 0, nullptr, nullptr},
        {"ab^", 0, nullptr, nullptr},
        {"a^xb", 0, nullptr, nullptr},
        {"a b", 0, nullptr, nullptr},
        {"\xE9t\xE9", 1, "\xE9t\xE9", ""},
    };
    using Char = typename TypeParam::Char;
    for (const Case& c : cases) {
        std::vector<Char> surface(32, 'x');
        std::vector<Char> spoken(32, 'x');
        EXPECT_EQ(TypeParam::split(this->text(c.name).c_str(), surface.data(), 32, spoken.data(), 32),
                  c.result)
            << c.name;
        if (c.result == 1) {
            EXPECT_EQ(this->ascii(surface.data()), c.surface);
            EXPECT_EQ(this->ascii(spoken.data()), c.spoken);
        }
    }
    // Room: every character and terminator must fit; a size-0 spoken buffer
    // of a name without a spoken part is left alone.
    std::vector<Char> surface(8, 'x');
    std::vector<Char> spoken(8, 'x');
    EXPECT_EQ(TypeParam::split(this->text("ab").c_str(), surface.data(), 3, spoken.data(), 0), 1);
    EXPECT_EQ(spoken[0], 'x');
    EXPECT_EQ(TypeParam::split(this->text("abc").c_str(), surface.data(), 3, spoken.data(), 8), 0);
    EXPECT_EQ(TypeParam::split(this->text("a\\bc").c_str(), surface.data(), 8, spoken.data(), 2), 0);
    EXPECT_EQ(TypeParam::split(this->text("a\\bc").c_str(), surface.data(), 8, spoken.data(), 3), 1);
}

TYPED_TEST(LongName, JoinsAndEncodesForms)
{
    using Char = typename TypeParam::Char;
    struct Case {
        const char* surface;
        const char* spoken;
        int32_t size;
        int32_t result;
        const char* name;
    };
    const Case cases[] = {
        {"New York", "nu york", 32, 1, "New_York\\nu_york"},
        {"a^b\\c", "d_e", 32, 1, "a^^b^\\c\\d^_e"},
        {"a b", nullptr, 32, 1, "a_b"},
        {"a b", "", 32, 1, "a_b"},
        {"ab", "c", 3, 0, "ab"},
        {"ab", "c", 4, 0, "ab\\"},
        {"ab", "c", 5, 1, "ab\\c"},
        {"ab", nullptr, 1, 0, ""},
        {"", "c", 32, 0, ""},
        {"a\tb", nullptr, 32, 0, ""},
        {"ab", "c\td", 32, 0, "ab"},
    };
    for (const Case& c : cases) {
        std::vector<Char> out(32, 'x');
        const auto surface = this->text(c.surface);
        const auto spoken = this->text(c.spoken != nullptr ? c.spoken : "");
        EXPECT_EQ(TypeParam::join(surface.c_str(), c.spoken != nullptr ? spoken.c_str() : nullptr,
                                  out.data(), c.size),
                  c.result)
            << c.surface << " " << c.size;
        EXPECT_EQ(this->ascii(out.data()), c.name) << c.surface << " " << c.size;
    }
    std::vector<Char> out(8, 'x');
    EXPECT_EQ(TypeParam::join(this->text("ab").c_str(), nullptr, out.data(), 0), 0);
    EXPECT_EQ(out[0], 'x');

    struct Encode {
        const char* form;
        int32_t size;
        int32_t result;
        const char* encoded;
    };
    const Encode encodes[] = {
        {"ab_", 4, 0, "ab"}, {"ab_", 5, 1, "ab^_"}, {"", 1, 1, ""}, {"a", 1, 0, ""}, {"a b", 4, 1, "a_b"},
    };
    for (const Encode& e : encodes) {
        std::vector<Char> buffer(8, 'x');
        EXPECT_EQ(TypeParam::encode(this->text(e.form).c_str(), buffer.data(), e.size), e.result) << e.form;
        EXPECT_EQ(this->ascii(buffer.data()), e.encoded);
    }
    std::vector<Char> untouched(2, 'x');
    EXPECT_EQ(TypeParam::encode(this->text("").c_str(), untouched.data(), 0), 0);
    EXPECT_EQ(untouched[0], 'x');

    EXPECT_EQ(TypeParam::surfaceValid(this->text("").c_str()), 0);
    EXPECT_EQ(TypeParam::surfaceValid(this->text(" a").c_str()), 1);
    EXPECT_EQ(TypeParam::spokenValid(this->text("").c_str()), 1);
    EXPECT_EQ(TypeParam::spokenValid(this->text("a\x1F").c_str()), 0);
}

} // namespace
