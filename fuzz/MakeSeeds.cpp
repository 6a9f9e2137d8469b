// Writes the generated part of the fuzz corpora: inputs made with the test
// signal generator and the frame builder, so the fuzzers start from frames
// the decoder finds instead of having to discover the flag by chance.
//
//   halvex_fuzz_seeds DIR     ->  DIR/<target>/<seed>
#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoder/Demodulator.h"
#include "document/Settings.h"
#include "messages/MessageStore.h"
#include "platform/Registry.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"
#include "synth/PhysicalModulator.h"

namespace {

namespace fs = std::filesystem;

bool g_bOk = true;

void Write(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::error_code error;
    fs::create_directories(dir, error);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "halvex_fuzz_seeds: cannot write %s\n", (dir / name).c_str());
        g_bOk = false;
    }
}

std::vector<uint8_t> Prefixed(std::vector<uint8_t> head, const std::vector<uint8_t>& body)
{
    head.insert(head.end(), body.begin(), body.end());
    return head;
}

struct NamedFrame
{
    std::string name;
    std::vector<uint8_t> frame;
};

std::vector<NamedFrame> Frames()
{
    BulletinFields b;
    return {
        {"bulletin", BuildOrbitBulletin(b)},
        {"datetime", BuildDateTimeStamp(2009, 60, 12, 34, 56, 789)},
        {"status", BuildStatusSummary({{5, 1, 12}, {8, 0, 1}, {12, 3, 15}})},
        {"status0", BuildStatusSummary({})},
        {"short", BuildFrameFromHex("012345")},
        {"long", BuildFrameFromHex(std::string(88, 'F'))},
        {"stuffing", BuildFrameFromHex("7E7E7E7EFFFFF81F")},
    };
}

// One frame in about 1.2 s of audio: enough for the one-second window.
std::vector<uint8_t> Audio(const std::vector<uint8_t>& frame, const ModulatorOptions& options)
{
    CModulator m(options);
    m.AppendSilence(500);
    m.AppendFlags(2);
    m.AppendFrame(frame);
    m.AppendFlags(1);
    m.AppendSilence(CDemodulator::kRingLength + 1000);
    return m.TakeSamples();
}

std::vector<uint8_t> BitsAsBytes(const std::vector<uint8_t>& bits)
{
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] | (0x80 >> (i % 8)));
    return bytes;
}

void DecoderSeeds(const fs::path& root)
{
    const fs::path chain = root / "decoder_chain";
    const fs::path equivalence = root / "decoder_equivalence";
    for (const NamedFrame& f : Frames()) {
        ModulatorOptions clean;
        Write(chain, f.name + "-audio", Prefixed({0x00}, Audio(f.frame, clean)));
        ModulatorOptions rough;
        rough.bInverted = true;
        rough.dNoise = 20.0;
        rough.dClockPpm = 300.0;
        rough.dDcOffset = -15.0;
        Write(chain, f.name + "-rough", Prefixed({0x01}, Audio(f.frame, rough)));
        Write(chain, f.name + "-rough-weak", Prefixed({0x21}, Audio(f.frame, rough)));
        // Bits mode: the stuffed frame; the target adds the flags.
        const std::vector<uint8_t> bits = BitsAsBytes(StuffFrameBits(f.frame));
        Write(chain, f.name + "-bits", Prefixed({0x04}, bits));
        Write(chain, f.name + "-bits-inverted", Prefixed({0x14 | 0x08}, bits));
        Write(equivalence, f.name + "-bits", Prefixed({0x01, 0xFF, 0xFF}, bits));
    }
    // The weak-signal receiver: physical audio at a low and a fair noise
    // level, drifting and inverted, fed in blocks; and frame bits.
    const fs::path weak = root / "weak_receiver";
    for (const NamedFrame& f : Frames()) {
        PhysicalOptions po;
        po.dSnrDb = 3.0;
        CPhysicalModulator low(po);
        low.AppendSilence(500);
        low.AppendFrame(f.frame);
        low.AppendSilence(500);
        Write(weak, f.name + "-3dB", Prefixed({0x00, 0x00}, low.TakeSamples()));
        po.dSnrDb = 9.0;
        po.dClockPpm = -800.0;
        po.bInverted = true;
        CPhysicalModulator drifting(po);
        drifting.AppendSilence(500);
        drifting.AppendFrame(f.frame);
        drifting.AppendSilence(500);
        Write(weak, f.name + "-drift", Prefixed({0x00, 0x35}, drifting.TakeSamples()));
        const std::vector<uint8_t> bits = BitsAsBytes(StuffFrameBits(f.frame));
        Write(weak, f.name + "-bits", Prefixed({0x01 | 0x04 | 0x90, 0x00}, bits));
    }
    ModulatorOptions clean;
    Write(equivalence, "bulletin-audio",
          Prefixed({0x00, 0x00, 0x40}, Audio(BuildOrbitBulletin(BulletinFields{}), clean)));
}

void InterpretationSeeds(const fs::path& root)
{
    const fs::path dir = root / "interpret_message";
    for (const NamedFrame& f : Frames()) {
        FrameVerdict v;
        v.bMatched = true;
        const std::string line =
            CMessageStore::FormatMessageLine(f.frame.data(), static_cast<int>(f.frame.size()), v, 1241186607);
        Write(dir, f.name + "-line", Prefixed({0x00, 59}, std::vector<uint8_t>(line.begin(), line.end())));
        Write(dir, f.name + "-frame", Prefixed({0x01, 0}, f.frame));
        if (f.frame.size() > 4)
            Write(dir, f.name + "-kind",
                  Prefixed({0x02, 7}, std::vector<uint8_t>(f.frame.begin() + 4, f.frame.end())));
    }
}

void SettingsSeeds(const fs::path& root)
{
    StoredSettings s;
    s.nViewMode = 3;
    s.nSoundcardOption = 1;
    s.bExpandMsgs = 0;
    s.nEqx[8] = 1235910896;
    s.dEql[8] = 123.456;
    s.dPer[8] = 6127.38;
    s.dInc[8] = 98.7234;
    s.dHomeLat = 52.508333;
    s.dHomeLon = -8.608333;
    s.strLogDirectory = "/var/log/halvex3 \"station\"/";
    // Through a real key, so the seed is exactly what the program writes.
    const fs::path dir = root / "settings_file";
    std::error_code error;
    fs::create_directories(dir, error);
    const std::string path = (dir / "written.reg").string();
    fs::remove(path, error);
    reg::CRegKey key;
    if (key.CreateKey(path, kSettingsKey, nullptr) == reg::ERROR_SUCCESS) {
        WriteStoredValues(key, s);
        key.SetValue("Unknown", reg::REG_BINARY, "\x01\x02", 2);
        key.Close();
    } else {
        g_bOk = false;
    }
}

// A short recording written by libsndfile in the given format, as bytes.
std::vector<uint8_t> SoundFile(const fs::path& scratch, int format, int rate, int channels)
{
    CModulator m;
    m.AppendFlags(4);
    m.AppendFrame(BuildFrameFromHex("0123456789ABCD"));
    const std::vector<uint8_t> u8 = m.TakeSamples();
    const size_t frames = u8.size() * static_cast<size_t>(rate) / 48000;
    std::vector<short> pcm(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<short>((u8[i * 48000 / static_cast<size_t>(rate)] - 128) * 256);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(scratch.c_str(), SFM_WRITE, &info);
    if (f == nullptr)
        return {};  // a format this libsndfile cannot write
    sf_writef_short(f, pcm.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
    std::ifstream in(scratch, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void SoundFileSeeds(const fs::path& root)
{
    const fs::path dir = root / "sound_file";
    std::error_code error;
    fs::create_directories(dir, error);
    const fs::path scratch = dir / "scratch.tmp";
    struct Kind
    {
        const char* name;
        int format, rate, channels;
    };
    const Kind kinds[] = {
        {"u8-48k-mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1},
        {"s16-44k-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
        {"float-48k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1},
        {"s16-8k.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1},
        {"s16-24k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 24000, 1},
        {"u8-11k.au", SF_FORMAT_AU | SF_FORMAT_PCM_S8, 11025, 1},
    };
    for (const Kind& k : kinds) {
        const std::vector<uint8_t> bytes = SoundFile(scratch, k.format, k.rate, k.channels);
        if (bytes.size() < 64)
            continue;
        Write(dir, k.name, Prefixed({0x00}, bytes));
        if (k.rate == 48000 && k.channels == 1 && (k.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8) {
            // Cut off half-way, and a header whose data chunk claims more.
            Write(dir, std::string("cut-") + k.name,
                  Prefixed({0x00}, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)));
            std::vector<uint8_t> lying = bytes;
            for (size_t i = 12; i + 8 <= lying.size(); ++i)
                if (std::memcmp(&lying[i], "data", 4) == 0) {
                    lying[i + 7] = 0x7F;
                    break;
                }
            Write(dir, std::string("lying-") + k.name, Prefixed({0x00}, lying));
            // The same audio as raw input, at 48 kHz and said to be 24 kHz.
            const std::vector<uint8_t> raw(bytes.begin() + 44, bytes.end());
            Write(dir, "raw-u8-48k", Prefixed({0x01}, raw));
            Write(dir, "raw-u8-24k", Prefixed({0x05}, raw));
        }
        if ((k.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && k.channels == 1 && k.rate == 8000) {
            const std::vector<uint8_t> raw(bytes.begin() + 54, bytes.end());
            Write(dir, "raw-s16-8k", Prefixed({0x0E}, raw));
            Write(dir, "raw-s16-48k-odd",
                  Prefixed({0x02}, std::vector<uint8_t>(raw.begin(), raw.begin() + 1001)));
        }
    }
    fs::remove(scratch, error);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: halvex_fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    DecoderSeeds(root);
    InterpretationSeeds(root);
    SettingsSeeds(root);
    SoundFileSeeds(root);
    return g_bOk ? 0 : 1;
}
