// The standard streams on Linux: UTF-8, line feeds.
#include <cstdio>
#include <mutex>

#include "app/cli/ProgramOutput.h"
#include "platform/ui/text.h"

namespace {

std::mutex g_outputMutex;

void WriteLines(std::FILE* stream, const CString& strText) {
    std::string text = drovan::ui::text::ToUtf8(strText.Str());
    if (text.empty() || text.back() != '\n') text += '\n';
    std::lock_guard<std::mutex> lock(g_outputMutex);
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

void WriteOutput(const CString& strText) { WriteLines(stdout, strText); }
void WriteError(const CString& strText) { WriteLines(stderr, strText); }
