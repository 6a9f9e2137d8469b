#pragma once
// The receive chain of one station: 48 kHz unsigned 8-bit samples go through
// the demodulator and the frame check into the message store, which makes the
// message lines, interprets them and fills the satellite table; every kept
// frame then goes to each output (the terminal, the day's log, ...). The store's clock follows the sample
// count from a given start instant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <deque>
#include <memory>

#include "decoder/Demodulator.h"
#include "decoder/WeakReceiver.h"
#include "messages/MessageOutput.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"

struct DecodeOptions
{
    int64_t nStart = 0;  // UTC instant of the first sample
    bool bRequireCrc = true;
    bool bExpand = true;
    bool bWeakSignals = false;  // also run the weak-signal receiver
};

class CDecoderChain
{
public:
    static constexpr int kRate = CDemodulator::kRingLength;  // samples per second
    // The demodulator ends a flag run a few samples after the flag reaches
    // the window's oldest end; a receiver's frame waits this much longer.
    static constexpr int64_t kFindDelay = 8;
    static constexpr int64_t kHoldMargin = 600;

    explicit CDecoderChain(const DecodeOptions& options);
    // Around parts someone else owns (the document): the store keeps its own
    // clock and hooks, and the demodulator stays reachable as it is.
    CDecoderChain(CDemodulator& demod, CMessageStore& store, CSatelliteTable& table);
    ~CDecoderChain();
    CDecoderChain(const CDecoderChain&) = delete;
    CDecoderChain& operator=(const CDecoderChain&) = delete;

    // Outputs are called in the order they were added; the chain does not own them.
    void AddOutput(IMessageOutput& output) { m_outputs.push_back(&output); }

    // Samples in input order, any block size.
    void ProcessBlock(const uint8_t* samples, size_t n);
    // One second of zero line after the input, so that frames sent in the
    // last second reach the oldest end of the window; then every output is
    // finished. False when an output could not deliver everything.
    bool Finish();

    // Turning the receiver on starts it at the current sample; turning it off
    // forgets the frames it still holds.
    void SetWeakSignals(bool bOn);
    bool WeakSignals() const { return m_pWeak != nullptr; }
    // Null while the receiver is off.
    const CWeakReceiver* WeakReceiver() const { return m_pWeak.get(); }
    // Frames of the receiver that went to the store, and those dropped because
    // the demodulator had them.
    uint64_t WeakFramesKept() const { return m_nWeakKept; }
    uint64_t WeakFramesDropped() const { return m_nWeakDropped; }

    uint64_t SampleCount() const { return m_nSamples; }
    // The satellite table the bulletins fill (for settings that keep it).
    CSatelliteTable& Table() { return m_table; }
    CMessageStore& Store() { return m_store; }
    CDemodulator& Demodulator() { return m_demod; }

private:
    // The demodulator's frames on their way to the store, noted with the
    // sample at which they were found.
    class CTap : public IFrameSink
    {
    public:
        explicit CTap(CDecoderChain& chain) : m_chain(chain) {}
        void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict) override;

    private:
        CDecoderChain& m_chain;
    };
    struct Held
    {
        WeakFrame frame;
        int64_t nPoint;  // sample count at which the demodulator would find it
    };
    struct Seen
    {
        std::vector<uint8_t> bytes;
        int64_t nPoint;
    };
    struct Owned;

    void RunDemodulator(const uint8_t* samples, size_t n);
    void ReleaseHeld(bool bAll);

    std::unique_ptr<Owned> m_pOwned;
    int64_t m_nStart = 0;
    uint64_t m_nSamples = 0;
    CSatelliteTable& m_table;
    CManualClock* m_pClock;  // null: the store's clock is not the chain's
    CMessageStore& m_store;
    CDemodulator& m_demod;
    std::vector<IMessageOutput*> m_outputs;

    std::unique_ptr<CWeakReceiver> m_pWeak;
    int64_t m_nWeakBase = 0;  // sample count when the receiver started
    CTap m_tap{*this};
    // Where the demodulator stood when the running call began.
    uint64_t m_nCallBase = 0;
    int m_nCallIndex = 0;
    std::deque<Held> m_held;
    CFrameCheck m_check;      // the receiver's frames' verdicts (the demodulator's table stays its own)
    std::deque<Seen> m_seen;  // frames out in the last seconds, both sources
    uint64_t m_nWeakKept = 0;
    uint64_t m_nWeakDropped = 0;
};
