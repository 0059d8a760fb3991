// A disk device (\\.\PhysicalDriveN and its interface path): the storage port
// driver's control codes in front of one drive.
#pragma once

#include <winsim/device.h>
#include <winsim/drive.h>
#include <winsim/sat.h>

namespace winsim {

class disk final : public device {
public:
    disk(const nlohmann::json& description, drive& target);

    drive& target() { return drive_; }

protected:
    std::uint32_t handle(control_request& request) override;

private:
    struct scsi_fault {
        std::optional<std::uint8_t> opcode;      // CDB byte 0
        std::optional<std::uint8_t> ata_command; // of an ATA PASS-THROUGH block
        occurrence when;
        std::uint8_t status = 0;
    };

    std::uint32_t get_address(control_request& request);
    std::uint32_t scsi_pass_through(control_request& request, bool direct);
    std::uint32_t ata_pass_through(control_request& request, bool direct);
    std::uint32_t smart_receive(control_request& request);
    std::uint32_t query_property(control_request& request);
    std::uint32_t device_number(control_request& request);
    // For a direct request that sends data: whether its buffer lies in a buffer the process
    // read a file into, and where (trace keys "data_in_image" and "data_image_offset").
    static void record_data_placement(control_request& request, const void* data);

    // The data phase of a pass-through request: the caller's own buffer (direct), or a
    // staging copy of the request buffers from DataBufferOffset on (buffered).
    struct data_phase {
        bool direct = false;
        data_direction direction = data_direction::none;
        std::size_t buffered_offset = 0;
        std::vector<std::uint8_t> staging;
        std::span<std::uint8_t> data;
    };
    // ERROR_INVALID_PARAMETER when the buffer is missing or the offset and length do not fit
    // the request buffers after a header of header_size bytes.
    static std::uint32_t stage_data(control_request& request, std::uint32_t header_size,
                                    std::uint32_t length, void* direct_buffer,
                                    std::size_t buffered_offset, data_phase& phase);
    // Buffered data read from the drive back into the output buffer.
    static void return_staged_data(control_request& request, const data_phase& phase,
                                   std::uint32_t transferred);

    // The SCSI command with injected SCSI statuses applied.
    scsi_result run_scsi(std::span<const std::uint8_t> cdb, data_direction direction,
                         std::span<std::uint8_t> data, std::optional<std::uint64_t> time_limit_ms);

    // The adapter's limits on a data phase: the description field whose rule refuses it, or
    // null. `address` is where the data sits: the caller's pointer for a direct request, the
    // offset from the request's start for a buffered one (the system buffer starts a page).
    const char* adapter_refusal(std::uintptr_t address, std::uint32_t length) const;
    // A pass-through request's TimeOutValue as the drive's time limit (0: none).
    static std::optional<std::uint64_t> time_limit(std::uint32_t seconds);

    drive& drive_;
    std::uint8_t port_ = 0, path_ = 0, target_id_ = 0, lun_ = 0;
    sat_settings sat_;
    // The adapter descriptor's limits, enforced on pass-through data (0: no limit).
    std::uint32_t max_transfer_length_ = 0;
    std::uint32_t max_physical_pages_ = 0;
    std::uint32_t alignment_mask_ = 0;
    std::uint8_t bus_type_ = 0x0B; // BusTypeSata
    // What IOCTL_STORAGE_GET_DEVICE_NUMBER answers: `device_number`, else the N of the disk's
    // \\.\PhysicalDriveN name. Every Windows disk has one; a description that gives neither
    // gets ERROR_INVALID_FUNCTION rather than an invented number.
    std::optional<std::uint32_t> device_number_;
    std::vector<scsi_fault> scsi_faults_;
    // Hostile drivers: the adapter descriptor's Size, and the DataTransferLength a
    // pass-through request is answered with, when they differ from the truth.
    std::optional<std::uint32_t> adapter_descriptor_size_;
    std::optional<std::uint32_t> reply_transfer_length_;
};

} // namespace winsim
