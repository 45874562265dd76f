/* Holds a critical section for the life of the object. */
#ifndef XRCREDMGR_LOCKHOLD_H
#define XRCREDMGR_LOCKHOLD_H

#include <windows.h>

class LockHold {
public:
    explicit LockHold(CRITICAL_SECTION *lock) : m_lock(lock) { EnterCriticalSection(m_lock); }
    ~LockHold() { LeaveCriticalSection(m_lock); }
    LockHold(const LockHold &) = delete;
    LockHold &operator=(const LockHold &) = delete;

private:
    CRITICAL_SECTION *m_lock;
};

#endif
