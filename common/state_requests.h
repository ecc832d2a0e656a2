#ifndef KORVANE_STATE_REQUESTS_H
#define KORVANE_STATE_REQUESTS_H

#include "korvane.h"

// The mixer's whole state as the display needs it: the display asks for it
// at start-up and after every silence, the tools when they begin, in this
// order. Each id is also the id of the reply that answers it.
inline constexpr int stateRequestIds[] = {
    KORVANE_ID_MODULE_SOURCE,
    KORVANE_ID_MODULE_ON,
    KORVANE_ID_FADER,
    KORVANE_ID_CONFIG_ON,
    KORVANE_ID_CONFIG_SILENCE_DETECTION,
    KORVANE_ID_VOICE_TRACK,
    KORVANE_ID_ON_AIR,
    KORVANE_ID_NON_STOP,
    KORVANE_ID_SILENCE,
    KORVANE_ID_MIC_ON,
    KORVANE_ID_CRM_MUTE,
};

#endif  // KORVANE_STATE_REQUESTS_H
