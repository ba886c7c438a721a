// The three driver instances behind qorl_audio.h, and the seam tests use to put
// stand-ins in place of the live ones.
#pragma once
#include "platform/qorl_audio.h"

extern const qorl_audio_driver qorl_dsound_driver;
extern const qorl_audio_driver qorl_waveout_driver;
extern const qorl_audio_driver qorl_readback_driver;

// The drivers qorl_audio_open tries first and second; null restores the real one.
void qorl_audio_set_live_drivers(const qorl_audio_driver* first, const qorl_audio_driver* second);
// The current driver, null when none.
const qorl_audio_driver* qorl_audio_current_driver();
