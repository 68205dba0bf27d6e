#include "support/fatal_capture.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/str.h"

const char NoFatalReport[] = "<no fatal report>";

#ifdef _WIN32
// The Windows libraries are built without exception tables (as in the
// program), so the report jumps back instead of throwing.
#include <csetjmp>

namespace {
std::jmp_buf* activeCapture = nullptr;
std::string capturedText;
}  // namespace

void reportFatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    String text = String::formatList(format, args);
    va_end(args);
    if (!activeCapture) {
        std::fprintf(stderr, "unexpected fatal report: %s\n", text.cStr());
        std::abort();
    }
    capturedText.assign(text.cStr(), static_cast<size_t>(text.length()));
    std::longjmp(*activeCapture, 1);
}

std::string captureFatal(const std::function<void()>& action) {
    std::jmp_buf here;
    std::jmp_buf* outer = activeCapture;
    activeCapture = &here;
    if (setjmp(here) == 0) {
        action();
        activeCapture = outer;
        return NoFatalReport;
    }
    activeCapture = outer;
    return capturedText;
}
#else
namespace {
struct FatalReported {
    std::string text;
};
int captureDepth = 0;
}  // namespace

void reportFatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    String text = String::formatList(format, args);
    va_end(args);
    if (captureDepth == 0) {
        std::fprintf(stderr, "unexpected fatal report: %s\n", text.cStr());
        std::abort();
    }
    throw FatalReported{std::string(text.cStr(), static_cast<size_t>(text.length()))};
}

std::string captureFatal(const std::function<void()>& action) {
    ++captureDepth;
    try {
        action();
    } catch (const FatalReported& report) {
        --captureDepth;
        return report.text;
    }
    --captureDepth;
    return NoFatalReport;
}
#endif
