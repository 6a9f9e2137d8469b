// The settings file as the program finds it on disk: any bytes.
//
// 1. In memory: a text the reader accepts formats to a text that reads back
//    to the same keys and values and formats identically (round trip stable).
// 2. Through the document: the file is loaded by a headless document, saved,
//    and loaded again by a second document: every setting survives, every
//    value is in its range, and a second save writes the same bytes.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "document/HalvexDoc.h"
#include "document/Settings.h"
#include "platform/Clock.h"
#include "platform/Registry.h"

namespace {

std::string ScratchDir()
{
    static std::string dir = [] {
        const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string tmpl = std::string(base) + "/halvex-fuzz-settings-XXXXXX";
        FUZZ_CHECK(::mkdtemp(tmpl.data()) != nullptr);
        return tmpl;
    }();
    return dir;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool SameValues(const reg::CRegFile& a, const reg::CRegFile& b)
{
    if (a.m_sections.size() != b.m_sections.size())
        return false;
    for (size_t i = 0; i < a.m_sections.size(); ++i) {
        const reg::RegSection& x = a.m_sections[i];
        const reg::RegSection& y = b.m_sections[i];
        if (x.strKey != y.strKey || x.values.size() != y.values.size())
            return false;
        for (size_t j = 0; j < x.values.size(); ++j)
            if (x.values[j].strName != y.values[j].strName || x.values[j].nType != y.values[j].nType ||
                x.values[j].data != y.values[j].data)
                return false;
    }
    return true;
}

std::unique_ptr<CHalvexDoc> LoadDocument(const std::string& settings, const CManualClock& clock)
{
    DocEnvironment env;
    env.pClock = &clock;
    env.strSettingsPath = settings;
    env.strProgramDir = ScratchDir() + "/";
    env.strDefaultLogDir = ScratchDir() + "/logs/";
    env.bLoadSettings = true;
    env.bSaveSettings = false;
    return std::make_unique<CHalvexDoc>(env);
}

void CheckRanges(const CHalvexDoc& doc)
{
    FUZZ_CHECK(doc.m_nViewMode >= 0 && doc.m_nViewMode <= 3);
    FUZZ_CHECK(doc.m_nSoundcardOption >= 0 && doc.m_nSoundcardOption <= 4);
    FUZZ_CHECK(doc.m_messages.m_bExpandMsgs == 0 || doc.m_messages.m_bExpandMsgs == 1);
    FUZZ_CHECK(std::isfinite(doc.m_dHomeLat) && std::fabs(doc.m_dHomeLat) <= 90.0);
    FUZZ_CHECK(std::isfinite(doc.m_dHomeLon) && std::fabs(doc.m_dHomeLon) <= 180.0);
    FUZZ_CHECK(!doc.m_messages.m_strLogDirectory.empty() && doc.m_messages.m_strLogDirectory.back() == '/');
    for (int i = 0; i < CSatelliteTable::kEntries; ++i)
        FUZZ_CHECK(std::isfinite(doc.m_table.m_dEql[i]) && std::isfinite(doc.m_table.m_dPer[i]) &&
                   std::isfinite(doc.m_table.m_dInc[i]));
}

void CheckSame(const CHalvexDoc& a, const CHalvexDoc& b)
{
    FUZZ_CHECK(a.m_nViewMode == b.m_nViewMode);
    FUZZ_CHECK(a.m_nSoundcardOption == b.m_nSoundcardOption);
    FUZZ_CHECK(a.m_messages.m_bExpandMsgs == b.m_messages.m_bExpandMsgs);
    FUZZ_CHECK(std::memcmp(&a.m_dHomeLat, &b.m_dHomeLat, sizeof(double)) == 0);
    FUZZ_CHECK(std::memcmp(&a.m_dHomeLon, &b.m_dHomeLon, sizeof(double)) == 0);
    FUZZ_CHECK(a.m_messages.m_strLogDirectory == b.m_messages.m_strLogDirectory);
    FUZZ_CHECK(std::memcmp(a.m_table.m_nEqx, b.m_table.m_nEqx, sizeof a.m_table.m_nEqx) == 0);
    FUZZ_CHECK(std::memcmp(a.m_table.m_dEql, b.m_table.m_dEql, sizeof a.m_table.m_dEql) == 0);
    FUZZ_CHECK(std::memcmp(a.m_table.m_dPer, b.m_table.m_dPer, sizeof a.m_table.m_dPer) == 0);
    FUZZ_CHECK(std::memcmp(a.m_table.m_dInc, b.m_table.m_dInc, sizeof a.m_table.m_dInc) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    reg::CRegFile first;
    const bool bParsed = first.Parse(text, nullptr);
    if (bParsed) {
        const std::string formatted = first.Format();
        reg::CRegFile second;
        FUZZ_CHECK(second.Parse(formatted, nullptr));
        FUZZ_CHECK(SameValues(first, second));
        FUZZ_CHECK(second.Format() == formatted);
    }

    const std::string settings = ScratchDir() + "/settings.reg";
    std::filesystem::remove(settings + ".bad");
    WriteAll(settings, data, size);

    const CManualClock clock(1241186607);
    auto doc = LoadDocument(settings, clock);
    CheckRanges(*doc);
    doc->SaveSettings(kSettingsKey);
    const std::string saved = ReadAll(settings);
    // Whatever was there before is either still readable or kept aside.
    reg::CRegFile reread;
    FUZZ_CHECK(reread.Parse(saved, nullptr));
    if (bParsed) {
        // Keys of other programs (or later versions) are kept as they were.
        const std::string ours = reg::CurrentUserKeyPath(kSettingsKey);
        for (const reg::RegSection& section : first.m_sections) {
            const reg::RegSection* kept = reread.FindSection(section.strKey);
            FUZZ_CHECK(kept != nullptr);
            if (kept == reread.FindSection(ours))
                continue;
            reg::CRegFile a, b;
            a.m_sections.push_back(section);
            b.m_sections.push_back(*kept);
            FUZZ_CHECK(SameValues(a, b));
        }
    } else if (!text.empty()) {
        // A file the reader could not take is kept aside, byte for byte.
        FUZZ_CHECK(ReadAll(settings + ".bad") == text);
    }

    auto again = LoadDocument(settings, clock);
    CheckRanges(*again);
    CheckSame(*doc, *again);
    again->SaveSettings(kSettingsKey);
    FUZZ_CHECK(ReadAll(settings) == saved);
    return 0;
}
