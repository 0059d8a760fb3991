#include "SataBus.h"

#include "Console.h"
#include "DownloadPlan.h"
#include "ResultCodes.h"

#include <ata.h>

#include <cstddef>
#include <cstring>
#include <new>

#ifndef ATA_FLAGS_NO_MULTIPLE
#define ATA_FLAGS_NO_MULTIPLE (1 << 5)
#endif

static_assert(sizeof(void*) != 4 || sizeof(ATA_PASS_THROUGH_DIRECT) == 40,
              "a 32-bit program sends the 40-byte ATA_PASS_THROUGH_DIRECT");

namespace {
constexpr int MAX_BUSY_RETRIES = 1000;
constexpr DWORD BUSY_PAUSE_MS = 5;
constexpr ULONG IDENTIFY_TIMEOUT_S = 10;
constexpr ULONG DOWNLOAD_TIMEOUT_S = 300;

constexpr DWORD PAGE_BYTES = 4096;

DWORD PagesSpanned(const void* pData, DWORD dwLength) {
    const auto first = reinterpret_cast<UINT_PTR>(pData);
    return static_cast<DWORD>((first + dwLength - 1) / PAGE_BYTES - first / PAGE_BYTES + 1);
}

// A zero-filled, page-aligned block that lives for one command.
class CPageAlignedCopy {
public:
    CPageAlignedCopy() = default;
    CPageAlignedCopy(const CPageAlignedCopy&) = delete;
    CPageAlignedCopy& operator=(const CPageAlignedCopy&) = delete;
    ~CPageAlignedCopy() { ::operator delete (m_pData, std::align_val_t{PAGE_BYTES}); }

    bool Allocate(DWORD dwSize) {
        m_pData =
            static_cast<BYTE*>(::operator new (dwSize, std::align_val_t{PAGE_BYTES}, std::nothrow));
        if (m_pData != nullptr) {
            std::memset(m_pData, 0, dwSize);
        }
        return m_pData != nullptr;
    }
    BYTE* Data() const { return m_pData; }

private:
    BYTE* m_pData = nullptr;
};

// Prints the eight returned task-file registers with a format that takes them in order.
void PrintTaskFile(const wchar_t* pszFormat, const UCHAR (&ctf)[8]) {
    VerbosePrint(pszFormat, ctf[0], ctf[1], ctf[2], ctf[3], ctf[4], ctf[5], ctf[6], ctf[7]);
}
} // namespace

CSataBus::CSataBus(const CString& strDevicePath) : m_strDevicePath(strDevicePath) {}

int CSataBus::Open() {
    Print(L"Opening device %ls for update.\n", m_strDevicePath.GetString());
    m_hDevice =
        ::CreateFileW(m_strDevicePath, GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_hDevice == INVALID_HANDLE_VALUE) {
        VerbosePrint(L"Unable to open device, GetLastError = 0x%x\n", ::GetLastError());
        return NU_OPEN_FAILED;
    }
    return NU_SUCCESS;
}

int CSataBus::IdentifyDevice(BYTE* pBuffer, DWORD dwLength) {
    std::memset(pBuffer, 0, dwLength);
    ATA_PASS_THROUGH_DIRECT request{};
    request.Length = sizeof(ATA_PASS_THROUGH_DIRECT);
    request.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_IN | ATA_FLAGS_NO_MULTIPLE;
    request.DataTransferLength = dwLength;
    request.TimeOutValue = IDENTIFY_TIMEOUT_S;
    request.DataBuffer = pBuffer;
    request.CurrentTaskFile[6] = ATA_IDENTIFY_DEVICE;
    DWORD dwBytesReturned = 0;
    const int nResult = SendAtaCommand(request, dwBytesReturned);
    if (nResult != NU_SUCCESS) {
        VerbosePrint(L"Identify failed, exit code = %d\n", nResult);
    }
    return nResult;
}

int CSataBus::DownloadMicrocode(const BYTE* pImage, DWORD dwLength) {
    if (dwLength == 0) {
        return NU_NO_DATA_OR_MEMORY;
    }
    m_dwMaxPhysicalPages = QueryAdapterPageLimit();
    if (!FitsBlockAddressing(dwLength, DOWNLOAD_CHUNK_BYTES)) {
        VerbosePrint(L"Image of %u bytes is too large for the block offsets\n", dwLength);
        return NU_NO_DATA_OR_MEMORY;
    }
    for (DWORD dwOffset = 0; dwOffset < dwLength;) {
        const int nResult = SendDownloadChunk(pImage, dwLength, dwOffset);
        if (nResult != NU_SUCCESS) {
            return nResult;
        }
        dwOffset += MicrocodeChunkAt(dwOffset, dwLength, DOWNLOAD_CHUNK_BYTES).dwLength;
    }
    return NU_SUCCESS;
}

DWORD CSataBus::QueryAdapterPageLimit() {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_ADAPTER_DESCRIPTOR descriptor{};
    DWORD dwReturned = 0;
    constexpr DWORD dwNeeded = offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask);
    if (!::DeviceIoControl(m_hDevice, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query),
                           &descriptor, sizeof(descriptor), &dwReturned, nullptr) ||
        dwReturned < dwNeeded || descriptor.Size < dwNeeded) {
        VerbosePrint(L"Adapter limits not available, GetLastError = 0x%x\n", ::GetLastError());
        return 0;
    }
    return descriptor.MaximumPhysicalPages;
}

int CSataBus::SendDownloadChunk(const BYTE* pImage, DWORD dwImageLength, DWORD dwOffset) {
    const MicrocodeChunk chunk = MicrocodeChunkAt(dwOffset, dwImageLength, DOWNLOAD_CHUNK_BYTES);
    // Direct pass-through hands the driver the image in place. A final partial block needs a
    // padded copy, and a chunk whose place in the image spans more physical pages than the
    // adapter takes goes from a page-aligned copy, which spans one page fewer.
    BYTE* pData = const_cast<BYTE*>(pImage + dwOffset);
    CPageAlignedCopy copy;
    if (chunk.dwTransferLength != chunk.dwLength ||
        (m_dwMaxPhysicalPages != 0 &&
         PagesSpanned(pData, chunk.dwTransferLength) > m_dwMaxPhysicalPages)) {
        if (!copy.Allocate(chunk.dwTransferLength)) {
            return NU_NO_DATA_OR_MEMORY;
        }
        std::memcpy(copy.Data(), pData, chunk.dwLength);
        pData = copy.Data();
    }

    ATA_PASS_THROUGH_DIRECT request{};
    request.Length = sizeof(ATA_PASS_THROUGH_DIRECT);
    request.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_DATA_OUT | ATA_FLAGS_NO_MULTIPLE;
    request.DataTransferLength = chunk.dwTransferLength;
    request.TimeOutValue = DOWNLOAD_TIMEOUT_S;
    request.DataBuffer = pData;
    request.CurrentTaskFile[0] = ATA_DM_OFFSETS_DEFERRED;
    request.CurrentTaskFile[1] = static_cast<UCHAR>(chunk.wBlockCount & 0xFF);
    request.CurrentTaskFile[2] = static_cast<UCHAR>(chunk.wBlockCount >> 8);
    request.CurrentTaskFile[3] = static_cast<UCHAR>(chunk.wBlockOffset & 0xFF);
    request.CurrentTaskFile[4] = static_cast<UCHAR>(chunk.wBlockOffset >> 8);
    request.CurrentTaskFile[6] = ATA_DOWNLOAD_MICROCODE;
    DWORD dwBytesReturned = 0;
    return SendAtaCommand(request, dwBytesReturned);
}

int CSataBus::SendAtaCommand(ATA_PASS_THROUGH_DIRECT& request, DWORD& dwBytesReturned) {
    const ATA_PASS_THROUGH_DIRECT original = request;
    for (int nRetries = 0;; ++nRetries) {
        dwBytesReturned = 0;
        if (!::DeviceIoControl(m_hDevice, IOCTL_ATA_PASS_THROUGH_DIRECT, &request, sizeof(request),
                               &request, sizeof(request), &dwBytesReturned, nullptr)) {
            VerbosePrint(L"DeviceIoControl failed, GetLastError = 0x%x\n", ::GetLastError());
            return NU_IOCTL_FAILED;
        }
        const UCHAR status = request.CurrentTaskFile[6];
        if ((status & ATA_STATUS_BSY) == 0) {
            break;
        }
        if (nRetries == MAX_BUSY_RETRIES) {
            PrintTaskFile(L"DeviceIoControl max retry reached. CTF[0] = 0x%x, CTF[1] = 0x%x, "
                          L"CTF[2] = 0x%x, CTF[3] = 0x%x, CTF[4] = 0x%x, CTF[5] = 0x%x, "
                          L"CTF[6] = 0x%x, CTF[7] = 0x%x\n",
                          request.CurrentTaskFile);
            return NU_DRIVE_ERROR;
        }
        request = original; // the driver wrote the returned registers over the task file
        ::Sleep(BUSY_PAUSE_MS);
    }

    // A device fault kept the drive from doing the command, even with ERR clear.
    const UCHAR status = request.CurrentTaskFile[6];
    if ((status & (ATA_STATUS_ERR | ATA_STATUS_DF)) != 0) {
        PrintTaskFile(L"DeviceIoControl error. CTF[0] = 0x%x, CTF[1] = 0x%x, CTF[2] = 0x%x, "
                      L"CTF[3] = 0x%x, CTF[4] = 0x%x, CTF[5] = 0x%x, CTF[6] = 0x%x, "
                      L"CTF[7] = 0x%x\n",
                      request.CurrentTaskFile);
        const bool aborted =
            (status & ATA_STATUS_ERR) != 0 && (request.CurrentTaskFile[0] & ATA_ERROR_ABRT) != 0;
        return aborted ? NU_DRIVE_ABORTED : NU_DRIVE_ERROR;
    }
    PrintTaskFile(L"CurrentTaskFile CTF[0] = 0x%x, CTF[1] = 0x%x, CTF[2] = 0x%x, CTF[3] = 0x%x, "
                  L"CTF[4] = 0x%x, CTF[5] = 0x%x, CTF[6] = 0x%x, CTF[7] = 0x%x\n",
                  request.CurrentTaskFile);
    return NU_SUCCESS;
}
