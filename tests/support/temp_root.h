// A temporary directory used as $MERROWIND_ROOT, removed with its contents.
#pragma once

#include <string>

class TempRoot {
public:
    // Creates /tmp/mwroot.XXXXXX (only characters the file layer accepts) and,
    // when install is true, exports it as MERROWIND_ROOT.
    explicit TempRoot(bool install = true);
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return m_path; }
    // path() joined with an absolute platform path.
    std::string at(const std::string& absolutePath) const { return m_path + absolutePath; }

    // Creates a file (and its parent directories) under the root.
    void writeFile(const std::string& absolutePath, const std::string& content = {}) const;

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
    bool m_installed;
};
