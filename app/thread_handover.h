#pragma once
// Data a thread writes before it posts a queued call (QMetaObject::invokeMethod with
// Qt::QueuedConnection) is seen by the thread that runs the call: Qt's posted-event queue
// orders the two under its own lock. That lock is invisible to ThreadSanitizer, as Qt is not
// built with it, so the hand-over is announced to it: handOver before posting, takeOver first
// thing in the call, with the same token. Without ThreadSanitizer both do nothing.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NAVOREL_TSAN_ANNOTATIONS 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define NAVOREL_TSAN_ANNOTATIONS 1
#endif
#ifdef NAVOREL_TSAN_ANNOTATIONS
#include <sanitizer/tsan_interface.h>
#endif

namespace navorel::app {

inline void handOver([[maybe_unused]] const void* token) {
#ifdef NAVOREL_TSAN_ANNOTATIONS
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void takeOver([[maybe_unused]] const void* token) {
#ifdef NAVOREL_TSAN_ANNOTATIONS
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace navorel::app
