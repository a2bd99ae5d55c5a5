// What the recorder and the playback worker share over ALSA: the calls
// they make that can fail in use (replaceable, so tests can make them fail),
// the names of their errors, and the logging of an in-memory ALSA text.
#pragma once

#include <alsa/asoundlib.h>

class WexLogger;

struct QrvAlsaCalls {
    int (*open)(snd_pcm_t** pcm, const char* name, snd_pcm_stream_t stream, int mode);
    snd_pcm_sframes_t (*writei)(snd_pcm_t* pcm, const void* buffer, snd_pcm_uframes_t frames);
    snd_pcm_sframes_t (*readi)(snd_pcm_t* pcm, void* buffer, snd_pcm_uframes_t frames);
    int (*recover)(snd_pcm_t* pcm, int err, int silent);
    int (*drain)(snd_pcm_t* pcm);
};

// The calls in use; tests replace members and restore them with
// qrvAlsaRestore().
QrvAlsaCalls& qrvAlsa();
void qrvAlsaRestore();

// "EPIPE", "ESTRPIPE", "EBADFD", "EBUSY", "EAGAIN" or "UNKNOWN ERROR".
const char* qrvAlsaErrName(long code);

// Logs the output buffer's text as "dumpSndBuf: TITLE TEXT" (debug) when
// there is any, then empties the buffer. Non-zero: the flush failed (logged
// as "snd_output_flush: ...").
int qrvAlsaDumpSndBuf(const WexLogger& logger, snd_output_t* output, const char* title);
