#pragma once

// What every fuzz target shares. A target feeds the bytes libFuzzer gives it through one
// reader as the program does, and checks the reader's own promises with FUZZ_CHECK. A
// broken promise aborts: libFuzzer keeps the input as a finding, and the corpus replay
// under CTest fails and names the input.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

inline QByteArray fuzzBytes(const uint8_t *data, size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A small deterministic generator for the choices a target makes from its first bytes
// (where to cut reads), so that a finding replays the same way.
class FuzzChoices {
public:
    explicit FuzzChoices(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    uint32_t next(uint32_t below) {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 8) % below;
    }

private:
    uint32_t m_state;
};
