// Reports that ThreadSanitizer makes about Qt's own threads because Qt is not
// built with it: QThread::wait() learns of the thread's end through a futex,
// so destroying the thread object afterwards looks like a race with the
// thread's last wake-up call inside Qt.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n";
}
#endif
