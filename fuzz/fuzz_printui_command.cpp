// The print UI's command line: rundll32's line and PrintUIEntry's arguments. Any text is
// parsed without a fault, a refusal has an error and a message, a command that parses has
// everything /if needs, and a command written back with its values quoted parses to the
// same command. Arguments quoted by Windows' rules split back into the same arguments.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "printui_command.h"
#include "printui_host.h"
#include "platform/sim/shell_cmdline.h"

namespace {

// Quotes an argument as the C runtime reads it back: in quotes, each run of backslashes
// doubled before a quote or the closing quote, a quote as \".
std::u16string Quote(std::u16string_view arg) {
    std::u16string out = u"\"";
    size_t backslashes = 0;
    for (char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, u'\\');
    return out + u"\"";
}

void CheckSplit(std::u16string_view line) {
    const auto args = printui::SplitArguments(line);
    for (auto quote : {+[](std::u16string_view a) { return Quote(a); },
                       +[](std::u16string_view a) { return sim::QuoteArgument(a); }}) {
        std::u16string joined;
        for (const auto& a : args) joined += (joined.empty() ? u"" : u" ") + quote(a);
        const auto again = printui::SplitArguments(joined);
        fuzz::Require(again == args, "quoted arguments split differently", fuzz::Show(line) + " -> " + fuzz::Show(joined));
    }
}

void RequireFailure(const printui::Failure& f, const char* what) {
    fuzz::Require(f.code != 0 && !f.message.empty(), what);
}

void CheckEntry(std::u16string_view arguments) {
    printui::Failure failure{};
    auto cmd = printui::ParsePrintUiEntry(arguments, &failure);
    if (!cmd) {
        RequireFailure(failure, "PrintUIEntry refused without an error");
        return;
    }
    fuzz::Require(cmd->command == u"if", "a command other than /if");
    fuzz::Require(!cmd->NewPrinterName().empty() && cmd->infPath && !cmd->infPath->empty() && cmd->port &&
                      !cmd->port->empty() && cmd->model && !cmd->model->empty(),
                  "/if accepted without what it needs");

    std::u16string written = u"/if";
    if (cmd->quiet) written += u" /q";
    for (auto [sw, value] : {std::pair{u"/b", &cmd->basePrinterName}, std::pair{u"/n", &cmd->printerName},
                             std::pair{u"/f", &cmd->infPath}, std::pair{u"/r", &cmd->port},
                             std::pair{u"/m", &cmd->model}}) {
        if (*value) written += std::u16string(u" ") + sw + u" " + Quote(**value);
    }
    auto again = printui::ParsePrintUiEntry(written, &failure);
    fuzz::Require(again.has_value(), "written back: refused", failure.message + ": " + fuzz::Show(written));
    fuzz::Require(again->quiet == cmd->quiet && again->basePrinterName == cmd->basePrinterName &&
                      again->printerName == cmd->printerName && again->infPath == cmd->infPath &&
                      again->port == cmd->port && again->model == cmd->model,
                  "written back: a different command", fuzz::Show(written));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string line = fuzz::Widen({reinterpret_cast<const char*>(data), size});
    CheckSplit(line);
    CheckEntry(line);

    printui::Failure failure{};
    if (auto call = printui::ParseRundll32(line, &failure)) {
        if (printui::IsPrintUiEntry(*call, &failure))
            CheckEntry(call->arguments);
        else
            RequireFailure(failure, "not PrintUIEntry, without an error");
    } else {
        RequireFailure(failure, "rundll32 refused without an error");
    }
    return 0;
}
