// The "dsnd" driver's volume and pan law, and the seams tests use: where its device
// comes from, and the buffer behind one of its sounds.
#pragma once
#include <cstdint>

#include "platform/qorl_audio.h"

class ds_device;
class ds_buffer;

constexpr int qorl_ds_attenuation_entries = 1025;

// Hundredths of a decibel for amplitude i/1024, made on first use.
const int32_t* qorl_ds_attenuation();
// The attenuation of a linear amplitude 0..32767, interpolated between entries.
int32_t qorl_ds_att(int32_t amplitude);
// Buffer volume and pan values (hundredths of a decibel) for a volume and a pan.
void qorl_ds_levels(int32_t volume, int32_t pan, int32_t* volume_value, int32_t* pan_value);

// Null restores the default output device.
void qorl_ds_set_device_source(int32_t (*create)(ds_device** device));
ds_buffer* qorl_ds_buffer_of(qorl_sound* sound);
