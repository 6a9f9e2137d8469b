// halvex_false_frames: hours of audio that holds no frame through the decoder
// chain with the weak-signal receiver on (Require CRC on, repair on), and
// what came out anyway. Run by scripts/long-run-weak.sh.
//
//   halvex_false_frames noise SECONDS [SEED]        white noise, RMS 5, 20 and 60
//                                                  sample units by turns (a minute each)
//   halvex_false_frames flags SECONDS [SEED] [SNR]  the physical signal: an opening
//                                                  flag, 40 to 376 random bits (not
//                                                  stuffed, never a frame), a closing
//                                                  flag, a gap;
//                                                  about one burst a second; SNR in
//                                                  dB (default 3)
//
// Prints one line of counts: the frames of the demodulator, and the
// receiver's flags looked at, rows above the noise, check values computed and
// frames added. Every check value computed is a chance of 1 in 65,536 for a
// row that is not a frame; the expected number of false frames is printed
// beside the count. Exit status 0 when the receiver added no frame.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "messages/DecoderChain.h"
#include "synth/Modulator.h"
#include "synth/PhysicalModulator.h"

namespace {

class CCounter : public IMessageOutput
{
public:
    void Write(const MessageRecord& record) override
    {
        ++m_nFrames;
        // Every frame out of audio that holds none is false: show it.
        std::printf("false frame: %s\n", record.strLine.c_str());
    }
    uint64_t m_nFrames = 0;
};

// The demodulator alone on the same samples: every row it extracts costs a
// check value too, which is the chance of a false frame it has in any case.
class CCheckCounter : public IFrameSink
{
public:
    void OnFrame(const uint8_t*, int, const FrameVerdict& verdict) override
    {
        ++m_nChecks;
        m_nMatched += verdict.bMatched ? 1 : 0;
    }
    uint64_t m_nChecks = 0;
    uint64_t m_nMatched = 0;
};

// White noise from a table of 65,536 quantised Gaussian samples indexed at
// random: fast enough for a day of audio in a couple of minutes.
class CNoise
{
public:
    CNoise(double rms, uint32_t seed) : m_state(0x9E3779B97F4A7C15ull ^ seed)
    {
        std::mt19937 rng(seed);
        std::normal_distribution<double> g(128.0, rms);
        m_table.resize(65536);
        for (uint8_t& v : m_table)
            v = static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, g(rng)))));
    }
    void Fill(uint8_t* out, size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            m_state ^= m_state << 13;
            m_state ^= m_state >> 7;
            m_state ^= m_state << 17;
            out[i] = m_table[static_cast<size_t>(m_state >> 48)];
        }
    }

private:
    std::vector<uint8_t> m_table;
    uint64_t m_state;
};

// Whether a burst as sent (opening flag, data bits, closing flag) holds a frame
// after all: the bits between any two of its flags, read upright or reversed,
// de-stuff into 5 to 46 whole bytes whose check value matches. Random data
// does so about once in 65,536 flag pairs; such audio holds a real frame
// that any receiver reading it right must put out, so it is drawn again.
bool HoldsAFrame(const std::vector<uint8_t>& burst, CFrameCheck& check)
{
    static const uint8_t kFlag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
    for (uint8_t flip = 0; flip < 2; ++flip) {
        std::vector<size_t> ends;  // index after each flag's last bit
        for (size_t i = 8; i <= burst.size(); ++i) {
            bool flag = true;
            for (size_t k = 0; k < 8 && flag; ++k)
                flag = (burst[i - 8 + k] ^ flip) == kFlag[k];
            if (flag)
                ends.push_back(i);
        }
        for (size_t a = 0; a < ends.size(); ++a) {
            for (size_t b = a + 1; b < ends.size(); ++b) {
                std::vector<uint8_t> bytes;
                int ones = 0, count = 0;
                unsigned byte = 0;
                bool broken = false;
                for (size_t i = ends[a]; i + 8 < ends[b] && !broken; ++i) {
                    const uint8_t bit = burst[i] ^ flip;
                    if (ones == 5) {  // a stuffed 0, or six ones: no frame
                        ones = 0;
                        broken = bit != 0;
                        continue;
                    }
                    ones = bit != 0 ? ones + 1 : 0;
                    byte = (byte << 1) | bit;
                    if (++count % 8 == 0) {
                        bytes.push_back(static_cast<uint8_t>(byte & 0xFF));
                        byte = 0;
                    }
                }
                if (broken || count % 8 != 0 || bytes.size() < 5 || bytes.size() > 46)
                    continue;
                if (check.CheckFrame(bytes.data(), static_cast<int>(bytes.size())).bMatched)
                    return true;
            }
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: halvex_false_frames noise|flags SECONDS [SEED] [SNR]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const uint64_t total = static_cast<uint64_t>(std::strtoull(argv[2], nullptr, 10)) * 48000u;
    const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1u;
    const double snr = argc > 4 ? std::strtod(argv[4], nullptr) : 3.0;
    if ((kind != "noise" && kind != "flags") || total == 0) {
        std::fprintf(stderr, "halvex_false_frames: bad arguments\n");
        return 2;
    }

    DecodeOptions options;
    options.nStart = 1241136000;  // 2009-05-01 00:00:00 UTC
    options.bWeakSignals = true;
    CDecoderChain chain(options);
    CCounter counter;
    chain.AddOutput(counter);
    CCheckCounter plainChecks;
    CDemodulator mainAlone(&plainChecks);
    auto feed = [&](const uint8_t* p, size_t n) {
        chain.ProcessBlock(p, n);
        mainAlone.ProcessSamples(p, n);
    };

    uint64_t done = 0;
    uint64_t redrawn = 0;  // bursts that held a frame after all
    if (kind == "noise") {
        CNoise levels[] = {CNoise(5.0, seed), CNoise(20.0, seed + 1), CNoise(60.0, seed + 2)};
        std::vector<uint8_t> block(48000);
        for (uint64_t second = 0; done < total; ++second) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), total - done));
            levels[(second / 60) % 3].Fill(block.data(), n);
            feed(block.data(), n);
            done += n;
        }
    } else {
        PhysicalOptions po;
        po.dSnrDb = snr;
        po.nSeed = seed;
        CPhysicalModulator mod(po);
        std::mt19937 rng(seed);
        CFrameCheck check;
        // The screen must know a frame when it sees one, either way up.
        const std::vector<uint8_t> frameBits = StuffFrameBits(AppendCrc({0x12, 0x34, 0x56, 0x78, 0x9A}));
        std::vector<uint8_t> sample = {0, 1, 1, 1, 1, 1, 1, 0};
        sample.insert(sample.end(), frameBits.begin(), frameBits.end());
        sample.insert(sample.end(), {0, 1, 1, 1, 1, 1, 1, 0});
        std::vector<uint8_t> reversed = sample;
        for (uint8_t& b : reversed)
            b ^= 1;
        if (!HoldsAFrame(sample, check) || !HoldsAFrame(reversed, check)) {
            std::fprintf(stderr, "halvex_false_frames: the frame screen misses a frame\n");
            return 2;
        }
        while (done < total) {
            mod.AppendFlags(1);
            std::vector<uint8_t> bits, burst;
            bool holds = false;
            do {
                bits.assign(40 + rng() % 337, 0);
                for (uint8_t& b : bits)
                    b = static_cast<uint8_t>(rng() & 1);
                burst = {0, 1, 1, 1, 1, 1, 1, 0};
                burst.insert(burst.end(), bits.begin(), bits.end());
                burst.insert(burst.end(), {0, 1, 1, 1, 1, 1, 1, 0});
                holds = HoldsAFrame(burst, check);
                redrawn += holds ? 1 : 0;
            } while (holds);
            mod.AppendBits(bits);
            mod.AppendFlags(1);
            mod.AppendSilence(4000 + static_cast<int>(rng() % 36000));
            std::vector<uint8_t> s = mod.TakeSamples();
            const size_t n = static_cast<size_t>(std::min<uint64_t>(s.size(), total - done));
            feed(s.data(), n);
            done += n;
        }
    }
    chain.Finish();

    const CWeakReceiver::Statistics& st = chain.WeakReceiver()->Stats();
    const uint64_t added = chain.WeakFramesKept();
    const uint64_t plain = counter.m_nFrames - added;
    std::printf(
        "%s %.2f h: demodulator frames %llu (check values %llu, expected by chance %.3f); "
        "receiver: flags %llu, rows above noise %llu, "
        "check values %llu (repair %llu), frames found %llu (dropped as the demodulator's %llu), "
        "frames added %llu (expected by chance %.3f); bursts drawn again because they held a frame %llu\n",
        kind.c_str(), static_cast<double>(total) / 48000.0 / 3600.0, static_cast<unsigned long long>(plain),
        static_cast<unsigned long long>(plainChecks.m_nChecks),
        static_cast<double>(plainChecks.m_nChecks) / 65536.0, static_cast<unsigned long long>(st.nCandidates),
        static_cast<unsigned long long>(st.nDecoded), static_cast<unsigned long long>(st.nTrials),
        static_cast<unsigned long long>(st.nRepairTrials), static_cast<unsigned long long>(st.nFrames),
        static_cast<unsigned long long>(chain.WeakFramesDropped()), static_cast<unsigned long long>(added),
        static_cast<double>(st.nTrials) / 65536.0, static_cast<unsigned long long>(redrawn));
    return added == 0 ? 0 : 1;
}
