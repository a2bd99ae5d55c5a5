#include "core/brevit/lexicon/mwl_code.h"

#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_utf8.h"

#include <cstring>

namespace {

bool knownEncoding(int32_t encoding)
{
    return encoding >= 1 && encoding <= 5;
}

// One byte per character: 8-bit and Latin-1 bytes are their characters,
// Latin-9 bytes go through its table.
bool byteEncoding(int32_t encoding)
{
    return encoding == 1 || encoding == 2 || encoding == 5;
}

// The eight places where Latin-9 differs from Latin-1.
struct Latin9Place {
    uint8_t byte;
    uint16_t unit;
};
constexpr Latin9Place kLatin9[] = {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
                                   {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178}};

uint16_t fromByte(uint8_t b, int32_t encoding)
{
    if (encoding == 5)
        for (const Latin9Place& p : kLatin9)
            if (p.byte == b)
                return p.unit;
    return b;
}

// The byte of a character, -1 when the encoding has none.
int32_t toByte(uint16_t u, int32_t encoding)
{
    if (encoding == 5)
        for (const Latin9Place& p : kLatin9) {
            if (p.unit == u)
                return p.byte;
            if (p.byte == u)
                return -1;   // the Latin-1 character Latin-9 replaced
        }
    return u < 256 ? u : -1;
}

// One UTF-8 character; a byte that starts no valid sequence is a character
// of its own value. Bytes used, 0 at the end.
int32_t readUTF8(const uint8_t* s, uint16_t* u)
{
    const int32_t n = DVKUTF8_ToUnicodeChar(reinterpret_cast<const char*>(s), u);
    if (n >= 0)
        return n;
    *u = *s;
    return 1;
}

// One character of an encoded string: bytes used, 0 at the terminator.
int32_t readChar(const uint8_t* s, int32_t encoding, const DVKSCSU* state, uint16_t* u)
{
    if (byteEncoding(encoding)) {
        *u = fromByte(*s, encoding);
        return *s != 0 ? 1 : 0;
    }
    if (encoding == 3)
        return readUTF8(s, u);
    return DVKSCSU_DecodeChar(s, state, u);
}

// One character into out (4 bytes): bytes written, -1 when the encoding
// cannot hold it.
int32_t writeChar(uint16_t u, int32_t encoding, const DVKSCSU* state, uint8_t* out)
{
    if (byteEncoding(encoding)) {
        const int32_t b = toByte(u, encoding);
        if (b < 0)
            return -1;
        out[0] = static_cast<uint8_t>(b);
        return 1;
    }
    if (encoding == 3)
        return DVKUTF8_FromUnicodeChar(u, reinterpret_cast<char*>(out));
    return DVKSCSU_EncodeChar(u, state, out);
}

// Upper case that stays inside a one-byte encoding.
uint16_t upper(uint16_t c, int32_t encoding)
{
    const uint16_t u = DVKUnicode_ToUpper(c);
    return byteEncoding(encoding) && toByte(u, encoding) < 0 ? c : u;
}

// Cases the characters of a key one by one as a spelling code says: 1 (and
// a caseless list) as they are, 2 the first after leading spaces, 4 all,
// otherwise the first of every run after a space.
class Caser {
public:
    Caser(int32_t code, int32_t encoding) : m_code(code), m_encoding(encoding) {}

    uint16_t next(uint16_t k)
    {
        const bool space = DVKUnicode_IsSpace(k);
        bool up;
        if ((m_code & kMWLCodeNoUpper) != 0 || m_code == kMWLCodeCaseless)
            up = false;
        else if ((m_code & kMWLCodeFirstUpper) != 0)
            up = !space && !m_seenNonSpace;
        else if ((m_code & kMWLCodeNoLower) != 0)
            up = true;
        else
            up = !space && m_afterSpace;
        m_seenNonSpace = m_seenNonSpace || !space;
        m_afterSpace = space;
        return up ? upper(k, m_encoding) : k;
    }

private:
    int32_t m_code;
    int32_t m_encoding;
    bool m_seenNonSpace = false;
    bool m_afterSpace = true;
};

// The spelling code over characters given by next(&c) (false at the end).
template <typename Next>
int32_t spellingCode(Next next, bool roundTrip)
{
    auto failsRoundTrip = [roundTrip](uint16_t c) {
        return roundTrip && DVKUnicode_ToUpper(DVKUnicode_ToLower(c)) != c;
    };
    uint16_t c = 0;
    bool more = next(&c);
    while (more && DVKUnicode_IsSpace(c))
        more = next(&c);
    if (!more)
        return kMWLCodeNoUpper;
    const bool firstUpper = DVKUnicode_IsUpper(c);
    if (firstUpper && failsRoundTrip(c))
        return kMWLCodeExact;
    bool firstOnly = firstUpper;
    bool allLower = !firstUpper;
    bool allUpper = firstUpper;
    bool eachWord = firstUpper;
    uint16_t before = c;
    while (next(&c)) {
        const bool afterSpace = DVKUnicode_IsSpace(before);
        if (DVKUnicode_IsUpper(c)) {
            if (failsRoundTrip(c))
                return kMWLCodeExact;
            firstOnly = false;
            allLower = false;
            eachWord = eachWord && afterSpace;
        } else if (DVKUnicode_IsLower(c)) {
            allUpper = false;
            eachWord = eachWord && !afterSpace;
        }
        before = c;
    }
    const int32_t base = (allLower ? kMWLCodeNoUpper : 0) + (firstOnly ? kMWLCodeFirstUpper : 0);
    if (allUpper)
        return base + kMWLCodeNoLower + (eachWord ? kMWLCodeEachWordUpper : 0);
    if (eachWord)
        return base + kMWLCodeEachWordUpper;
    return base != 0 ? base : kMWLCodeExact;
}

} // namespace

int32_t MWLCode_ConvertFromUnicode(uint8_t* out, const uint16_t* text, int32_t lower,
                                   int32_t encoding, const DVKSCSU* state, int32_t* prefix)
{
    out[0] = 0;
    if (!knownEncoding(encoding))
        return kMWLCodeBadEncoding;
    const int32_t prefixChars = prefix != nullptr ? *prefix : -1;
    int32_t written = 0;
    int32_t result = kMWLCodeDone;
    int32_t i = 0;
    for (; text[i] != 0; ++i) {
        if (i == prefixChars)
            *prefix = written;
        const uint16_t u = lower ? DVKUnicode_ToLower(text[i]) : text[i];
        const int32_t n = writeChar(u, encoding, state, out + written);
        if (n < 0) {
            result = kMWLCodeNotLatin1;
            break;
        }
        written += n;
    }
    if (prefix != nullptr && i <= prefixChars)
        *prefix = written;
    out[written] = 0;
    return result;
}

int32_t MWLCode_ConvertToInternalE(uint8_t* out, const uint8_t* text, int32_t lower,
                                   int32_t encoding, const DVKSCSU* state, int32_t* prefix)
{
    out[0] = 0;
    if (!knownEncoding(encoding))
        return kMWLCodeBadEncoding;
    const int32_t prefixChars = prefix != nullptr ? *prefix : -1;
    int32_t written = 0;
    int32_t chars = 0;
    for (const uint8_t* p = text; *p != 0; ++chars) {
        if (chars == prefixChars)
            *prefix = written;
        if (byteEncoding(encoding)) {
            // Folded on the character; a lower case the encoding lacks keeps the byte.
            const int32_t folded = toByte(DVKUnicode_ToLower(fromByte(*p, encoding)), encoding);
            out[written++] = lower && folded >= 0 ? static_cast<uint8_t>(folded) : *p;
            ++p;
            continue;
        }
        uint16_t u = 0;
        const int32_t n = readUTF8(p, &u);
        if (encoding == 3 && !lower) {
            std::memcpy(out + written, p, static_cast<size_t>(n));
            written += n;
        } else {
            if (lower)
                u = DVKUnicode_ToLower(u);
            written += writeChar(u, encoding, state, out + written);
        }
        p += n;
    }
    if (prefix != nullptr && chars <= prefixChars)
        *prefix = written;
    out[written] = 0;
    return kMWLCodeDone;
}

int32_t MWLCode_GetCode(const uint16_t* text)
{
    const uint16_t* p = text;
    return spellingCode(
        [&p](uint16_t* c) {
            if (*p == 0)
                return false;
            *c = *p++;
            return true;
        },
        true);
}

int32_t MWLCode_GetCodeE(const uint8_t* text, int32_t encoding)
{
    if (!knownEncoding(encoding))
        return 0;
    const uint8_t* p = text;
    const bool bytes = byteEncoding(encoding);
    return spellingCode(
        [&p, bytes, encoding](uint16_t* c) {
            const int32_t n = bytes ? (*p != 0 ? 1 : 0) : readUTF8(p, c);
            if (bytes)
                *c = fromByte(*p, encoding);
            p += n;
            return n > 0;
        },
        false);
}

int32_t MWLCode_RestoreSpelling(uint16_t* out, const uint8_t* key, int32_t keyBytes, int32_t code,
                                int32_t encoding, const DVKSCSU* state)
{
    out[0] = 0;
    if (!knownEncoding(encoding))
        return kMWLCodeBadEncoding;
    Caser caser(code, encoding);
    int32_t written = 0;
    for (int32_t at = 0; at < keyBytes;) {
        uint16_t k = 0;
        const int32_t n = readChar(key + at, encoding, state, &k);
        if (n == 0)
            break;
        out[written++] = caser.next(k);
        at += n;
    }
    out[written] = 0;
    return kMWLCodeDone;
}

int32_t MWLCode_RestoreSpellingE(uint8_t* out, const uint8_t* key, int32_t size, int32_t code,
                                 int32_t encoding, const DVKSCSU* state)
{
    if (size < 1)
        return knownEncoding(encoding) ? kMWLCodeDone : kMWLCodeBadEncoding;
    out[0] = 0;
    if (!knownEncoding(encoding))
        return kMWLCodeBadEncoding;
    Caser caser(code, encoding);
    int32_t written = 0;
    uint16_t k = 0;
    for (const uint8_t* p = key; int32_t n = readChar(p, encoding, state, &k); p += n) {
        uint8_t bytes[4];
        const int32_t m = writeChar(caser.next(k), encoding, state, bytes);
        if (m < 0 || written + m >= size)
            break;
        std::memcpy(out + written, bytes, static_cast<size_t>(m));
        written += m;
    }
    out[written] = 0;
    return kMWLCodeDone;
}

int32_t MWLCode_CompareWithCode(const uint16_t* text, const uint8_t* key, int32_t code,
                                int32_t length, int32_t encoding, const DVKSCSU* state)
{
    Caser caser(code, encoding);
    const uint8_t* k = key;
    for (int32_t i = 0; i < length; ++i) {
        uint16_t kc = 0;
        const int32_t n = readChar(k, encoding, state, &kc);
        const uint16_t expected = n > 0 ? caser.next(kc) : 0;
        if (text[i] != expected)
            return 1;
        if (expected == 0)
            return 0;
        k += n;
    }
    return 0;
}

int32_t MWLCode_CompareWithCodeE(const uint8_t* text, const uint8_t* key, int32_t code,
                                 int32_t length, int32_t encoding, const DVKSCSU* state)
{
    Caser caser(code, encoding);
    const uint8_t* k = key;
    for (int32_t at = 0; at < length;) {
        uint16_t t = 0;
        uint16_t kc = 0;
        const int32_t tn = readChar(text + at, encoding, state, &t);
        const int32_t kn = readChar(k, encoding, state, &kc);
        const uint16_t expected = kn > 0 ? caser.next(kc) : 0;
        if (t != expected)
            return 1;
        if (tn == 0)
            return 0;
        at += tn;
        k += kn;
    }
    return 0;
}

int32_t MWLCode_GetUTF8Length(const uint8_t* text, int32_t encoding, const DVKSCSU* state)
{
    int32_t length = 0;
    if (byteEncoding(encoding)) {
        char bytes[4];
        for (const uint8_t* p = text; *p != 0; ++p)
            length += DVKUTF8_FromUnicodeChar(fromByte(*p, encoding), bytes);
    } else if (encoding == 3) {
        length = static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(text)));
    } else if (encoding == 4) {
        uint16_t u = 0;
        char bytes[4];
        for (const uint8_t* p = text; int32_t n = DVKSCSU_DecodeChar(p, state, &u); p += n)
            length += DVKUTF8_FromUnicodeChar(u, bytes);
    }
    return length;
}

int32_t MWLCode_MatchesSpelling(const uint16_t* text, int32_t textCode, const uint8_t* key,
                                int32_t wordCode, const uint8_t* exact, int32_t encoding,
                                const DVKSCSU* state)
{
    if (wordCode == kMWLCodeExact) {
        if (exact == nullptr || !knownEncoding(encoding))
            return 0;
        // The text in the list's encoding, byte by byte against the exact spelling.
        const uint8_t* e = exact;
        for (const uint16_t* t = text; *t != 0; ++t) {
            uint8_t bytes[4];
            const int32_t n = writeChar(*t, encoding, state, bytes);
            if (n < 0)
                return 0;
            for (int32_t b = 0; b < n; ++b, ++e)
                if (*e != bytes[b])
                    return 0;
        }
        return *e == 0 ? 1 : 0;
    }
    if (textCode == kMWLCodeExact) {
        int32_t length = 0;
        while (text[length] != 0)
            ++length;
        return MWLCode_CompareWithCode(text, key, wordCode, length + 1, encoding, state) == 0 ? 1 : 0;
    }
    return (textCode & wordCode) != 0 ? 1 : 0;
}
