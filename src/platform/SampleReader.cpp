#include "platform/SampleReader.h"

#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kOutRate = 48000;
constexpr size_t kBlockFrames = 1 << 16;

bool Stopped(const InputSource& input)
{
    return input.pStop != nullptr && input.pStop->load(std::memory_order_relaxed);
}

inline uint8_t FromShort(int s)
{
    return static_cast<uint8_t>((s >> 8) + 128);
}

inline uint8_t FromFloat(float x)
{
    const long v = std::lround(static_cast<double>(x) * 128.0) + 128;
    return static_cast<uint8_t>(std::clamp(v, 0L, 255L));
}

// Streaming resampler to 48 kHz, float in, unsigned 8-bit out.
class CResampler
{
public:
    CResampler(int nInRate, const SampleBlockFn& consume) : m_consume(consume)
    {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        m_soxr = soxr_create(nInRate, kOutRate, 1, &error, &io, &quality, nullptr);
        if (error != nullptr)
            m_soxr = nullptr;
        m_out.resize(kBlockFrames * 2 + 1024);
        m_bytes.resize(m_out.size());
    }
    ~CResampler()
    {
        if (m_soxr != nullptr)
            soxr_delete(m_soxr);
    }
    CResampler(const CResampler&) = delete;
    CResampler& operator=(const CResampler&) = delete;

    bool Ok() const { return m_soxr != nullptr; }

    void Process(const float* in, size_t n)
    {
        while (n > 0) {
            size_t used = 0;
            size_t made = 0;
            soxr_process(m_soxr, in, n, &used, m_out.data(), m_out.size(), &made);
            Deliver(made);
            in += used;
            n -= used;
            if (used == 0 && made == 0)
                break;
        }
    }

    void Flush()
    {
        for (;;) {
            size_t made = 0;
            soxr_process(m_soxr, nullptr, 0, nullptr, m_out.data(), m_out.size(), &made);
            if (made == 0)
                break;
            Deliver(made);
        }
    }

private:
    void Deliver(size_t made)
    {
        if (made == 0)
            return;
        for (size_t i = 0; i < made; ++i)
            m_bytes[i] = FromFloat(m_out[i]);
        m_consume(m_bytes.data(), made);
    }

    soxr_t m_soxr = nullptr;
    const SampleBlockFn& m_consume;
    std::vector<float> m_out;
    std::vector<uint8_t> m_bytes;
};

// libsndfile opens a cut-off file without an error and shrinks the frame
// count to what is there; only its log tells that the header's audio chunk
// was longer ("data : 100000 (should be 49956)").
std::string CutOffNote(SNDFILE* file)
{
    std::vector<char> log(16384, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size() - 1));
    std::string text(log.data());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        if ((line.rfind("data", 0) == 0 || line.rfind("SSND", 0) == 0) &&
            line.find("(should be") != std::string::npos)
            return line;
        at = end + 1;
    }
    return {};
}

bool IsPlainU8Wave(const SF_INFO& info)
{
    const int major = info.format & SF_FORMAT_TYPEMASK;
    return (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) &&
           (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 && info.channels == 1 &&
           info.samplerate == kOutRate;
}

ReadResult ReadFile(const InputSource& input, const SampleBlockFn& consume, std::string& strError)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(input.strPath.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        strError = sf_strerror(nullptr);
        return ReadResult::CannotOpen;
    }
    if (info.channels < 1 || !IsUsableRate(info.samplerate)) {
        sf_close(file);
        strError = "unsupported sample rate or channel count";
        return ReadResult::CannotOpen;
    }
    const size_t channels = static_cast<size_t>(info.channels);
    sf_count_t total = 0;
    std::vector<uint8_t> bytes(kBlockFrames);

    if (IsPlainU8Wave(info)) {
        for (;;) {
            const sf_count_t got = sf_read_raw(file, bytes.data(), static_cast<sf_count_t>(bytes.size()));
            if (got <= 0 || Stopped(input))
                break;
            consume(bytes.data(), static_cast<size_t>(got));
            total += got;
        }
    } else if (info.samplerate == kOutRate) {
        std::vector<short> frames(kBlockFrames * channels);
        for (;;) {
            const sf_count_t got = sf_readf_short(file, frames.data(), static_cast<sf_count_t>(kBlockFrames));
            if (got <= 0 || Stopped(input))
                break;
            for (sf_count_t i = 0; i < got; ++i)
                bytes[static_cast<size_t>(i)] = FromShort(frames[static_cast<size_t>(i) * channels]);
            consume(bytes.data(), static_cast<size_t>(got));
            total += got;
        }
    } else {
        CResampler resampler(info.samplerate, consume);
        if (!resampler.Ok()) {
            sf_close(file);
            strError = "cannot resample from this rate";
            return ReadResult::CannotOpen;
        }
        std::vector<float> frames(kBlockFrames * channels);
        std::vector<float> mono(kBlockFrames);
        for (;;) {
            const sf_count_t got = sf_readf_float(file, frames.data(), static_cast<sf_count_t>(kBlockFrames));
            if (got <= 0 || Stopped(input))
                break;
            for (sf_count_t i = 0; i < got; ++i)
                mono[static_cast<size_t>(i)] = frames[static_cast<size_t>(i) * channels];
            resampler.Process(mono.data(), static_cast<size_t>(got));
            total += got;
        }
        resampler.Flush();
    }

    ReadResult result = ReadResult::Ok;
    const std::string cutOff = CutOffNote(file);
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        strError = sf_strerror(file);
        result = ReadResult::Damaged;
    } else if (info.frames > 0 && info.frames != SF_COUNT_MAX && total < info.frames) {
        // A header that promises more than the file holds: a cut-off file.
        strError = "the file ends early: " + std::to_string(total) + " of " + std::to_string(info.frames) +
                   " sample frames read";
        result = ReadResult::Damaged;
    } else if (!cutOff.empty()) {
        strError = "the file ends early (" + cutOff + ")";
        result = ReadResult::Damaged;
    }
    sf_close(file);
    return result;
}

ReadResult ReadStdin(const InputSource& input, const SampleBlockFn& consume, std::string& strError)
{
    const bool wide = input.type == RawType::S16LE;
    const bool resample = input.nRate != kOutRate;
    std::vector<uint8_t> raw(kBlockFrames * 2 + 1);
    std::vector<uint8_t> bytes(raw.size());
    std::vector<float> mono(raw.size());
    std::unique_ptr<CResampler> resampler;
    if (resample) {
        resampler = std::make_unique<CResampler>(input.nRate, consume);
        if (!resampler->Ok()) {
            strError = "cannot resample from this rate";
            return ReadResult::CannotOpen;
        }
    }
    size_t carry = 0;  // an odd byte of a 16-bit sample left from the last read
    ReadResult result = ReadResult::Ok;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, raw.data() + carry, raw.size() - 1 - carry);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            strError = std::strerror(errno);
            result = ReadResult::Damaged;
            break;
        }
        if (got == 0 || Stopped(input))
            break;
        const size_t have = carry + static_cast<size_t>(got);
        const size_t n = wide ? have / 2 : have;
        for (size_t i = 0; i < n; ++i) {
            if (wide) {
                const int s = static_cast<int16_t>(static_cast<uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8)));
                if (resample)
                    mono[i] = static_cast<float>(s) / 32768.0f;
                else
                    bytes[i] = FromShort(s);
            } else if (resample) {
                mono[i] = static_cast<float>(raw[i] - 128) / 128.0f;
            }
        }
        if (resample)
            resampler->Process(mono.data(), n);
        else
            consume(wide ? bytes.data() : raw.data(), n);
        carry = wide ? have % 2 : 0;
        if (carry != 0)
            raw[0] = raw[have - 1];
    }
    if (resample)
        resampler->Flush();
    if (result == ReadResult::Ok && carry != 0) {
        strError = "the input ends in the middle of a 16-bit sample";
        result = ReadResult::Damaged;
    }
    return result;
}

}  // namespace

bool IsUsableRate(int nRate)
{
    return nRate >= 1000 && nRate <= 1000000;
}

ReadResult ReadSamples(const InputSource& input, const SampleBlockFn& consume, std::string& strError)
{
    if (input.strPath == "-")
        return ReadStdin(input, consume, strError);
    return ReadFile(input, consume, strError);
}
