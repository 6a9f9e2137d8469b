#pragma once
// Shared by the document tests: a device list for the scan, and a fixture
// with a private settings file and log directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "document/HalvexDoc.h"
#include "platform/Clock.h"
#include "support/FakeDocUi.h"
#include "support/TestFiles.h"

// Answers only the device scan's questions; capture calls fail.
class FakeDeviceList : public wavein::IWaveIn
{
public:
    std::vector<std::string> names;
    std::vector<unsigned> failingIds;  // GetDevCaps fails for these
    int nGetNumDevsCalls = 0;
    std::vector<unsigned> capsSizes;
    std::vector<unsigned> capsIds;

    unsigned GetNumDevs() override
    {
        ++nGetNumDevsCalls;
        return static_cast<unsigned>(names.size());
    }
    unsigned GetDevCaps(unsigned deviceId, wavein::WaveInCaps* caps, unsigned capsSize) override
    {
        capsIds.push_back(deviceId);
        capsSizes.push_back(capsSize);
        if (deviceId >= names.size())
            return wavein::MMSYSERR_BADDEVICEID;
        for (unsigned id : failingIds)
            if (id == deviceId)
                return wavein::MMSYSERR_NODRIVER;
        *caps = wavein::WaveInCaps{};
        // A driver may fill the whole field without a terminator.
        std::memcpy(caps->szPname, names[deviceId].data(),
                    std::min(names[deviceId].size(), sizeof caps->szPname));
        return wavein::MMSYSERR_NOERROR;
    }
    unsigned Open(wavein::HWAVEIN*, unsigned, const wavein::WaveFormat*) override
    {
        return wavein::MMSYSERR_NOTENABLED;
    }
    unsigned PrepareHeader(wavein::HWAVEIN, wavein::WaveHdr*, unsigned) override
    {
        return wavein::MMSYSERR_INVALHANDLE;
    }
    unsigned UnprepareHeader(wavein::HWAVEIN, wavein::WaveHdr*, unsigned) override
    {
        return wavein::MMSYSERR_INVALHANDLE;
    }
    unsigned AddBuffer(wavein::HWAVEIN, wavein::WaveHdr*, unsigned) override
    {
        return wavein::MMSYSERR_INVALHANDLE;
    }
    unsigned Start(wavein::HWAVEIN) override { return wavein::MMSYSERR_INVALHANDLE; }
    unsigned Reset(wavein::HWAVEIN) override { return wavein::MMSYSERR_INVALHANDLE; }
    unsigned Close(wavein::HWAVEIN) override { return wavein::MMSYSERR_INVALHANDLE; }
};

class DocTest : public ::testing::Test
{
protected:
    DocEnvironment Env(wavein::IWaveIn* pWaveIn = nullptr)
    {
        DocEnvironment env;
        env.pUi = &m_ui;
        env.pWaveIn = pWaveIn;
        env.pClock = &m_clock;
        env.strSettingsPath = m_settings;
        env.strProgramDir = "/opt/halvex";
        env.strDefaultLogDir = m_logs;
        return env;
    }
    std::unique_ptr<CHalvexDoc> MakeDoc(wavein::IWaveIn* pWaveIn = nullptr)
    {
        return std::make_unique<CHalvexDoc>(Env(pWaveIn));
    }

    FakeDocUi m_ui;
    CManualClock m_clock{1241186607};  // 2009-05-01 14:03:27 UTC
    CTempDir m_tmp{"doc"};
    std::string m_dir = m_tmp.Path().string();
    std::string m_settings = m_dir + "/config/settings.reg";
    std::string m_logs = m_dir + "/logs/";
};
