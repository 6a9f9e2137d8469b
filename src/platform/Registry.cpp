#include "platform/Registry.h"

#include <cstring>

#include "platform/FileText.h"

namespace reg {

// --- CRegFile ----------------------------------------------------------------

CRegFile::LoadResult CRegFile::Load(const std::string& strPath, std::string* pError)
{
    m_sections.clear();
    std::string text;
    std::string error;
    switch (ReadWholeFile(strPath, kMaxFileBytes, text, error)) {
        case FileRead::Missing:
            return LoadResult::Missing;
        case FileRead::Unreadable:
            if (pError)
                *pError = error;
            return LoadResult::Unreadable;
        case FileRead::TooLarge:
            if (pError)
                *pError = "too large for a settings file";
            return LoadResult::Corrupt;
        case FileRead::Read:
            break;
    }
    if (text.empty())
        return LoadResult::Loaded;
    return Parse(text, pError) ? LoadResult::Loaded : LoadResult::Corrupt;
}

RegSection& CRegFile::AddSection(const std::string& strKey)
{
    m_sections.push_back(RegSection{NormalKeyPath(strKey), {}});
    return m_sections.back();
}

bool IsOtherThanSettingsFile(const std::string& strPath, std::string& strWhy)
{
    std::string text;
    std::string error;
    const FileRead read = ReadWholeFile(strPath, kMaxFileBytes, text, error);
    if (read == FileRead::TooLarge) {
        strWhy = strPath + " is not a settings file (too large for one)";
        return true;
    }
    if (read != FileRead::Read || !LacksRegHeader(text, true))
        return false;
    strWhy = strPath + " is not a settings file (no REGEDIT4 header)";
    return true;
}

// --- CRegKey -----------------------------------------------------------------

CRegKey::~CRegKey()
{
    Close();
}

void CRegKey::AddNotice(const std::string& what)
{
    m_strNotice += m_strNotice.empty() ? "settings file " + m_strPath + ": " + what : " " + what;
}

LSTATUS CRegKey::Load(const std::string& strFile, bool bForWriting)
{
    Close();
    m_strPath = strFile;
    m_strNotice.clear();
    m_strCorrupt.clear();
    m_bReadOnly = !bForWriting;
    m_bDirty = false;
    m_bReplaceCorrupt = false;
    std::string error;
    switch (m_file.Load(strFile, &error)) {
        case CRegFile::LoadResult::Loaded:
        case CRegFile::LoadResult::Missing:
            break;
        case CRegFile::LoadResult::Unreadable:
            AddNotice(error + (bForWriting ? "; settings are not saved." : "."));
            return ERROR_ACCESS_DENIED;
        case CRegFile::LoadResult::Corrupt:
            // Told once the key is closed, with the name the file is kept under.
            m_strCorrupt = "not a settings file (" + error + "); using the defaults";
            if (!bForWriting)
                AddNotice(m_strCorrupt + ".");
            m_bReplaceCorrupt = bForWriting;
            break;
    }
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::CreateKey(const std::string& strFile, const std::string& strSubKey, uint32_t* pDisposition)
{
    const LSTATUS status = Load(strFile, true);
    if (status != ERROR_SUCCESS)
        return status;
    m_strKey = CurrentUserKeyPath(strSubKey);
    if (m_file.FindSection(m_strKey)) {
        if (pDisposition)
            *pDisposition = REG_OPENED_EXISTING_KEY;
    } else {
        m_file.AddSection(m_strKey);
        m_bDirty = true;
        if (pDisposition)
            *pDisposition = REG_CREATED_NEW_KEY;
    }
    m_bOpen = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::OpenKey(const std::string& strFile, const std::string& strSubKey)
{
    const LSTATUS status = Load(strFile, false);
    if (status != ERROR_SUCCESS)
        return status;
    m_strKey = CurrentUserKeyPath(strSubKey);
    if (!m_file.FindSection(m_strKey))
        return ERROR_FILE_NOT_FOUND;
    m_bOpen = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::QueryValue(const std::string& strName, uint32_t* pType, uint8_t* pData,
                            uint32_t* pcbData) const
{
    if (!m_bOpen)
        return ERROR_INVALID_HANDLE;
    if (pData && !pcbData)
        return ERROR_INVALID_PARAMETER;
    const RegSection* pSection = m_file.FindSection(m_strKey);
    if (!pSection)
        return ERROR_FILE_NOT_FOUND;
    for (const RegValue& value : pSection->values) {
        if (!EqualNoCase(value.strName, strName))
            continue;
        if (pType)
            *pType = value.nType;
        if (value.data.size() > UINT32_MAX)
            return ERROR_MORE_DATA;
        const auto size = static_cast<uint32_t>(value.data.size());
        if (pData) {
            if (*pcbData < size) {
                *pcbData = size;
                return ERROR_MORE_DATA;
            }
            if (size > 0)
                std::memcpy(pData, value.data.data(), size);
        }
        if (pcbData)
            *pcbData = size;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS CRegKey::SetValue(const std::string& strName, uint32_t nType, const void* pData, uint32_t cbData)
{
    if (!m_bOpen || m_bReadOnly)
        return ERROR_INVALID_HANDLE;
    if (!pData && cbData > 0)
        return ERROR_INVALID_PARAMETER;
    RegSection* pSection = m_file.FindSection(m_strKey);
    if (!pSection)
        pSection = &m_file.AddSection(m_strKey);
    RegValue value;
    value.strName = strName;
    value.nType = nType;
    const auto* p = static_cast<const uint8_t*>(pData);
    if (cbData > 0)
        value.data.assign(p, p + cbData);
    SetRegValue(*pSection, std::move(value));
    m_bDirty = true;
    return ERROR_SUCCESS;
}

LSTATUS CRegKey::Close()
{
    if (!m_bOpen)
        return ERROR_SUCCESS;
    m_bOpen = false;
    LSTATUS status = ERROR_SUCCESS;
    if (m_bDirty && !m_bReadOnly) {
        std::string error;
        // A damaged file goes aside under a name of its own, never over one
        // kept there earlier.
        const std::string backup = m_bReplaceCorrupt ? UnusedBackupPath(m_strPath) : std::string();
        if (ReplaceFileAtomically(m_strPath, m_file.Format(), backup, error)) {
            if (m_bReplaceCorrupt)
                AddNotice(m_strCorrupt + "; it is kept as " + backup + ".");
            m_bReplaceCorrupt = false;
        } else {
            if (m_bReplaceCorrupt)
                AddNotice(m_strCorrupt + ".");
            AddNotice(error + "; settings are not saved.");
            status = ERROR_WRITE_FAULT;
        }
    }
    m_bDirty = false;
    m_file.m_sections.clear();
    return status;
}

}  // namespace reg
