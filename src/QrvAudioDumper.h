// Numbered raw PCM dumps of what is recorded or played ("000" + suffix to
// "999" + suffix, then "000" again), switched on by putting the owning
// logger at trace level. A dumper is used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>

class WexLogger;

class QrvAudioDumper {
public:
    // With logDirectory, dumps go to "/var/log/merrowind" while the "UI"
    // thread's contacts logger is at error level.
    QrvAudioDumper(const WexLogger& logger, const char* suffix, bool logDirectory);
    virtual ~QrvAudioDumper();
    QrvAudioDumper(const QrvAudioDumper&) = delete;
    QrvAudioDumper& operator=(const QrvAudioDumper&) = delete;

    // Closes the current dump and opens the next one (at trace level only).
    void Start();
    // Appends bytes to the open dump; nothing without one.
    void Write(const void* bytes, size_t count);

    // The name of dump number `counter`: its last three decimal digits and
    // the suffix.
    static std::string fileName(unsigned counter, const char* suffix);
    // Opens path for a dump (write-only, created, truncated, 0600), making
    // its directory (0700) when missing; -1, logged as "Cannot open file ...
    // for writing" on logger, on failure.
    static int openDump(const WexLogger& logger, const std::string& path);

    static constexpr const char* kLogDirectory = "/var/log/merrowind";

private:
    const WexLogger& m_logger;
    int m_fd = -1;
    unsigned m_counter = 0;
    std::string m_suffix;
    bool m_logDirectory;
};
