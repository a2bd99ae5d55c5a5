#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

CountingAllocator::CountingAllocator()
{
    std::memset(&m_record, 0, sizeof(m_record));
    m_record.base.alloc = &CountingAllocator::allocate;
    m_record.base.free = &CountingAllocator::release;
    m_record.base.usableSize = &CountingAllocator::usableSize;
    m_record.self = this;
}

CountingAllocator::~CountingAllocator()
{
    // Blocks still live are leaks the test should have reported; give them
    // back so the sanitizers point at the test, not at this helper.
    for (auto& [block, info] : m_blocks)
        std::free(const_cast<void*>(block));
}

void CountingAllocator::failAt(uint64_t n, bool sticky)
{
    m_failAt = n;
    m_sticky = sticky;
}

uint32_t CountingAllocator::blockSize(const void* block) const
{
    auto it = m_blocks.find(block);
    return it != m_blocks.end() ? it->second.size : 0;
}

std::string CountingAllocator::describeLeaks() const
{
    std::ostringstream out;
    for (const auto& [block, info] : m_blocks)
        out << "#" << info.call << " " << info.size << " bytes\n";
    return out.str();
}

void* CountingAllocator::allocate(BrevitAllocator* record, uint32_t size)
{
    CountingAllocator* self = reinterpret_cast<Record*>(record)->self;
    self->m_calls += 1;
    self->m_lastRequest = size;
    if (size > self->m_largestRequest)
        self->m_largestRequest = size;
    if (self->m_failAt != 0 &&
        (self->m_calls == self->m_failAt || (self->m_sticky && self->m_calls > self->m_failAt))) {
        self->m_failures += 1;
        return nullptr;
    }
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr)
        return nullptr;
    // Never zero by chance: a missing clear of the engine shows in every build.
    std::memset(block, kFreshByte, size);
    self->m_blocks[block] = Block{size, self->m_calls};
    self->m_liveBytes += size;
    return block;
}

void CountingAllocator::release(BrevitAllocator* record, void* block)
{
    CountingAllocator* self = reinterpret_cast<Record*>(record)->self;
    auto it = self->m_blocks.find(block);
    if (it == self->m_blocks.end()) {
        ADD_FAILURE() << "engine freed a block it did not allocate: " << block;
        return;
    }
    self->m_liveBytes -= it->second.size;
    self->m_blocks.erase(it);
    std::free(block);
}

uint32_t CountingAllocator::usableSize(BrevitAllocator*, void* block)
{
    return static_cast<uint32_t>(malloc_usable_size(block));
}
