// The two UI function table slots the audio machinery calls: the state
// change to recording (DvkOemUI::uiStateChangeToRecording, slot 12) and the
// audio level (DvkOemUI::audioLevelUpdate, slot 17), through dvkOemUiFuncs_p.
// Both run on "UI"; tests install doubles.
#pragma once

#include "src/QrvSeam.h"

#include <cstdint>

class QrvAudioUi : public QrvSeam<QrvAudioUi> {
public:
    virtual void stateChangeToRecording() = 0;
    virtual void audioLevelUpdate(uint32_t level) = 0;
};

template <>
QrvAudioUi& QrvSeam<QrvAudioUi>::defaultImpl();
