// The capture unit: Start, the poll's take of each filled one-second buffer,
// the release of the device, and the wording of device errors.
#include "document/Capture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "document/DocUi.h"

using namespace wavein;

namespace {

// WaveHdr::dwUser is the program's own: set on a header the device refused
// to queue, so that the poll offers it again instead of waiting on it.
constexpr uintptr_t kTakenNotRequeued = 1;

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

CCapture::CCapture(IWaveIn* pWaveIn, IDocUi& ui) : m_pWaveIn(pWaveIn), m_ui(ui) {}

CCapture::~CCapture()
{
    if (m_hWaveIn != nullptr)
        Release();
}

bool CCapture::Start(unsigned nDevice)
{
    // 1. Open. Without any wave-in service there is no driver to open.
    const WaveFormat format = CaptureFormat();
    unsigned nResult = MMSYSERR_NODRIVER;
    HWAVEIN hWaveIn = nullptr;
    if (m_pWaveIn != nullptr)
        nResult = m_pWaveIn->Open(&hWaveIn, nDevice, &format);
    if (nResult != MMSYSERR_NOERROR) {
        // The box keeps its short text; the device's own account of the
        // cause (no sound server, a file it cannot read) goes to the log.
        const std::string strCause = m_pWaveIn != nullptr ? m_pWaveIn->LastError() : std::string();
        if (!strCause.empty())
            std::fprintf(stderr, "halvex3: %s\n", strCause.c_str());
        ReportWaveError(kStepOpen, nResult);
        return false;
    }
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

        nResult = m_pWaveIn->PrepareHeader(m_hWaveIn, pHdr, kWaveHdrSize);
        if (nResult != MMSYSERR_NOERROR)
            ReportWaveError(kStepPrepare, nResult);
        nAddResult = m_pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize);
        if (nAddResult != MMSYSERR_NOERROR) {
            ReportWaveError(kStepAdd, nAddResult);
            pHdr->dwUser = kTakenNotRequeued;
        }
    }

    // 3. Only the last add decides, as the device needs at least the one.
    bool bStarted = false;
    if (nAddResult == MMSYSERR_NOERROR) {
        // 4. Start recording.
        nResult = m_pWaveIn->Start(m_hWaveIn);
        if (nResult != MMSYSERR_NOERROR)
            ReportWaveError(kStepStart, nResult);
        else
            bStarted = true;
    }
    if (bStarted) {
        m_nPollIndex = 0;
    } else {
        // A device left open by a failed step would refuse the next Start.
        Release();
    }
    return bStarted;
}

bool CCapture::TakeFilledBuffer()
{
    if (m_nPollIndex < 0 || m_nPollIndex >= kCaptureBuffers || !m_pWaveHdr[m_nPollIndex])
        return false;  // a tick that outlived Stop
    WaveHdr* pHdr = m_pWaveHdr[m_nPollIndex].get();

    // A header the device would not take (at Start or at a re-queue) holds
    // nothing new and would stop the rotation here for good: offer it to the
    // device again and move on, taking nothing. Given back at its turn, it
    // joins the device's queue in the rotation's order.
    if (pHdr->dwUser == kTakenNotRequeued) {
        if (m_pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize) == MMSYSERR_NOERROR)
            pHdr->dwUser = 0;
        m_nPollIndex = (m_nPollIndex + 1) % kCaptureBuffers;
        return false;
    }

    // 1. Not filled yet: look at the same header next time.
    if (!(pHdr->dwFlags.load(std::memory_order_acquire) & WHDR_DONE))
        return false;

    // 2. Copy what was recorded, never more than the buffer holds whatever
    //    the device claims. A short second (a failing card) is made up with
    //    the zero line: the previous second left in the processing buffer
    //    would otherwise be decoded twice.
    const uint32_t nRecorded = std::min<uint32_t>(pHdr->dwBytesRecorded.load(std::memory_order_relaxed),
                                                  std::min<uint32_t>(pHdr->dwBufferLength, kBufferBytes));
    std::memcpy(m_byProcessing, pHdr->lpData, nRecorded);
    std::memset(m_byProcessing + nRecorded, kSilence, kBufferBytes - nRecorded);

    // 3. Back to the device at once; it stays prepared. A refusal is not
    //    reported, only remembered (see above).
    if (m_pWaveIn->AddBuffer(m_hWaveIn, pHdr, kWaveHdrSize) != MMSYSERR_NOERROR)
        pHdr->dwUser = kTakenNotRequeued;

    // 4.
    m_nPollIndex = (m_nPollIndex + 1) % kCaptureBuffers;
    return true;
}

void CCapture::Release()
{
    if (m_pWaveIn != nullptr && m_hWaveIn != nullptr) {
        // Reset hands every queued buffer back, so none is still being
        // written when the headers are unprepared and freed.
        m_pWaveIn->Reset(m_hWaveIn);
        for (auto& pHdr : m_pWaveHdr) {
            if (pHdr && (pHdr->dwFlags.load() & WHDR_PREPARED))
                m_pWaveIn->UnprepareHeader(m_hWaveIn, pHdr.get(), kWaveHdrSize);
        }
        if (m_pWaveIn->Close(m_hWaveIn) != MMSYSERR_NOERROR) {
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

void CCapture::ReportWaveError(const std::string& strStep, unsigned nCode)
{
    m_ui.ShowMessage(strStep + WaveErrorText(nCode));
}

std::string CCapture::WaveErrorText(unsigned nCode)
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
