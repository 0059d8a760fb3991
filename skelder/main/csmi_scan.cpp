#include "main/csmi_scan.h"

#include "device/controller_name.h"
#include "device/csmi_dump.h"
#include "device/csmi_request.h"
#include "device/csmi_transport.h"
#include "device/device_context.h"
#include "device/result_codes.h"
#include "download/ata_string.h"
#include "download/security.h"

#include <stdio.h>
#include <string.h>

#include <memory>
#include <new>
#include <string>

namespace skelder {

namespace {

constexpr int32_t controllers_tried = 15;
constexpr const char* asterisks = "***********************************************";
constexpr const char* equals_signs = "===============================================";

void end_line() {
    printf("\n");
    fflush(stdout);
}

struct scan_counts {
    uint32_t opened = 0;
    uint32_t csmi_controllers = 0;
    uint32_t csmi_devices = 0;
};

const char* security_state_name(uint16_t word) {
    switch (security_state_from_word(word)) {
    case sec2_disabled_frozen:
        return "SEC2";
    case sec4_locked:
        return "SEC4";
    case sec5_enabled:
        return "SEC5";
    case sec6_enabled_frozen:
        return "SEC6";
    default:
        return "SEC1";
    }
}

void print_controller_config(HANDLE controller, const WCHAR* name, bool verbose) {
    CSMI_SAS_CNTLR_CONFIG_BUFFER config;
    memset(&config, 0, sizeof config);
    fill_ioctl_header(config.IoctlHeader, CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_CNTLR_CONFIG,
                      csmi_info_timeout_seconds, sizeof config);
    if (!send_csmi_request(controller, &config, sizeof config)) {
        if (verbose) {
            printf("Getting CSMI CNTLR info failed. %ls", name);
            end_line();
            end_line();
        }
        return;
    }
    if (verbose) {
        end_line();
        printf("%s", asterisks);
        end_line();
        printf("\t%ls", name);
        end_line();
        printf("\tBoardID: %u", static_cast<unsigned>(config.Configuration.uBoardID));
        end_line();
        printf("\tControllerFlags: %u",
               static_cast<unsigned>(config.Configuration.uControllerFlags));
        end_line();
    }
}

bool print_driver_info(HANDLE controller, const WCHAR* name, bool verbose) {
    CSMI_SAS_DRIVER_INFO_BUFFER driver;
    memset(&driver, 0, sizeof driver);
    fill_ioctl_header(driver.IoctlHeader, CSMI_ALL_SIGNATURE, CC_CSMI_SAS_GET_DRIVER_INFO,
                      csmi_info_timeout_seconds, sizeof driver);
    if (!send_csmi_request(controller, &driver, sizeof driver)) {
        if (verbose) {
            printf("Getting CSMI Driver info failed. %ls", name);
            end_line();
            end_line();
        }
        return false;
    }
    if (verbose) {
        const CSMI_SAS_DRIVER_INFO& info = driver.Information;
        // The driver's texts are printed only up to their field's end.
        const std::string driver_name(
            reinterpret_cast<const char*>(info.szName),
            strnlen(reinterpret_cast<const char*>(info.szName), sizeof info.szName));
        const std::string description(
            reinterpret_cast<const char*>(info.szDescription),
            strnlen(reinterpret_cast<const char*>(info.szDescription), sizeof info.szDescription));
        end_line();
        printf("%s", asterisks);
        end_line();
        printf("\t%ls", name);
        end_line();
        printf("\tDriver: %s", driver_name.c_str());
        end_line();
        printf("\tDescription: %s", description.c_str());
        end_line();
        printf("\tVersion: %d.%d", info.usMajorRevision, info.usMinorRevision);
        end_line();
        printf("\tCSMI Version: %d.%d", info.usCSMIMajorRevision, info.usCSMIMinorRevision);
        end_line();
        printf("\tRelease: %d", info.usReleaseRevision);
        end_line();
    }
    return true;
}

void print_phy_entry(const CSMI_SAS_PHY_ENTITY& entry) {
    printf("\n\tbPortIdentifier: 0x%02x\n", entry.bPortIdentifier);
    printf("\tbNegotiatedLinkRate: 0x%02x\n", entry.bNegotiatedLinkRate);
    printf("\tbMinimumLinkRate: 0x%02x\n", entry.bMinimumLinkRate);
    printf("\tbMaximumLinkRate: 0x%02x\n", entry.bMaximumLinkRate);
    printf("\tbPhyChangeCount: 0x%02x\n", entry.bPhyChangeCount);
    printf("\tbAutoDiscover: 0x%02x\n", entry.bAutoDiscover);
    printf("\tbPhyFeatures: 0x%02x\n", entry.bPhyFeatures);
    printf("\tATTACHED:\n");
    print_sas_identify(entry.Attached);
    printf("\tIDENTIFY:\n");
    print_sas_identify(entry.Identify);
}

// One phy of a controller; true when a drive answered IDENTIFY DEVICE.
bool scan_phy(device_context& scan, int32_t controller, int32_t p, const CSMI_SAS_PHY_ENTITY& entry,
              bool verbose) {
    scan.phy_entity = entry;
    if (verbose) {
        printf("Phy %d ", static_cast<int>(p));
    }
    if (entry.Identify.bDeviceType == 0) {
        if (verbose) {
            printf("Skipping...nothing identified\n");
        }
        return false;
    }
    if (entry.Attached.bDeviceType == 0) {
        if (verbose) {
            printf("Skipping...nothing attached\n");
        }
        return false;
    }
    if (verbose) {
        print_phy_entry(entry);
    }
    const UCHAR protocol = entry.Attached.bTargetPortProtocol;
    switch (protocol) {
    case CSMI_SAS_PROTOCOL_SSP: {
        if (verbose) {
            printf("CSMI_SAS_PROTOCOL_SSP supported for Phy: %d", static_cast<int>(p));
            end_line();
        }
        DWORD error = 0;
        if (send_ssp_inquiry(scan.handle, entry, error) != 1) {
            printf("SSP command FAILED with GetLastError %d\n", static_cast<int>(error));
        }
        return false;
    }
    case CSMI_SAS_PROTOCOL_SATA:
        if (verbose) {
            printf("\tCSMI_SAS_PROTOCOL_SATA supported for Phy: %d", static_cast<int>(p));
            printf(" 0x%x\n", protocol);
            printf("\tCSMI_SAS_PROTOCOL_STP supported for Phy: %d", static_cast<int>(p));
            end_line();
            end_line();
        }
        break;
    case CSMI_SAS_PROTOCOL_STP:
        if (verbose) {
            printf("\tCSMI_SAS_PROTOCOL_STP supported for Phy: %d", static_cast<int>(p));
            end_line();
            end_line();
        }
        break;
    default:
        printf("Uknown Protocol 0x%02x for Phy: %d so skipping. ", protocol, static_cast<int>(p));
        end_line();
        return false;
    }

    auto* data = static_cast<unsigned char*>(scan.data_buffer);
    if (issue_stp_passthru(scan) != result_completed) {
        if (verbose) {
            printf("\tCSMI:%d:%d STP command FAILED with GetLastError %d to Phy[%d] Port[%d]\n\n",
                   static_cast<int>(controller), static_cast<int>(p),
                   static_cast<int>(scan.last_error), entry.Identify.bPhyIdentifier,
                   entry.bPortIdentifier);
        }
        return false;
    }
    const std::string serial = ata_string(data + 20, 20);
    const std::string model = ata_string(data + 54, 40);
    const std::string firmware = ata_string(data + 46, 8);
    if (verbose) {
        const auto security_word = static_cast<uint16_t>(data[256] | (data[257] << 8));
        printf("\tDrive Serial Number: %s", serial.c_str());
        end_line();
        printf("\tDrive Model Number: %s", model.c_str());
        end_line();
        printf("\tDrive Firmware Rev: %s", firmware.c_str());
        end_line();
        end_line();
        printf("\tATA Security Word: 0x%x", security_word);
        end_line();
        printf("\tATA Security State: %s", security_state_name(security_word));
        end_line();
    }
    printf("%ls%d # %s,%s,%s", controller_name(controller).c_str(), static_cast<int>(p),
           serial.c_str(), model.c_str(), firmware.c_str());
    end_line();
    printf("SAS Address (Attached): ");
    for (UCHAR byte : entry.Attached.bSASAddress) {
        printf("%02x", byte);
    }
    printf("\n");
    printf("SAS Address (Identify): ");
    for (UCHAR byte : entry.Identify.bSASAddress) {
        printf("%02x", byte);
    }
    printf("\n\n");
    return true;
}

} // namespace

int32_t scan_csmi_devices(int32_t verbosity) {
    const bool verbose = verbosity >= 1;
    scan_counts counts;
    unsigned char identify_data[512];
    memset(identify_data, 0, sizeof identify_data);

    // The IDENTIFY DEVICE every drive is asked for.
    device_context scan;
    memset(&scan, 0, sizeof scan);
    scan.registers.command = 0xEC;
    scan.registers.count = 1;
    scan.addressing = addressing_28bit;
    scan.protocol = protocol_pio;
    scan.direction = data_in;
    scan.transfer_length = sizeof identify_data;
    scan.data_buffer = identify_data;
    scan.timeout_seconds = 15;
    scan.verbosity = verbosity;

    printf("\tScanning for CSMI Devices\n\n");
    for (int32_t number = 0; number < controllers_tried; ++number) {
        const std::wstring controller_path = controller_name(number);
        const WCHAR* const name = controller_path.c_str();
        const HANDLE controller =
            CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (controller == INVALID_HANDLE_VALUE) {
            if (verbose) {
                printf("%ls...NOT FOUND\n", name);
            }
            continue;
        }
        if (verbose) {
            printf("%ls...FOUND\n", name);
        }
        ++counts.opened;
        print_controller_config(controller, name, verbose);
        if (print_driver_info(controller, name, verbose)) {
            ++counts.csmi_controllers;
            const std::unique_ptr<CSMI_SAS_PHY_INFO_BUFFER> phy_info(new (std::nothrow)
                                                                         CSMI_SAS_PHY_INFO_BUFFER);
            if (phy_info == nullptr) {
                CloseHandle(controller);
                continue;
            }
            // A failed phy table request leaves the zeroed reply: no drives.
            get_phy_info(controller, *phy_info);
            if (verbose) {
                printf("\n\tTotal Number of Phys: %d\n\n", phy_info->Information.bNumberOfPhys);
            }
            scan.handle = controller;
            // All 32 entries, whatever the number of phys says.
            for (int32_t p = 0; p < CSMI_SAS_MAX_PHYS; ++p) {
                if (scan_phy(scan, number, p, phy_info->Information.Phy[p], verbose)) {
                    ++counts.csmi_devices;
                }
            }
        }
        CloseHandle(controller);
    }

    if (verbose) {
        end_line();
        printf("%s", equals_signs);
        end_line();
        end_line();
        if (counts.csmi_controllers > 0) {
            printf("Found %u CSMI Controller(s) and %u CSMI device(s)", counts.csmi_controllers,
                   counts.csmi_devices);
        } else {
            printf("Tested %u valid controller(s) but didn't find any CSMI devices", counts.opened);
        }
        end_line();
        end_line();
    }
    printf("To Scan the system for Physical Devices please use the following:\n\t wmic diskdrive "
           "get DeviceID,model,FirmwareRevision,InterfaceType");
    end_line();
    end_line();
    return 0;
}

} // namespace skelder
