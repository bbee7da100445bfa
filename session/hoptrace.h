// hoptrace.h - timestamps at each hop of a server request through the client
// (frame taken, page post begun and sent, page answered, wait done, answer
// out), for the benchmark that finds where a web-view query's time goes.
// Only a tracing build (CMake option QOV_HOP_TRACE) records them; in every
// other build each mark is nothing at all.
#pragma once

#include <cstdint>

enum HopPoint {
    kHopFrameTaken,     // the main thread begins a server frame
    kHopPostBegun,      // the channel hands its text to the web view
    kHopPostSent,       // the frame is in the page host's socket
    kHopPageAnswered,   // the page host's acknowledgement arrived
    kHopPostDone,       // the answer is delivered, the post returns
    kHopWaitDone,       // the channel's reply wait is over
    kHopAnswerOut,      // the answer to the server is sent
    kHopCount
};

// The clock of the hop records, in every build: the performance counter in
// milliseconds (the benchmarks time with it too).
double HopClockMs();

#ifdef QOV_HOP_TRACE
// A new record for the frame the main thread begins; marks and the post's
// number go into it. The records are written, tab-separated in milliseconds,
// to the file QOV_HOP_TRACE_FILE names when the process ends.
void HopTraceBegin();
void HopTraceMark(HopPoint point);
void HopTracePostNumber(uint32_t number);
#define QOV_HOP_BEGIN() HopTraceBegin()
#define QOV_HOP(point) HopTraceMark(point)
#define QOV_HOP_NUMBER(n) HopTracePostNumber(n)
#else
#define QOV_HOP_BEGIN() ((void)0)
#define QOV_HOP(point) ((void)0)
#define QOV_HOP_NUMBER(n) ((void)0)
#endif
