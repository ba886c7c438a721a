// Little-endian fields of the game-server protocol, read and written byte by byte so
// that no packet is ever read through a cast pointer. Header-only: the loopback test
// server shares these and nothing else of the client's code.
#pragma once
#include <cstdint>

inline void wire_put_u8(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
}

inline void wire_put_u16(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

inline void wire_put_u32(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
    at[2] = uint8_t(v >> 16);
    at[3] = uint8_t(v >> 24);
}

inline void wire_put_i32(uint8_t* at, int32_t v)
{
    wire_put_u32(at, uint32_t(v));
}

inline uint32_t wire_get_u16(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}

inline uint32_t wire_get_u32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

inline int32_t wire_get_i32(const uint8_t* at)
{
    return int32_t(wire_get_u32(at));
}
