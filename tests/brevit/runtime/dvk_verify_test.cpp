#include "core/brevit/runtime/dvk_verify.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void otherHandler(int) {}

// A few pages of private anonymous memory with a chosen protection.
class Mapping {
public:
    Mapping(size_t size, int protection)
        : m_size(size), m_data(mmap(nullptr, size, PROT_READ | PROT_WRITE,
                                    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))
    {
        if (m_data != MAP_FAILED) {
            std::memset(m_data, 'x', size);
            mprotect(m_data, size, protection);
        }
    }
    ~Mapping()
    {
        if (m_data != MAP_FAILED)
            munmap(m_data, m_size);
    }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    unsigned char* data() { return static_cast<unsigned char*>(m_data); }
    bool ok() const { return m_data != MAP_FAILED; }

private:
    size_t m_size;
    void* m_data;
};

TEST(EngineMemoryProbes, ValidNullAndEmpty)
{
    char buffer[10] = "123456789";
    EXPECT_EQ(DVKVerify_ReadPtr(buffer, 10), 0);
    EXPECT_EQ(DVKVerify_WritePtr(buffer, 10), 0);
    EXPECT_STREQ(buffer, "123456789");
    EXPECT_EQ(DVKVerify_ReadPtr(nullptr, 10), 1);
    EXPECT_EQ(DVKVerify_WritePtr(nullptr, 10), 1);
    EXPECT_EQ(DVKVerify_ReadPtr(buffer, 0), 1);
    EXPECT_EQ(DVKVerify_String(buffer, -1), 1);
    EXPECT_EQ(DVKVerify_StringPtr(buffer), 0);
    EXPECT_EQ(DVKVerify_StringPtr(nullptr), 1);
}

TEST(EngineMemoryProbes, WriteProbeOfReadOnlyMemoryFailsAndRestoresTheHandler)
{
    const long page = sysconf(_SC_PAGESIZE);
    Mapping readOnly(static_cast<size_t>(page), PROT_READ);
    ASSERT_TRUE(readOnly.ok());

    struct sigaction mine = {};
    mine.sa_handler = otherHandler;
    sigemptyset(&mine.sa_mask);
    struct sigaction saved = {};
    ASSERT_EQ(sigaction(SIGSEGV, &mine, &saved), 0);

    EXPECT_EQ(DVKVerify_ReadPtr(readOnly.data(), static_cast<int32_t>(page)), 0);
    EXPECT_EQ(DVKVerify_WritePtr(readOnly.data(), static_cast<int32_t>(page)), 1);
    // Twice: the fault must not have left SIGSEGV blocked or the probe disarmed.
    EXPECT_EQ(DVKVerify_WritePtr(readOnly.data(), 1), 1);

    struct sigaction now = {};
    ASSERT_EQ(sigaction(SIGSEGV, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, &otherHandler);
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    EXPECT_EQ(sigismember(&blocked, SIGSEGV), 0);
    sigaction(SIGSEGV, &saved, nullptr);
}

TEST(EngineMemoryProbes, ReadTouchesEveryPageAndTheLastByte)
{
    const long page = sysconf(_SC_PAGESIZE);
    ASSERT_EQ(page, 4096);
    // Pages: readable, unreadable, readable. The probe of 10,000 bytes
    // touches 0, 4096, 8192 and 9999, so it meets the hole at 4096.
    Mapping pages(3 * 4096, PROT_READ | PROT_WRITE);
    ASSERT_TRUE(pages.ok());
    EXPECT_EQ(DVKVerify_ReadPtr(pages.data(), 10000), 0);
    ASSERT_EQ(mprotect(pages.data() + 4096, 4096, PROT_NONE), 0);
    EXPECT_EQ(DVKVerify_ReadPtr(pages.data(), 10000), 1);
    EXPECT_EQ(DVKVerify_ReadPtr(pages.data(), 4096), 0);
    EXPECT_EQ(DVKVerify_ReadPtr(pages.data(), 4097), 1);
    EXPECT_EQ(DVKVerify_ReadPtr(pages.data() + 8192, 4096), 0);
}

TEST(EngineMemoryProbes, StringProbeStopsAtTheTerminator)
{
    const long page = sysconf(_SC_PAGESIZE);
    Mapping pages(2 * static_cast<size_t>(page), PROT_READ | PROT_WRITE);
    ASSERT_TRUE(pages.ok());
    ASSERT_EQ(mprotect(pages.data() + page, static_cast<size_t>(page), PROT_NONE), 0);
    // A string ending on the last readable byte: nothing after it is read.
    unsigned char* end = pages.data() + page - 1;
    *end = 0;
    EXPECT_EQ(DVKVerify_StringPtr(reinterpret_cast<const char*>(end - 5)), 0);
    // Without a terminator before the hole, the probe runs into it.
    *end = 'x';
    EXPECT_EQ(DVKVerify_StringPtr(reinterpret_cast<const char*>(end - 5)), 1);
    EXPECT_EQ(DVKVerify_String(reinterpret_cast<const char*>(end - 5), 6), 0);
}

} // namespace
