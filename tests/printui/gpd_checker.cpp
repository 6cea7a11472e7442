#include "gpd_checker.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

namespace gpd {
namespace {

// ---- The language ---------------------------------------------------------------------

enum Where : unsigned {
    kRoot = 1,        // root level only
    kGeneral = 2,     // root level, or with EXTERN_GLOBAL in an option or a case
    kFeature = 4,
    kOption = 8,
    kCommand = 16,
    kStructure = 32,  // *Feature, *Option, *Command, *switch, *case, *default
};

enum class Type { kString, kInt, kPair, kBool, kSymbol, kList, kCmd, kOrder, kResource, kArgument };

struct Spec {
    unsigned where;
    Type type;
};

const std::map<std::string, Spec>& Keywords() {
    static const auto* keywords = new std::map<std::string, Spec>{
        // Root-level-only attributes.
        {"GPDSpecVersion", {kRoot, Type::kString}},
        {"GPDFileName", {kRoot, Type::kString}},
        {"GPDFileVersion", {kRoot, Type::kString}},
        {"ModelName", {kRoot, Type::kString}},
        {"rcModelNameID", {kRoot, Type::kResource}},
        {"MasterUnits", {kRoot, Type::kPair}},
        {"PrinterType", {kRoot, Type::kSymbol}},
        {"MaxCopies", {kRoot, Type::kInt}},
        {"ResourceDLL", {kRoot, Type::kString}},
        {"Include", {kRoot, Type::kString}},
        {"CodePage", {kRoot, Type::kInt}},
        {"FontCartSlots", {kRoot, Type::kInt}},
        {"HelpFile", {kRoot, Type::kString}},
        {"InstalledOptionName", {kRoot, Type::kString}},
        {"NotInstalledOptionName", {kRoot, Type::kString}},
        {"rcInstalledOptionNameID", {kRoot, Type::kResource}},
        {"rcNotInstalledOptionNameID", {kRoot, Type::kResource}},
        {"Personality", {kRoot, Type::kString}},
        {"rcPersonalityID", {kRoot, Type::kResource}},
        {"rcPrinterIconID", {kRoot, Type::kResource}},
        {"PrintRate", {kRoot, Type::kInt}},
        {"PrintRatePPM", {kRoot, Type::kInt}},
        {"PrintRateUnit", {kRoot, Type::kSymbol}},
        // General printing attributes: printer capabilities, cursor, raster emission.
        {"MemoryUsage", {kGeneral, Type::kList}},
        {"OEMCustomData", {kGeneral, Type::kString}},
        {"OutputOrderReversed?", {kGeneral, Type::kBool}},
        {"ReselectFont", {kGeneral, Type::kList}},
        {"ReverseBandOrderForEvenPages?", {kGeneral, Type::kBool}},
        {"RotateCoordinate?", {kGeneral, Type::kBool}},
        {"RotateFont?", {kGeneral, Type::kBool}},
        {"RotateRaster?", {kGeneral, Type::kBool}},
        {"TextCaps", {kGeneral, Type::kList}},
        {"AbsXMovesRightOnly?", {kGeneral, Type::kBool}},
        {"BadCursorMoveInGrxMode", {kGeneral, Type::kList}},
        {"CursorXAfterCR", {kGeneral, Type::kSymbol}},
        {"EjectPageWithFF?", {kGeneral, Type::kBool}},
        {"LineSpacingMoveUnit", {kGeneral, Type::kInt}},
        {"MaxLineSpacing", {kGeneral, Type::kInt}},
        {"UseSpaceForXMove?", {kGeneral, Type::kBool}},
        {"XMoveThreshold", {kGeneral, Type::kInt}},
        {"XMoveUnit", {kGeneral, Type::kInt}},
        {"YMoveAttributes", {kGeneral, Type::kList}},
        {"YMoveThreshold", {kGeneral, Type::kInt}},
        {"YMoveUnit", {kGeneral, Type::kInt}},
        {"CursorXAfterSendBlockData", {kGeneral, Type::kSymbol}},
        {"CursorYAfterSendBlockData", {kGeneral, Type::kSymbol}},
        {"MaxMultipleRowBytes", {kGeneral, Type::kInt}},
        {"MirrorRasterByte?", {kGeneral, Type::kBool}},
        {"MirrorRasterPage?", {kGeneral, Type::kBool}},
        {"MoveToX0BeforeSetColor?", {kGeneral, Type::kBool}},
        {"OptimizeLeftBound?", {kGeneral, Type::kBool}},
        {"OutputDataFormat", {kGeneral, Type::kSymbol}},
        {"PreAnalysisOptions", {kGeneral, Type::kInt}},
        {"RasterSendAllData?", {kGeneral, Type::kBool}},
        {"SendMultipleRows?", {kGeneral, Type::kBool}},
        {"StripBlanks", {kGeneral, Type::kList}},
        {"UseExpColorSelectCmd?", {kGeneral, Type::kBool}},
        // Feature and option attributes.
        {"Name", {kFeature | kOption, Type::kString}},
        {"rcNameID", {kFeature | kOption, Type::kResource}},
        {"rcIconID", {kFeature | kOption, Type::kResource}},
        {"HelpIndex", {kFeature | kOption, Type::kInt}},
        {"Installable?", {kFeature | kOption, Type::kBool}},
        {"InstallableFeatureName", {kFeature | kOption, Type::kString}},
        {"rcInstallableFeatureNameID", {kFeature | kOption, Type::kResource}},
        {"DefaultOption", {kFeature, Type::kSymbol}},
        {"FeatureType", {kFeature, Type::kSymbol}},
        {"ConcealFromUI?", {kFeature, Type::kBool}},
        {"ConflictPriority", {kFeature, Type::kInt}},
        {"UpdateQualityMacro?", {kFeature, Type::kBool}},
        {"OptionID", {kOption, Type::kInt}},
        {"DisabledFeatures", {kOption, Type::kList}},
        {"PageDimensions", {kOption, Type::kPair}},
        {"PrintableArea", {kOption, Type::kPair}},
        {"PrintableOrigin", {kOption, Type::kPair}},
        {"CursorOrigin", {kOption, Type::kPair}},
        {"MinSize", {kOption, Type::kPair}},
        {"MaxSize", {kOption, Type::kPair}},
        {"MaxPrintableWidth", {kOption, Type::kInt}},
        {"MinLeftMargin", {kOption, Type::kInt}},
        {"CenterPrintable?", {kOption, Type::kBool}},
        {"TopMargin", {kOption, Type::kInt}},
        {"BottomMargin", {kOption, Type::kInt}},
        {"CustCursorOriginX", {kOption, Type::kArgument}},
        {"CustCursorOriginY", {kOption, Type::kArgument}},
        {"CustPrintableOriginX", {kOption, Type::kArgument}},
        {"CustPrintableOriginY", {kOption, Type::kArgument}},
        {"CustPrintableSizeX", {kOption, Type::kArgument}},
        {"CustPrintableSizeY", {kOption, Type::kArgument}},
        {"PageProtectMem", {kOption, Type::kInt}},
        {"RotateSize?", {kOption, Type::kBool}},
        {"DPI", {kOption, Type::kPair}},
        {"TextDPI", {kOption, Type::kPair}},
        {"SpotDiameter", {kOption, Type::kInt}},
        {"MinStripBlankPixels", {kOption, Type::kInt}},
        {"PinsPerLogPass", {kOption, Type::kInt}},
        {"PinsPerPhysPass", {kOption, Type::kInt}},
        {"RequireUniDir?", {kOption, Type::kBool}},
        {"DevNumOfPlanes", {kOption, Type::kInt}},
        {"DevBPP", {kOption, Type::kInt}},
        {"DrvBPP", {kOption, Type::kInt}},
        {"IPCallbackID", {kOption, Type::kInt}},
        {"Color?", {kOption, Type::kBool}},
        {"PaletteSize", {kOption, Type::kInt}},
        {"PaletteProgrammable?", {kOption, Type::kBool}},
        // Command attributes.
        {"Cmd", {kCommand, Type::kCmd}},
        {"Order", {kCommand, Type::kOrder}},
        {"CallbackID", {kCommand, Type::kInt}},
        {"Params", {kCommand, Type::kList}},
        {"NoPageEject?", {kCommand, Type::kBool}},
        // Entries with bodies.
        {"Feature", {kStructure, Type::kSymbol}},
        {"Option", {kStructure, Type::kSymbol}},
        {"Command", {kStructure, Type::kSymbol}},
        {"switch", {kStructure, Type::kSymbol}},
        {"case", {kStructure, Type::kSymbol}},
        {"default", {kStructure, Type::kSymbol}},
    };
    return *keywords;
}

// Commands Unidrv sends at times of its own choosing; those of kOrdered are the
// configuration commands, sent where *Order says.
const std::set<std::string> kOrdered = {"CmdStartJob", "CmdStartDoc", "CmdStartPage", "CmdEndPage",
                                        "CmdEndDoc", "CmdEndJob", "CmdCopies", "CmdSleepTimeOut"};
const std::set<std::string> kCommands = {
    "CmdBackSpace", "CmdCR", "CmdFF", "CmdLF", "CmdPopCursor", "CmdPushCursor", "CmdSetAnyRotation",
    "CmdSetLineSpacing", "CmdSetSimpleRotation", "CmdUniDirectionOff", "CmdUniDirectionOn",
    "CmdXMoveAbsolute", "CmdXMoveRelLeft", "CmdXMoveRelRight", "CmdYMoveAbsolute", "CmdYMoveRelDown",
    "CmdYMoveRelUp", "CmdBeginRaster", "CmdEndRaster", "CmdSetDestBmpHeight", "CmdSetDestBmpWidth",
    "CmdSetSrcBmpHeight", "CmdSetSrcBmpWidth", "CmdSendBlockData", "CmdEndBlockData",
    "CmdSendBlackData", "CmdSendBlueData", "CmdSendCyanData", "CmdSendGreenData", "CmdSendMagentaData",
    "CmdSendRedData", "CmdSendYellowData", "CmdEnableDRC", "CmdEnableTIFF4", "CmdEnableFE_RLE",
    "CmdDisableCompression", "CmdDefinePaletteEntry", "CmdSelectPaletteEntry"};
const std::set<std::string> kRequiredCommands = {"CmdCR", "CmdLF", "CmdFF", "CmdSendBlockData"};
const std::set<std::string> kSections = {"JOB_SETUP", "DOC_SETUP", "PAGE_SETUP",
                                         "PAGE_FINISH", "DOC_FINISH", "JOB_FINISH"};
const std::set<std::string> kVariables = {
    "BlueValue", "CurrentFontID", "CurrentPaletteIndex", "CursorOriginX", "CursorOriginY", "DestX",
    "DestXRel", "DestY", "DestYRel", "FontBold", "FontHeight", "FontItalic", "FontMaxWidth",
    "FontStrikeThru", "FontUnderLine", "FontWidth", "GraphicsXRes", "GraphicsYRes", "GrayPercentage",
    "GreenValue", "LinefeedSpacing", "NextFontID", "NextGlyph", "NumOfCopies", "NumOfDataBytes",
    "PageNumber", "PaletteIndexToProgram", "PatternBrushID", "PatternBrushSize", "PatternBrushType",
    "PhysPaperLength", "PhysPaperWidth", "PrintDirInCCDegrees", "RasterDataHeightInPixels",
    "RasterDataWidthInBytes", "RectXSize", "RectYSize", "RedValue", "TextXRes", "TextYRes"};
// Macros of the system's StdNames.gpd that our files may use.
const std::set<std::string> kStdNames = {
    "ORIENTATION_DISPLAY", "PORTRAIT_DISPLAY", "LANDSCAPE_DISPLAY", "PAPER_SOURCE_DISPLAY",
    "AUTO_DISPLAY", "UPPER_TRAY_DISPLAY", "RESOLUTION_DISPLAY", "DOTS_PER_INCH", "PAPER_SIZE_DISPLAY",
    "RCID_DMPAPER_SYSTEM_NAME", "MEDIA_TYPE_DISPLAY", "PLAIN_PAPER_DISPLAY", "TRANSPARENCY_DISPLAY",
    "COLOR_PRINTING_MODE_DISPLAY", "MONO_DISPLAY", "COLOR_DISPLAY", "HALFTONING_DISPLAY",
    "HT_AUTO_SELECT_DISPLAY", "HT_SUPERCELL_DISPLAY", "HT_DITHER6X6_DISPLAY", "HT_DITHER8X8_DISPLAY",
    "TWO_SIDED_PRINTING_DISPLAY", "NONE_DISPLAY", "FLIP_ON_LONG_EDGE_DISPLAY",
    "FLIP_ON_SHORT_EDGE_DISPLAY", "LETTERSMALL_DISPLAY"};
// The standard paper sizes whose dimensions Unidrv knows.
const std::set<std::string> kStandardPapers = {"LETTER", "LEGAL", "A3", "A4", "A5", "A6", "B4", "B5",
                                               "EXECUTIVE", "TABLOID", "LEDGER", "STATEMENT", "FOLIO",
                                               "QUARTO", "NOTE", "ENV_10", "ENV_DL", "ENV_C5",
                                               "ENV_MONARCH"};
const std::set<std::string> kRequiredFeatures = {"PaperSize", "Resolution", "InputBin", "Orientation"};

// ---- Reading --------------------------------------------------------------------------

struct Entry {
    std::string keyword;
    std::string value;
    int line = 0;
    bool externGlobal = false;
    bool hasBody = false;
    std::vector<Entry> children;
};

class Reader {
public:
    Reader(std::string_view text, std::vector<Problem>* problems) : m_text(text), m_problems(problems) {}

    std::vector<Entry> Read() {
        std::vector<Entry> root;
        std::vector<Entry*> open;
        Entry* last = nullptr;
        bool externGlobal = false;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos];
            if (c == '\n') {
                NewLine();
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++m_pos;
                continue;
            }
            if (Starts("*%")) {
                if (!m_lineHasContent) m_commentLines.insert(m_line);
                SkipLine();
                continue;
            }
            m_lineHasContent = true;
            if (c == '{') {
                if (!last || last->hasBody) {
                    Add(m_line, "a '{' that opens the body of no entry");
                } else {
                    last->hasBody = true;
                    open.push_back(last);
                }
                last = nullptr;
                ++m_pos;
            } else if (c == '}') {
                if (open.empty())
                    Add(m_line, "a '}' that closes nothing");
                else
                    open.pop_back();
                last = nullptr;
                ++m_pos;
            } else if (Starts("EXTERN_GLOBAL")) {
                m_pos += 13;
                SkipBlanks();
                if (!Starts(":")) Add(m_line, "EXTERN_GLOBAL needs a ':'");
                else ++m_pos;
                externGlobal = true;
            } else if (c == '*') {
                Entry e;
                e.line = m_line;
                e.externGlobal = externGlobal;
                externGlobal = false;
                ++m_pos;
                while (m_pos < m_text.size() &&
                       (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_' ||
                        m_text[m_pos] == '?'))
                    e.keyword += m_text[m_pos++];
                SkipBlanks();
                if (e.keyword.empty() || !Starts(":")) {
                    Add(m_line, "an entry must be \"*Keyword: value\"" +
                                    (e.keyword.empty() ? std::string() : " (*" + e.keyword + ")"));
                    SkipLine();
                    continue;
                }
                ++m_pos;
                e.value = ReadValue();
                auto& level = open.empty() ? root : open.back()->children;
                level.push_back(std::move(e));
                last = &level.back();
            } else {
                Add(m_line, "text that is no entry: \"" + std::string(m_text.substr(m_pos, 20)) + "\"");
                SkipLine();
            }
        }
        for (const Entry* e : open)
            Add(e->line, "the '{' of *" + e->keyword + ": " + e->value + " is never closed");
        return root;
    }

    const std::set<int>& CommentLines() const { return m_commentLines; }

private:
    bool Starts(std::string_view s) const { return m_text.substr(m_pos, s.size()) == s; }
    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
    }
    void SkipLine() {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
    }
    void NewLine() {
        ++m_pos;
        ++m_line;
        m_lineHasContent = false;
    }
    void Add(int line, std::string message) { m_problems->push_back({line, std::move(message)}); }

    // The value runs to the end of the line, a brace or a comment; quoted text and the
    // braces of command arguments (%d{...}) are its own. A line starting with '+'
    // continues it.
    std::string ReadValue() {
        std::string value;
        int parens = 0;
        for (;;) {
            while (m_pos < m_text.size()) {
                char c = m_text[m_pos];
                if (c == '\n' || c == '\r') break;
                if (c == '"') {
                    size_t end = m_text.find('"', m_pos + 1);
                    size_t eol = m_text.find('\n', m_pos + 1);
                    if (end == std::string_view::npos || (eol != std::string_view::npos && end > eol)) {
                        Add(m_line, "a quoted text is not closed on its line");
                        SkipLine();
                        break;
                    }
                    value.append(m_text.substr(m_pos, end + 1 - m_pos));
                    m_pos = end + 1;
                    continue;
                }
                if (c == '%') {
                    size_t open = m_text.find('{', m_pos);
                    size_t close = open == std::string_view::npos ? open : m_text.find('}', open);
                    size_t eol = m_text.find('\n', m_pos);
                    if (close == std::string_view::npos || (eol != std::string_view::npos && close > eol)) {
                        Add(m_line, "a command argument has no {expression}");
                        SkipLine();
                        break;
                    }
                    value.append(m_text.substr(m_pos, close + 1 - m_pos));
                    m_pos = close + 1;
                    continue;
                }
                if (c == '(') ++parens;
                if (c == ')') --parens;
                if (parens == 0 && (c == '{' || c == '}')) break;
                if (Starts("*%")) break;
                value += c;
                ++m_pos;
            }
            // A continuation line?
            size_t next = m_pos;
            while (next < m_text.size() && (m_text[next] == '\r')) ++next;
            if (next < m_text.size() && m_text[next] == '\n') {
                size_t first = next + 1;
                while (first < m_text.size() && (m_text[first] == ' ' || m_text[first] == '\t')) ++first;
                if (first < m_text.size() && m_text[first] == '+') {
                    m_pos = first + 1;
                    ++m_line;
                    value += ' ';
                    continue;
                }
            }
            break;
        }
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
        size_t start = value.find_first_not_of(" \t");
        return start == std::string::npos ? std::string() : value.substr(start);
    }

    std::string_view m_text;
    std::vector<Problem>* m_problems;
    size_t m_pos = 0;
    int m_line = 1;
    bool m_lineHasContent = false;
    std::set<int> m_commentLines;
};

// ---- Values ---------------------------------------------------------------------------

std::optional<long> Integer(std::string_view s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    long v = 0;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return std::nullopt;
    for (; i < s.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return s[0] == '-' ? -v : v;
}

std::string Trim(std::string_view s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string_view::npos ? std::string() : std::string(s.substr(a, b - a + 1));
}

// "NAME(a, b)": the parts, or nullopt.
std::optional<std::vector<std::string>> Call(std::string_view value, std::string_view name) {
    if (value.substr(0, name.size()) != name) return std::nullopt;
    std::string_view rest = value.substr(name.size());
    size_t a = rest.find_first_not_of(" \t");
    if (a == std::string_view::npos || rest[a] != '(' || rest.back() != ')') return std::nullopt;
    std::string_view inner = rest.substr(a + 1, rest.size() - a - 2);
    std::vector<std::string> parts;
    if (Trim(inner).empty()) return parts;
    size_t start = 0;
    for (;;) {
        size_t comma = inner.find(',', start);
        parts.push_back(Trim(inner.substr(start, comma == std::string_view::npos ? inner.npos : comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return parts;
}

std::optional<std::pair<long, long>> Pair(std::string_view value) {
    auto parts = Call(value, "PAIR");
    if (!parts || parts->size() != 2) return std::nullopt;
    auto x = Integer((*parts)[0]), y = Integer((*parts)[1]);
    if (!x || !y) return std::nullopt;
    return std::make_pair(*x, *y);
}

bool IsSymbol(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
    return true;
}

class Values {
public:
    Values(std::vector<Problem>* problems, std::set<std::string>* macros)
        : m_problems(problems), m_macros(macros) {}

    // A quoted string: its bytes (hex groups decoded), or nullopt.
    std::optional<std::string> Quoted(std::string_view s, int line) {
        std::string out;
        for (size_t i = 1; i + 1 < s.size(); ++i) {
            if (s[i] == '<') {
                size_t end = s.find('>', i);
                if (end == std::string_view::npos || end > s.size() - 2) {
                    Bad(line, "a '<' of hex bytes is not closed");
                    return std::nullopt;
                }
                std::string hex;
                for (size_t j = i + 1; j < end; ++j)
                    if (s[j] != ' ') hex += s[j];
                if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                    Bad(line, "<" + hex + "> is not a whole number of hex bytes");
                    return std::nullopt;
                }
                for (size_t j = 0; j < hex.size(); j += 2)
                    out += static_cast<char>(std::stoi(hex.substr(j, 2), nullptr, 16));
                i = end;
            } else {
                out += s[i];
            }
        }
        return out;
    }

    // Strings and =MACRO references, one after another.
    bool Text(std::string_view value, int line, bool allowMacros) {
        size_t i = 0;
        bool any = false;
        while (i < value.size()) {
            if (value[i] == ' ' || value[i] == '\t') {
                ++i;
            } else if (value[i] == '"') {
                size_t end = value.find('"', i + 1);
                if (!Quoted(value.substr(i, end + 1 - i), line)) return false;
                i = end + 1;
                any = true;
            } else if (value[i] == '=' && allowMacros) {
                size_t end = value.find_first_of(" \t\"", i + 1);
                Macro(std::string(value.substr(i + 1, end == std::string_view::npos ? value.npos : end - i - 1)), line);
                i = end == std::string_view::npos ? value.size() : end;
                any = true;
            } else {
                return Bad(line, "\"" + std::string(value) + "\" is not a quoted text");
            }
        }
        if (!any) return Bad(line, "the entry has no value");
        return true;
    }

    void Macro(const std::string& name, int line) {
        m_macros->insert(name);
        if (!kStdNames.count(name)) Bad(line, "=" + name + " is no macro of StdNames.gpd");
    }

    // A command string: quoted texts and %-arguments. Returns the number of literal
    // bytes and arguments it sends.
    std::optional<size_t> Command(std::string_view value, int line) {
        size_t sent = 0, i = 0;
        while (i < value.size()) {
            char c = value[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == '"') {
                size_t end = value.find('"', i + 1);
                auto bytes = Quoted(value.substr(i, end + 1 - i), line);
                if (!bytes) return std::nullopt;
                sent += bytes->size();
                i = end + 1;
            } else if (c == '%') {
                size_t close = value.find('}', i);
                if (!Argument(value.substr(i, close + 1 - i), line)) return std::nullopt;
                ++sent;
                i = close + 1;
            } else {
                Bad(line, "command text \"" + std::string(value.substr(i)) + "\" is neither quoted nor an argument");
                return std::nullopt;
            }
        }
        return sent;
    }

    // %[digits]T[[min,max]]{expression}
    bool Argument(std::string_view a, int line) {
        size_t i = 1;
        while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i]))) ++i;
        if (i >= a.size() || std::string("dDcCfglmnqv").find(a[i]) == std::string::npos)
            return Bad(line, "\"" + std::string(a) + "\": unknown argument type");
        ++i;
        if (i < a.size() && a[i] == '[') {
            size_t end = a.find(']', i);
            auto range = end == std::string_view::npos ? std::nullopt
                                                       : Call("R(" + std::string(a.substr(i + 1, end - i - 1)) + ")", "R");
            if (!range || range->size() != 2 || !Integer((*range)[0]) || !Integer((*range)[1]))
                return Bad(line, "\"" + std::string(a) + "\": the range must be [min,max]");
            i = end + 1;
        }
        if (i >= a.size() || a[i] != '{' || a.back() != '}')
            return Bad(line, "\"" + std::string(a) + "\": the argument needs an {expression}");
        return Expression(a.substr(i + 1, a.size() - i - 2), line);
    }

    bool Expression(std::string_view e, int line) {
        int depth = 0;
        size_t i = 0;
        bool operand = false;
        while (i < e.size()) {
            char c = e[i];
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t end = i;
                while (end < e.size() && (std::isalnum(static_cast<unsigned char>(e[end])) || e[end] == '_')) ++end;
                std::string word(e.substr(i, end - i));
                bool function = word == "max" || word == "min" || word == "max_repeat";
                if (!function && word != "MOD" && !kVariables.count(word))
                    return Bad(line, word + " is no standard variable");
                operand = !function && word != "MOD";
                i = end;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                while (i < e.size() && std::isdigit(static_cast<unsigned char>(e[i]))) ++i;
                operand = true;
            } else if (c == '(' || c == ')') {
                depth += c == '(' ? 1 : -1;
                if (depth < 0) break;
                ++i;
            } else if (std::string(" \t+-*/,").find(c) != std::string::npos) {
                ++i;
            } else {
                return Bad(line, "'" + std::string(1, c) + "' in the expression {" + std::string(e) + "}");
            }
        }
        if (depth != 0 || !operand)
            return Bad(line, "the expression {" + std::string(e) + "} is incomplete");
        return true;
    }

    bool Check(const Entry& e, Type type) {
        const std::string& v = e.value;
        switch (type) {
            case Type::kString: return Text(v, e.line, true);
            case Type::kInt:
                return Integer(v).has_value() || Bad(e.line, "*" + e.keyword + " needs a number, not \"" + v + "\"");
            case Type::kPair:
                return Pair(v).has_value() || Bad(e.line, "*" + e.keyword + " needs PAIR(x, y), not \"" + v + "\"");
            case Type::kBool:
                return v == "TRUE" || v == "FALSE" ||
                       Bad(e.line, "*" + e.keyword + " needs TRUE or FALSE, not \"" + v + "\"");
            case Type::kSymbol:
                return IsSymbol(v) || Bad(e.line, "*" + e.keyword + " needs a name, not \"" + v + "\"");
            case Type::kList: {
                auto parts = Call(v, "LIST");
                if (!parts) return Bad(e.line, "*" + e.keyword + " needs LIST(...), not \"" + v + "\"");
                for (const auto& p : *parts)
                    if (!IsSymbol(p)) return Bad(e.line, "\"" + p + "\" in the LIST is no name");
                return true;
            }
            case Type::kCmd: return Command(v, e.line).has_value();
            case Type::kOrder: {
                size_t dot = v.find('.');
                if (dot == std::string::npos || !kSections.count(v.substr(0, dot)) || !Integer(v.substr(dot + 1)))
                    return Bad(e.line, "*Order \"" + v + "\" is not SECTION.number with a section of the job");
                return true;
            }
            case Type::kResource:
                if (!v.empty() && v[0] == '=') {
                    Macro(v.substr(1), e.line);
                    return true;
                }
                return Integer(v).has_value() || Bad(e.line, "*" + e.keyword + " needs a resource ID");
            case Type::kArgument: return v.size() > 1 && v[0] == '%' && Argument(v, e.line);
        }
        return true;
    }

private:
    bool Bad(int line, std::string message) {
        m_problems->push_back({line, std::move(message)});
        return false;
    }

    std::vector<Problem>* m_problems;
    std::set<std::string>* m_macros;
};

// ---- Checking -------------------------------------------------------------------------

class Checker {
public:
    Checker(std::vector<Problem>* problems, const std::set<int>& comments)
        : m_problems(problems), m_comments(comments), m_values(problems, &m_macros) {}

    void Run(const std::vector<Entry>& root, std::string_view fileName) {
        Level(root, kRoot | kGeneral, nullptr, nullptr, nullptr);
        std::map<std::string, const Entry*> rootValues;
        for (const auto& e : root) rootValues.emplace(e.keyword, &e);
        for (const char* required : {"GPDSpecVersion", "GPDFileName", "MasterUnits", "PrinterType"})
            if (!rootValues.count(required)) Add(0, std::string("the required root entry *") + required + " is missing");
        if (!rootValues.count("ModelName") && !rootValues.count("rcModelNameID"))
            Add(0, "the required root entry *ModelName is missing");
        if (auto it = rootValues.find("GPDSpecVersion"); it != rootValues.end() && it->second->value != "\"1.0\"")
            Add(it->second->line, "*GPDSpecVersion must be \"1.0\"");
        if (auto it = rootValues.find("GPDFileName"); it != rootValues.end()) {
            std::string name = it->second->value.size() > 1 ? it->second->value.substr(1, it->second->value.size() - 2) : "";
            if (!EqualNoCase(name, fileName))
                Add(it->second->line, "*GPDFileName \"" + name + "\" is not the file's name, " + std::string(fileName));
        }
        if (auto it = rootValues.find("PrinterType"); it != rootValues.end()) {
            const std::string& t = it->second->value;
            if (t != "PAGE" && t != "SERIAL" && t != "TTY") Add(it->second->line, "*PrinterType must be PAGE, SERIAL or TTY");
        }
        if (auto it = rootValues.find("MasterUnits"); it != rootValues.end())
            if (auto p = Pair(it->second->value); p && p->first > 0 && p->second > 0) m_masterUnits = *p;
        bool standardNames = false;
        for (const auto& e : root)
            if (e.keyword == "Include") {
                if (EqualNoCase(e.value, "\"StdNames.gpd\"")) standardNames = true;
                else Add(e.line, "*Include " + e.value + " is none of the system's GPD files (StdNames.gpd)");
            }
        if (!standardNames)
            Add(0, "the file does not *Include the system's standard names, StdNames.gpd" +
                       std::string(m_macros.empty() ? "" : ", which its =NAME macros need"));
        for (const auto& f : kRequiredFeatures)
            if (!m_features.count(f)) Add(0, "the feature *Feature: " + f + " is missing");
        for (const auto& c : kRequiredCommands)
            if (!m_rootCommands.count(c)) Add(0, "the command *Command: " + c + " is missing");
        for (const auto& [name, feature] : m_features) CheckFeature(name, *feature);
        for (const auto& [line, feature, option] : m_switches) {
            auto it = m_features.find(feature);
            if (it == m_features.end()) Add(line, "*switch: " + feature + " names no feature");
            else if (!option.empty() && !HasOption(*it->second, option))
                Add(line, "*case: " + option + " is no option of " + feature);
        }
    }

private:
    static bool EqualNoCase(std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    }

    static bool HasOption(const Entry& feature, const std::string& option) {
        for (const auto& c : feature.children)
            if (c.keyword == "Option" && c.value == option) return true;
        return false;
    }

    void Add(int line, std::string message) { m_problems->push_back({line, std::move(message)}); }

    // The entries of one level. allowed: the Where bits its attributes may have.
    void Level(const std::vector<Entry>& entries, unsigned allowed, const Entry* feature, const Entry* option,
               const Entry* switched) {
        for (const auto& e : entries) {
            auto it = Keywords().find(e.keyword);
            if (it == Keywords().end()) {
                Add(e.line, "*" + e.keyword + " is no GPD keyword");
                continue;
            }
            const Spec& spec = it->second;
            bool inOption = (allowed & kOption) != 0;
            if (spec.where & kGeneral) {
                if (!(allowed & kGeneral) && !(inOption && e.externGlobal))
                    Add(e.line, "*" + e.keyword + " belongs at the root, or after EXTERN_GLOBAL in an option");
            } else if (e.externGlobal) {
                Add(e.line, "EXTERN_GLOBAL is only for general attributes, not *" + e.keyword);
            } else if (spec.where != kStructure && !(spec.where & allowed)) {
                Add(e.line, "*" + e.keyword + " does not belong " + Place(allowed));
            }
            m_values.Check(e, spec.type);
            if (spec.where == kStructure) Structure(e, allowed, feature, option, switched);
            else if (e.hasBody) Add(e.line, "*" + e.keyword + " takes no body in braces");
        }
    }

    static std::string Place(unsigned allowed) {
        if (allowed & kRoot) return "at the root";
        if (allowed & kFeature) return "in a *Feature";
        if (allowed & kOption) return "in an *Option";
        if (allowed & kCommand) return "in a *Command";
        return "here";
    }

    void Structure(const Entry& e, unsigned allowed, const Entry* feature, const Entry* option, const Entry* switched) {
        const std::string& k = e.keyword;
        auto needBody = [&] {
            if (!e.hasBody) Add(e.line, "*" + k + ": " + e.value + " needs a body in braces");
        };
        if (k == "Feature") {
            if (!(allowed & kRoot)) Add(e.line, "*Feature belongs at the root");
            needBody();
            if (!m_features.emplace(e.value, &e).second) Add(e.line, "the feature " + e.value + " is defined twice");
            Level(e.children, kFeature, &e, nullptr, nullptr);
        } else if (k == "Option") {
            if (!(allowed & kFeature)) Add(e.line, "*Option belongs in a *Feature");
            needBody();
            Level(e.children, kOption, feature, &e, nullptr);
        } else if (k == "Command") {
            if (!(allowed & (kRoot | kOption))) Add(e.line, "*Command does not belong " + Place(allowed));
            needBody();
            CheckCommand(e, option ? feature : nullptr);
            Level(e.children, kCommand, feature, option, nullptr);
        } else if (k == "switch") {
            if (allowed & (kFeature | kCommand)) Add(e.line, "*switch does not belong " + Place(allowed));
            needBody();
            for (const auto& c : e.children) {
                if (c.keyword != "case" && c.keyword != "default") {
                    Add(c.line, "a *switch holds only *case and *default, not *" + c.keyword);
                    continue;
                }
                if (c.keyword == "case") m_switches.push_back({c.line, e.value, c.value});
                if (!c.hasBody) Add(c.line, "*" + c.keyword + " needs a body in braces");
                Level(c.children, allowed, feature, option, &e);
            }
            m_switches.push_back({e.line, e.value, ""});
        } else {
            Add(e.line, "*" + k + " belongs in a *switch");
        }
        (void)switched;
    }

    void CheckCommand(const Entry& command, const Entry* feature) {
        const std::string& name = command.value;
        bool select = name == "CmdSelect";
        if (select && !feature) Add(command.line, "CmdSelect belongs in an *Option");
        if (!select && feature) Add(command.line, name + " belongs at the root, not in an *Option");
        if (!select && !kOrdered.count(name) && !kCommands.count(name))
            Add(command.line, name + " is no GPD command");
        if (!feature) m_rootCommands.insert(name);
        const Entry* cmd = nullptr;
        const Entry* order = nullptr;
        for (const auto& c : command.children) {
            if (c.keyword == "Cmd") cmd = &c;
            if (c.keyword == "Order") order = &c;
        }
        bool callback = std::any_of(command.children.begin(), command.children.end(),
                                    [](const Entry& c) { return c.keyword == "CallbackID"; });
        if (!cmd && !callback) Add(command.line, name + " has neither *Cmd nor *CallbackID");
        bool ordered = select || kOrdered.count(name);
        if (ordered && !order) Add(command.line, name + " needs an *Order");
        if (!ordered && order) Add(order->line, name + " is sent when Unidrv needs it and takes no *Order");
        if (order) {
            std::string owner = select ? "feature " + feature->value : "command " + name;
            auto [it, added] = m_orders.emplace(order->value, owner);
            if (!added && it->second != owner)
                Add(order->line, "*Order " + order->value + " is taken by " + it->second + " as well");
        }
        if (cmd) {
            std::vector<Problem> ignored;  // syntax is reported by Level
            std::set<std::string> none;
            Values quiet(&ignored, &none);
            auto sent = quiet.Command(cmd->value, cmd->line);
            bool explained = m_comments.count(cmd->line - 1) || m_comments.count(command.line - 1);
            if (sent && *sent > 0 && !explained)
                Add(cmd->line, name + " sends bytes without a \"*%\" comment above it saying which and why");
        }
    }

    void CheckFeature(const std::string& name, const Entry& feature) {
        std::vector<const Entry*> options;
        const Entry* defaultOption = nullptr;
        bool named = false;
        for (const auto& c : feature.children) {
            if (c.keyword == "Option") options.push_back(&c);
            if (c.keyword == "DefaultOption") defaultOption = &c;
            if (c.keyword == "Name" || c.keyword == "rcNameID") named = true;
        }
        if (!named) Add(feature.line, "the feature " + name + " has neither *Name nor *rcNameID");
        if (options.empty()) Add(feature.line, "the feature " + name + " has no *Option");
        if (defaultOption && !HasOption(feature, defaultOption->value))
            Add(defaultOption->line, "*DefaultOption " + defaultOption->value + " is no option of " + name);
        std::set<std::string> seen;
        for (const Entry* o : options) {
            if (!seen.insert(o->value).second) Add(o->line, "the option " + o->value + " of " + name + " is defined twice");
            std::map<std::string, const Entry*> attrs;
            for (const auto& c : o->children) attrs.emplace(c.keyword, &c);
            if (!attrs.count("Name") && !attrs.count("rcNameID"))
                Add(o->line, "the option " + o->value + " of " + name + " has neither *Name nor *rcNameID");
            if (name == "PaperSize") CheckPaper(*o, attrs);
            if (name == "Resolution") CheckResolution(*o, attrs);
        }
    }

    std::optional<std::pair<long, long>> PairOf(const std::map<std::string, const Entry*>& attrs, const char* key) {
        auto it = attrs.find(key);
        return it == attrs.end() ? std::nullopt : Pair(it->second->value);
    }

    void CheckPaper(const Entry& o, const std::map<std::string, const Entry*>& attrs) {
        if (o.value == "CUSTOMSIZE") {
            for (const char* k : {"MinSize", "MaxSize", "MaxPrintableWidth"})
                if (!attrs.count(k)) Add(o.line, std::string("CUSTOMSIZE needs *") + k);
            return;
        }
        for (const char* k : {"PrintableArea", "PrintableOrigin"})
            if (!attrs.count(k)) Add(o.line, "the paper size " + o.value + " needs *" + k);
        auto page = PairOf(attrs, "PageDimensions");
        if (!page) {
            if (!kStandardPapers.count(o.value))
                Add(o.line, "the paper size " + o.value + " is not a standard one and needs *PageDimensions");
            return;
        }
        auto area = PairOf(attrs, "PrintableArea"), origin = PairOf(attrs, "PrintableOrigin"),
             cursor = PairOf(attrs, "CursorOrigin");
        if (area && origin &&
            (origin->first < 0 || origin->second < 0 || origin->first + area->first > page->first ||
             origin->second + area->second > page->second))
            Add(o.line, "the printable area of " + o.value + " does not fit its page");
        if (cursor && (cursor->first < 0 || cursor->second < 0 || cursor->first > page->first ||
                       cursor->second > page->second))
            Add(o.line, "the cursor origin of " + o.value + " lies off its page");
    }

    void CheckResolution(const Entry& o, const std::map<std::string, const Entry*>& attrs) {
        for (const char* k : {"DPI", "TextDPI", "SpotDiameter"})
            if (!attrs.count(k)) Add(o.line, "the resolution " + o.value + " needs *" + k);
        auto dpi = PairOf(attrs, "DPI"), text = PairOf(attrs, "TextDPI");
        if (!dpi || !text || dpi->first <= 0 || dpi->second <= 0) return;
        if (m_masterUnits.first % dpi->first || m_masterUnits.second % dpi->second)
            Add(o.line, "the resolution " + o.value + " does not divide the master units");
        for (auto [t, d] : {std::pair{text->first, dpi->first}, std::pair{text->second, dpi->second}}) {
            long ratio = t % d == 0 ? t / d : 0;
            if (ratio <= 0 || (ratio & (ratio - 1)) != 0)
                Add(o.line, "*TextDPI of " + o.value + " must be *DPI times a power of two");
        }
    }

    std::vector<Problem>* m_problems;
    const std::set<int>& m_comments;
    std::set<std::string> m_macros;
    Values m_values;
    std::map<std::string, const Entry*> m_features;
    std::set<std::string> m_rootCommands;
    std::map<std::string, std::string> m_orders;  // "JOB_SETUP.1" -> its owner
    std::vector<std::tuple<int, std::string, std::string>> m_switches;  // line, feature, case
    std::pair<long, long> m_masterUnits{1, 1};
};

}  // namespace

std::vector<Problem> Check(std::string_view text, std::string_view fileName) {
    std::vector<Problem> problems;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.substr(0, 15) != "*GPDSpecVersion")
        problems.push_back({1, "*GPDSpecVersion must be the file's first entry, before any comment"});
    Reader reader(text, &problems);
    std::vector<Entry> root = reader.Read();
    Checker checker(&problems, reader.CommentLines());
    checker.Run(root, fileName);
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    return problems;
}

std::string Describe(const std::vector<Problem>& problems) {
    std::string out;
    for (const auto& p : problems)
        out += (p.line ? "line " + std::to_string(p.line) + ": " : std::string()) + p.message + "\n";
    return out;
}

}  // namespace gpd
