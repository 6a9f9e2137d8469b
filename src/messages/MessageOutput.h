#pragma once
// Where the decoder chain's results go: the terminal, the day's log, JSON,
// a broker. Each kind of output is one class behind this interface; the chain
// hands every kept frame to each output in turn and never knows which are on.
#include <cstdint>
#include <string>
#include <vector>

// One kept frame, once its message line (and any expansion line) is made.
struct MessageRecord
{
    int64_t nTime = 0;           // the line's UTC time, seconds since 1970
    std::vector<uint8_t> frame;  // the frame's bytes, check bytes included
    bool bCrcOk = false;         // the check value matched
    std::string strLine;         // the message line as logged (code page 1252)
    std::string strExpansion;    // the expansion line (code page 1252); empty: none made
};

class IMessageOutput
{
public:
    virtual ~IMessageOutput() = default;
    // Called for every kept frame, in log order.
    virtual void Write(const MessageRecord& record) = 0;
    // The input has ended: deliver whatever is still held. False when
    // something could not be delivered (the output has said what on stderr).
    virtual bool Finish() { return true; }
};
