#include "app/cli/CommandLine.h"

#include "app/cli/Messages.h"

namespace {

enum {
    CHOICE_MODEL = 1,
    CHOICE_PORT = 2,
    CHOICE_SERIAL = 4,
    CHOICE_DEFAULT = 8,
    CHOICE_REPLACE = 16,
};

// The port page's serial lists, item texts beside the values they stand for.
struct CSerialItem {
    LPCWSTR pszItem;
    LPCWSTR pszValue;  // as the registry's form writes it
};
const CSerialItem kBaudItems[] = {{TEXT("1200"), TEXT("1200")},   {TEXT("2400"), TEXT("2400")},
                                  {TEXT("4800"), TEXT("4800")},   {TEXT("9600"), TEXT("9600")},
                                  {TEXT("19200"), TEXT("19200")}, {TEXT("38400"), TEXT("38400")},
                                  {TEXT("115200"), TEXT("115200")}};
const CSerialItem kParityItems[] = {{TEXT("EVEN"), TEXT("e")}, {TEXT("ODD"), TEXT("o")}, {TEXT("NONE"), TEXT("n")}};
const CSerialItem kDataBitsItems[] = {{TEXT("5"), TEXT("5")}, {TEXT("6"), TEXT("6")}, {TEXT("7"), TEXT("7")},
                                      {TEXT("8"), TEXT("8")}};
const CSerialItem kStopBitsItems[] = {{TEXT("1"), TEXT("1")}, {TEXT("1.5"), TEXT("1.5")}, {TEXT("2"), TEXT("2")}};
const CSerialItem kFlowItems[] = {{TEXT("Xon/Xoff"), TEXT("x")}, {TEXT("Hardware"), TEXT("p")}, {TEXT("None"), TEXT("")}};

struct CSerialList {
    const CSerialItem* pItems;
    int nItems;
};
const CSerialList kSerialLists[5] = {{kBaudItems, 7}, {kParityItems, 3}, {kDataBitsItems, 4}, {kStopBitsItems, 3},
                                     {kFlowItems, 3}};

// The item of a list whose value (pszValue) or item text (else) is the text, case-insensitively.
const CSerialItem* FindSerialItem(const CSerialList& list, const CString& strText, bool bByValue) {
    for (int i = 0; i < list.nItems; ++i)
        if (strText.CompareNoCase(bByValue ? list.pItems[i].pszValue : list.pItems[i].pszItem) == 0)
            return &list.pItems[i];
    return NULL;
}

CString JoinValues(const CSerialList& list) {
    CString s;
    for (int i = 0; i < list.nItems; ++i) {
        if (i > 0) s += TEXT(", ");
        s += list.pItems[i].pszValue[0] ? list.pItems[i].pszValue : TEXT("\"\"");
    }
    return s;
}

// The five fields in the registry's form, the settings from them.
void FromFields(const CString (&fields)[5], CSerialChoice& out) {
    out.nBaud = _wtoi(fields[0]);
    out.chParity = fields[1][0];
    out.nDataBits = _wtoi(fields[2]);
    out.chStop = fields[3] == TEXT("1.5") ? TEXT('5') : fields[3][0];
    out.chFlow = fields[4].IsEmpty() ? 0 : fields[4][0];
}

CString ModelList() {
    CString s;
    for (int i = 0; i < CATALOGUE_ROWS; ++i) {
        if (i > 0) s += TEXT(", ");
        s += g_catalogue[i].pszLabel;
    }
    return s;
}

const CatalogueRow* FindModel(const CString& strName) {
    CString name = strName;
    name.Trim();
    for (int i = 0; i < CATALOGUE_ROWS; ++i)
        if (name.CompareNoCase(g_catalogue[i].pszLabel) == 0 || name.CompareNoCase(g_catalogue[i].pszPrinterName) == 0)
            return &g_catalogue[i];
    return NULL;
}

bool IsUsbChoice(const CString& strPort) { return strPort.CompareNoCase(TEXT("USB")) == 0; }

CString Upper(const CString& s) {
    CString u = s;
    u.MakeUpper();
    return u;
}

}  // namespace

// ---- Serial settings ----

CString CSerialChoice::Text() const {
    CString items[5];
    ListItems(items);
    CString s;
    for (int i = 0; i < 5; ++i) {
        if (i > 0) s += TEXT(',');
        s += FindSerialItem(kSerialLists[i], items[i], false)->pszValue;
    }
    return s;
}

void CSerialChoice::ListItems(CString (&items)[5]) const {
    CString values[5];
    values[0].Format(TEXT("%d"), nBaud);
    values[1] = CString(chParity);
    values[2].Format(TEXT("%d"), nDataBits);
    values[3] = chStop == TEXT('5') ? CString(TEXT("1.5")) : CString(chStop);
    values[4] = chFlow ? CString(chFlow) : CString();
    for (int i = 0; i < 5; ++i) {
        const CSerialItem* pItem = FindSerialItem(kSerialLists[i], values[i], true);
        items[i] = pItem ? pItem->pszItem : TEXT("");
    }
}

bool CSerialChoice::FromListItems(const CString (&items)[5], CSerialChoice& out) {
    CString fields[5];
    for (int i = 0; i < 5; ++i) {
        const CSerialItem* pItem = FindSerialItem(kSerialLists[i], items[i], false);
        if (pItem == NULL) return false;
        fields[i] = pItem->pszValue;
    }
    FromFields(fields, out);
    return true;
}

bool CSerialChoice::Parse(const CString& strText, CSerialChoice& out, CString& strWhy) {
    CString fields[5];
    int nField = 0;
    for (int i = 0; i < strText.GetLength(); ++i) {
        if (strText[i] != TEXT(',')) {
            if (nField < 5) fields[nField] += strText[i];
        } else {
            ++nField;
        }
    }
    if (nField != 4) {
        strWhy = Say(TEXT("it needs five fields, BAUD,PARITY,DATA,STOP,FLOW (flow control none: "
                          "an empty last field, as in 9600,n,8,1,)"),
                     TEXT("需要五项：波特率,校验,数据位,停止位,流控制（无流控制时最后一项留空，如 9600,n,8,1,）"));
        return false;
    }
    static const LPCWSTR kNamesEn[5] = {TEXT("baud rate"), TEXT("parity"), TEXT("data bits"), TEXT("stop bits"),
                                        TEXT("flow control")};
    static const LPCWSTR kNamesCn[5] = {TEXT("波特率"), TEXT("校验"), TEXT("数据位"), TEXT("停止位"), TEXT("流控制")};
    for (int i = 0; i < 5; ++i) {
        fields[i].Trim();
        const CSerialItem* pItem = FindSerialItem(kSerialLists[i], fields[i], true);
        if (pItem == NULL) {
            strWhy = Say(TEXT("the %s \"%s\" is not one the port page offers (%s)"), TEXT("%s \"%s\" 不是端口页提供的值（%s）"),
                         UiIsChinese() ? kNamesCn[i] : kNamesEn[i], fields[i].GetString(),
                         JoinValues(kSerialLists[i]).GetString());
            return false;
        }
        fields[i] = pItem->pszValue;
    }
    FromFields(fields, out);
    return true;
}

// ---- The command line ----

std::vector<CString> CCommandLine::Split(LPCWSTR pszCmdLine) {
    std::vector<CString> args;
    const WCHAR* p = pszCmdLine ? pszCmdLine : TEXT("");
    for (;;) {
        while (*p == TEXT(' ') || *p == TEXT('\t')) ++p;
        if (*p == 0) break;
        CString arg;
        bool bQuoted = false;
        while (*p != 0 && (bQuoted || (*p != TEXT(' ') && *p != TEXT('\t')))) {
            if (*p == TEXT('\\')) {
                int nSlashes = 0;
                while (*p == TEXT('\\')) ++nSlashes, ++p;
                if (*p == TEXT('"')) {
                    // 2n backslashes and a quote: n backslashes, and the quote opens or
                    // closes; 2n + 1: n backslashes and a quote of the argument's own.
                    arg += CString(TEXT('\\'), nSlashes / 2);
                    if (nSlashes % 2 == 1) {
                        arg += TEXT('"');
                        ++p;
                    }
                } else {
                    arg += CString(TEXT('\\'), nSlashes);
                }
            } else if (*p == TEXT('"')) {
                if (bQuoted && p[1] == TEXT('"')) {  // "" inside quotes: one quote
                    arg += TEXT('"');
                    p += 2;
                } else {
                    bQuoted = !bQuoted;
                    ++p;
                }
            } else {
                arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}

CString CCommandLine::Quote(const CString& strArg) {
    bool bPlain = !strArg.IsEmpty();
    for (int i = 0; i < strArg.GetLength() && bPlain; ++i)
        bPlain = strArg[i] != TEXT(' ') && strArg[i] != TEXT('\t') && strArg[i] != TEXT('"');
    if (bPlain) return strArg;
    CString q = TEXT("\"");
    int nSlashes = 0;
    for (int i = 0; i < strArg.GetLength(); ++i) {
        WCHAR ch = strArg[i];
        if (ch == TEXT('\\')) {
            ++nSlashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        q += CString(TEXT('\\'), ch == TEXT('"') ? nSlashes * 2 + 1 : nSlashes);
        nSlashes = 0;
        q += ch;
    }
    q += CString(TEXT('\\'), nSlashes * 2);  // before the closing quote
    q += TEXT('"');
    return q;
}

bool CCommandLine::AsksQuiet(LPCWSTR pszCmdLine) {
    for (const CString& arg : Split(pszCmdLine))
        if (arg.GetLength() > 1 && (arg[0] == TEXT('/') || arg[0] == TEXT('-')) && arg.Mid(1).CompareNoCase(TEXT("quiet")) == 0)
            return true;
    return false;
}

bool CCommandLine::Parse(LPCWSTR pszCmdLine) {
    for (const CString& arg : Split(pszCmdLine)) {
        if (arg.GetLength() < 2 || (arg[0] != TEXT('/') && arg[0] != TEXT('-'))) {
            m_strError = Say(TEXT("unexpected argument \"%s\": switches begin with / (see /?)"),
                             TEXT("无法识别的参数 \"%s\"：开关以 / 开头（见 /?）"), arg.GetString());
            return false;
        }
        CString body = arg.Mid(1);
        int nColon = body.Find(TEXT(':'));
        int nEquals = body.Find(TEXT('='));
        int nSplit = nColon < 0 ? nEquals : (nEquals < 0 ? nColon : (nColon < nEquals ? nColon : nEquals));
        CString name = nSplit < 0 ? body : body.Left(nSplit);
        CString value = nSplit < 0 ? CString() : body.Mid(nSplit + 1);
        if (!Apply(name, value, nSplit >= 0, NULL)) return false;
    }
    if (!m_strSaveInf.IsEmpty() && (m_bQuiet || m_bWhatIf || !m_strLoadInf.IsEmpty() || m_nGiven != 0)) {
        m_strError = Say(TEXT("/saveinf records the choices made in the wizard: it goes with no other switch but /log"),
                         TEXT("/saveinf 保存在安装向导中所作的选择：除 /log 外不能与其他开关同用"));
        return false;
    }
    return true;
}

CCommandLine::EMode CCommandLine::Mode() const {
    if (m_bUsage) return MODE_USAGE;
    if (m_bQuiet || m_bWhatIf || !m_strLoadInf.IsEmpty() || m_nGiven != 0) return MODE_UNATTENDED;
    return MODE_WIZARD;
}

bool CCommandLine::Apply(const CString& strName, const CString& strValue, bool bHasValue, LPCWSTR pszWhere) {
    const CString name = Upper(strName);
    // In a choices file only the choices are keys, each once; the command line's own win.
    const bool bFile = pszWhere != NULL;
    CString where = bFile ? CString(pszWhere) + TEXT(": ") : CString();
    auto fail = [&](const CString& strWhy) {
        m_strError = where + strWhy;
        return false;
    };
    struct CFlag {
        LPCWSTR pszName;
        bool* pbFlag;
        unsigned nChoice;
    };
    const CFlag flags[] = {{TEXT("QUIET"), &m_bQuiet, 0},
                           {TEXT("WHATIF"), &m_bWhatIf, 0},
                           {TEXT("DEFAULT"), &m_choices.bDefault, CHOICE_DEFAULT},
                           {TEXT("REPLACE"), &m_choices.bReplace, CHOICE_REPLACE},
                           {TEXT("?"), &m_bUsage, 0},
                           {TEXT("HELP"), &m_bUsage, 0}};
    for (const CFlag& f : flags) {
        if (name != f.pszName) continue;
        if (bFile && f.nChoice == 0) break;  // not a key of the file
        bool bOn = true;
        if (bFile) {
            if (strValue != TEXT("0") && strValue != TEXT("1"))
                return fail(Say(TEXT("%s must be 0 or 1, not \"%s\""), TEXT("%s 只能是 0 或 1，不能是 \"%s\""),
                                strName.GetString(), strValue.GetString()));
            bOn = strValue == TEXT("1");
        } else if (bHasValue) {
            return fail(Say(TEXT("/%s takes no value (\"%s\")"), TEXT("/%s 不带值（\"%s\"）"), strName.GetString(),
                            strValue.GetString()));
        }
        if (f.nChoice != 0 && (m_nGiven & f.nChoice)) {
            if (bFile && (m_nFromCommandLine & f.nChoice)) return true;  // the command line's own wins
            return fail(Say(TEXT("%s is given twice"), TEXT("%s 重复给出"), strName.GetString()));
        }
        m_nGiven |= f.nChoice;
        *f.pbFlag = bOn;
        return true;
    }

    struct CValue {
        LPCWSTR pszName;
        CString* pstrValue;
        unsigned nChoice;
    };
    CString strModel, strSerial;
    const CValue values[] = {{TEXT("MODEL"), &strModel, CHOICE_MODEL},
                             {TEXT("PORT"), &m_choices.strPort, CHOICE_PORT},
                             {TEXT("SERIAL"), &strSerial, CHOICE_SERIAL},
                             {TEXT("LOG"), &m_strLog, 0},
                             {TEXT("SAVEINF"), &m_strSaveInf, 0},
                             {TEXT("LOADINF"), &m_strLoadInf, 0}};
    for (const CValue& v : values) {
        if (name != v.pszName) continue;
        if (bFile && v.nChoice == 0) break;
        CString value = strValue;
        if (bFile) value.Trim();
        if (v.nChoice == 0 ? !v.pstrValue->IsEmpty() : (m_nGiven & v.nChoice) != 0) {
            if (bFile && (m_nFromCommandLine & v.nChoice)) return true;
            return fail(Say(TEXT("%s is given twice"), TEXT("%s 重复给出"), strName.GetString()));
        }
        if (v.nChoice != CHOICE_SERIAL && value.IsEmpty())
            return fail(Say(TEXT("%s needs a value, as in /%s:VALUE"), TEXT("%s 需要一个值，如 /%s:值"),
                            strName.GetString(), strName.GetString()));
        if (value.Find(TEXT('"')) >= 0)
            return fail(Say(TEXT("%s: a value cannot hold a quotation mark"), TEXT("%s：值中不能有引号"),
                            strName.GetString()));
        if (v.nChoice == CHOICE_MODEL) {
            m_choices.pModel = FindModel(value);
            if (m_choices.pModel == NULL)
                return fail(Say(TEXT("unknown model \"%s\" (the models: %s)"), TEXT("未知型号 \"%s\"（型号：%s）"),
                                value.GetString(), ModelList().GetString()));
        } else if (v.nChoice == CHOICE_SERIAL) {
            CString why;
            if (!CSerialChoice::Parse(value, m_choices.serial, why))
                return fail(Say(TEXT("bad serial settings \"%s\": %s"), TEXT("串口设置 \"%s\" 有误：%s"),
                                value.GetString(), why.GetString()));
            m_choices.bSerial = true;
        }
        if (v.nChoice != CHOICE_SERIAL) *v.pstrValue = value;
        m_nGiven |= v.nChoice;
        return true;
    }
    if (bFile)
        return fail(Say(TEXT("unknown key \"%s\" (the keys: Model, Port, Serial, Default, Replace)"),
                        TEXT("未知的键 \"%s\"（键：Model、Port、Serial、Default、Replace）"), strName.GetString()));
    return fail(Say(TEXT("unknown switch /%s (see /?)"), TEXT("未知开关 /%s（见 /?）"), strName.GetString()));
}

bool CCommandLine::Complete() {
    if (!m_strLoadInf.IsEmpty() && !ReadChoicesFile()) return false;
    if (m_choices.pModel == NULL) {
        m_strError = Say(TEXT("no model: give /model:NAME (%s)"), TEXT("未指定型号：请给出 /model:型号（%s）"),
                         ModelList().GetString());
        return false;
    }
    if (IsUsbChoice(m_choices.strPort)) m_choices.strPort.Empty();
    if (m_choices.bSerial) {
        CString port = Upper(m_choices.strPort);
        if (port.IsEmpty() || port.Find(TEXT("COM")) < 0 || port.Find(TEXT("USB")) >= 0) {
            m_strError = Say(TEXT("/serial sets a COM port: give /port:COMn: as well"),
                             TEXT("/serial 用于 COM 端口：请同时给出 /port:COMn:"));
            return false;
        }
    }
    return true;
}

bool CCommandLine::ReadChoicesFile() {
    CString where = m_strLoadInf;
    HANDLE hFile = CreateFileW(m_strLoadInf, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        m_strError = Say(TEXT("cannot read the choices file %s: %s"), TEXT("无法读取选择文件 %s：%s"), where.GetString(),
                         ErrorText(GetLastError()).GetString());
        return false;
    }
    const DWORD kLargest = 64 * 1024;  // a few lines; anything larger is not such a file
    DWORD dwSize = GetFileSize(hFile, NULL);
    std::vector<BYTE> bytes(dwSize <= kLargest ? dwSize : 0);
    DWORD dwRead = 0;
    bool bRead = dwSize <= kLargest && (dwSize == 0 || ReadFile(hFile, bytes.data(), dwSize, &dwRead, NULL)) &&
                 dwRead == dwSize;
    CloseHandle(hFile);
    if (!bRead) {
        m_strError = Say(TEXT("%s is not a choices file"), TEXT("%s 不是选择文件"), where.GetString());
        return false;
    }

    // UTF-16 with its byte-order mark (Notepad's "Unicode"), else UTF-8 with or without one.
    CString text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8));
    } else {
        size_t nSkip = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
        int nBytes = static_cast<int>(bytes.size() - nSkip);
        LPCSTR psz = reinterpret_cast<LPCSTR>(bytes.data() + nSkip);
        int nChars = nBytes > 0 ? MultiByteToWideChar(CP_UTF8, 0, psz, nBytes, NULL, 0) : 0;
        if (nChars > 0) {
            LPWSTR pBuffer = text.GetBufferSetLength(nChars);
            MultiByteToWideChar(CP_UTF8, 0, psz, nBytes, pBuffer, nChars);
            text.ReleaseBuffer(nChars);
        }
    }

    // A key the command line gave is skipped (the command line wins); one given twice in
    // the file is an error.
    m_nFromCommandLine = m_nGiven;
    bool bInSection = false;
    bool bSectionSeen = false;
    int nLine = 0;
    int iStart = 0;
    while (iStart <= text.GetLength()) {
        int iEnd = text.Find(TEXT('\n'), iStart);
        if (iEnd < 0) iEnd = text.GetLength();
        CString line = text.Mid(iStart, iEnd - iStart);
        iStart = iEnd + 1;
        ++nLine;
        line.Trim();
        if (line.IsEmpty() || line[0] == TEXT(';') || line[0] == TEXT('#')) continue;
        CString at;
        at.Format(TEXT("%s, line %d"), where.GetString(), nLine);
        if (line[0] == TEXT('[')) {
            bInSection = line.CompareNoCase(TEXT("[Drovan Setup]")) == 0;
            bSectionSeen = bSectionSeen || bInSection;
            continue;
        }
        if (!bInSection) continue;  // other programs' sections are theirs
        int nEquals = line.Find(TEXT('='));
        if (nEquals <= 0) {
            m_strError = at + TEXT(": ") + Say(TEXT("not a KEY=VALUE line"), TEXT("不是 键=值 的格式"));
            return false;
        }
        CString key = line.Left(nEquals);
        key.Trim();
        if (!Apply(key, line.Mid(nEquals + 1), true, at)) return false;
    }
    if (!bSectionSeen) {
        m_strError = Say(TEXT("%s has no [Drovan Setup] section"), TEXT("%s 中没有 [Drovan Setup] 节"), where.GetString());
        return false;
    }
    return true;
}

bool WriteChoicesFile(LPCWSTR pszPath, const CInstallChoices& choices, DWORD* pdwError) {
    CString text = TEXT("; Drovan Setup: the choices made in its wizard. Install the same on another computer with\r\n"
                        "; drovan.exe /quiet /loadinf:THIS-FILE\r\n[Drovan Setup]\r\n");
    text += CString(TEXT("Model=")) + choices.pModel->pszPrinterName + TEXT("\r\n");
    text += CString(TEXT("Port=")) + (choices.strPort.IsEmpty() ? CString(TEXT("USB")) : choices.strPort) + TEXT("\r\n");
    if (choices.bSerial) text += TEXT("Serial=") + choices.serial.Text() + TEXT("\r\n");
    text += CString(TEXT("Default=")) + (choices.bDefault ? TEXT("1") : TEXT("0")) + TEXT("\r\n");
    text += CString(TEXT("Replace=")) + (choices.bReplace ? TEXT("1") : TEXT("0")) + TEXT("\r\n");

    int nBytes = WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), NULL, 0, NULL, NULL);
    std::vector<char> utf8(static_cast<size_t>(nBytes) + 3);
    utf8[0] = static_cast<char>(0xEF);
    utf8[1] = static_cast<char>(0xBB);
    utf8[2] = static_cast<char>(0xBF);
    WideCharToMultiByte(CP_UTF8, 0, text, text.GetLength(), utf8.data() + 3, nBytes, NULL, NULL);

    HANDLE hFile = CreateFileW(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        if (pdwError) *pdwError = GetLastError();
        return false;
    }
    DWORD dwWritten = 0;
    BOOL bWritten = WriteFile(hFile, utf8.data(), static_cast<DWORD>(utf8.size()), &dwWritten, NULL);
    DWORD dwError = GetLastError();
    CloseHandle(hFile);
    if (!bWritten || dwWritten != utf8.size()) {
        const DWORD kDiskFull = 112;  // ERROR_DISK_FULL: a write cut short
        if (pdwError) *pdwError = bWritten ? kDiskFull : dwError;
        return false;
    }
    return true;
}
