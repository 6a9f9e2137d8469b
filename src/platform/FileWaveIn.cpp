#include "platform/FileWaveIn.h"

#include <algorithm>
#include <cstring>

#include "platform/SampleReader.h"

using namespace wavein;

namespace {

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

InputSource FileSource(const std::string& strPath)
{
    InputSource input;
    input.strPath = strPath;
    if (strPath == "-")
        input.strPath = "./-";  // a file of that name, never standard input
    return input;
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
        m_bStopReading = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CFileWaveIn::LoadAsU8(const std::string& strPath, std::vector<uint8_t>& samples, std::string& strError)
{
    samples.clear();
    const ReadResult result = ReadSamples(
        FileSource(strPath),
        [&](const uint8_t* block, size_t n) { samples.insert(samples.end(), block, block + n); }, strError);
    // A damaged file plays what could be read, as the decoder decodes it.
    return result != ReadResult::CannotOpen;
}

std::string CFileWaveIn::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strError;
}

unsigned CFileWaveIn::GetNumDevs()
{
    return 1;
}

unsigned CFileWaveIn::GetDevCaps(unsigned deviceId, WaveInCaps* caps, unsigned capsSize)
{
    if (deviceId != 0 && deviceId != WAVE_MAPPER)
        return MMSYSERR_BADDEVICEID;
    if (caps == nullptr || capsSize < kWaveInCapsSize)
        return MMSYSERR_INVALPARAM;
    *caps = WaveInCaps{};
    std::string name = BaseName(m_strPath);
    std::memcpy(caps->szPname, name.data(), std::min<size_t>(name.size(), kMaxPnameLen - 1));
    caps->wChannels = 1;
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Open(HWAVEIN* handle, unsigned deviceId, const WaveFormat* format)
{
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    if (deviceId != 0 && deviceId != WAVE_MAPPER)
        return MMSYSERR_BADDEVICEID;
    if (!IsCaptureFormat(format))
        return WAVERR_BADFORMAT;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bOpen)
            return MMSYSERR_ALLOCATED;
    }
    if (m_thread.joinable())
        m_thread.join();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strError.clear();
        m_readState = ReadState::Starting;
        m_bRecording = false;
        m_bWasRecording = false;
        m_bQuit = false;
        m_bStopReading = false;
    }
    // The reader opens the file on its own thread; its first block (or its
    // failure) tells whether the file can be played.
    m_thread = std::thread(&CFileWaveIn::DeliveryThread, this);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return m_readState != ReadState::Starting; });
    if (m_readState == ReadState::Failed) {
        lock.unlock();
        m_thread.join();
        return MMSYSERR_NODRIVER;
    }
    m_bOpen = true;
    *handle = Handle();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::CheckHandle(HWAVEIN handle) const
{
    return !m_bOpen || handle != Handle() ? MMSYSERR_INVALHANDLE : MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::PrepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned r = CheckHandle(handle);
    return r != MMSYSERR_NOERROR ? r : m_queue.Prepare(hdr, hdrSize);
}

unsigned CFileWaveIn::UnprepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned r = CheckHandle(handle);
    return r != MMSYSERR_NOERROR ? r : m_queue.Unprepare(hdr, hdrSize);
}

unsigned CFileWaveIn::AddBuffer(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    unsigned r;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        r = CheckHandle(handle);
        if (r == MMSYSERR_NOERROR)
            r = m_queue.Add(hdr, hdrSize);
    }
    if (r == MMSYSERR_NOERROR)
        m_wake.notify_all();
    return r;
}

unsigned CFileWaveIn::Start(HWAVEIN handle)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (CheckHandle(handle) != MMSYSERR_NOERROR)
            return MMSYSERR_INVALHANDLE;
        m_bRecording = true;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Reset(HWAVEIN handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (CheckHandle(handle) != MMSYSERR_NOERROR)
        return MMSYSERR_INVALHANDLE;
    m_bRecording = false;
    m_queue.ReturnAll();
    return MMSYSERR_NOERROR;
}

unsigned CFileWaveIn::Close(HWAVEIN handle)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (CheckHandle(handle) != MMSYSERR_NOERROR)
            return MMSYSERR_INVALHANDLE;
        if (!m_queue.Empty())
            return WAVERR_STILLPLAYING;
        m_bOpen = false;
        m_bRecording = false;
        m_bQuit = true;
        m_bStopReading = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    return MMSYSERR_NOERROR;
}

bool CFileWaveIn::PlayLocked(std::unique_lock<std::mutex>& lock, const uint8_t* data, uint64_t n)
{
    using Clock = std::chrono::steady_clock;
    const bool bPaced = m_dPacing > 0.0;
    const double bytesPerSecond = kRate * m_dPacing;
    while (n > 0) {
        if (m_bQuit)
            return false;
        if (!m_bRecording) {
            m_bWasRecording = false;
            m_wake.wait(lock, [this] { return m_bQuit || m_bRecording; });
            continue;
        }
        uint64_t take = 0;
        if (!bPaced) {
            // As fast as the reader queues buffers, never dropping audio.
            if (m_queue.Empty()) {
                m_wake.wait(lock, [this] { return m_bQuit || !m_bRecording || !m_queue.Empty(); });
                continue;
            }
            take = std::min<uint64_t>(n, m_queue.FrontRoom());
        } else {
            const Clock::time_point now = Clock::now();
            if (!m_bWasRecording) {
                m_bWasRecording = true;
                m_since = now;
                m_nDeliveredSince = 0;
            }
            const double elapsed = std::chrono::duration<double>(now - m_since).count();
            const auto due = static_cast<uint64_t>(elapsed * bytesPerSecond);
            if (due <= m_nDeliveredSince) {
                m_wake.wait_for(lock, std::chrono::milliseconds(10));
                continue;
            }
            take = std::min<uint64_t>(n, due - m_nDeliveredSince);
            m_nDeliveredSince += take;
        }
        // Bytes that find no queued buffer pass by, as on a sound card.
        m_queue.Deliver(data, static_cast<size_t>(take));
        if (data != nullptr)
            data += take;
        n -= take;
    }
    return true;
}

void CFileWaveIn::DeliveryThread()
{
    InputSource input = FileSource(m_strPath);
    input.pStop = &m_bStopReading;
    bool bStarted = false;
    auto started = [&](std::unique_lock<std::mutex>&) {
        if (bStarted)
            return;
        bStarted = true;
        m_readState = ReadState::Playing;
        m_wake.notify_all();
    };
    std::string strError;
    const ReadResult result = ReadSamples(
        input,
        [&](const uint8_t* block, size_t n) {
            std::unique_lock<std::mutex> lock(m_mutex);
            started(lock);
            if (!PlayLocked(lock, block, n))
                m_bStopReading = true;
        },
        strError);

    std::unique_lock<std::mutex> lock(m_mutex);
    if (!bStarted && result == ReadResult::CannotOpen) {
        m_strError = "cannot read " + m_strPath + ": " + strError;
        m_readState = ReadState::Failed;
        m_wake.notify_all();
        return;
    }
    started(lock);
    // A damaged file plays what could be read; then the zero line.
    PlayLocked(lock, nullptr, UINT64_MAX);
}
