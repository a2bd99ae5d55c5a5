#include "tests/support/temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TempRoot::TempRoot(bool install) : m_installed(install)
{
    char pattern[] = "/tmp/mwroot.XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    if (m_installed) {
        if (const char* old = std::getenv("MERROWIND_ROOT")) {
            m_previous = old;
            m_hadPrevious = true;
        }
        setenv("MERROWIND_ROOT", m_path.c_str(), 1);
    }
}

TempRoot::~TempRoot()
{
    if (m_installed) {
        if (m_hadPrevious)
            setenv("MERROWIND_ROOT", m_previous.c_str(), 1);
        else
            unsetenv("MERROWIND_ROOT");
    }
    std::error_code ec;
    if (std::getenv("MERROWIND_KEEP_ROOT") == nullptr)
        std::filesystem::remove_all(m_path, ec);
}

void TempRoot::writeFile(const std::string& absolutePath, const std::string& content) const
{
    std::filesystem::path file(at(absolutePath));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}
