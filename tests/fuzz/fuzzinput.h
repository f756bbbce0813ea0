#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Reads a fuzz input front to back; past its end every read gives 0.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_position >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_position++]; }
    QByteArray bytes(size_t count)
    {
        const size_t n = std::min(count, m_size - std::min(m_position, m_size));
        QByteArray out(reinterpret_cast<const char *>(m_data + m_position), qsizetype(n));
        m_position += n;
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_position = 0;
};

// Stops the run the way the fuzzer and the replay both notice.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            __builtin_trap();                                                                      \
    } while (false)
