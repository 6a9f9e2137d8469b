#pragma once
// Pools the frames of many stations: the JSON objects they publish to
// halvex/<station>/frames are read back, and reports of the same frame (the
// same bytes, their times at most a window apart, 30 s unless set) become one
// merged frame with the first report's time and lines and the names of the
// stations that heard it, in order of arrival. A merged frame is complete when
// the window has passed since its first report arrived; complete frames come
// out in the order their first reports arrived.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// One station's report of one frame, as published.
struct StationReport
{
    int64_t nTime = 0;   // from "time"
    std::string strHex;  // "hex", upper-case
    bool bCrcOk = false;
    std::string strLine;       // UTF-8
    std::string strExpansion;  // UTF-8; empty: none
    std::string strStation;    // "station", or the topic's middle part when the object names none
};

// Reads a message from halvex/<station>/frames; false with the reason when it
// is not a frame object.
bool ParseStationReport(const std::string& topic, const std::string& payload, StationReport& report,
                        std::string& error);

struct MergedFrame
{
    StationReport first;                // the first report that arrived
    std::vector<std::string> stations;  // every station that heard it, in order of arrival
};

// {"time":...,"hex":...,"crc_ok":...,"line":...,"expansion":...,"stations":[...]}
std::string MergedFrameToJson(const MergedFrame& frame);

// Appends the frame's message line and expansion line (code page 1252) to the
// day's log in directory, as the message store names and writes it.
bool AppendMergedFrameToLog(const std::string& directory, const MergedFrame& frame);

class CStationMerger
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CStationMerger(int64_t nWindowSeconds = 30) : m_nWindow(nWindowSeconds) {}

    void Add(const StationReport& report, Clock::time_point arrival);
    // The merged frames whose window has passed by now, in order.
    std::vector<MergedFrame> TakeComplete(Clock::time_point now);
    // Every merged frame still open (at the end), in order.
    std::vector<MergedFrame> TakeAll();
    size_t OpenCount() const { return m_open.size(); }

private:
    struct Open
    {
        MergedFrame frame;
        Clock::time_point arrival;
    };
    int64_t m_nWindow;
    std::deque<Open> m_open;
};
