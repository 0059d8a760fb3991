// Local and global memory: fixed blocks from the C heap with a header that keeps the size.
// Moveable blocks are handed out fixed too; GlobalLock returns the block itself.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

struct alignas(16) block_header {
    SIZE_T size;
};

void* allocate(UINT flags, SIZE_T bytes) {
    auto* header = static_cast<block_header*>(std::malloc(sizeof(block_header) + bytes));
    if (header == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header->size = bytes;
    void* data = header + 1;
    if ((flags & LMEM_ZEROINIT) != 0) {
        std::memset(data, 0, bytes);
    }
    return data;
}

void release(void* data) {
    if (data != nullptr) {
        std::free(static_cast<block_header*>(data) - 1);
    }
}

} // namespace

extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    return allocate(uFlags, uBytes);
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    release(hMem);
    return nullptr;
}

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    return allocate(uFlags, dwBytes);
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    release(hMem);
    return nullptr;
}

extern "C" LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    return hMem;
}

extern "C" BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    // Windows answers FALSE with no error once the lock count reaches zero.
    SetLastError(hMem != nullptr ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
}

extern "C" SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    return hMem == nullptr ? 0 : (static_cast<block_header*>(hMem) - 1)->size;
}
