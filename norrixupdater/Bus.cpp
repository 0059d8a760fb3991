#include "Bus.h"

#include <new>

namespace {
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
}

CBus::CBus() : m_hDevice(INVALID_HANDLE_VALUE) {}

CBus::~CBus() {
    if (m_hDevice != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hDevice);
    }
}

void* CBus::AllocBuffer(DWORD dwSize) {
    const std::align_val_t alignment{IsWow64() == 1 ? 8u : 4u};
    return ::operator new(dwSize, alignment, std::nothrow);
}

void CBus::FreeBuffer(void* pBuffer) {
    if (pBuffer == nullptr) {
        return;
    }
    // The process's WOW64 state does not change, so this is the alignment AllocBuffer chose.
    const std::align_val_t alignment{IsWow64() == 1 ? 8u : 4u};
    ::operator delete(pBuffer, alignment);
}

BOOL CBus::IsWow64() {
    // Looked up at run time: older systems' kernel32 has no IsWow64Process.
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32");
    if (hKernel == nullptr) {
        return FALSE;
    }
    FARPROC proc = ::GetProcAddress(hKernel, "IsWow64Process");
    if (proc == nullptr) {
        return FALSE;
    }
    // Through void(*)() so the compiler accepts the change of signature.
    const auto pIsWow64Process =
        reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(proc));
    BOOL bWow64 = FALSE;
    if (!pIsWow64Process(::GetCurrentProcess(), &bWow64)) {
        return FALSE;
    }
    return bWow64;
}
