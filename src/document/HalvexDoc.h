#pragma once
// The document: owns every piece of the running program's state (options,
// capture, decoder, message ring, satellite table, home location), carries the
// program's own commands with their update rules, and keeps the settings in
// the settings store (read at construction, written at destruction).
#include <cstdint>
#include <memory>
#include <string>

#include "decoder/Demodulator.h"
#include "document/Capture.h"
#include "document/StationNetwork.h"
#include "messages/DecoderChain.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/WaveIn.h"
#include "platform/WinTypes.h"

class IDocUi;
class ICmdUI;
class IShell;
class IClock;

// What the document is given by whoever creates it.
struct DocEnvironment
{
    IDocUi* pUi = nullptr;                   // required
    wavein::IWaveIn* pWaveIn = nullptr;      // may be null: no sound cards
    IShell* pShell = nullptr;                // may be null: nothing is started
    const IClock* pClock = nullptr;          // null: the system clock
    std::string strSettingsPath;             // settings file; empty: the default per-user file
    std::string strProgramDir;               // directory of the executable, ending in '/'
    std::string strDefaultLogDir;            // empty: the per-user data directory's "Log files/"
    std::string strProgramName = "halvex3";  // leads the lines written to standard error
    bool bLoadSettings = true;
    bool bSaveSettings = true;
};

class CHalvexDoc
{
    // Declared first: the parts below are built from them.
    std::unique_ptr<IDocUi> m_pOwnedUi;  // set when no user interface was given
    DocEnvironment m_env;
    std::unique_ptr<IClock> m_pOwnedClock;
    const IClock* m_pClock = nullptr;

public:
    static constexpr int kCaptureBuffers = CCapture::kCaptureBuffers;
    static constexpr int kBufferBytes = CCapture::kBufferBytes;

    explicit CHalvexDoc(const DocEnvironment& env);
    ~CHalvexDoc();
    CHalvexDoc(const CHalvexDoc&) = delete;
    CHalvexDoc& operator=(const CHalvexDoc&) = delete;

    // --- Lifecycle -------------------------------------------------------
    // Stops a running capture first.
    void OnCloseDocument();
    void LoadSettings(const std::string& strKey);
    void SaveSettings(const std::string& strKey);

    // --- Commands --------------------------------------------------------
    // Runs the handler of a command id; false when the id is not the document's.
    bool OnCommand(int nId);
    // Runs the update rule of a command id; false when the id has none.
    bool OnUpdateCommand(int nId, ICmdUI& cmdUi);

    void OnProcessStart();
    void OnProcessStop();
    void OnOptionsMixer();
    void OnDirectoriesLogFiles();
    void OnOptionsHomeLocation();
    void OnOptionsStationNetwork();
    // Starts, changes or stops publishing to match m_strMqttUrl and
    // m_strStation; false (and said) when they cannot be used.
    bool ApplyStationNetwork();
    void PollCapture();
    void ReportWaveError(const std::string& strStep, unsigned nCode);
    static std::string WaveErrorText(unsigned nCode);

    // --- Decoder ---------------------------------------------------------
    // One sample to the demodulator alone (the weak-signal receiver does not see it).
    void ProcessSample(int nSample) { m_decoder.ProcessSample(nSample); }
    // A block of samples through the decoder chain: the demodulator exactly as
    // ProcessSample for each sample, and the weak-signal receiver beside it
    // while m_bWeakSignals is on.
    void ProcessSamples(const uint8_t* pSamples, size_t nCount);

    // Asks every view to redraw (the framework's update-all-views).
    void UpdateAllViews();

    // --- Capture and option state ---------------------------------------
    BOOL m_bRunning = 0;
    int m_nSoundcardOption = 4;
    int m_nDeviceId[5] = {-1, -1, -1, -1, -1};
    std::string m_strDeviceName[5];
    unsigned m_nRefreshTimer = 0;
    unsigned m_nPollTimer = 0;
    BOOL m_bBusy = 0;

    // --- Paths and options -----------------------------------------------
    std::string m_strProgramDir;
    int m_nViewMode = 0;
    double m_dHomeLat = 0.0;
    double m_dHomeLon = 0.0;
    BOOL m_bRecomputeChart = 1;
    std::string m_strBrowseStart;

    // --- Owned parts -----------------------------------------------------
    CSatelliteTable m_table;
    CMessageStore m_messages;  // ring, log directory, Require CRC, Expand messages
    CDemodulator m_decoder;    // sample ring, bit rows, skip, CRC table
    CDecoderChain m_chain;     // the two above, and the weak-signal receiver when on
    BOOL m_bWeakSignals = 0;   // Options > Decoder > Weak signals

    // --- Station network (Options > Station network...) --------------------
    std::string m_strMqttUrl;       // empty: none
    std::string m_strStation;       // empty: the host name
    bool m_bNetworkStored = false;  // the settings held them
    CStationNetwork m_station;      // publishes every kept frame while m_strMqttUrl is set

    // The device, its buffers and headers and the poll index.
    CCapture m_capture;

    // Where the settings were read from and go back to.
    const std::string& SettingsPath() const { return m_strSettingsPath; }
    // What went wrong with the settings file when it was read at start-up
    // (unreadable, or damaged and kept aside), for the user; empty when
    // nothing did. Every such problem also goes to standard error.
    const std::string& SettingsNotice() const { return m_strSettingsNotice; }
    const DocEnvironment& Environment() const { return m_env; }
    const IClock& Clock() const { return *m_pClock; }

private:
    void ScanDevices();
    // Tells a settings file problem on standard error; at load it is also
    // kept for SettingsNotice.
    void NoteSettingsProblem(const std::string& strNotice, bool bAtLoad);

    std::string m_strSettingsPath;
    std::string m_strSettingsNotice;
    // The settings file held WeakSignals when it was read.
    bool m_bWeakSignalsStored = false;
};
