// Sound-card capture: Start, Stop, the 300 ms poll that hands each filled
// one-second buffer to the decoder, the volume control, and the wording of
// device errors.
//
//   device --fills--> header 0 | header 1 | header 2 | header 3   (queued, one second each)
//   poll (every 300 ms): header[poll index] done? -> copy to m_byProcessing,
//                        queue it again, next index, decode 48,000 samples
//
// The device fills buffers on its own thread; this side only reads done flags
// on the user-interface thread, so nothing here takes a lock.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "document/DocUi.h"
#include "document/HalvexDoc.h"
#include "platform/Shell.h"

using namespace wavein;

namespace {

constexpr unsigned kPollTimerId = 1;
constexpr unsigned kPollPeriodMs = 300;
constexpr unsigned kRefreshTimerId = 2;
constexpr unsigned kRefreshPeriodMs = 2000;

constexpr uint8_t kZeroLine = 128;
// WaveHdr::dwUser is the program's own: set on a header the device refused
// to queue, so that the poll offers it again instead of waiting on it.
constexpr uintptr_t kTakenNotRequeued = 1;

const char* const kTitleRunning = "Halvex from Norq - processing live signals";
const char* const kTitleStopped = "Halvex from Norq - processing stopped";

const char* const kStepOpen = "On opening the wave device..";
const char* const kStepPrepare = "On preparing buffer ..";
const char* const kStepAdd = "On adding buffer ..";
const char* const kStepStart = "On starting recording..";

// Headers of a device that failed to close; kept until the program ends.
std::vector<std::unique_ptr<WaveHdr>>& AbandonedHeaders()
{
    static std::vector<std::unique_ptr<WaveHdr>> headers;
    return headers;
}

}  // namespace

void CHalvexDoc::OnProcessStart()
{
    // The command is disabled while running; a second Start reaching here
    // anyway would hand the running device's buffers to a new one.
    if (m_bRunning || m_pWaveHdr[0])
        return;

    IWaveIn* pWaveIn = m_env.pWaveIn;
    bool bStarted = false;

    // 1. Open. Without any wave-in service there is no driver to open.
    const WaveFormat format = CaptureFormat();
    const int nOption = std::clamp(m_nSoundcardOption, 0, 4);
    const unsigned nDevice = m_nDeviceId[nOption] < 0 ? WAVE_MAPPER
                                                      : static_cast<unsigned>(m_nDeviceId[nOption]);
    unsigned nResult = MMSYSERR_NODRIVER;
    HWAVEIN hWaveIn = nullptr;
    if (pWaveIn != nullptr)
        nResult = pWaveIn->Open(&hWaveIn, nDevice, &format);
    if (nResult != MMSYSERR_NOERROR) {
        ReportWaveError(kStepOpen, nResult);
    } else {
        m_hWaveIn = hWaveIn;

        // 2. Four headers, each prepared and queued; the loop always runs its
        //    four rounds, and a failed prepare is still followed by the add.
        unsigned nAddResult = MMSYSERR_NOERROR;
        for (int i = 0; i < kCaptureBuffers; ++i) {
            m_pWaveHdr[i] = std::make_unique<WaveHdr>();
            WaveHdr* pHdr = m_pWaveHdr[i].get();
            pHdr->lpData = reinterpret_cast<char*>(m_byCapture[i]);
            pHdr->dwBufferLength = kBufferBytes;
            pHdr->dwFlags.store(0);

            nResult = pWaveIn->PrepareHeader(m_hWaveIn, pHdr, kWaveHdrSize);
            if (nResult != MMSYSERR_NOERROR)
                ReportWaveError(kStepPrepare, nResult);
            nAddResult = pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize);
            if (nAddResult != MMSYSERR_NOERROR) {
                ReportWaveError(kStepAdd, nAddResult);
                pHdr->dwUser = kTakenNotRequeued;
            }
        }

        // 3. Only the last add decides, as the device needs at least the one.
        if (nAddResult == MMSYSERR_NOERROR) {
            // 4. Start recording.
            nResult = pWaveIn->Start(m_hWaveIn);
            if (nResult != MMSYSERR_NOERROR)
                ReportWaveError(kStepStart, nResult);
            else
                bStarted = true;
        }
    }

    if (bStarted) {
        // 5. Running.
        m_nPollIndex = 0;
        m_bRunning = 1;
        m_env.pUi->SetMainWindowTitle(kTitleRunning);
        m_nPollTimer = m_env.pUi->SetViewTimer(kPollTimerId, kPollPeriodMs);
        m_nRefreshTimer = m_env.pUi->SetViewTimer(kRefreshTimerId, kRefreshPeriodMs);
        UpdateAllViews();

        // 6. A fresh run: the decoder restarts its ring index and rows, the
        //    message lines start empty.
        m_decoder.ResetForStart();
        m_messages.ClearForStart();
    } else {
        // A device left open by a failed step would refuse the next Start.
        ReleaseCaptureDevice();
    }

    // 7. Home location check, after success and failure alike.
    if (m_dHomeLat == 0.0 && m_dHomeLon == 0.0)
        OnOptionsHomeLocation();
}

void CHalvexDoc::PollCapture()
{
    if (m_nPollIndex < 0 || m_nPollIndex >= kCaptureBuffers || !m_pWaveHdr[m_nPollIndex])
        return;  // a tick that outlived Stop
    WaveHdr* pHdr = m_pWaveHdr[m_nPollIndex].get();

    // A header the device would not take (at Start or at a re-queue) holds
    // nothing new and would stop the rotation here for good: offer it to the
    // device again and move on, decoding nothing. Given back at its turn, it
    // joins the device's queue in the rotation's order.
    if (pHdr->dwUser == kTakenNotRequeued) {
        if (m_env.pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize) == MMSYSERR_NOERROR)
            pHdr->dwUser = 0;
        m_nPollIndex = (m_nPollIndex + 1) % kCaptureBuffers;
        return;
    }

    // 1. Not filled yet: look at the same header next time.
    if (!(pHdr->dwFlags.load(std::memory_order_acquire) & WHDR_DONE))
        return;

    // 2. Copy what was recorded, never more than the buffer holds whatever
    //    the device claims. A short second (a failing card) is made up with
    //    the zero line: the previous second left in the processing buffer
    //    would otherwise be decoded twice.
    const uint32_t nRecorded =
        std::min<uint32_t>(pHdr->dwBytesRecorded.load(std::memory_order_relaxed),
                           std::min<uint32_t>(pHdr->dwBufferLength, kBufferBytes));
    std::memcpy(m_byProcessing, pHdr->lpData, nRecorded);
    std::memset(m_byProcessing + nRecorded, kZeroLine, kBufferBytes - nRecorded);

    // 3. Back to the device at once; it stays prepared. A refusal is not
    //    reported, only remembered (see above).
    if (m_env.pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize) != MMSYSERR_NOERROR)
        pHdr->dwUser = kTakenNotRequeued;

    // 4.
    m_nPollIndex = (m_nPollIndex + 1) % kCaptureBuffers;

    // 5. A tick dispatched from inside a decoding pass copies and re-queues
    //    but does not decode.
    if (m_bBusy)
        return;

    // 6.
    m_bBusy = 1;
    if (m_bRunning) {
        ProcessSamples(m_byProcessing, kBufferBytes);
    }
    m_bBusy = 0;
}

void CHalvexDoc::OnProcessStop()
{
    if (m_bRunning) {
        m_bRunning = 0;
        if (m_pWaveHdr[0])
            ReleaseCaptureDevice();
        m_env.pUi->KillViewTimer(m_nRefreshTimer);
        m_env.pUi->KillViewTimer(m_nPollTimer);
    }
    m_env.pUi->SetMainWindowTitle(kTitleStopped);
}

void CHalvexDoc::ReleaseCaptureDevice()
{
    IWaveIn* pWaveIn = m_env.pWaveIn;
    if (pWaveIn != nullptr && m_hWaveIn != nullptr) {
        // Reset hands every queued buffer back, so none is still being
        // written when the headers are unprepared and freed.
        pWaveIn->Reset(m_hWaveIn);
        for (auto& pHdr : m_pWaveHdr) {
            if (pHdr && (pHdr->dwFlags.load() & WHDR_PREPARED))
                pWaveIn->UnprepareHeader(m_hWaveIn, pHdr.get(), kWaveHdrSize);
        }
        if (pWaveIn->Close(m_hWaveIn) != MMSYSERR_NOERROR) {
            // A device that would not close may still write through the
            // headers: leave them to it rather than free them under it.
            for (auto& pHdr : m_pWaveHdr)
                if (pHdr)
                    AbandonedHeaders().push_back(std::move(pHdr));
        }
    }
    m_hWaveIn = nullptr;
    for (auto& pHdr : m_pWaveHdr)
        pHdr.reset();
}

void CHalvexDoc::OnOptionsMixer()
{
    // The digit is the option number, not the device id of the option.
    static const char* const kParams[] = {"-R -D0", "-R -D1", "-R -D2", "-R -D3"};
    const char* pszParams =
        m_nSoundcardOption >= 0 && m_nSoundcardOption <= 3 ? kParams[m_nSoundcardOption] : "/r";
    if (m_env.pShell != nullptr)
        m_env.pShell->ShellExecute("open", "sndvol32", pszParams);
}

void CHalvexDoc::ReportWaveError(const std::string& strStep, unsigned nCode)
{
    m_env.pUi->ShowMessage(strStep + WaveErrorText(nCode));
}

std::string CHalvexDoc::WaveErrorText(unsigned nCode)
{
    static const char* const kTexts[] = {
        "no error",
        "unspecified error",
        "device ID out of range",
        "driver failed enable",
        "device already allocated",
        "device handle is invalid",
        "no device driver present",
        "memory allocation error",
        "function isn't supported",
        "error value out of range",
        "invalid flag passed",
        "invalid parameter passed",
        "handle being used simultaneously on another thread (eg callback)",
        "specified alias not found",
        "bad registry database",
        "registry key not found",
        "registry read error",
        "registry write error",
        "registry delete error",
        "registry value not found",
        "driver does not call DriverCallback",
    };
    constexpr unsigned nTexts = sizeof(kTexts) / sizeof(kTexts[0]);
    return nCode < nTexts ? kTexts[nCode] : "Unknown error";
}
