#pragma once
// Message lines, the ring of 60 that the Messages view shows, the daily log
// files, and the per-frame handling that ties them to the interpretation.
//
//   0123456 789 ABCD [15E7] 2009-05-01 14:03:27
//   digits 0-6, 7-9, 10..2n-5, [last four] or [last four calc CRC XXXX], UTC time
//
// All text is code page 1252 bytes.
#include <cstdint>
#include <functional>
#include <string>

#include "decoder/Demodulator.h"
#include "messages/MessageOutput.h"
#include "platform/WinTypes.h"

class IClock;
class CSatelliteTable;

// Name of the day's log file in directory (which ends in the path separator)
// for the given instant.
std::string DailyLogPath(const std::string& directory, int64_t now);
// Appends the line and a line break to the day's log file in directory, whole
// or not at all, and makes the folder when it does not exist; false if the
// line could not be written.
bool AppendDailyLogLine(const std::string& directory, int64_t now, const std::string& line);

class CMessageStore : public IFrameSink
{
public:
    static constexpr int kRingSlots = 60;

    CMessageStore(CSatelliteTable& table, const IClock& clock);

    // Ring and options.
    std::string m_strMessages[kRingSlots];
    int m_nMessageIndex = 0;
    std::string m_strLogDirectory;  // ends in the path separator
    BOOL m_bRequireCrc = 1;
    BOOL m_bExpandMsgs = 1;
    // False: lines go to the ring (and m_onLogLine) but no file is written.
    bool m_bWriteLogFiles = true;

    // Per-frame handling after the check's verdict (drop, store, interpret, redraw).
    void OnFrame(const uint8_t* bytes, int n, const FrameVerdict& verdict) override;

    // The message line of a frame at the given time, without storing it.
    static std::string FormatMessageLine(const uint8_t* bytes, int n, const FrameVerdict& verdict,
                                         int64_t now);
    // Makes the line in slot m_nMessageIndex, logs it, advances the index;
    // returns a copy of the stored line.
    std::string StoreMessageLine(const uint8_t* bytes, int n, const FrameVerdict& verdict);
    // Appends one slot's text and a line break to today's log; false if the
    // file could not be written (the line stays in the ring).
    bool AppendLogLine(int slot);
    // Moves the expansion line (in slot m_nMessageIndex) under its message line.
    void InsertExpansionLine(const std::string& messageLineCopy);
    // Interprets a copy of a matched frame's message line; may add an
    // expansion line and refresh the satellite table. Returns the expansion
    // line, or an empty text when none was made.
    std::string InterpretMessage(const std::string& line);
    // Start of a capture run: all slots empty, index 0.
    void ClearForStart();

    // Name of today's log file (full path) for the given instant.
    std::string LogFilePath(int64_t now) const;

    // Hooks for the owner: a redraw request once per kept frame, and every
    // line as it goes to the log, message and expansion lines in log order.
    // written is true only when the line reached the day's file; it is false
    // when the file could not be written and whenever m_bWriteLogFiles is off.
    std::function<void()> m_onRedraw;
    std::function<void(const std::string& line, bool written)> m_onLogLine;
    // Every kept frame once its lines are made (after m_onLogLine has seen them).
    std::function<void(const MessageRecord& record)> m_onRecord;

private:
    CSatelliteTable& m_table;
    const IClock& m_clock;
};
