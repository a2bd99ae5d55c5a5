// Engine archives for tests, written with the engine's own writer into the
// test process's temporary root and opened again through the file or through
// an image in memory. Engine tests build every model file with it; nothing
// binary is kept in the repository.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Needs an engine context (ScopedEngineContext) while used.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "oem/dvk_oem_dirs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ArchiveFixture {
public:
    // name: a file name in the service's writable data directory (below the
    // test's temporary root), where the engine keeps the files it writes.
    explicit ArchiveFixture(const std::string& name = "fixture.dvk")
    {
        const std::filesystem::path dir = dvkOemWritableDir();
        std::filesystem::create_directories(dir);
        m_path = (dir / name).string();
    }

    ~ArchiveFixture()
    {
        if (m_writing != nullptr)
            DVKTar_Close(m_writing);
        for (DVKTar* tar : m_open)
            DVKTar_Close(tar);
    }

    ArchiveFixture(const ArchiveFixture&) = delete;
    ArchiveFixture& operator=(const ArchiveFixture&) = delete;

    const std::string& path() const { return m_path; }

    // The archive being written (opened on first use).
    DVKTar* tar()
    {
        if (m_writing == nullptr) {
            m_writing = DVKTar_OpenForWrite(m_path.c_str());
            EXPECT_NE(m_writing, nullptr) << "cannot write " << m_path;
        }
        return m_writing;
    }

    // Everything written from now on, the header included, is stored in the
    // byte order opposite to the machine's.
    void useOppositeByteOrder()
    {
        if (DVKTar* t = tar())
            t->swapped = 1;
    }

    // One sub-file of records: fill(BinFileWriter*) writes them and returns
    // whether every write succeeded.
    template <typename Fill>
    void add(const char* tag, Fill&& fill, const char* prefix = nullptr)
    {
        BinFileWriter* writer = BinFileWriter_Create(tar(), tag, prefix);
        ASSERT_NE(writer, nullptr) << "cannot create sub-file " << tag;
        const bool filled = std::forward<Fill>(fill)(writer);
        EXPECT_TRUE(filled) << "writing sub-file " << tag;
        EXPECT_EQ(BinFileWriter_Delete(writer), 0) << "completing sub-file " << tag;
    }

    // A sub-file holding exactly these bytes.
    void addBytes(const char* name, const std::string& bytes)
    {
        DVKTarSubFile* sub = DVKTar_SubFileCreate(tar(), name);
        ASSERT_NE(sub, nullptr) << "cannot create sub-file " << name;
        EXPECT_EQ(DVKTar_SubFileWrite(sub, bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(DVKTar_SubFileClose(sub), 0);
    }

    // Completes the archive file (its header count is right only now).
    void finish()
    {
        if (m_writing == nullptr)
            tar();
        EXPECT_EQ(DVKTar_Close(m_writing), 0) << "closing " << m_path;
        m_writing = nullptr;
    }

    // The whole archive file.
    std::string bytes() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Replaces the archive file (to damage or rebuild it).
    void setBytes(const std::string& bytes) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Opened for reading through the file; closed with the fixture.
    DVKTar* openForRead() { return keep(DVKTar_OpenForRead(m_path.c_str())); }

    // Opened over a copy of the file (or of the given image) in memory.
    DVKTar* openMapped() { return openMapped(bytes()); }
    DVKTar* openMapped(const std::string& image)
    {
        m_images.push_back(std::make_unique<std::string>(image));
        const std::string& kept = *m_images.back();
        return keep(DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(kept.size()),
                                                   kept.data()));
    }

    // Closes an archive opened by the fixture before the fixture ends.
    int32_t close(DVKTar* tar)
    {
        for (auto it = m_open.begin(); it != m_open.end(); ++it)
            if (*it == tar) {
                m_open.erase(it);
                break;
            }
        return DVKTar_Close(tar);
    }

private:
    DVKTar* keep(DVKTar* tar)
    {
        if (tar != nullptr)
            m_open.push_back(tar);
        return tar;
    }

    std::string m_path;
    DVKTar* m_writing = nullptr;
    std::vector<DVKTar*> m_open;
    std::vector<std::unique_ptr<std::string>> m_images;
};
