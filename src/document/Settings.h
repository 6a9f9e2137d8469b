#pragma once
// The stored settings: the values the document keeps in the settings store
// under HKEY_CURRENT_USER "SOFTWARE\Norq\Halvex3\", with their names, order,
// types and byte images:
//
//   "ViewMode"         REG_DWORD   4     0..4 (4: the passes view)
//   "Soundcardoption"  REG_DWORD   4     0..4
//   "ExpandMsgs"       REG_DWORD   4     0 or 1
//   "Eqx"              REG_DWORD   256   64 little-endian int32
//   "Eql" "Per" "Inc"  REG_DWORD   512   64 little-endian doubles each
//   "HomeLat" "HomeLon" REG_DWORD  8     one little-endian double each
//   "LogDirectory"     REG_SZ      n+1   the path and its NUL
//   "WeakSignals"      REG_DWORD   4     0 or 1; absent: 0 (see WriteStoredValues)
//
// and, only once a station network has been set up (Options > Station
// network...), so that files of users without one stay as they were:
//
//   "MqttUrl"          REG_SZ      n+1   mqtt://[USER@]HOST[:PORT] or mqtts://...; empty: none
//   "Station"          REG_SZ      n+1   the station's name; empty: the host name
//
// The arrays and doubles carry REG_DWORD whatever their length: files written
// by earlier versions have them so.
//
// Programs other than the desktop program (halvex3-predict, halvex3-decode)
// read the table and home location with ReadStoredSettings, which never
// writes; no window and no document are needed:
//
//   StoredSettings s;                       // the defaults
//   if (ReadStoredSettings(DefaultSettingsPath(), s) == SettingsRead::Unreadable) ...
//   s.CopyTableTo(table);  s.dHomeLat, s.dHomeLon
#include <cstdint>
#include <string>

#include "messages/SatelliteTable.h"

namespace reg {
class CRegKey;
}

constexpr const char* kSettingsKey = "SOFTWARE\\Norq\\Halvex3\\";

struct StoredSettings
{
    static constexpr int kEntries = CSatelliteTable::kEntries;

    int32_t nViewMode = 0;
    int32_t nSoundcardOption = 4;
    int32_t bExpandMsgs = 1;
    int32_t nEqx[kEntries] = {};
    double dEql[kEntries] = {};
    double dPer[kEntries] = {};
    double dInc[kEntries] = {};
    double dHomeLat = 0.0;
    double dHomeLon = 0.0;
    std::string strLogDirectory;  // empty: none stored
    std::string strMqttUrl;       // empty: no station network
    std::string strStation;       // empty: the host name
    // The file held MqttUrl or Station: they are written back even when empty,
    // so that clearing them in the dialog sticks.
    bool bNetworkStored = false;
    int32_t bWeakSignals = 0;
    bool bWeakSignalsStored = false;  // the key held WeakSignals (set by reading)

    void CopyTableFrom(const CSatelliteTable& table);
    // m_dLastGroundDist is not stored and is left as it is.
    void CopyTableTo(CSatelliteTable& table) const;
};

enum class SettingsRead
{
    Loaded,      // the key existed; its valid values are in place
    NoSettings,  // no file or no key: the defaults stand
    Unreadable   // the file exists but cannot be read (reported on stderr)
};

// Reads the values into s, each only when it is present, of its field's exact
// size and sensible (see ReadStoredValues); the rest keep what s held.
SettingsRead ReadStoredSettings(const std::string& strPath, StoredSettings& s,
                                const std::string& strKey = kSettingsKey);

// The values of an open key in the table's order. Values that would index past
// an array or feed nonsense into the arithmetic are ignored: a view mode
// outside 0..3, a source outside 0..4, ExpandMsgs other than 0 or 1, a home
// latitude or longitude that is not a finite number in range, an empty log
// directory. A satellite-table entry holding a value that is not finite is
// reset to zero. A log directory without its final '/' gets one.
void ReadStoredValues(const reg::CRegKey& key, StoredSettings& s);
// Writes every value in the table's order. WeakSignals, which earlier versions
// did not know, is written only when it is on or was already stored, so that
// a file in which the option was never used stays as it was.
void WriteStoredValues(reg::CRegKey& key, const StoredSettings& s);
