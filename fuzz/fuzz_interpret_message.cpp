// The interpretation of message lines: arbitrary text, and lines made from
// arbitrary frames exactly as the message stage makes them.
//
//   byte 0: bits 0-1  0 the rest is a line as it stands
//                     1 the rest is a frame's bytes (line made by the store)
//                     2 the rest follows the first bytes of one of the three
//                       kinds (bits 2-3 choose), then becomes a frame's line
//           bits 4-7  nothing; byte 1: the ring's write index before the call
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "messages/Interpretation.h"
#include "messages/MessageStore.h"
#include "messages/SatelliteTable.h"
#include "platform/Clock.h"

namespace {

constexpr int64_t kNow = 1241186607;  // 2009-05-01 14:03:27 UTC

bool SameTable(const CSatelliteTable& a, const CSatelliteTable& b, int skip)
{
    for (int i = 0; i < CSatelliteTable::kEntries; ++i) {
        if (i == skip)
            continue;
        if (std::memcmp(&a.m_nEqx[i], &b.m_nEqx[i], sizeof a.m_nEqx[i]) != 0 ||
            std::memcmp(&a.m_dEql[i], &b.m_dEql[i], sizeof a.m_dEql[i]) != 0 ||
            std::memcmp(&a.m_dPer[i], &b.m_dPer[i], sizeof a.m_dPer[i]) != 0 ||
            std::memcmp(&a.m_dInc[i], &b.m_dInc[i], sizeof a.m_dInc[i]) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t options = in.TakeByte();
    const int startIndex = in.TakeByte() % CMessageStore::kRingSlots;
    const int mode = options & 3;

    std::string line;
    bool bFromFrame = false;
    if (mode == 0) {
        line = in.RestAsString();
    } else {
        std::vector<uint8_t> frame;
        if (mode == 2) {
            static const uint8_t kKinds[3][4] = {
                {0x00, 0x00, 0x0B, 0xE0}, {0x00, 0x00, 0x0E, 0x10}, {0x00, 0x00, 0x0C, 0x70}};
            const uint8_t* kind = kKinds[((options >> 2) & 3) % 3];
            frame.assign(kind, kind + 4);
        }
        const size_t n = in.RestSize() < 46 ? in.RestSize() : 46;
        frame.insert(frame.end(), in.Rest(), in.Rest() + n);
        if (frame.size() > 46)
            frame.resize(46);
        if (frame.size() < 5)
            return 0;  // the demodulator never hands over fewer
        FrameVerdict verdict;
        verdict.bMatched = true;
        verdict.wReceived = static_cast<uint16_t>(frame[frame.size() - 2] << 8 | frame.back());
        verdict.wComputed = verdict.wReceived;
        line = CMessageStore::FormatMessageLine(frame.data(), static_cast<int>(frame.size()), verdict, kNow);
        bFromFrame = true;
    }

    Interpretation result;
    const bool bExpanded = InterpretLine(line, result);
    if (ClassifyMessage(line) == MessageKind::kNone)
        FUZZ_CHECK(!bExpanded);
    if (bExpanded)
        FUZZ_CHECK(result.kind == ClassifyMessage(line));
    if (bExpanded && bFromFrame) {
        // Lines made from frames hold hex digits only: so must their expansion.
        for (char c : result.strExpansion)
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }

    CManualClock clock(kNow);
    CSatelliteTable table;
    CMessageStore store(table, clock);
    store.m_bWriteLogFiles = false;
    store.m_nMessageIndex = startIndex;
    int nLogged = 0;
    store.m_onLogLine = [&](const std::string&, bool) { ++nLogged; };
    const CSatelliteTable before = table;
    store.InterpretMessage(line);

    FUZZ_CHECK(store.m_nMessageIndex >= 0 && store.m_nMessageIndex < CMessageStore::kRingSlots);
    if (bExpanded) {
        FUZZ_CHECK(store.m_nMessageIndex == (startIndex + 1) % CMessageStore::kRingSlots);
        FUZZ_CHECK(nLogged == 1);
        // The expansion takes the message line's slot; the line moves one newer.
        FUZZ_CHECK(store.m_strMessages[startIndex] == line);
        FUZZ_CHECK(store.m_strMessages[(startIndex + 59) % 60] == result.strExpansion);
    } else {
        FUZZ_CHECK(store.m_nMessageIndex == startIndex);
        FUZZ_CHECK(nLogged == 0);
    }
    if (bExpanded && result.kind == MessageKind::kOrbitBulletin) {
        const int code = result.elements.nCode;
        FUZZ_CHECK(code >= 0 && code <= 15);
        FUZZ_CHECK(SameTable(before, table, code));
        FUZZ_CHECK(table.m_dPer[code] >= 5700.0 - 1e-6 && table.m_dPer[code] <= 6682.98 + 1e-6);
        FUZZ_CHECK(table.m_dInc[code] >= 97.0 - 1e-9 && table.m_dInc[code] <= 103.5535 + 1e-9);
        FUZZ_CHECK(table.m_dEql[code] >= 0.0 && table.m_dEql[code] <= 524.287 + 1e-9);
    } else {
        FUZZ_CHECK(SameTable(before, table, -1));
    }
    return 0;
}
