#include "platform/ui/headless/transcript.h"

#include "platform/sim/text.h"
#include "platform/ui/text.h"

namespace drovan::ui::headless {

void Transcript::Line(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (m_sink) m_sink(line);
}

std::string Transcript::Quote(const Text& s) { return sim::JsonQuote(text::ToUtf8(s)); }

namespace {
const char* KindName(WindowKind k) {
    switch (k) {
    case WindowKind::Dialog: return "dialog";
    case WindowKind::Button: return "button";
    case WindowKind::Edit: return "edit";
    case WindowKind::Static: return "static";
    case WindowKind::ComboBox: return "combobox";
    case WindowKind::Progress: return "progress";
    case WindowKind::IpAddress: return "ipaddress";
    }
    return "window";
}
}  // namespace

std::vector<std::string> Transcript::Dump(const Window& d) {
    std::vector<std::string> lines;
    lines.push_back("dump " + std::to_string(d.id));
    lines.push_back("  " + std::to_string(d.id) + " dialog visible=" + (d.Visible() ? "1" : "0") +
                    " enabled=" + (d.Enabled() ? "1" : "0") + " topmost=" + (d.topmost ? "1" : "0") +
                    " iconic=" + (d.iconic ? "1" : "0") +
                    " closebox=" + ((d.style & WS_SYSMENU) && !d.closeGrayed ? "1" : "0") + " text=" + Quote(d.text));
    for (const auto& cp : d.children) {
        const Window& c = *cp;
        std::string line = "  " + std::to_string(c.id) + " " + KindName(c.kind) + " visible=" +
                           (c.Visible() ? "1" : "0") + " enabled=" + (c.Enabled() ? "1" : "0");
        switch (c.kind) {
        case WindowKind::Button:
            line += " checked=" + std::to_string(c.check) + " text=" + Quote(c.text);
            break;
        case WindowKind::ComboBox: {
            line += " sel=" + std::to_string(c.sel) + " items=[";
            for (size_t i = 0; i < c.items.size(); ++i) {
                if (i) line += ',';
                line += Quote(c.items[i]);
            }
            line += "]";
            break;
        }
        case WindowKind::Progress:
            line += " range=" + std::to_string(c.lo) + ".." + std::to_string(c.hi) + " pos=" + std::to_string(c.pos) +
                    " step=" + std::to_string(c.step);
            break;
        case WindowKind::IpAddress:
            line += " text=" + Quote(AddressText(c));
            break;
        default:
            line += " text=" + Quote(c.text);
            break;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace drovan::ui::headless
