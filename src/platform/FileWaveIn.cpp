#include "platform/FileWaveIn.h"
#include "platform/SampleReader.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

using namespace wavein;

namespace {

constexpr uint8_t kSilence = 128;

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsAcceptedFormat(const WaveFormat* f)
{
    return f != nullptr && f->wFormatTag == WAVE_FORMAT_PCM && f->nChannels == 1 &&
           f->nSamplesPerSec == CFileWaveIn::kRate && f->wBitsPerSample == 8 && f->nBlockAlign == 1;
}

}  // namespace

CFileWaveIn::CFileWaveIn(std::string strPath, double dPacing)
    : m_strPath(std::move(strPath)), m_dPacing(dPacing)
{
}

CFileWaveIn::~CFileWaveIn()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool CFileWaveIn::LoadAsU8(const std::string& strPath, std::vector<uint8_t>& samples,
                           std::string& strError)
{
    // The same conversion as halvex3-decode, so a recording played here gives
    // the decoder exactly the samples the command-line decoder sees.
    samples.clear();
    InputSource input;
    input.strPath = strPath;
    if (strPath == "-")
        input.strPath = "./-";  // a file of that name, never standard input
    const ReadResult result = ReadSamples(
        input, [&](const uint8_t* block, size_t n) { samples.insert(samples.end(), block, block + n); },
        strError);
    // A damaged file plays what could be read, as the decoder decodes it.
    return result != ReadResult::CannotOpen;
}

unsigned CFileWaveIn::GetNumDevs()
{
    return 1;
}

unsigned CFileWaveIn::GetDevCaps(unsigned deviceId, WaveInCaps* caps, unsigned capsSize)
{
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (caps == nullptr || capsSize < kWaveInCapsSize) return MMSYSERR_INVALPARAM;
    *caps = WaveInCaps{};
    std::string name = BaseName(m_strPath);
    std::memcpy(caps->szPname, name.data(), std::min<size_t>(name.size(), kMaxPnameLen - 1));
    caps->wChannels = 1;
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Open(HWAVEIN* handle, unsigned deviceId, const WaveFormat* format)
{
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (!IsAcceptedFormat(format)) return WAVERR_BADFORMAT;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bOpen) return MMSYSERR_ALLOCATED;
    }
    std::vector<uint8_t> samples;
    m_strError.clear();
    if (!LoadAsU8(m_strPath, samples, m_strError)) return MMSYSERR_NODRIVER;

    if (m_thread.joinable()) m_thread.join();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bySamples.swap(samples);
        m_nPosition = 0;
        m_queue.clear();
        m_nFrontFill = 0;
        m_bOpen = true;
        m_bRecording = false;
        m_bQuit = false;
    }
    m_thread = std::thread(&CFileWaveIn::DeliveryThread, this);
    *handle = Handle();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::CheckHeader(HWAVEIN handle, const WaveHdr* hdr, unsigned hdrSize) const
{
    if (!m_bOpen || handle != Handle()) return MMSYSERR_INVALHANDLE;
    if (hdr == nullptr || hdrSize != kWaveHdrSize || hdr->lpData == nullptr) return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::PrepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned r = CheckHeader(handle, hdr, hdrSize);
    if (r == MMSYSERR_NOERROR) hdr->dwFlags.fetch_or(WHDR_PREPARED);
    return r;
}

unsigned CFileWaveIn::UnprepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned r = CheckHeader(handle, hdr, hdrSize);
    if (r != MMSYSERR_NOERROR) return r;
    if (hdr->dwFlags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    hdr->dwFlags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::AddBuffer(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unsigned r = CheckHeader(handle, hdr, hdrSize);
        if (r != MMSYSERR_NOERROR) return r;
        uint32_t flags = hdr->dwFlags.load();
        if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        hdr->dwBytesRecorded.store(0);
        hdr->dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
        m_queue.push_back(hdr);
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Start(HWAVEIN handle)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bOpen || handle != Handle()) return MMSYSERR_INVALHANDLE;
        m_bRecording = true;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Reset(HWAVEIN handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bOpen || handle != Handle()) return MMSYSERR_INVALHANDLE;
    m_bRecording = false;
    // The partly filled front buffer goes back with what it holds; the rest empty.
    while (!m_queue.empty()) FinishFrontLocked();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Close(HWAVEIN handle)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bOpen || handle != Handle()) return MMSYSERR_INVALHANDLE;
        if (!m_queue.empty()) return WAVERR_STILLPLAYING;
        m_bOpen = false;
        m_bRecording = false;
        m_bQuit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    std::vector<uint8_t>().swap(m_bySamples);
    return MMSYSERR_NOERROR;
}

void CFileWaveIn::FinishFrontLocked()
{
    WaveHdr* hdr = m_queue.front();
    m_queue.erase(m_queue.begin());
    hdr->dwBytesRecorded.store(m_nFrontFill, std::memory_order_relaxed);
    uint32_t flags = hdr->dwFlags.load(std::memory_order_relaxed);
    hdr->dwFlags.store((flags | WHDR_DONE) & ~WHDR_INQUEUE, std::memory_order_release);
    m_nFrontFill = 0;
}

void CFileWaveIn::DeliverLocked(uint64_t n)
{
    while (n > 0) {
        if (m_queue.empty()) {
            m_nPosition += n;  // nobody listening: the audio passes by
            return;
        }
        WaveHdr* hdr = m_queue.front();
        uint32_t room = hdr->dwBufferLength - m_nFrontFill;
        uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(n, room));
        uint8_t* dst = reinterpret_cast<uint8_t*>(hdr->lpData) + m_nFrontFill;
        uint64_t have = m_nPosition < m_bySamples.size() ? m_bySamples.size() - m_nPosition : 0;
        uint32_t fromFile = static_cast<uint32_t>(std::min<uint64_t>(take, have));
        if (fromFile > 0) std::memcpy(dst, m_bySamples.data() + m_nPosition, fromFile);
        if (take > fromFile) std::memset(dst + fromFile, kSilence, take - fromFile);
        m_nFrontFill += take;
        m_nPosition += take;
        n -= take;
        if (m_nFrontFill >= hdr->dwBufferLength) FinishFrontLocked();
    }
}

void CFileWaveIn::DeliveryThread()
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool bPaced = m_dPacing > 0.0;
    const double bytesPerSecond = bPaced ? kRate * m_dPacing : 0.0;
    // Pacing restarts at every Start, counted from the bytes delivered since.
    Clock::time_point since{};
    uint64_t deliveredSince = 0;
    bool bWasRecording = false;

    while (!m_bQuit) {
        if (!m_bRecording) {
            bWasRecording = false;
            m_wake.wait(lock, [this] { return m_bQuit || m_bRecording; });
            continue;
        }
        if (!bPaced) {
            // As fast as the reader queues buffers, never dropping audio.
            while (!m_queue.empty() && m_bRecording && !m_bQuit) {
                WaveHdr* hdr = m_queue.front();
                DeliverLocked(hdr->dwBufferLength - m_nFrontFill);
            }
            m_wake.wait(lock, [this] { return m_bQuit || !m_bRecording || !m_queue.empty(); });
            continue;
        }
        Clock::time_point now = Clock::now();
        if (!bWasRecording) {
            bWasRecording = true;
            since = now;
            deliveredSince = 0;
        }
        double elapsed = std::chrono::duration<double>(now - since).count();
        uint64_t due = static_cast<uint64_t>(elapsed * bytesPerSecond);
        if (due > deliveredSince) {
            DeliverLocked(due - deliveredSince);
            deliveredSince = due;
        }
        m_wake.wait_for(lock, std::chrono::milliseconds(10));
    }
}
