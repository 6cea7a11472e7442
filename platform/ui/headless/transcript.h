// The transcript of a headless run: one line per event, text as JSON strings in UTF-8.
// The format is described in platform/ui/TRANSCRIPT.md.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "platform/ui/window.h"

namespace drovan::ui::headless {

class Transcript {
public:
    using Sink = std::function<void(const std::string& line)>;
    explicit Transcript(Sink sink) : m_sink(std::move(sink)) {}
    void Line(const std::string& line);  // callable from any thread

    static std::string Quote(const Text& s);  // "…" with JSON escapes
    // The `dump` block of a dialog: its own line, then one per control in tab order.
    static std::vector<std::string> Dump(const Window& dialog);

private:
    std::mutex m_mutex;
    Sink m_sink;
};

}  // namespace drovan::ui::headless
