#pragma once
// Shared by the fuzz targets: invariant checks that stop the run with a
// message (libFuzzer then saves the input), and a cursor over the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// Takes leading bytes as option fields; the rest is the payload.
class CFuzzInput
{
public:
    CFuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t TakeByte()
    {
        if (m_pos >= m_size)
            return 0;
        return m_data[m_pos++];
    }
    uint16_t TakeU16()
    {
        const uint16_t hi = TakeByte();
        return static_cast<uint16_t>(hi << 8 | TakeByte());
    }
    const uint8_t* Rest() const { return m_data + m_pos; }
    size_t RestSize() const { return m_pos < m_size ? m_size - m_pos : 0; }
    std::string RestAsString() const
    {
        return std::string(reinterpret_cast<const char*>(Rest()), RestSize());
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
