#include "output/StationMerger.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "messages/MessageStore.h"
#include "messages/UtcTime.h"
#include "platform/Cp1252.h"

bool ParseStationReport(const std::string& topic, const std::string& payload, StationReport& report,
                        std::string& error)
{
    const nlohmann::json object = nlohmann::json::parse(payload, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        error = "not a JSON object";
        return false;
    }
    auto text = [&](const char* key, std::string& out, bool required) {
        const auto it = object.find(key);
        if (it == object.end())
            return !required;
        if (!it->is_string())
            return false;
        out = it->get<std::string>();
        return true;
    };
    StationReport r;
    std::string time;
    if (!text("time", time, true) || !ParseUtcTimestamp(time, r.nTime)) {
        error = "no \"time\" as YYYY-MM-DDTHH:MM:SSZ";
        return false;
    }
    if (!text("hex", r.strHex, true) || r.strHex.empty() || r.strHex.size() % 2 != 0 ||
        !std::all_of(r.strHex.begin(), r.strHex.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        error = "no \"hex\" of whole bytes";
        return false;
    }
    std::transform(r.strHex.begin(), r.strHex.end(), r.strHex.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    const auto crc = object.find("crc_ok");
    if (crc == object.end() || !crc->is_boolean()) {
        error = "no \"crc_ok\" true or false";
        return false;
    }
    r.bCrcOk = crc->get<bool>();
    if (!text("line", r.strLine, true) || !text("expansion", r.strExpansion, false) ||
        !text("station", r.strStation, false)) {
        error = "\"line\", \"expansion\" or \"station\" is not a text";
        return false;
    }
    if (r.strStation.empty()) {
        // halvex/<station>/frames
        const size_t a = topic.find('/');
        const size_t b = topic.rfind('/');
        if (a != std::string::npos && b > a + 1)
            r.strStation = topic.substr(a + 1, b - a - 1);
    }
    if (r.strStation.empty()) {
        error = "no station";
        return false;
    }
    report = std::move(r);
    return true;
}

std::string MergedFrameToJson(const MergedFrame& frame)
{
    const StationReport& r = frame.first;
    nlohmann::ordered_json object;
    object["time"] = FormatUtc(r.nTime, "%Y-%m-%dT%H:%M:%SZ");
    object["hex"] = r.strHex;
    object["crc_ok"] = r.bCrcOk;
    object["line"] = r.strLine;
    if (!r.strExpansion.empty())
        object["expansion"] = r.strExpansion;
    object["stations"] = frame.stations;
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool AppendMergedFrameToLog(const std::string& directory, const MergedFrame& frame)
{
    bool ok = AppendDailyLogLine(directory, frame.first.nTime, Utf8ToCp1252(frame.first.strLine));
    if (!frame.first.strExpansion.empty())
        ok = AppendDailyLogLine(directory, frame.first.nTime, Utf8ToCp1252(frame.first.strExpansion)) && ok;
    return ok;
}

void CStationMerger::Add(const StationReport& report, Clock::time_point arrival)
{
    for (Open& open : m_open) {
        const StationReport& first = open.frame.first;
        if (first.strHex == report.strHex && std::llabs(first.nTime - report.nTime) <= m_nWindow) {
            std::vector<std::string>& names = open.frame.stations;
            if (std::find(names.begin(), names.end(), report.strStation) == names.end())
                names.push_back(report.strStation);
            return;
        }
    }
    Open open;
    open.frame.first = report;
    open.frame.stations.push_back(report.strStation);
    open.arrival = arrival;
    m_open.push_back(std::move(open));
}

std::vector<MergedFrame> CStationMerger::TakeComplete(Clock::time_point now)
{
    std::vector<MergedFrame> done;
    while (!m_open.empty() && now - m_open.front().arrival >= std::chrono::seconds(m_nWindow)) {
        done.push_back(std::move(m_open.front().frame));
        m_open.pop_front();
    }
    return done;
}

std::vector<MergedFrame> CStationMerger::TakeAll()
{
    std::vector<MergedFrame> done;
    for (Open& open : m_open)
        done.push_back(std::move(open.frame));
    m_open.clear();
    return done;
}
