#include "installer/parallel_range_expansion.h"

#include "files/win32.h"

namespace {

struct SegmentJob {
    const RangeSegment* segment;
    unsigned char* out;
    bool decoded;
};

DWORD WINAPI decodeSegmentJob(LPVOID parameter) {
    SegmentJob* job = static_cast<SegmentJob*>(parameter);
    job->decoded = decodeRangeSegment(*job->segment, job->out);
    return 0;
}

}  // namespace

bool decodeRangeSegmentsInParallel(const RangeImageLayout& layout, unsigned char* out) {
    SegmentJob jobs[MaxRangeSegments];
    HANDLE threads[MaxRangeSegments];
    int threadCount = 0;
    for (int i = 0; i < layout.segmentCount; ++i)
        jobs[i] = SegmentJob{&layout.segments[i], out + layout.segments[i].outputOffset, false};
    for (int i = 1; i < layout.segmentCount; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, decodeSegmentJob, &jobs[i], 0, nullptr);
        if (thread) threads[threadCount++] = thread;
        else decodeSegmentJob(&jobs[i]);
    }
    decodeSegmentJob(&jobs[0]);
    // One handle at a time: a wait on a valid thread handle cannot fail, and
    // the jobs and the output must outlive every thread that uses them.
    for (int i = 0; i < threadCount; ++i) {
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
    for (int i = 0; i < layout.segmentCount; ++i)
        if (!jobs[i].decoded) return false;
    return true;
}
