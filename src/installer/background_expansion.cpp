#include "installer/background_expansion.h"

#include <utility>

namespace {

// Often enough that placing never waits long for its next record, seldom
// enough that telling the reader costs nothing next to the expansion.
constexpr int ReportStep = 1 << 20;

}  // namespace

BackgroundExpansion::~BackgroundExpansion() {
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (progress_) CloseHandle(progress_);
}

bool BackgroundExpansion::start(MemoryStream& payload) {
    TokenImage image;
    if (!readTokenImage(payload, image)) return false;
    const int size = measureTokens(image.tokens, image.length);
    if (size < 0) return false;
    progress_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!progress_) return false;
    capacity_ = size;
    tokens_ = image;
    // A String moves by its pointer: the tokens stay where image found them.
    image_ = std::move(payload);
    payload.reset();
    payload.setLength(capacity_ + ExpansionOutput::CopySlack);
    payload.limitReads(0);
    out_ = payload.data();
    payload_ = &payload;
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    if (thread_) return true;
    payload.reset();
    static_cast<String&>(payload) = std::move(image_);
    payload_ = nullptr;
    return false;
}

DWORD WINAPI BackgroundExpansion::run(LPVOID parameter) {
    BackgroundExpansion* self = static_cast<BackgroundExpansion*>(parameter);
    ExpansionOutput out(self->out_, self->capacity_);
    out.reportTo(produced, self, ReportStep);
    self->result_ = expandTokens(self->tokens_.tokens, self->tokens_.length, out);
    self->ended_.store(true, std::memory_order_release);
    SetEvent(self->progress_);
    return 0;
}

void BackgroundExpansion::produced(void* parameter, int count) {
    BackgroundExpansion* self = static_cast<BackgroundExpansion*>(parameter);
    self->produced_.store(count, std::memory_order_release);
    SetEvent(self->progress_);
}

void BackgroundExpansion::settle() {
    settled_ = true;
    WaitForSingleObject(thread_, INFINITE);
    MemoryStream& payload = *payload_;
    damaged_ = result_ != capacity_;
    if (damaged_) {
        payload.limitReads(produced_.load(std::memory_order_acquire));
    } else {
        payload.setLength(result_);
        payload.limitReads(-1);
    }
    image_.clear();
}

ReadableExtent BackgroundExpansion::readableTo(int64_t end) {
    for (;;) {
        if (!settled_ && ended_.load(std::memory_order_acquire)) settle();
        if (settled_) return {payload_->readEnd(), true};
        const int produced = produced_.load(std::memory_order_acquire);
        if (produced >= end) {
            payload_->limitReads(produced);
            return {produced, false};
        }
        WaitForSingleObject(progress_, INFINITE);
    }
}

ReadableExtent BackgroundExpansion::readableTo(void* self, int64_t end) {
    return static_cast<BackgroundExpansion*>(self)->readableTo(end);
}

bool BackgroundExpansion::finish() {
    if (!thread_) return true;
    readableTo(INT64_MAX);
    return !damaged_;
}
