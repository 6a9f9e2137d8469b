#include "document/Settings.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/Registry.h"

// The stored images are the fields' little-endian memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// Reads a value straight into a field of the given size; a missing value or
// one of another size leaves the field.
bool QueryExact(const reg::CRegKey& key, const char* name, void* field, uint32_t size)
{
    uint32_t actual = 0;
    if (key.QueryValue(name, nullptr, nullptr, &actual) != reg::ERROR_SUCCESS || actual != size)
        return false;
    std::vector<uint8_t> buf(size);
    uint32_t got = size;
    if (key.QueryValue(name, nullptr, buf.data(), &got) != reg::ERROR_SUCCESS || got != size)
        return false;
    std::memcpy(field, buf.data(), size);
    return true;
}

template <typename T>
bool QueryScalar(const reg::CRegKey& key, const char* name, T& out)
{
    T value{};
    if (!QueryExact(key, name, &value, sizeof value))
        return false;
    out = value;
    return true;
}

void QueryInRange(const reg::CRegKey& key, const char* name, int32_t& field, int32_t lo, int32_t hi)
{
    int32_t value = 0;
    if (QueryScalar(key, name, value) && value >= lo && value <= hi)
        field = value;
}

void QueryCoordinate(const reg::CRegKey& key, const char* name, double& field, double limit)
{
    double value = 0.0;
    if (QueryScalar(key, name, value) && std::isfinite(value) && value >= -limit && value <= limit)
        field = value;
}

// A REG_SZ value up to its NUL; false when absent or of another type.
bool QueryString(const reg::CRegKey& key, const char* name, std::string& out)
{
    uint32_t type = reg::REG_NONE;
    uint32_t size = 0;
    if (key.QueryValue(name, &type, nullptr, &size) != reg::ERROR_SUCCESS || type != reg::REG_SZ)
        return false;
    std::vector<uint8_t> buf(size);
    uint32_t got = size;
    if (size > 0 && key.QueryValue(name, nullptr, buf.data(), &got) != reg::ERROR_SUCCESS)
        return false;
    out.assign(reinterpret_cast<const char*>(buf.data()),
               strnlen(reinterpret_cast<const char*>(buf.data()), got));
    return true;
}

void SetString(reg::CRegKey& key, const char* name, const std::string& value)
{
    key.SetValue(name, reg::REG_SZ, value.c_str(), static_cast<uint32_t>(value.size() + 1));
}

void SetDword(reg::CRegKey& key, const char* name, const void* field, uint32_t size)
{
    key.SetValue(name, reg::REG_DWORD, field, size);
}

}  // namespace

void StoredSettings::CopyTableFrom(const CSatelliteTable& table)
{
    std::memcpy(nEqx, table.m_nEqx, sizeof nEqx);
    std::memcpy(dEql, table.m_dEql, sizeof dEql);
    std::memcpy(dPer, table.m_dPer, sizeof dPer);
    std::memcpy(dInc, table.m_dInc, sizeof dInc);
}

void StoredSettings::CopyTableTo(CSatelliteTable& table) const
{
    std::memcpy(table.m_nEqx, nEqx, sizeof nEqx);
    std::memcpy(table.m_dEql, dEql, sizeof dEql);
    std::memcpy(table.m_dPer, dPer, sizeof dPer);
    std::memcpy(table.m_dInc, dInc, sizeof dInc);
}

void ReadStoredValues(const reg::CRegKey& key, StoredSettings& s)
{
    QueryInRange(key, "ViewMode", s.nViewMode, 0, 4);
    QueryInRange(key, "Soundcardoption", s.nSoundcardOption, 0, 4);
    QueryInRange(key, "ExpandMsgs", s.bExpandMsgs, 0, 1);
    QueryExact(key, "Eqx", s.nEqx, sizeof s.nEqx);
    QueryExact(key, "Eql", s.dEql, sizeof s.dEql);
    QueryExact(key, "Per", s.dPer, sizeof s.dPer);
    QueryExact(key, "Inc", s.dInc, sizeof s.dInc);
    // A NaN or infinity would spread through every prediction of its satellite.
    for (int i = 0; i < StoredSettings::kEntries; ++i) {
        if (!std::isfinite(s.dEql[i]) || !std::isfinite(s.dPer[i]) || !std::isfinite(s.dInc[i])) {
            s.nEqx[i] = 0;
            s.dEql[i] = 0.0;
            s.dPer[i] = 0.0;
            s.dInc[i] = 0.0;
        }
    }
    QueryCoordinate(key, "HomeLat", s.dHomeLat, 90.0);
    QueryCoordinate(key, "HomeLon", s.dHomeLon, 180.0);
    int32_t weak = 0;
    if (QueryScalar(key, "WeakSignals", weak)) {
        s.bWeakSignalsStored = true;
        if (weak == 0 || weak == 1)
            s.bWeakSignals = weak;
    }

    // The path is restored whatever its length.
    uint32_t size = 0;
    if (key.QueryValue("LogDirectory", nullptr, nullptr, &size) == reg::ERROR_SUCCESS && size > 0) {
        std::vector<uint8_t> buf(size);
        uint32_t got = size;
        if (key.QueryValue("LogDirectory", nullptr, buf.data(), &got) == reg::ERROR_SUCCESS) {
            std::string path(reinterpret_cast<const char*>(buf.data()),
                             strnlen(reinterpret_cast<const char*>(buf.data()), got));
            if (!path.empty()) {
                if (path.back() != '/')
                    path += '/';
                s.strLogDirectory = path;
            }
        }
    }

    const bool bUrl = QueryString(key, "MqttUrl", s.strMqttUrl);
    const bool bStation = QueryString(key, "Station", s.strStation);
    s.bNetworkStored = s.bNetworkStored || bUrl || bStation;
}

void WriteStoredValues(reg::CRegKey& key, const StoredSettings& s)
{
    SetDword(key, "ViewMode", &s.nViewMode, sizeof s.nViewMode);
    SetDword(key, "Soundcardoption", &s.nSoundcardOption, sizeof s.nSoundcardOption);
    SetDword(key, "ExpandMsgs", &s.bExpandMsgs, sizeof s.bExpandMsgs);
    SetDword(key, "Eqx", s.nEqx, sizeof s.nEqx);
    SetDword(key, "Eql", s.dEql, sizeof s.dEql);
    SetDword(key, "Per", s.dPer, sizeof s.dPer);
    SetDword(key, "Inc", s.dInc, sizeof s.dInc);
    SetDword(key, "HomeLat", &s.dHomeLat, sizeof s.dHomeLat);
    SetDword(key, "HomeLon", &s.dHomeLon, sizeof s.dHomeLon);
    key.SetValue("LogDirectory", reg::REG_SZ, s.strLogDirectory.c_str(),
                 static_cast<uint32_t>(s.strLogDirectory.size() + 1));
    if (s.bNetworkStored || !s.strMqttUrl.empty() || !s.strStation.empty()) {
        SetString(key, "MqttUrl", s.strMqttUrl);
        SetString(key, "Station", s.strStation);
    }
    if (s.bWeakSignals != 0 || s.bWeakSignalsStored)
        SetDword(key, "WeakSignals", &s.bWeakSignals, sizeof s.bWeakSignals);
}

SettingsRead ReadStoredSettings(const std::string& strPath, StoredSettings& s, const std::string& strKey)
{
    reg::CRegKey key;
    reg::LSTATUS status = key.OpenKey(strPath, strKey);
    if (status == reg::ERROR_ACCESS_DENIED)
        return SettingsRead::Unreadable;
    if (status != reg::ERROR_SUCCESS)
        return SettingsRead::NoSettings;
    ReadStoredValues(key, s);
    return SettingsRead::Loaded;
}
