#include "printui_command.h"

#include "platform/win32.h"
#include "printui_host.h"

namespace printui {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool Bad(Failure* failure, std::string message) {
    *failure = {ERROR_INVALID_PARAMETER, std::move(message)};
    return false;
}

}  // namespace

std::optional<Rundll32Call> ParseRundll32(std::u16string_view line, Failure* failure) {
    size_t i = 0, n = line.size();
    // The program's own name.
    if (i < n && line[i] == u'"') {
        size_t close = line.find(u'"', 1);
        i = close == std::u16string_view::npos ? n : close + 1;
    } else {
        while (i < n && !IsBlank(line[i])) ++i;
    }
    while (i < n && IsBlank(line[i])) ++i;
    Rundll32Call call;
    if (i < n && line[i] == u'"') {
        size_t close = line.find(u'"', i + 1);
        if (close == std::u16string_view::npos) {
            Bad(failure, "rundll32: the library's name has no closing quote");
            return std::nullopt;
        }
        call.library = line.substr(i + 1, close - i - 1);
        i = close + 1;
    } else {
        while (i < n && line[i] != u',' && !IsBlank(line[i])) call.library += line[i++];
    }
    if (i >= n || line[i] != u',') {
        Bad(failure, call.library.empty()
                         ? "rundll32: no library and entry point given (usage: rundll32 DLL,Entry ...)"
                         : "rundll32: no entry point follows \"" + ToUtf8(call.library) + "\"");
        return std::nullopt;
    }
    ++i;
    while (i < n && !IsBlank(line[i])) call.entry += line[i++];
    while (i < n && IsBlank(line[i])) ++i;
    call.arguments = line.substr(i);
    if (call.library.empty() || call.entry.empty()) {
        Bad(failure, "rundll32: the library or the entry point is empty");
        return std::nullopt;
    }
    return call;
}

bool IsPrintUiEntry(const Rundll32Call& call, Failure* failure) {
    std::u16string_view lib = call.library;
    size_t slash = lib.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) lib.remove_prefix(slash + 1);
    if (!EqualsNoCase(lib, u"printui.dll") && !EqualsNoCase(lib, u"printui")) {
        *failure = {ERROR_MOD_NOT_FOUND,
                    "rundll32: error loading " + ToUtf8(call.library) +
                        ": the specified module could not be found"};
        return false;
    }
    if (call.entry != u"PrintUIEntry" && call.entry != u"PrintUIEntryW") {
        *failure = {ERROR_PROC_NOT_FOUND, "rundll32: missing entry " + ToUtf8(call.entry) +
                                              " in " + ToUtf8(call.library)};
        return false;
    }
    return true;
}

std::optional<PrintUiCommand> ParsePrintUiEntry(std::u16string_view arguments, Failure* failure) {
    auto args = SplitArguments(arguments);
    PrintUiCommand cmd;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string& a = args[i];
        if (a.size() < 2 || (a[0] != u'/' && a[0] != u'-')) {
            Bad(failure, "Printer user interface: unexpected argument \"" + ToUtf8(a) +
                             "\"; every argument is a switch such as /if or /n");
            return std::nullopt;
        }
        std::u16string sw = a.substr(1);
        if (sw == u"if") {
            if (!cmd.command.empty()) {
                Bad(failure, "Printer user interface: more than one command given");
                return std::nullopt;
            }
            cmd.command = sw;
            continue;
        }
        if (sw == u"q") {
            cmd.quiet = true;
            continue;
        }
        std::optional<std::u16string>* slot = nullptr;
        switch (sw[0]) {
            case u'b': slot = &cmd.basePrinterName; break;
            case u'n': slot = &cmd.printerName; break;
            case u'f': slot = &cmd.infPath; break;
            case u'r': slot = &cmd.port; break;
            case u'm': slot = &cmd.model; break;
            default: break;
        }
        if (!slot) {
            Bad(failure, "Printer user interface: unknown command or switch \"" + ToUtf8(a) + "\"");
            return std::nullopt;
        }
        std::u16string value;
        if (sw.size() > 1) {
            value = sw.substr(1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            Bad(failure, "Printer user interface: the switch " + ToUtf8(a) + " needs a value");
            return std::nullopt;
        }
        if (*slot) {
            Bad(failure, "Printer user interface: the switch /" + ToUtf8(sw.substr(0, 1)) +
                             " is given twice");
            return std::nullopt;
        }
        *slot = value;
    }
    if (cmd.command.empty()) {
        Bad(failure, "Printer user interface: no command given (such as /if)");
        return std::nullopt;
    }
    // /if: install a printer from an INF file.
    if (cmd.NewPrinterName().empty()) {
        Bad(failure, "Printer user interface: /if needs the printer's name (/b or /n)");
        return std::nullopt;
    }
    for (auto [value, what] : {std::pair{&cmd.infPath, "the INF file (/f)"},
                               std::pair{&cmd.port, "the port (/r)"},
                               std::pair{&cmd.model, "the driver model (/m)"}}) {
        if (!*value || (*value)->empty()) {
            Bad(failure, std::string("Printer user interface: /if needs ") + what);
            return std::nullopt;
        }
    }
    return cmd;
}

}  // namespace printui
