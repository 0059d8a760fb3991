// Basic Windows types with the sizes Windows gives them, on any host.
#ifndef FWU_WINAPI_WINDEF_H
#define FWU_WINAPI_WINDEF_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#define WINAPI
#define APIENTRY
#define CALLBACK
#define __stdcall
#define __cdecl

#ifdef __cplusplus
#define FWU_WINAPI_EXTERN_C extern "C"
#else
#define FWU_WINAPI_EXTERN_C extern
#endif

#ifndef VOID
#define VOID void
#endif
#ifndef CONST
#define CONST const
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif
#define IN
#define OUT
#define OPTIONAL

typedef uint8_t BYTE, UCHAR, BOOLEAN, *PBYTE, *LPBYTE, *PUCHAR, *PBOOLEAN;
typedef char CHAR, *PCHAR, *LPSTR, *PSTR;
typedef const char *LPCSTR, *PCSTR;
typedef int16_t SHORT;
typedef uint16_t WORD, USHORT, *PWORD, *LPWORD, *PUSHORT;
typedef int32_t INT, LONG, *PLONG, *LPLONG;
typedef uint32_t UINT, DWORD, ULONG, ULONG32, DWORD32, *PDWORD, *LPDWORD, *PULONG, *PUINT;
typedef int64_t LONGLONG, LONG64, INT64, __int64;
typedef uint64_t ULONGLONG, DWORD64, ULONG64, UINT64, *PULONGLONG;
typedef int BOOL, *PBOOL, *LPBOOL;
typedef float FLOAT;
typedef intptr_t INT_PTR, LONG_PTR;
typedef uintptr_t UINT_PTR, ULONG_PTR, DWORD_PTR, SIZE_T, *PULONG_PTR, *PSIZE_T;
typedef intptr_t SSIZE_T;

// WCHAR is the host's wchar_t (4 bytes on Linux); code that sizes buffers in bytes
// computes them from character counts and sizeof(WCHAR).
typedef wchar_t WCHAR, *PWCHAR, *LPWSTR, *PWSTR;
typedef const wchar_t *LPCWSTR, *PCWSTR;
#ifdef UNICODE
typedef WCHAR TCHAR;
typedef LPWSTR LPTSTR;
typedef LPCWSTR LPCTSTR;
#else
typedef char TCHAR;
typedef LPSTR LPTSTR;
typedef LPCSTR LPCTSTR;
#endif

typedef void *PVOID, *LPVOID;
typedef const void *LPCVOID, *PCVOID;
typedef void *HANDLE, **PHANDLE, **LPHANDLE;
typedef HANDLE HLOCAL, HGLOBAL, HMODULE, HINSTANCE, HWND, HKEY, HDC, HICON, HMENU, HBRUSH, HCURSOR,
    HFONT;
typedef LONG HRESULT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM, LRESULT;
typedef INT_PTR(WINAPI* FARPROC)(void);
typedef INT_PTR(WINAPI* PROC)(void);

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, *LPGUID;
typedef const GUID* LPCGUID;
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                               \
    static const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#ifdef __cplusplus
inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, 8) == 0;
}
#define IsEqualGUID(a, b) ((a) == (b))
#endif
#define ANYSIZE_ARRAY 1
#define REG_NONE 0
#define REG_SZ 1
#define REG_MULTI_SZ 7

#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWORD(a, b) ((WORD)(((BYTE)(a)) | ((WORD)((BYTE)(b))) << 8))

#ifndef _T
#ifdef UNICODE
#define _T(x) L##x
#else
#define _T(x) x
#endif
#define TEXT(x) _T(x)
#endif

#endif
