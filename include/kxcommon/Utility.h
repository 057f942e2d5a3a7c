// Small tools shared by the product's programs: a 32-bit flag word with per-bit access, a named
// mutex held for an object's lifetime, a library handle freed only by the object that loaded
// it, byte-order reversal and a sleep until a tick-counter deadline.
//
// All four classes copy and assign field by field. A copy of a MutexLock or DynamicLoadLibrary
// shares the handle of its original and releases it again in its own destructor, so such
// objects are meant to stay where they were constructed.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Bits are numbered from 0, the least significant. Bits 32 and above read as false, and setting
// or clearing them changes nothing.
class KXCOMMON_API Bit32 {
public:
    // One bit of a Bit32: reads as a bool, and assigning a bool sets or clears the bit.
    class KXCOMMON_API Bit32Proxy {
    public:
        Bit32Proxy(Bit32& bits, unsigned int bit);
        operator bool() const;
        // Yields the value assigned.
        bool operator=(bool value);
        bool operator=(const Bit32Proxy& other);

    private:
        Bit32& m_bits;
        unsigned int m_bit;
    };

    Bit32();
    Bit32(unsigned long value);

    bool operator[](unsigned int bit) const;
    Bit32Proxy operator[](unsigned int bit);

    void Set(unsigned int bit);
    void Reset(unsigned int bit);
    // Every bit set (0xFFFFFFFF) / every bit cleared.
    void Set();
    void Reset();

    unsigned long Value() const;
    void Value(unsigned long value);

private:
    bool At(unsigned int bit) const;
    void Set(unsigned int bit, bool value);

    unsigned long m_value;
};

// A named mutex shared between threads and processes. The constructor creates it asking for
// ownership: the object that created it owns it from then on; an object that found it existing
// owns it only after a successful wait. The destructor releases it (on the destroying thread)
// and closes the handle.
class KXCOMMON_API MutexLock {
public:
    // `name` is a terminated UTF-16 text. When the mutex existed already and `wait` is nonzero,
    // waits for it without a time limit.
    MutexLock(const unsigned short* name, int wait);
    ~MutexLock();

    // 1 when the mutex existed before this object opened it, else 0.
    int GetLockStatus();
    // Waits for the mutex: 0 when the wait timed out, 1 for every other outcome (taken,
    // abandoned by a holder that ended, or a failed wait).
    int WaitWithTimeOut(int milliseconds);

private:
    HANDLE m_handle;
    int m_lockStatus;
};

// A module obtained for the object's lifetime. A module already loaded in the process is used
// as it is and never freed by this object; one that this object loaded is freed by it.
class KXCOMMON_API DynamicLoadLibrary {
public:
    // `name` is a file name or path (terminated UTF-16). It is first looked up by its file name
    // among the modules already loaded. Otherwise, with `fromAppDir`, it is loaded from the
    // application directory (KxConfig::GetAppDir) and, failing that, by the system's own search;
    // without it, by the name as given. The third argument has no effect.
    DynamicLoadLibrary(const unsigned short* name, bool fromAppDir, bool);
    ~DynamicLoadLibrary();

    bool IsOK() const;
    // The module, or null when none was obtained.
    HMODULE GetHandle() const;

private:
    bool m_owned;
    HMODULE m_handle;
};

// The value with its bytes in reverse order (the byte at the lower address becomes the most
// significant); the argument is left unchanged.
KXCOMMON_API unsigned short BLShort(unsigned short& value);
KXCOMMON_API unsigned long BLLong(unsigned long& value);

// Sleeps until the tick counter (milliseconds since start) reaches `time`, or, when `relative`
// is true, for `time` milliseconds. A deadline already passed returns at once.
KXCOMMON_API void WaitTime(long time, bool relative);
