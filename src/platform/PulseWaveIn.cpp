#include "platform/PulseWaveIn.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>

#include "platform/Cp1252.h"
#include "platform/WaveInQueue.h"

using namespace wavein;

namespace {

// About 100 ms per fragment: the poll looks every 300 ms, and a buffer is
// one second, so smaller fragments would only cost wake-ups.
constexpr uint32_t kFragmentBytes = 4800;

// Owners of libpulse objects.
struct LoopFree
{
    void operator()(pa_threaded_mainloop* p) const { pa_threaded_mainloop_free(p); }
};
struct ContextUnref
{
    void operator()(pa_context* p) const { pa_context_unref(p); }
};
struct StreamUnref
{
    void operator()(pa_stream* p) const { pa_stream_unref(p); }
};
struct OperationUnref
{
    void operator()(pa_operation* p) const { pa_operation_unref(p); }
};
struct ProplistFree
{
    void operator()(pa_proplist* p) const { pa_proplist_free(p); }
};
using LoopPtr = std::unique_ptr<pa_threaded_mainloop, LoopFree>;
using ContextPtr = std::unique_ptr<pa_context, ContextUnref>;
using StreamPtr = std::unique_ptr<pa_stream, StreamUnref>;
using OperationPtr = std::unique_ptr<pa_operation, OperationUnref>;
using ProplistPtr = std::unique_ptr<pa_proplist, ProplistFree>;

// The threaded main loop's lock for one scope. The loop thread runs every
// callback with it held; the program's calls take it the same way.
class CLoopLock
{
public:
    explicit CLoopLock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~CLoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    CLoopLock(const CLoopLock&) = delete;
    CLoopLock& operator=(const CLoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

// State changes wake whoever waits in WaitLocked.
void SignalContextState(pa_context*, void* loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void SignalStreamState(pa_stream*, void* loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void SignalOperationState(pa_operation*, void* loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

// Called with the loop locked: sleeps until the loop thread signals and
// done() holds, or until the deadline (a timer on the loop signals too), so
// a stuck server cannot hang the program's one user-interface thread.
template <class Pred>
bool WaitLocked(pa_threaded_mainloop* loop, Pred done, int timeoutMs)
{
    if (done())
        return true;
    struct Deadline
    {
        pa_threaded_mainloop* loop;
        bool bPassed = false;
    } deadline{loop};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC);
    pa_time_event* timer = api->time_new(
        api, &when,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
            auto* d = static_cast<Deadline*>(userdata);
            d->bPassed = true;
            pa_threaded_mainloop_signal(d->loop, 0);
        },
        &deadline);
    while (!done() && !deadline.bPassed)
        pa_threaded_mainloop_wait(loop);
    api->time_free(timer);
    return done();
}

// One connection to the server with its own event thread.
class CPulseSession
{
public:
    CPulseSession() = default;
    CPulseSession(const CPulseSession&) = delete;
    CPulseSession& operator=(const CPulseSession&) = delete;
    ~CPulseSession() { Disconnect(); }

    pa_threaded_mainloop* Loop() const { return m_loop.get(); }
    pa_context* Context() const { return m_ctx.get(); }

    // MMSYSERR_NOERROR once the context is ready; otherwise MMSYSERR_NODRIVER
    // (or MMSYSERR_NOMEM) with the reason in strError.
    unsigned Connect(std::string& strError)
    {
        m_loop.reset(pa_threaded_mainloop_new());
        if (!m_loop) {
            strError = "cannot start a sound server connection";
            return MMSYSERR_NOMEM;
        }
        ProplistPtr props(pa_proplist_new());
        pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, "Halvex");
        pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ID, "halvex3");
        pa_proplist_sets(props.get(), PA_PROP_APPLICATION_VERSION, HALVEX_VERSION);
        pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
        m_ctx.reset(
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(Loop()), "Halvex", props.get()));
        if (!m_ctx || pa_threaded_mainloop_start(Loop()) < 0) {
            strError = "cannot connect to the sound server: the connection could not be set up";
            return MMSYSERR_NODRIVER;
        }
        m_bStarted = true;

        CLoopLock lock(Loop());
        pa_context* ctx = Context();
        pa_context_set_state_callback(ctx, SignalContextState, Loop());
        // No autospawn: a missing server is an answer, not something to start.
        bool bSettled = false;
        if (pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            bSettled = WaitLocked(
                Loop(),
                [ctx] {
                    const pa_context_state_t s = pa_context_get_state(ctx);
                    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
                },
                CPulseWaveIn::kTimeoutMs);
        } else {
            bSettled = true;
        }
        if (pa_context_get_state(ctx) == PA_CONTEXT_READY)
            return MMSYSERR_NOERROR;
        strError = std::string("cannot connect to the sound server: ") +
                   (bSettled ? pa_strerror(pa_context_errno(ctx)) : "no answer within two seconds");
        return MMSYSERR_NODRIVER;
    }

    void Disconnect()
    {
        if (m_ctx) {
            if (m_bStarted) {
                CLoopLock lock(Loop());
                pa_context_set_state_callback(Context(), nullptr, nullptr);
                pa_context_disconnect(Context());
                m_ctx.reset();
            } else {
                m_ctx.reset();
            }
        }
        if (m_loop && m_bStarted)
            pa_threaded_mainloop_stop(Loop());
        m_loop.reset();
        m_bStarted = false;
    }

private:
    LoopPtr m_loop;  // declared first: freed last
    ContextPtr m_ctx;
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
    if (eol < 0)
        state->bFailed = true;
    if (eol != 0 || info == nullptr)
        return;
    if (info->monitor_of_sink != PA_INVALID_INDEX)
        return;  // what a sink plays, not an input
    CPulseWaveIn::Source s;
    s.strName = info->name ? info->name : "";
    s.strDescription = info->description ? info->description : s.strName;
    state->pSources->push_back(std::move(s));
}

// With the session's loop locked.
unsigned ListSourcesLocked(CPulseSession& session, std::vector<CPulseWaveIn::Source>& sources,
                           std::string& strError)
{
    sources.clear();
    SourceListState state{&sources};
    OperationPtr op(pa_context_get_source_info_list(session.Context(), OnSourceInfo, &state));
    if (!op) {
        strError = std::string("the sound server gave no source list: ") +
                   pa_strerror(pa_context_errno(session.Context()));
        return MMSYSERR_NODRIVER;
    }
    pa_operation_set_state_callback(op.get(), SignalOperationState, session.Loop());
    pa_operation* pOp = op.get();
    const bool bFinished = WaitLocked(
        session.Loop(), [pOp] { return pa_operation_get_state(pOp) != PA_OPERATION_RUNNING; },
        CPulseWaveIn::kTimeoutMs);
    if (!bFinished)
        pa_operation_cancel(pOp);
    pa_operation_set_state_callback(pOp, nullptr, nullptr);
    if (!bFinished || state.bFailed) {
        sources.clear();
        strError = "the sound server gave no source list";
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

// One open device: its own connection, the record stream and the buffer queue.
// The stream's callbacks run on the session's thread with its lock held; the
// operations of the user-interface thread take the same lock.
class CPulseWaveIn::CRecording
{
public:
    CPulseSession m_session;
    StreamPtr m_stream;
    CWaveInQueue m_queue;
    bool m_bRecording = false;

    ~CRecording()
    {
        if (m_stream) {
            CLoopLock lock(m_session.Loop());
            pa_stream_set_read_callback(m_stream.get(), nullptr, nullptr);
            pa_stream_set_state_callback(m_stream.get(), nullptr, nullptr);
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get())))
                pa_stream_disconnect(m_stream.get());
            m_stream.reset();
        }
        m_session.Disconnect();
    }

    static void OnRead(pa_stream* stream, size_t, void* userdata)
    {
        auto* self = static_cast<CRecording*>(userdata);
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t n = 0;
            if (pa_stream_peek(stream, &data, &n) < 0 || n == 0)
                break;
            // data null: a hole in the stream, recorded as the zero line so
            // later samples keep their place in time.
            if (self->m_bRecording)
                self->m_queue.Deliver(static_cast<const uint8_t*>(data), n);
            pa_stream_drop(stream);
        }
    }

    // strDevice: the server's source name, "" for its default source.
    unsigned Open(const std::string& strDevice, std::string& strError)
    {
        unsigned r = m_session.Connect(strError);
        if (r != MMSYSERR_NOERROR)
            return r;
        CLoopLock lock(m_session.Loop());
        return OpenLocked(strDevice, strError);
    }

    void Cork(bool bCork)
    {
        if (!m_stream || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY)
            return;
        OperationPtr op(pa_stream_cork(m_stream.get(), bCork ? 1 : 0, nullptr, nullptr));
    }

private:
    unsigned OpenLocked(const std::string& strDevice, std::string& strError)
    {
        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_U8;
        sampleFormat.rate = kRate;
        sampleFormat.channels = 1;
        ProplistPtr props(pa_proplist_new());
        pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME, "Downlink capture");
        pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "production");
        m_stream.reset(pa_stream_new_with_proplist(m_session.Context(), "Downlink capture", &sampleFormat,
                                                   nullptr, props.get()));
        if (!m_stream) {
            strError = "cannot make a recording stream";
            return MMSYSERR_NOMEM;
        }
        pa_stream* stream = m_stream.get();
        pa_stream_set_read_callback(stream, &CRecording::OnRead, this);
        pa_stream_set_state_callback(stream, SignalStreamState, m_session.Loop());

        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(-1);
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = kFragmentBytes;
        // Corked until Start, as a freshly opened card does not record yet.
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        const std::string strWhat = strDevice.empty() ? "the default source" : "source " + strDevice;
        if (pa_stream_connect_record(stream, strDevice.empty() ? nullptr : strDevice.c_str(), &attr, flags) <
            0) {
            strError = "the sound server refused to record from " + strWhat + ": " +
                       pa_strerror(pa_context_errno(m_session.Context()));
            return MMSYSERR_NOTENABLED;
        }
        const bool bSettled = WaitLocked(
            m_session.Loop(),
            [stream] {
                const pa_stream_state_t s = pa_stream_get_state(stream);
                return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
            },
            kTimeoutMs);
        if (bSettled && pa_stream_get_state(stream) == PA_STREAM_READY)
            return MMSYSERR_NOERROR;
        const int nError = pa_context_errno(m_session.Context());
        strError = "the sound server refused to record from " + strWhat + ": " +
                   (bSettled ? pa_strerror(nError) : "no answer within two seconds");
        // A source that vanished since the scan ("no such entity") is a device
        // id that no longer names anything; other refusals a failed enable.
        return nError == PA_ERR_NOENTITY ? MMSYSERR_BADDEVICEID : MMSYSERR_NOTENABLED;
    }
};

CPulseWaveIn::CPulseWaveIn() = default;

CPulseWaveIn::~CPulseWaveIn()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.clear();  // each recording stops its stream and joins its thread
}

unsigned CPulseWaveIn::ListSources(std::vector<Source>& sources)
{
    std::string strError;
    return ListSources(sources, strError);
}

unsigned CPulseWaveIn::ListSources(std::vector<Source>& sources, std::string& strError)
{
    sources.clear();
    CPulseSession session;
    unsigned r = session.Connect(strError);
    if (r != MMSYSERR_NOERROR)
        return r;
    CLoopLock lock(session.Loop());
    return ListSourcesLocked(session, sources, strError);
}

unsigned CPulseWaveIn::ScanSources(std::vector<Source>& sources)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    if (m_scanTime == std::chrono::steady_clock::time_point{} || now - m_scanTime > std::chrono::seconds(1)) {
        m_nScanResult = ListSources(m_scanned, m_strScanError);
        m_scanTime = std::chrono::steady_clock::now();
    }
    sources = m_scanned;
    return m_nScanResult;
}

unsigned CPulseWaveIn::SourceNameOf(unsigned deviceId, std::string& strName)
{
    strName.clear();
    if (deviceId == WAVE_MAPPER)
        return MMSYSERR_NOERROR;
    std::vector<Source> sources;
    unsigned r = MMSYSERR_NODRIVER;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_scanTime != std::chrono::steady_clock::time_point{} && m_nScanResult == MMSYSERR_NOERROR) {
            sources = m_scanned;
            r = MMSYSERR_NOERROR;
        }
    }
    if (r != MMSYSERR_NOERROR) {
        r = ScanSources(sources);
        if (r != MMSYSERR_NOERROR) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_strError = m_strScanError;
            return r;
        }
    }
    if (deviceId >= sources.size()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strError = "the sound server lists no source number " + std::to_string(deviceId + 1);
        return MMSYSERR_BADDEVICEID;
    }
    strName = sources[deviceId].strName;
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::GetNumDevs()
{
    std::vector<Source> sources;
    if (ScanSources(sources) != MMSYSERR_NOERROR)
        return 0;
    return static_cast<unsigned>(sources.size());
}

unsigned CPulseWaveIn::GetDevCaps(unsigned deviceId, WaveInCaps* caps, unsigned capsSize)
{
    if (caps == nullptr || capsSize < kWaveInCapsSize)
        return MMSYSERR_INVALPARAM;
    std::vector<Source> sources;
    unsigned r = ScanSources(sources);
    if (r != MMSYSERR_NOERROR)
        return r;
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
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    if (!IsCaptureFormat(format))
        return WAVERR_BADFORMAT;
    std::string strDevice;
    unsigned r = SourceNameOf(deviceId, strDevice);
    if (r != MMSYSERR_NOERROR)
        return r;
    auto recording = std::make_unique<CRecording>();
    std::string strError;
    r = recording->Open(strDevice, strError);
    if (r != MMSYSERR_NOERROR) {
        recording.reset();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strError = strError;
        return r;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strError.clear();
    *handle = reinterpret_cast<HWAVEIN>(recording.get());
    m_open.emplace(recording.get(), std::move(recording));
    return MMSYSERR_NOERROR;
}

std::string CPulseWaveIn::LastError() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strError;
}

CPulseWaveIn::CRecording* CPulseWaveIn::Find(HWAVEIN handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_open.find(reinterpret_cast<CRecording*>(handle));
    return it == m_open.end() ? nullptr : it->first;
}

unsigned CPulseWaveIn::PrepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    CLoopLock lock(recording->m_session.Loop());
    return recording->m_queue.Prepare(hdr, hdrSize);
}

unsigned CPulseWaveIn::UnprepareHeader(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    CLoopLock lock(recording->m_session.Loop());
    return recording->m_queue.Unprepare(hdr, hdrSize);
}

unsigned CPulseWaveIn::AddBuffer(HWAVEIN handle, WaveHdr* hdr, unsigned hdrSize)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    CLoopLock lock(recording->m_session.Loop());
    return recording->m_queue.Add(hdr, hdrSize);
}

unsigned CPulseWaveIn::Start(HWAVEIN handle)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    CLoopLock lock(recording->m_session.Loop());
    pa_stream* stream = recording->m_stream.get();
    if (stream == nullptr || pa_stream_get_state(stream) != PA_STREAM_READY)
        return MMSYSERR_NODRIVER;  // the server went away since the open
    recording->m_bRecording = true;
    recording->Cork(false);
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::Reset(HWAVEIN handle)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    CLoopLock lock(recording->m_session.Loop());
    recording->m_bRecording = false;
    recording->Cork(true);
    recording->m_queue.ReturnAll();
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveIn::Close(HWAVEIN handle)
{
    CRecording* recording = Find(handle);
    if (recording == nullptr)
        return MMSYSERR_INVALHANDLE;
    {
        CLoopLock lock(recording->m_session.Loop());
        if (!recording->m_queue.Empty())
            return WAVERR_STILLPLAYING;
    }
    std::unique_ptr<CRecording> owned;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_open.find(recording);
        if (it == m_open.end())
            return MMSYSERR_INVALHANDLE;  // closed meanwhile
        owned = std::move(it->second);
        m_open.erase(it);
    }
    owned.reset();  // joins the session's thread
    return MMSYSERR_NOERROR;
}
