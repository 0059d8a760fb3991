// A RAID/SAS controller (\\.\SCSI<n>:) whose driver answers CSMI requests carried by
// IOCTL_SCSI_MINIPORT: driver information, configuration, phy table, RAID sets, and
// STP and SSP pass-through routed to the target with the request's destination address.
#pragma once

#include <winsim/device.h>
#include <winsim/drive.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

using sas_address = std::array<std::uint8_t, 8>;

// Reads "5000000000000100": 16 hexadecimal digits, first byte first.
sas_address parse_sas_address(const std::string& text);

class csmi_controller final : public device {
public:
    using drive_lookup = std::function<drive*(std::string_view id)>;

    csmi_controller(const nlohmann::json& description, const drive_lookup& find_drive);

protected:
    std::uint32_t handle(control_request& request) override;

private:
    struct identify_part {
        std::uint8_t device_type = 0;
        std::uint8_t initiator_protocol = 0;
        std::uint8_t target_protocol = 0;
        sas_address address{};
        std::uint8_t phy_identifier = 0;
    };
    struct ssp_target {
        std::string vendor, product, revision;
    };
    struct phy {
        std::uint8_t number = 0;
        std::uint8_t port = 0;
        std::uint8_t negotiated_rate = 0, minimum_rate = 0, maximum_rate = 0;
        identify_part identify;
        identify_part attached;
        drive* target = nullptr; // a SATA or STP drive
        std::optional<ssp_target> ssp;
    };
    struct raid_set {
        std::uint32_t index = 0;
        std::uint8_t raid_type = 0;
        std::vector<drive*> drives;
    };
    // A request kind answered with a failed call, a ReturnCode or a connection status.
    struct request_fault {
        std::string request; // "driver_info", "config", "phy_info", "raid_info", "raid_config",
                             // "stp", "ssp"
        std::optional<std::uint8_t> ata_command;
        occurrence when;
        std::optional<std::uint32_t> error;
        std::optional<std::uint32_t> return_code;
        std::optional<std::uint8_t> connection_status;
        bool no_data = false; // "data": "none": answered with success, not carried out
    };

    std::uint32_t driver_info(std::uint8_t* buffer, std::uint32_t size);
    std::uint32_t controller_config(std::uint8_t* buffer, std::uint32_t size);
    std::uint32_t phy_info(std::uint8_t* buffer, std::uint32_t size);
    std::uint32_t raid_info(std::uint8_t* buffer, std::uint32_t size);
    std::uint32_t raid_config(std::uint8_t* buffer, std::uint32_t size);
    // `time_limit_ms` is the request's Timeout; `timed_out` tells that it ran out first.
    std::uint32_t stp_passthru(std::uint8_t* buffer, std::uint32_t size, control_request& request,
                               const request_fault* fault,
                               std::optional<std::uint64_t> time_limit_ms, bool& timed_out);
    std::uint32_t ssp_passthru(std::uint8_t* buffer, std::uint32_t size, control_request& request,
                               const request_fault* fault);

    // The fault that answers this request, if one fires.
    const request_fault* fault_for(const std::string& kind, std::optional<std::uint8_t> command);
    const phy* phy_with_attached(const sas_address& address) const;
    std::optional<sas_address> address_of(const drive* target) const;

    std::string driver_name_, driver_description_;
    std::array<std::uint16_t, 4> driver_revision_{};
    std::array<std::uint16_t, 2> csmi_revision_{};
    nlohmann::json config_;
    std::optional<std::uint8_t> reported_phys_; // bNumberOfPhys when it differs from the table
    bool returns_status_fis_ = true;            // some drivers leave the STP status part zero
    bool expires_timeout_zero_ = false;         // a driver that waits exactly Timeout seconds
    // Hostile drivers: a phy table of pseudo-random bytes (from this seed), a RAID drive
    // count and an STP uDataBytes that differ from the truth.
    std::optional<std::uint32_t> phy_noise_;
    std::optional<std::uint8_t> raid_drive_count_;
    std::optional<std::uint32_t> stp_data_bytes_;
    std::vector<phy> phys_;
    std::vector<raid_set> raid_sets_;
    std::vector<request_fault> faults_;
};

} // namespace winsim
