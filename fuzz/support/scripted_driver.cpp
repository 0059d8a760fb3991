#include "scripted_driver.h"

#include "reply_script.h"

#include <winapi_host/handles.h>
#include <winsim/device.h>
#include <winsim/machine.h>

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <csmi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace fuzz {

namespace {

// A run opens at most this many devices; later opens are refused, so every run ends.
constexpr size_t open_limit = 64;

constexpr DWORD failure_errors[8] = {ERROR_INVALID_FUNCTION, ERROR_GEN_FAILURE,
                                     ERROR_NOT_SUPPORTED,    ERROR_IO_DEVICE,
                                     ERROR_ACCESS_DENIED,    ERROR_INVALID_PARAMETER,
                                     ERROR_SEM_TIMEOUT,      ERROR_INSUFFICIENT_BUFFER};

[[noreturn]] void misuse(const char* what) {
    std::fprintf(stderr, "scripted driver: %s\n", what);
    std::abort();
}

// Kept so the reads below cannot be left out.
volatile uint8_t read_checksum = 0;

// Every byte of the area is read, as a driver copying it would.
void read_whole(const void* area, size_t size) {
    const auto* bytes = static_cast<const volatile uint8_t*>(area);
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i) {
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    read_checksum = static_cast<uint8_t>(read_checksum + sum);
}

// The caller's data buffer of a direct pass-through request.
struct data_area {
    uint8_t* data = nullptr;
    size_t size = 0;
    bool reads = false; // data flows from the drive to the caller
};

// The fields of a direct request that a driver leaves as the caller set them.
struct direct_header {
    DWORD code = 0;
    SCSI_PASS_THROUGH_DIRECT scsi{};
    ATA_PASS_THROUGH_DIRECT ata{};
};

data_area direct_data(DWORD code, const void* in, DWORD in_size, direct_header& saved) {
    saved.code = code;
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && in_size >= sizeof(SCSI_PASS_THROUGH_DIRECT)) {
        std::memcpy(&saved.scsi, in, sizeof saved.scsi);
        return {static_cast<uint8_t*>(saved.scsi.DataBuffer), saved.scsi.DataTransferLength,
                saved.scsi.DataIn == SCSI_IOCTL_DATA_IN};
    }
    if (code == IOCTL_ATA_PASS_THROUGH_DIRECT && in_size >= sizeof(ATA_PASS_THROUGH_DIRECT)) {
        std::memcpy(&saved.ata, in, sizeof saved.ata);
        return {static_cast<uint8_t*>(saved.ata.DataBuffer), saved.ata.DataTransferLength,
                (saved.ata.AtaFlags & ATA_FLAGS_DATA_IN) != 0};
    }
    saved.code = 0;
    return {};
}

void restore_direct_header(const direct_header& saved, void* out, DWORD out_size) {
    if (saved.code == IOCTL_SCSI_PASS_THROUGH_DIRECT && out_size >= sizeof saved.scsi) {
        auto* header = static_cast<SCSI_PASS_THROUGH_DIRECT*>(out);
        header->Length = saved.scsi.Length;
        header->DataBuffer = saved.scsi.DataBuffer;
        header->SenseInfoOffset = saved.scsi.SenseInfoOffset;
    } else if (saved.code == IOCTL_ATA_PASS_THROUGH_DIRECT && out_size >= sizeof saved.ata) {
        auto* header = static_cast<ATA_PASS_THROUGH_DIRECT*>(out);
        header->Length = saved.ata.Length;
        header->DataBuffer = saved.ata.DataBuffer;
    }
}

void apply_patch(uint8_t* area, size_t size, bool fill) {
    reply_script& script = driver_script();
    const size_t offset = script.word();
    size_t length = script.word();
    if (size == 0) {
        if (fill) {
            script.byte();
        }
        return;
    }
    uint8_t* start = area + offset % size;
    const size_t room = size - offset % size;
    length = length < room ? length : room;
    if (fill) {
        std::memset(start, script.byte(), length);
    } else {
        script.copy(start, length);
    }
}

constexpr uint8_t ata_download_microcode = 0x92;
constexpr uint8_t ata_status_failed_bits = 0x01 | 0x20 | 0x80; // ERR, DF, BSY

// A DOWNLOAD MICROCODE as the program sent it, and whether the script's answer failed it.
struct download_reply {
    uint8_t subcommand = 0;
    uint16_t block_offset = 0;
    bool failed = false;
};

std::vector<download_reply> download_replies;

// The DOWNLOAD MICROCODE a request carries, read before the script answers it.
std::optional<download_reply> download_in(DWORD code, const void* in, DWORD in_size) {
    const auto* bytes = static_cast<const uint8_t*>(in);
    auto command = [](uint8_t opcode, uint8_t features, uint8_t offset_low,
                      uint8_t offset_high) -> std::optional<download_reply> {
        if (opcode != ata_download_microcode) {
            return std::nullopt;
        }
        return download_reply{features, static_cast<uint16_t>(offset_low | offset_high << 8)};
    };
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && in_size >= sizeof(SCSI_PASS_THROUGH_DIRECT)) {
        SCSI_PASS_THROUGH_DIRECT header;
        std::memcpy(&header, in, sizeof header);
        const UCHAR* cdb = header.Cdb;
        if (cdb[0] == 0x85 && header.CdbLength >= 16) {
            return command(cdb[14], cdb[4], cdb[10], cdb[12]);
        }
        if (cdb[0] == 0xA1 && header.CdbLength >= 12) {
            return command(cdb[9], cdb[3], cdb[6], cdb[7]);
        }
    } else if (code == IOCTL_ATA_PASS_THROUGH_DIRECT &&
               in_size >= sizeof(ATA_PASS_THROUGH_DIRECT)) {
        ATA_PASS_THROUGH_DIRECT request;
        std::memcpy(&request, in, sizeof request);
        const UCHAR* task_file = request.CurrentTaskFile;
        return command(task_file[6], task_file[0], task_file[3], task_file[4]);
    } else if (code == IOCTL_SCSI_MINIPORT &&
               in_size >= offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status)) {
        IOCTL_HEADER header;
        std::memcpy(&header, in, sizeof header);
        if (header.ControlCode == CC_CSMI_SAS_STP_PASSTHRU) {
            const uint8_t* fis =
                bytes + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters.bCommandFIS);
            return command(fis[2], fis[3], fis[5], fis[6]);
        }
    }
    return std::nullopt;
}

// A SCSI pass-through answer fails the command unless it is GOOD, or a CHECK CONDITION whose
// sense data returns the drive's ATA status (NO SENSE or RECOVERED ERROR with the ATA Status
// Return descriptor, or fixed format with 00h/1Dh) without ERR, DF or BSY, or a RECOVERED
// ERROR without it.
bool scsi_reply_fails(const uint8_t* bytes, DWORD out_size) {
    SCSI_PASS_THROUGH_DIRECT header;
    std::memcpy(&header, bytes, sizeof header);
    if (header.ScsiStatus == 0) {
        return false;
    }
    if (header.ScsiStatus != 2 || header.SenseInfoOffset >= out_size) {
        return true;
    }
    const uint8_t* sense = bytes + header.SenseInfoOffset;
    const DWORD length = std::min<DWORD>(out_size - header.SenseInfoOffset, header.SenseInfoLength);
    if (length < 14) {
        return true;
    }
    const uint8_t response = sense[0] & 0x7F;
    uint8_t key = 0xFF;
    std::optional<uint8_t> ata_status;
    if (response == 0x72 || response == 0x73) {
        key = sense[1] & 0x0F;
        const DWORD end = std::min<DWORD>(length, 8u + sense[7]);
        for (DWORD at = 8; at + 2 <= end; at += 2u + sense[at + 1]) {
            if (sense[at] == 0x09 && sense[at + 1] >= 0x0C && at + 14 <= end) {
                ata_status = sense[at + 13];
                break;
            }
        }
    } else if (response == 0x70 || response == 0x71) {
        key = sense[2] & 0x0F;
        if (sense[12] == 0x00 && sense[13] == 0x1D) {
            ata_status = sense[4];
        }
    }
    if ((key == 0x00 || key == 0x01) && ata_status) {
        return (*ata_status & ata_status_failed_bits) != 0;
    }
    return key != 0x01;
}

// Whether the answer in the output buffer fails the command.
bool reply_fails(DWORD code, const void* out, DWORD out_size) {
    const auto* bytes = static_cast<const uint8_t*>(out);
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && out_size >= sizeof(SCSI_PASS_THROUGH_DIRECT)) {
        return scsi_reply_fails(bytes, out_size);
    }
    if (code == IOCTL_ATA_PASS_THROUGH_DIRECT && out_size >= sizeof(ATA_PASS_THROUGH_DIRECT)) {
        return (bytes[offsetof(ATA_PASS_THROUGH_DIRECT, CurrentTaskFile) + 6] &
                ata_status_failed_bits) != 0;
    }
    if (code == IOCTL_SCSI_MINIPORT && out_size >= offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status) +
                                                       sizeof(CSMI_SAS_STP_PASSTHRU_STATUS)) {
        ULONG return_code = 0;
        std::memcpy(&return_code, bytes + offsetof(IOCTL_HEADER, ReturnCode), sizeof return_code);
        const uint8_t connection =
            bytes[offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bConnectionStatus)];
        const uint8_t* fis = bytes + offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bStatusFIS);
        // A status FIS left zero shows nothing of what the drive did: no success either.
        const bool no_status = std::all_of(fis, fis + 20, [](uint8_t b) { return b == 0; });
        return return_code != 0 || connection != 0 || no_status ||
               (fis[2] & ata_status_failed_bits) != 0;
    }
    // An output too short to hold the answer holds no success either.
    return true;
}

// The driver: it answers to every device name, before the machine's own devices, and
// works in the caller's own buffers with the sizes the caller gave.
class scripted_device final : public winsim::device {
public:
    scripted_device() : device(nlohmann::json::object()) {}

    bool answers_to(std::wstring_view) const override { return true; }

    void reset() {
        opens_ = 0;
        open_handles_ = 0;
    }
    size_t open_handles() const { return open_handles_; }

protected:
    std::uint32_t opening() override {
        const uint8_t choice = driver_script().byte();
        if (choice % 4 == 0 || opens_ == open_limit) {
            return (choice & 4) != 0 ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        }
        ++opens_;
        ++open_handles_;
        return ERROR_SUCCESS;
    }

    void closed() override {
        if (open_handles_ == 0) {
            misuse("a device closed that this run did not open");
        }
        --open_handles_;
    }

    std::uint32_t handle(winsim::control_request& request) override;

private:
    size_t opens_ = 0;
    size_t open_handles_ = 0;
};

std::uint32_t scripted_device::handle(winsim::control_request& request) {
    void* const in = request.in;
    const DWORD in_size = request.in_length;
    void* const out = request.out;
    const DWORD out_size = request.out_length;
    const DWORD code = request.code;
    if ((in == nullptr && in_size != 0) || (out == nullptr && out_size != 0)) {
        misuse("DeviceIoControl with a size but no buffer");
    }
    read_whole(in, in_size);
    read_whole(out, out_size);
    direct_header saved;
    const data_area data = direct_data(code, in, in_size, saved);
    if (data.data == nullptr && data.size != 0) {
        return ERROR_INVALID_USER_BUFFER;
    }
    read_whole(data.data, data.size);

    std::optional<download_reply> download = download_in(code, in, in_size);

    reply_script& script = driver_script();
    const uint8_t mode = script.byte();
    if ((mode & 0x07) == 0) {
        if (download) {
            download->failed = true;
            download_replies.push_back(*download);
        }
        return failure_errors[(mode >> 3) & 0x07];
    }
    if ((mode & 0x80) != 0 && data.reads) {
        script.copy(data.data, data.size);
    }
    const unsigned patches = (mode >> 3) & 0x07;
    for (unsigned i = 0; i < patches; ++i) {
        const uint8_t kind = script.byte();
        const bool to_data = (kind & 0x01) != 0 && data.reads;
        apply_patch(to_data ? data.data : static_cast<uint8_t*>(out),
                    to_data ? data.size : out_size, (kind & 0x02) != 0);
    }
    restore_direct_header(saved, out, out_size);
    if (download) {
        download->failed = reply_fails(code, out, out_size);
        download_replies.push_back(*download);
    }
    request.returned = (mode & 0x40) != 0 ? script.dword() : out_size;
    return ERROR_SUCCESS;
}

// Put on the process's machine on first use, in front of its own devices.
scripted_device& the_device() {
    static scripted_device* const installed = [] {
        auto added = std::make_unique<scripted_device>();
        scripted_device* const kept = added.get();
        winsim::machine::instance().add_device_first(std::move(added));
        winapi_host::set_closed_handle_hook([](const char* call) {
            std::fprintf(stderr, "%s on a handle that is closed\n", call);
            std::abort();
        });
        return kept;
    }();
    return *installed;
}

} // namespace

void reset_scripted_driver(const uint8_t* data, size_t size) {
    driver_script().reset(data, size);
    download_replies.clear();
    the_device().reset();
}

bool download_failure_left_standing() {
    for (size_t i = 0; i < download_replies.size(); ++i) {
        const download_reply& reply = download_replies[i];
        if (!reply.failed) {
            continue;
        }
        bool sent_again = false;
        for (size_t j = i + 1; j < download_replies.size() && !sent_again; ++j) {
            sent_again = download_replies[j].subcommand == reply.subcommand &&
                         download_replies[j].block_offset == reply.block_offset;
        }
        if (!sent_again) {
            return true;
        }
    }
    return false;
}

size_t open_device_handles() {
    return the_device().open_handles();
}

} // namespace fuzz
