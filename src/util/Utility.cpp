#include "kxcommon/Utility.h"

#include "kxcommon/HelpAPI.h"
#include "kxcommon/KxConfig.h"

namespace {

constexpr unsigned int kBits = 32;
constexpr unsigned long kAllBits = 0xFFFFFFFFul;

}  // namespace

// ---- Bit32 ---------------------------------------------------------------------------------

Bit32::Bit32Proxy::Bit32Proxy(Bit32& bits, unsigned int bit) : m_bits(bits), m_bit(bit) {}

Bit32::Bit32Proxy::operator bool() const { return m_bits.At(m_bit); }

bool Bit32::Bit32Proxy::operator=(bool value) {
    m_bits.Set(m_bit, value);
    return value;
}

bool Bit32::Bit32Proxy::operator=(const Bit32Proxy& other) {
    return *this = static_cast<bool>(other);
}

Bit32::Bit32() : m_value(0) {}
Bit32::Bit32(unsigned long value) : m_value(value) {}

bool Bit32::operator[](unsigned int bit) const { return At(bit); }
Bit32::Bit32Proxy Bit32::operator[](unsigned int bit) { return Bit32Proxy(*this, bit); }

void Bit32::Set(unsigned int bit) { Set(bit, true); }
void Bit32::Reset(unsigned int bit) { Set(bit, false); }
void Bit32::Set() { m_value = kAllBits; }
void Bit32::Reset() { m_value = 0; }

unsigned long Bit32::Value() const { return m_value; }
void Bit32::Value(unsigned long value) { m_value = value; }

bool Bit32::At(unsigned int bit) const { return bit < kBits && ((m_value >> bit) & 1u) != 0; }

void Bit32::Set(unsigned int bit, bool value) {
    if (bit >= kBits) return;
    const unsigned long mask = 1ul << bit;
    m_value = value ? (m_value | mask) : (m_value & ~mask);
}

// ---- MutexLock -----------------------------------------------------------------------------

MutexLock::MutexLock(const unsigned short* name, int wait) : m_handle(nullptr), m_lockStatus(0) {
    ::SetLastError(ERROR_SUCCESS);
    m_handle = ::CreateMutexW(nullptr, TRUE, reinterpret_cast<const wchar_t*>(name));
    // Creating an existing mutex opens it but grants no ownership.
    if (m_handle != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_lockStatus = 1;
        if (wait != 0) ::WaitForSingleObject(m_handle, INFINITE);
    }
}

MutexLock::~MutexLock() {
    if (m_handle == nullptr) return;
    ::ReleaseMutex(m_handle);
    ::CloseHandle(m_handle);
    m_handle = nullptr;
}

int MutexLock::GetLockStatus() { return m_lockStatus; }

int MutexLock::WaitWithTimeOut(int milliseconds) {
    const DWORD waited = ::WaitForSingleObject(m_handle, static_cast<DWORD>(milliseconds));
    return waited == WAIT_TIMEOUT ? 0 : 1;
}

// ---- DynamicLoadLibrary --------------------------------------------------------------------

DynamicLoadLibrary::DynamicLoadLibrary(const unsigned short* name, bool fromAppDir, bool)
    : m_owned(false), m_handle(nullptr) {
    if (name == nullptr) return;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(name);
    m_handle = ::GetModuleHandleW(HelpAPI::GetFileName(text));
    if (m_handle != nullptr) return;

    if (fromAppDir) {
        wchar_t directory[MAX_PATH] = {};
        wchar_t path[MAX_PATH] = {};
        if (KxConfig::GetAppDir(directory, MAX_PATH) == KX_OK && directory[0] != L'\0') {
            HelpAPI::CatPathWithFile(directory, text, path, MAX_PATH);
            m_handle = ::LoadLibraryExW(path, nullptr, 0);
        }
    }
    if (m_handle == nullptr) m_handle = ::LoadLibraryExW(text, nullptr, 0);
    m_owned = m_handle != nullptr;
}

DynamicLoadLibrary::~DynamicLoadLibrary() {
    if (m_owned && m_handle != nullptr) ::FreeLibrary(m_handle);
}

bool DynamicLoadLibrary::IsOK() const { return m_handle != nullptr; }
HMODULE DynamicLoadLibrary::GetHandle() const { return m_handle; }

// ---- Free functions ------------------------------------------------------------------------

unsigned short BLShort(unsigned short& value) {
    return static_cast<unsigned short>(((value & 0xFFu) << 8) | (value >> 8));
}

unsigned long BLLong(unsigned long& value) {
    return ((value & 0xFFul) << 24) | ((value & 0xFF00ul) << 8) | ((value >> 8) & 0xFF00ul) |
           ((value >> 24) & 0xFFul);
}

void WaitTime(long time, bool relative) {
    // The tick counter wraps every 49.7 days; the difference taken in 32 bits stays right
    // across the wrap for deadlines within 24.8 days.
    const long wait =
        relative ? time : static_cast<long>(static_cast<DWORD>(time) - ::GetTickCount());
    if (wait >= 0) ::Sleep(static_cast<DWORD>(wait));
}
