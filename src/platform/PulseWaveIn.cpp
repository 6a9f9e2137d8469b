#include "platform/PulseWaveIn.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

#include "platform/Cp1252.h"

using namespace wavein;

namespace {

constexpr uint8_t kSilence = 128;
// About 100 ms per fragment: the poll looks every 300 ms, and a buffer is
// one second, so smaller fragments would only cost wake-ups.
constexpr uint32_t kFragmentBytes = 4800;

bool IsAcceptedFormat(const WaveFormat* f)
{
    return f != nullptr && f->wFormatTag == WAVE_FORMAT_PCM && f->nChannels == 1 &&
           f->nSamplesPerSec == CPulseWaveIn::kRate && f->wBitsPerSample == 8 && f->nBlockAlign == 1;
}

// Called with the main loop locked: gives the loop thread the lock while
// waiting, and gives up at the deadline so a stuck server cannot hang the
// program's one user-interface thread.
template <class Pred>
bool WaitLocked(pa_threaded_mainloop* loop, Pred done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        pa_threaded_mainloop_unlock(loop);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pa_threaded_mainloop_lock(loop);
    }
    return true;
}

// One connection to the server with its own event thread.
class CPulseSession
{
public:
    CPulseSession() = default;
    CPulseSession(const CPulseSession&) = delete;
    CPulseSession& operator=(const CPulseSession&) = delete;
    ~CPulseSession() { Disconnect(); }

    pa_threaded_mainloop* Loop() const { return m_loop; }
    pa_context* Context() const { return m_ctx; }

    // MMSYSERR_NOERROR once the context is ready, MMSYSERR_NODRIVER otherwise.
    unsigned Connect()
    {
        m_loop = pa_threaded_mainloop_new();
        if (m_loop == nullptr) return MMSYSERR_NOMEM;
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Halvex");
        pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "halvex3");
        pa_proplist_sets(props, PA_PROP_APPLICATION_VERSION, HALVEX_VERSION);
        pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
        m_ctx = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Halvex", props);
        pa_proplist_free(props);
        if (m_ctx == nullptr) return MMSYSERR_NODRIVER;
        if (pa_threaded_mainloop_start(m_loop) < 0) return MMSYSERR_NODRIVER;
        m_bStarted = true;

        pa_threaded_mainloop_lock(m_loop);
        bool ready = false;
        // No autospawn: a missing server is an answer, not something to start.
        if (pa_context_connect(m_ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            pa_context* ctx = m_ctx;
            WaitLocked(
                m_loop,
                [ctx] {
                    pa_context_state_t s = pa_context_get_state(ctx);
                    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
                },
                CPulseWaveIn::kTimeoutMs);
            ready = pa_context_get_state(m_ctx) == PA_CONTEXT_READY;
        }
        pa_threaded_mainloop_unlock(m_loop);
        return ready ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    }

    void Disconnect()
    {
        if (m_loop != nullptr && m_ctx != nullptr) {
            if (m_bStarted) pa_threaded_mainloop_lock(m_loop);
            pa_context_disconnect(m_ctx);
            pa_context_unref(m_ctx);
            m_ctx = nullptr;
            if (m_bStarted) pa_threaded_mainloop_unlock(m_loop);
        }
        if (m_loop != nullptr) {
            if (m_bStarted) pa_threaded_mainloop_stop(m_loop);
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
        }
        m_bStarted = false;
    }

private:
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_ctx = nullptr;
    bool m_bStarted = false;
};

struct SourceListState
{
    std::vector<CPulseWaveIn::Source>* pSources;
    bool bFailed = false;
};

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* state = static_cast<SourceListState*>(userdata);
    if (eol < 0) state->bFailed = true;
    if (eol != 0 || info == nullptr) return;
    if (info->monitor_of_sink != PA_INVALID_INDEX) return;  // what a sink plays, not an input
    CPulseWaveIn::Source s;
    s.strName = info->name ? info->name : "";
    s.strDescription = info->description ? info->description : s.strName;
    state->pSources->push_back(std::move(s));
}

// With the session's loop locked.
unsigned ListSourcesLocked(CPulseSession& session, std::vector<CPulseWaveIn::Source>& sources)
{
    sources.clear();
    SourceListState state{&sources};
    pa_operation* op = pa_context_get_source_info_list(session.Context(), OnSourceInfo, &state);
    if (op == nullptr) return MMSYSERR_NODRIVER;
    bool finished = WaitLocked(
        session.Loop(), [op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
        CPulseWaveIn::kTimeoutMs);
    if (!finished) pa_operation_cancel(op);
    pa_operation_unref(op);
    if (!finished || state.bFailed) {
        sources.clear();
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

// One open device: its own connection, the record stream and the buffer queue.
// The stream's callbacks run on the session's thread with its lock held; the
// operations of the user-interface thread take the same lock.
class CPulseWaveIn::CCapture
{
public:
    CPulseSession m_session;
    pa_stream* m_stream = nullptr;
    std::deque<WaveHdr*> m_queue;  // in the order added
    uint32_t m_nFrontFill = 0;      // bytes already in m_queue.front()
    bool m_bRecording = false;

    ~CCapture()
    {
        if (m_stream != nullptr) {
            pa_threaded_mainloop_lock(m_session.Loop());
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
            pa_threaded_mainloop_unlock(m_session.Loop());
        }
        m_session.Disconnect();
    }

    void FinishFront()
    {
        WaveHdr* hdr = m_queue.front();
        m_queue.pop_front();
        hdr->dwBytesRecorded.store(m_nFrontFill, std::memory_order_relaxed);
        uint32_t flags = hdr->dwFlags.load(std::memory_order_relaxed);
        hdr->dwFlags.store((flags | WHDR_DONE) & ~WHDR_INQUEUE, std::memory_order_release);
        m_nFrontFill = 0;
    }

    // data null: a hole in the stream, recorded as silence so later samples
    // keep their place in time. Bytes that find no queued buffer are lost, as
    // on a sound card.
    void Deliver(const uint8_t* data, size_t n)
    {
        while (n > 0 && !m_queue.empty()) {
            WaveHdr* hdr = m_queue.front();
            size_t take = std::min<size_t>(n, hdr->dwBufferLength - m_nFrontFill);
            uint8_t* dst = reinterpret_cast<uint8_t*>(hdr->lpData) + m_nFrontFill;
            if (data != nullptr) {
                std::memcpy(dst, data, take);
                data += take;
            } else {
                std::memset(dst, kSilence, take);
            }
            m_nFrontFill += static_cast<uint32_t>(take);
            n -= take;
            if (m_nFrontFill >= hdr->dwBufferLength) FinishFront();
        }
    }

    static void OnRead(pa_stream* stream, size_t, void* userdata)
    {
        auto* self = static_cast<CCapture*>(userdata);
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t n = 0;
            if (pa_stream_peek(stream, &data, &n) < 0 || n == 0) break;
            if (self->m_bRecording) self->Deliver(static_cast<const uint8_t*>(data), n);
            pa_stream_drop(stream);
        }
    }

    unsigned Open(unsigned deviceId)
    {
        unsigned r = m_session.Connect();
        if (r != MMSYSERR_NOERROR) return r;
        pa_threaded_mainloop* loop = m_session.Loop();
        pa_threaded_mainloop_lock(loop);
        r = OpenLocked(deviceId);
        pa_threaded_mainloop_unlock(loop);
        return r;
    }

private:
    unsigned OpenLocked(unsigned deviceId)
    {
        std::string device;
        if (deviceId != WAVE_MAPPER) {
            std::vector<Source> sources;
            unsigned r = ListSourcesLocked(m_session, sources);
            if (r != MMSYSERR_NOERROR) return r;
            if (deviceId >= sources.size()) return MMSYSERR_BADDEVICEID;
            device = sources[deviceId].strName;
        }

        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_U8;
        sampleFormat.rate = kRate;
        sampleFormat.channels = 1;
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "Downlink capture");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
        m_stream = pa_stream_new_with_proplist(m_session.Context(), "Downlink capture", &sampleFormat, nullptr, props);
        pa_proplist_free(props);
        if (m_stream == nullptr) return MMSYSERR_NOMEM;
        pa_stream_set_read_callback(m_stream, &CCapture::OnRead, this);

        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = kFragmentBytes;
        // Corked until Start, as a freshly opened card does not record yet.
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(m_stream, device.empty() ? nullptr : device.c_str(), &attr, flags) < 0)
            return MMSYSERR_NOTENABLED;
        pa_stream* stream = m_stream;
        bool settled = WaitLocked(
            m_session.Loop(),
            [stream] {
                pa_stream_state_t s = pa_stream_get_state(stream);
                return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
            },
            kTimeoutMs);
        if (settled && pa_stream_get_state(m_stream) == PA_STREAM_READY) return MMSYSERR_NOERROR;
        // A source that vanished since the scan ("no such entity") is a device
        // id that no longer names anything; other refusals a failed enable.
        return pa_context_errno(m_session.Context()) == PA_ERR_NOENTITY ? MMSYSERR_BADDEVICEID
                                                                        : MMSYSERR_NOTENABLED;
    }

public:
    void Cork(bool bCork)
    {
        if (m_stream == nullptr || pa_stream_get_state(m_stream) != PA_STREAM_READY) return;
        pa_operation* op = pa_stream_cork(m_stream, bCork ? 1 : 0, nullptr, nullptr);
        if (op != nullptr) pa_operation_unref(op);
    }
};

CPulseWaveIn::~CPulseWaveIn()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (CCapture* capture : m_open) delete capture;
    m_open.clear();
}

unsigned CPulseWaveIn::ListSources(std::vector<Source>& sources)
{
    sources.clear();
    CPulseSession session;
    unsigned r = session.Connect();
    if (r != MMSYSERR_NOERROR) return r;
    pa_threaded_mainloop_lock(session.Loop());
    r = ListSourcesLocked(session, sources);
    pa_threaded_mainloop_unlock(session.Loop());
    return r;
}

unsigned CPulseWaveIn::ScanSources(std::vector<Source>& sources)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    if (m_scanTime == std::chrono::steady_clock::time_point{} || now - m_scanTime > std::chrono::seconds(1)) {
        m_nScanResult = ListSources(m_scanned);
        m_scanTime = std::chrono::steady_clock::now();
    }
    sources = m_scanned;
    return m_nScanResult;
}

unsigned CPulseWaveIn::GetNumDevs()
{
    std::vector<Source> sources;
    if (ScanSources(sources) != MMSYSERR_NOERROR) return 0;
    return static_cast<unsigned>(sources.size());
}

unsigned CPulseWaveIn::GetDevCaps(unsigned deviceId, WaveInCaps* caps, unsigned capsSize)
{
    if (caps == nullptr || capsSize < kWaveInCapsSize) return MMSYSERR_INVALPARAM;
    std::vector<Source> sources;
    unsigned r = ScanSources(sources);
    if (r != MMSYSERR_NOERROR) return r;
    std::string name;
    if (deviceId == WAVE_MAPPER) {
        name = "Default source";
    } else if (deviceId < sources.size()) {
        name = Utf8ToCp1252(sources[deviceId].strDescription);
    } else {
        return MMSYSERR_BADDEVICEID;
    }
    *caps = WaveInCaps{};
    std::memcpy(caps->szPname, name.data(), std::min<size_t>(name.size(), kMaxPnameLen - 1));
    caps->wChannels = 1;
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::Open(HWAVEIN* handle, unsigned deviceId, const WaveFormat* format)
{
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    if (!IsAcceptedFormat(format)) return WAVERR_BADFORMAT;
    auto* capture = new CCapture;
    unsigned r = capture->Open(deviceId);
    if (r != MMSYSERR_NOERROR) {
        delete capture;
        return r;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.insert(capture);
    *handle = reinterpret_cast<HWAVEIN>(capture);
    return MMSYSERR_NOERROR;
}

CPulseWaveIn::CCapture* CPulseWaveIn::Find(HWAVEIN handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_open.find(reinterpret_cast<CCapture*>(handle));
    return it == m_open.end() ? nullptr : *it;
}

namespace {
bool IsUsableHeader(const WaveHdr* hdr, unsigned hdrSize)
{
    return hdr != nullptr && hdrSize == kWaveHdrSize && hdr->lpData != nullptr && hdr->dwBufferLength > 0;
}
}  // namespace

unsigned CPulseWaveIn::PrepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    if (Find(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (!IsUsableHeader(hdr, hdrSize)) return MMSYSERR_INVALPARAM;
    hdr->dwFlags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::UnprepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    CCapture* capture = Find(handle);
    if (capture == nullptr) return MMSYSERR_INVALHANDLE;
    if (!IsUsableHeader(hdr, hdrSize)) return MMSYSERR_INVALPARAM;
    pa_threaded_mainloop_lock(capture->m_session.Loop());
    unsigned r = MMSYSERR_NOERROR;
    if (hdr->dwFlags.load() & WHDR_INQUEUE)
        r = WAVERR_STILLPLAYING;
    else
        hdr->dwFlags.fetch_and(~WHDR_PREPARED);
    pa_threaded_mainloop_unlock(capture->m_session.Loop());
    return r;
}

unsigned CPulseWaveIn::AddBuffer(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    CCapture* capture = Find(handle);
    if (capture == nullptr) return MMSYSERR_INVALHANDLE;
    if (!IsUsableHeader(hdr, hdrSize)) return MMSYSERR_INVALPARAM;
    pa_threaded_mainloop_lock(capture->m_session.Loop());
    unsigned r = MMSYSERR_NOERROR;
    uint32_t flags = hdr->dwFlags.load();
    if (!(flags & WHDR_PREPARED)) {
        r = WAVERR_UNPREPARED;
    } else if (flags & WHDR_INQUEUE) {
        r = WAVERR_STILLPLAYING;
    } else {
        hdr->dwBytesRecorded.store(0);
        hdr->dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
        capture->m_queue.push_back(hdr);
    }
    pa_threaded_mainloop_unlock(capture->m_session.Loop());
    return r;
}

unsigned CPulseWaveIn::Start(HWAVEIN handle)
{
    CCapture* capture = Find(handle);
    if (capture == nullptr) return MMSYSERR_INVALHANDLE;
    pa_threaded_mainloop_lock(capture->m_session.Loop());
    unsigned r = MMSYSERR_NOERROR;
    if (capture->m_stream == nullptr || pa_stream_get_state(capture->m_stream) != PA_STREAM_READY) {
        r = MMSYSERR_NODRIVER;  // the server went away since the open
    } else {
        capture->m_bRecording = true;
        capture->Cork(false);
    }
    pa_threaded_mainloop_unlock(capture->m_session.Loop());
    return r;
}

unsigned CPulseWaveIn::Reset(HWAVEIN handle)
{
    CCapture* capture = Find(handle);
    if (capture == nullptr) return MMSYSERR_INVALHANDLE;
    pa_threaded_mainloop_lock(capture->m_session.Loop());
    capture->m_bRecording = false;
    capture->Cork(true);
    // The partly filled front buffer goes back with what it holds, the rest empty.
    while (!capture->m_queue.empty()) capture->FinishFront();
    pa_threaded_mainloop_unlock(capture->m_session.Loop());
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::Close(HWAVEIN handle)
{
    CCapture* capture = Find(handle);
    if (capture == nullptr) return MMSYSERR_INVALHANDLE;
    pa_threaded_mainloop_lock(capture->m_session.Loop());
    bool busy = !capture->m_queue.empty();
    pa_threaded_mainloop_unlock(capture->m_session.Loop());
    if (busy) return WAVERR_STILLPLAYING;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open.erase(capture);
    }
    delete capture;  // joins the session's thread
    return MMSYSERR_NOERROR;
}
