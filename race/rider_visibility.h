// Which riders the own rider meets online, and which riders are left out of the
// drawing, the engine sound and the map.
#pragma once
#include <cstdint>

// Online: 1 when slot's rider is to collide with the own rider this tick. Offline
// (no own slot) every rider passes.
int rider_contact_filter(int32_t slot);
// 1 when slot's rider is not shown this frame.
int rider_hidden(int slot);
