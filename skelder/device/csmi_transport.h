#pragma once
// The CSMI route: a RAID/SAS controller reached through its driver's CSMI interface.

#include "device/device_context.h"
#include "device/result_codes.h"

namespace skelder {

// Opens the controller and chooses the phy that leads to the drive: by phy_index, or by
// sas_address when phy_index is negative (then set to the phy found; with l_flag the address
// is used as given). Returns 1 when the record is ready for STP pass-through, else 0.
result_code open_csmi_device(device_context& context, const WCHAR* controller_path,
                             int32_t& phy_index, const uint8_t (&sas_address)[8], bool l_flag);

// Carries the record's ATA command as a register FIS through CSMI STP pass-through.
// Returns 1 completed, 0 when the call or the driver failed or the command never reached
// the drive, 11 when the drive reported an error, -1 for an invalid request.
result_code issue_stp_passthru(device_context& context);

// Sends a 96-byte INQUIRY to the SAS target attached to the phy. Returns 1 when the call
// succeeded, else 0 with the Windows error in error_code.
int32_t send_ssp_inquiry(HANDLE controller, const CSMI_SAS_PHY_ENTITY& phy, DWORD& error_code);

} // namespace skelder
