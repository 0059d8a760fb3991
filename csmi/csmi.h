/*
 * csmi.h: the Common Storage Management Interface structures, control codes and
 * constants that RAID/SAS controller drivers answer in IOCTL_SCSI_MINIPORT requests.
 *
 * Windows ships no header for CSMI; this one is platform material in the manner of
 * <ntddscsi.h>. Layouts use natural alignment, as a Windows compiler lays them out;
 * the size checks at the end hold in 32- and 64-bit builds alike.
 */
#ifndef FWU_CSMI_H
#define FWU_CSMI_H

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

/* The request header is the Windows SRB_IO_CONTROL. */
typedef SRB_IO_CONTROL IOCTL_HEADER, *PIOCTL_HEADER;

/* Signatures (seven letters and a zero). */
#define CSMI_ALL_SIGNATURE "CSMIALL"
#define CSMI_RAID_SIGNATURE "CSMIARY"
#define CSMI_SAS_SIGNATURE "CSMISAS"
#define CSMI_PHY_SIGNATURE "CSMIPHY"

/* Control codes. */
#define CC_CSMI_SAS_GET_DRIVER_INFO 1
#define CC_CSMI_SAS_GET_CNTLR_CONFIG 2
#define CC_CSMI_SAS_GET_CNTLR_STATUS 3
#define CC_CSMI_SAS_GET_RAID_INFO 10
#define CC_CSMI_SAS_GET_RAID_CONFIG 11
#define CC_CSMI_SAS_GET_PHY_INFO 20
#define CC_CSMI_SAS_SET_PHY_INFO 21
#define CC_CSMI_SAS_SMP_PASSTHRU 23
#define CC_CSMI_SAS_SSP_PASSTHRU 24
#define CC_CSMI_SAS_STP_PASSTHRU 25
#define CC_CSMI_SAS_GET_SATA_SIGNATURE 26
#define CC_CSMI_SAS_PHY_CONTROL 60

/* ReturnCode values. */
#define CSMI_SAS_STATUS_SUCCESS 0
#define CSMI_SAS_STATUS_FAILED 1
#define CSMI_SAS_STATUS_BAD_CNTL_CODE 2
#define CSMI_SAS_STATUS_INVALID_PARAMETER 3
#define CSMI_SAS_STATUS_WRITE_ATTEMPTED 4

/* Device types of a CSMI_SAS_IDENTIFY. */
#define CSMI_SAS_PHY_UNUSED 0x00
#define CSMI_SAS_NO_DEVICE_ATTACHED 0x00
#define CSMI_SAS_END_DEVICE 0x01
#define CSMI_SAS_EDGE_EXPANDER_DEVICE 0x02
#define CSMI_SAS_FANOUT_EXPANDER_DEVICE 0x03

/* Port protocols (initiator and target). */
#define CSMI_SAS_PROTOCOL_SATA 0x01
#define CSMI_SAS_PROTOCOL_SMP 0x02
#define CSMI_SAS_PROTOCOL_STP 0x04
#define CSMI_SAS_PROTOCOL_SSP 0x08

/* Pass-through flags. */
#define CSMI_SAS_STP_READ 0x00000001
#define CSMI_SAS_STP_WRITE 0x00000002
#define CSMI_SAS_STP_UNSPECIFIED 0x00000004
#define CSMI_SAS_STP_PIO 0x00000010
#define CSMI_SAS_STP_DMA 0x00000020
#define CSMI_SAS_STP_PACKET 0x00000040
#define CSMI_SAS_STP_DMA_QUEUED 0x00000080
#define CSMI_SAS_STP_EXECUTE_DIAG 0x00000100
#define CSMI_SAS_STP_RESET_DEVICE 0x00000200

#define CSMI_SAS_SSP_READ 0x00000001
#define CSMI_SAS_SSP_WRITE 0x00000002
#define CSMI_SAS_SSP_UNSPECIFIED 0x00000004

/* Connection status: anything but open accept is an open-reject reason. */
#define CSMI_SAS_OPEN_ACCEPT 0
#define CSMI_SAS_OPEN_REJECT_BAD_DESTINATION 1
#define CSMI_SAS_OPEN_REJECT_RATE_NOT_SUPPORTED 2
#define CSMI_SAS_OPEN_REJECT_NO_DESTINATION 3
#define CSMI_SAS_OPEN_REJECT_PATHWAY_BLOCKED 4
#define CSMI_SAS_OPEN_REJECT_PROTOCOL_NOT_SUPPORTED 5
#define CSMI_SAS_OPEN_REJECT_RESERVE_ABANDON 6
#define CSMI_SAS_OPEN_REJECT_RESERVE_CONTINUE 7
#define CSMI_SAS_OPEN_REJECT_RESERVE_INITIALIZE 8
#define CSMI_SAS_OPEN_REJECT_RESERVE_STOP 9
#define CSMI_SAS_OPEN_REJECT_RETRY 10
#define CSMI_SAS_OPEN_REJECT_STP_RESOURCES_BUSY 11
#define CSMI_SAS_OPEN_REJECT_WRONG_DESTINATION 12

#define CSMI_SAS_LINK_RATE_NEGOTIATED 0x00
#define CSMI_SAS_MAX_PHYS 32

/* Driver information (CC_CSMI_SAS_GET_DRIVER_INFO). */
typedef struct _CSMI_SAS_DRIVER_INFO {
    UCHAR szName[81];
    UCHAR szDescription[81];
    USHORT usMajorRevision;
    USHORT usMinorRevision;
    USHORT usBuildRevision;
    USHORT usReleaseRevision;
    USHORT usCSMIMajorRevision;
    USHORT usCSMIMinorRevision;
} CSMI_SAS_DRIVER_INFO, *PCSMI_SAS_DRIVER_INFO;

typedef struct _CSMI_SAS_DRIVER_INFO_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_DRIVER_INFO Information;
} CSMI_SAS_DRIVER_INFO_BUFFER, *PCSMI_SAS_DRIVER_INFO_BUFFER;

/* Controller configuration (CC_CSMI_SAS_GET_CNTLR_CONFIG). */
typedef struct _CSMI_SAS_PCI_BUS_ADDRESS {
    UCHAR bBusNumber;
    UCHAR bDeviceNumber;
    UCHAR bFunctionNumber;
    UCHAR bReserved;
} CSMI_SAS_PCI_BUS_ADDRESS, *PCSMI_SAS_PCI_BUS_ADDRESS;

typedef union _CSMI_SAS_IO_BUS_ADDRESS {
    CSMI_SAS_PCI_BUS_ADDRESS PciAddress;
    UCHAR bReserved[32];
} CSMI_SAS_IO_BUS_ADDRESS, *PCSMI_SAS_IO_BUS_ADDRESS;

typedef struct _CSMI_SAS_CNTLR_CONFIG {
    ULONG uBaseIoAddress;
    struct {
        ULONG uLowPart;
        ULONG uHighPart;
    } BaseMemoryAddress;
    ULONG uBoardID;
    USHORT usSlotNumber;
    UCHAR bControllerClass;
    UCHAR bIoBusType;
    CSMI_SAS_IO_BUS_ADDRESS BusAddress;
    UCHAR szSerialNumber[81];
    USHORT usMajorRevision;
    USHORT usMinorRevision;
    USHORT usBuildRevision;
    USHORT usReleaseRevision;
    USHORT usBIOSMajorRevision;
    USHORT usBIOSMinorRevision;
    USHORT usBIOSBuildRevision;
    USHORT usBIOSReleaseRevision;
    ULONG uControllerFlags;
    USHORT usRromMajorRevision;
    USHORT usRromMinorRevision;
    USHORT usRromBuildRevision;
    USHORT usRromReleaseRevision;
    USHORT usRromBIOSMajorRevision;
    USHORT usRromBIOSMinorRevision;
    USHORT usRromBIOSBuildRevision;
    USHORT usRromBIOSReleaseRevision;
    UCHAR bReserved[7];
} CSMI_SAS_CNTLR_CONFIG, *PCSMI_SAS_CNTLR_CONFIG;

typedef struct _CSMI_SAS_CNTLR_CONFIG_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_CNTLR_CONFIG Configuration;
} CSMI_SAS_CNTLR_CONFIG_BUFFER, *PCSMI_SAS_CNTLR_CONFIG_BUFFER;

/* RAID information and configuration (CC_CSMI_SAS_GET_RAID_INFO, _RAID_CONFIG). */
typedef struct _CSMI_SAS_RAID_INFO {
    ULONG uNumRaidSets;
    ULONG uMaxDrivesPerSet;
    UCHAR bReserved[92];
} CSMI_SAS_RAID_INFO, *PCSMI_SAS_RAID_INFO;

typedef struct _CSMI_SAS_RAID_INFO_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_RAID_INFO Information;
} CSMI_SAS_RAID_INFO_BUFFER, *PCSMI_SAS_RAID_INFO_BUFFER;

typedef struct _CSMI_SAS_RAID_DRIVES {
    UCHAR bModel[40];
    UCHAR bFirmware[8];
    UCHAR bSerialNumber[40];
    UCHAR bSASAddress[8];
    UCHAR bSASLun[8];
    UCHAR bDriveStatus;
    UCHAR bDriveUsage;
    USHORT usBlockSize;
    UCHAR bDriveType;
    UCHAR bReserved[15];
    ULONG uDriveIndex;
    struct {
        ULONG uLowPart;
        ULONG uHighPart;
    } ulTotalUserBlocks;
} CSMI_SAS_RAID_DRIVES, *PCSMI_SAS_RAID_DRIVES;

typedef struct _CSMI_SAS_RAID_CONFIG {
    ULONG uRaidSetIndex;
    ULONG uCapacity;
    ULONG uStripeSize;
    UCHAR bRaidType;
    UCHAR bStatus;
    UCHAR bInformation;
    UCHAR bDriveCount;
    UCHAR bReserved[20];
    CSMI_SAS_RAID_DRIVES Drives[1];
} CSMI_SAS_RAID_CONFIG, *PCSMI_SAS_RAID_CONFIG;

typedef struct _CSMI_SAS_RAID_CONFIG_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_RAID_CONFIG Configuration;
} CSMI_SAS_RAID_CONFIG_BUFFER, *PCSMI_SAS_RAID_CONFIG_BUFFER;

/* Phy information (CC_CSMI_SAS_GET_PHY_INFO). */
typedef struct _CSMI_SAS_IDENTIFY {
    UCHAR bDeviceType;
    UCHAR bRestricted;
    UCHAR bInitiatorPortProtocol;
    UCHAR bTargetPortProtocol;
    UCHAR bRestricted2[8];
    UCHAR bSASAddress[8];
    UCHAR bPhyIdentifier;
    UCHAR bSignalClass;
    UCHAR bReserved[6];
} CSMI_SAS_IDENTIFY, *PCSMI_SAS_IDENTIFY;

typedef struct _CSMI_SAS_PHY_ENTITY {
    CSMI_SAS_IDENTIFY Identify;
    UCHAR bPortIdentifier;
    UCHAR bNegotiatedLinkRate;
    UCHAR bMinimumLinkRate;
    UCHAR bMaximumLinkRate;
    UCHAR bPhyChangeCount;
    UCHAR bAutoDiscover;
    UCHAR bPhyFeatures;
    UCHAR bReserved;
    CSMI_SAS_IDENTIFY Attached;
} CSMI_SAS_PHY_ENTITY, *PCSMI_SAS_PHY_ENTITY;

typedef struct _CSMI_SAS_PHY_INFO {
    UCHAR bNumberOfPhys;
    UCHAR bReserved[3];
    CSMI_SAS_PHY_ENTITY Phy[32];
} CSMI_SAS_PHY_INFO, *PCSMI_SAS_PHY_INFO;

typedef struct _CSMI_SAS_PHY_INFO_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_PHY_INFO Information;
} CSMI_SAS_PHY_INFO_BUFFER, *PCSMI_SAS_PHY_INFO_BUFFER;

/* STP pass-through (CC_CSMI_SAS_STP_PASSTHRU): a register FIS and its data. */
typedef struct _CSMI_SAS_STP_PASSTHRU {
    UCHAR bPhyIdentifier;
    UCHAR bPortIdentifier;
    UCHAR bConnectionRate;
    UCHAR bReserved;
    UCHAR bDestinationSASAddress[8];
    UCHAR bReserved2[4];
    UCHAR bCommandFIS[20];
    ULONG uFlags;
    ULONG uDataLength;
} CSMI_SAS_STP_PASSTHRU, *PCSMI_SAS_STP_PASSTHRU;

typedef struct _CSMI_SAS_STP_PASSTHRU_STATUS {
    UCHAR bConnectionStatus;
    UCHAR bReserved[3];
    UCHAR bStatusFIS[20];
    ULONG uSCR[16];
    ULONG uDataBytes;
} CSMI_SAS_STP_PASSTHRU_STATUS, *PCSMI_SAS_STP_PASSTHRU_STATUS;

typedef struct _CSMI_SAS_STP_PASSTHRU_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_STP_PASSTHRU Parameters;
    CSMI_SAS_STP_PASSTHRU_STATUS Status;
    UCHAR bDataBuffer[1];
} CSMI_SAS_STP_PASSTHRU_BUFFER, *PCSMI_SAS_STP_PASSTHRU_BUFFER;

/* SSP pass-through (CC_CSMI_SAS_SSP_PASSTHRU): a SCSI command block to a SAS target. */
typedef struct _CSMI_SAS_SSP_PASSTHRU {
    UCHAR bPhyIdentifier;
    UCHAR bPortIdentifier;
    UCHAR bConnectionRate;
    UCHAR bReserved;
    UCHAR bDestinationSASAddress[8];
    UCHAR bLun[8];
    UCHAR bCDBLength;
    UCHAR bAdditionalCDBLength;
    UCHAR bReserved2[2];
    UCHAR bCDB[16];
    ULONG uFlags;
    UCHAR bAdditionalCDB[24];
    ULONG uDataLength;
} CSMI_SAS_SSP_PASSTHRU, *PCSMI_SAS_SSP_PASSTHRU;

typedef struct _CSMI_SAS_SSP_PASSTHRU_STATUS {
    UCHAR bConnectionStatus;
    UCHAR bSSPStatus;
    UCHAR bReserved[2];
    UCHAR bDataPresent;
    UCHAR bStatus;
    UCHAR bResponseLength[2];
    UCHAR bResponse[256];
    ULONG uDataBytes;
} CSMI_SAS_SSP_PASSTHRU_STATUS, *PCSMI_SAS_SSP_PASSTHRU_STATUS;

typedef struct _CSMI_SAS_SSP_PASSTHRU_BUFFER {
    IOCTL_HEADER IoctlHeader;
    CSMI_SAS_SSP_PASSTHRU Parameters;
    CSMI_SAS_SSP_PASSTHRU_STATUS Status;
    UCHAR bDataBuffer[1];
} CSMI_SAS_SSP_PASSTHRU_BUFFER, *PCSMI_SAS_SSP_PASSTHRU_BUFFER;

#ifdef __cplusplus
#include <cstddef>
static_assert(sizeof(IOCTL_HEADER) == 28, "IOCTL_HEADER layout");
static_assert(sizeof(CSMI_SAS_DRIVER_INFO) == 174, "CSMI_SAS_DRIVER_INFO layout");
static_assert(sizeof(CSMI_SAS_DRIVER_INFO_BUFFER) == 204, "CSMI_SAS_DRIVER_INFO_BUFFER layout");
static_assert(offsetof(CSMI_SAS_DRIVER_INFO, usMajorRevision) == 162, "driver revision");
static_assert(offsetof(CSMI_SAS_DRIVER_INFO, usCSMIMinorRevision) == 172, "CSMI revision");
static_assert(sizeof(CSMI_SAS_CNTLR_CONFIG) == 180, "CSMI_SAS_CNTLR_CONFIG layout");
static_assert(sizeof(CSMI_SAS_CNTLR_CONFIG_BUFFER) == 208, "CSMI_SAS_CNTLR_CONFIG_BUFFER layout");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, uBoardID) == 12, "board id");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, BusAddress) == 20, "bus address");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, szSerialNumber) == 52, "serial number");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, usMajorRevision) == 134, "revision");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, usBIOSMajorRevision) == 142, "BIOS revision");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, uControllerFlags) == 152, "controller flags");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, usRromMajorRevision) == 156, "Rrom revision");
static_assert(offsetof(CSMI_SAS_CNTLR_CONFIG, bReserved) == 172, "reserved tail");
static_assert(sizeof(CSMI_SAS_IDENTIFY) == 28, "CSMI_SAS_IDENTIFY layout");
static_assert(offsetof(CSMI_SAS_IDENTIFY, bSASAddress) == 12, "identify SAS address");
static_assert(offsetof(CSMI_SAS_IDENTIFY, bPhyIdentifier) == 20, "identify phy");
static_assert(sizeof(CSMI_SAS_PHY_ENTITY) == 64, "CSMI_SAS_PHY_ENTITY layout");
static_assert(offsetof(CSMI_SAS_PHY_ENTITY, bPortIdentifier) == 28, "phy port");
static_assert(offsetof(CSMI_SAS_PHY_ENTITY, Attached) == 36, "phy attached");
static_assert(sizeof(CSMI_SAS_PHY_INFO) == 2052, "CSMI_SAS_PHY_INFO layout");
static_assert(sizeof(CSMI_SAS_PHY_INFO_BUFFER) == 2080, "CSMI_SAS_PHY_INFO_BUFFER layout");
static_assert(sizeof(CSMI_SAS_STP_PASSTHRU) == 44, "CSMI_SAS_STP_PASSTHRU layout");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU, bCommandFIS) == 16, "STP command FIS");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU, uFlags) == 36, "STP flags");
static_assert(sizeof(CSMI_SAS_STP_PASSTHRU_STATUS) == 92, "CSMI_SAS_STP_PASSTHRU_STATUS layout");
static_assert(sizeof(CSMI_SAS_STP_PASSTHRU_BUFFER) == 168, "CSMI_SAS_STP_PASSTHRU_BUFFER layout");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Parameters) == 28, "STP parameters");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status) == 72, "STP status");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.bStatusFIS) == 76, "STP status FIS");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, Status.uDataBytes) == 160, "STP data bytes");
static_assert(offsetof(CSMI_SAS_STP_PASSTHRU_BUFFER, bDataBuffer) == 164, "STP data area");
static_assert(sizeof(CSMI_SAS_SSP_PASSTHRU) == 72, "CSMI_SAS_SSP_PASSTHRU layout");
static_assert(offsetof(CSMI_SAS_SSP_PASSTHRU, bCDB) == 24, "SSP command block");
static_assert(offsetof(CSMI_SAS_SSP_PASSTHRU, uFlags) == 40, "SSP flags");
static_assert(offsetof(CSMI_SAS_SSP_PASSTHRU, uDataLength) == 68, "SSP data length");
static_assert(sizeof(CSMI_SAS_SSP_PASSTHRU_STATUS) == 268, "CSMI_SAS_SSP_PASSTHRU_STATUS layout");
static_assert(sizeof(CSMI_SAS_SSP_PASSTHRU_BUFFER) == 372, "CSMI_SAS_SSP_PASSTHRU_BUFFER layout");
static_assert(offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, Status.uDataBytes) == 364, "SSP data bytes");
static_assert(offsetof(CSMI_SAS_SSP_PASSTHRU_BUFFER, bDataBuffer) == 368, "SSP data area");
static_assert(sizeof(CSMI_SAS_RAID_DRIVES) == 136, "CSMI_SAS_RAID_DRIVES layout");
static_assert(offsetof(CSMI_SAS_RAID_DRIVES, uDriveIndex) == 124, "RAID drive index");
static_assert(offsetof(CSMI_SAS_RAID_DRIVES, ulTotalUserBlocks) == 128, "RAID drive blocks");
static_assert(offsetof(CSMI_SAS_RAID_CONFIG_BUFFER, Configuration.Drives) == 64, "RAID drives");
static_assert(28 + 36 + 8 * sizeof(CSMI_SAS_RAID_DRIVES) == 1152, "RAID config of 8 drives");
#endif

#endif
