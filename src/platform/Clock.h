#pragma once
#include <cstdint>

// Wall clock, injected so tests and the command-line decoder can set the time.
// Instants are seconds since 1970-01-01 00:00:00 UTC in 64 bits.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual int64_t Now() const = 0;
};

class CSystemClock final : public IClock
{
public:
    int64_t Now() const override;
};

// A clock that reads a value the owner sets.
class CManualClock final : public IClock
{
public:
    explicit CManualClock(int64_t now = 0) : m_nNow(now) {}
    int64_t Now() const override { return m_nNow; }
    void Set(int64_t now) { m_nNow = now; }
    void Advance(int64_t seconds) { m_nNow += seconds; }

private:
    int64_t m_nNow;
};
