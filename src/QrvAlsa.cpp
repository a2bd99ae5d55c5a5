#include "src/QrvAlsa.h"

#include "platform/core/wex_logger.h"

#include <cerrno>
#include <string>

namespace {

const QrvAlsaCalls kReal = {snd_pcm_open, snd_pcm_writei, snd_pcm_readi, snd_pcm_recover, snd_pcm_drain};
QrvAlsaCalls s_calls = kReal;

} // namespace

QrvAlsaCalls& qrvAlsa()
{
    return s_calls;
}

void qrvAlsaRestore()
{
    s_calls = kReal;
}

const char* qrvAlsaErrName(long code)
{
    switch (code) {
    case -EPIPE:
        return "EPIPE";
    case -ESTRPIPE:
        return "ESTRPIPE";
    case -EBADFD:
        return "EBADFD";
    case -EBUSY:
        return "EBUSY";
    case -EAGAIN:
        return "EAGAIN";
    default:
        return "UNKNOWN ERROR";
    }
}

int qrvAlsaDumpSndBuf(const WexLogger& logger, snd_output_t* output, const char* title)
{
    if (output == nullptr)
        return 0;
    char* text = nullptr;
    const size_t size = snd_output_buffer_string(output, &text);
    if (size > 0 && text != nullptr) {
        const std::string copy(text, size);
        logger.log(WexLogDebug, "%s: %s %s\n", "dumpSndBuf", title, copy.c_str());
    }
    const int rc = snd_output_flush(output);
    if (rc < 0)
        logger.log(WexLogError, "snd_output_flush: %s\n", snd_strerror(rc));
    return rc < 0 ? rc : 0;
}
