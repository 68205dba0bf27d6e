// Expands a token-image payload on a thread of its own while the files are
// placed: records are read from the bytes already produced, so placing
// begins after the first step of the expansion instead of after all of it,
// and the expansion's time (most of it the first touch of fresh memory)
// passes beside the placing.
#pragma once

#include <atomic>
#include <cstdint>

#include "archive/file_record.h"
#include "core/expand_block.h"
#include "core/memory_stream.h"
#include "files/win32.h"

class BackgroundExpansion {
public:
    BackgroundExpansion() = default;
    // Waits for the thread: it writes into the payload and reads the image.
    ~BackgroundExpansion();
    BackgroundExpansion(const BackgroundExpansion&) = delete;
    BackgroundExpansion& operator=(const BackgroundExpansion&) = delete;

    // Takes the token image out of payload and starts expanding it into
    // payload, sized as the tokens measure; payload's reads are limited to
    // the bytes produced. False, payload unchanged, when payload holds no
    // sound token image (so that damage is found before any file is placed)
    // or no thread can be made.
    bool start(MemoryStream& payload);
    bool started() const { return thread_ != nullptr; }

    // Waits until the payload may be read to at least end, or as far as it
    // ever will be, and limits its reads to that.
    ReadableExtent readableTo(int64_t end);
    // The same as a ReadableExtentWait, with the expansion as its context.
    static ReadableExtent readableTo(void* self, int64_t end);
    // True when the expansion produced other than the tokens measured (it
    // cannot; checked all the same): the extent is then final and ends at
    // the last byte reported.
    bool damaged() const { return damaged_; }
    // Waits for the end; true when the whole image expanded. The payload
    // then holds exactly the bytes produced, as after ExpandBlock.
    bool finish();

private:
    // Both on the expanding thread.
    static void produced(void* self, int count);
    static DWORD WINAPI run(LPVOID self);
    // On the calling thread, once the expanding thread has ended.
    void settle();

    MemoryStream* payload_ = nullptr;
    String image_;
    TokenImage tokens_;  // inside image_
    char* out_ = nullptr;
    int capacity_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE progress_ = nullptr;  // auto-reset: more bytes are final, or the thread has ended
    std::atomic<int> produced_{0};
    std::atomic<bool> ended_{false};
    // Written by the thread before ended_ is set. (Zero, not -1, to start
    // with: see MemoryStream's read limit.)
    int result_ = 0;
    // The calling thread's own.
    bool settled_ = false;
    bool damaged_ = false;
};
