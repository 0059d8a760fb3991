/*
 * ata.h: the ATA command set facts the programs and the simulated machine speak: opcodes,
 * status and error bits, DOWNLOAD MICROCODE subcommands, IDENTIFY DEVICE word numbers, the
 * register FIS layouts of SATA and the ATA PASS-THROUGH command blocks of SAT.
 *
 * Platform material in the manner of <ntddscsi.h>: constants and byte offsets only, so a
 * program that includes it shares no code with another. Encoders stay in each program.
 */
#ifndef FWU_ATA_H
#define FWU_ATA_H

/* Command opcodes (the command register). */
#define ATA_READ_LOG_EXT 0x2F
#define ATA_DOWNLOAD_MICROCODE 0x92
#define ATA_DOWNLOAD_MICROCODE_DMA 0x93
#define ATA_SMART 0xB0
#define ATA_IDENTIFY_DEVICE 0xEC
#define ATA_SET_FEATURES 0xEF

/* DOWNLOAD MICROCODE subcommands (the features register). */
#define ATA_DM_OFFSETS_IMMEDIATE 0x03 /* download with offsets, activate when complete */
#define ATA_DM_WHOLE_IMAGE 0x07       /* download the whole image and activate */
#define ATA_DM_OFFSETS_DEFERRED 0x0E  /* download with offsets, save for future use */
#define ATA_DM_ACTIVATE 0x0F          /* activate the saved microcode */

/* SET FEATURES subcommands, and the SATA feature they name in the count register. */
#define ATA_SF_ENABLE_SATA_FEATURE 0x10
#define ATA_SF_DISABLE_SATA_FEATURE 0x90
#define ATA_SATA_FEATURE_SETTINGS_PRESERVATION 0x06

/* SMART: the signature in LBA mid and LBA high that every SMART command carries. */
#define ATA_SMART_LBA_MID 0x4F
#define ATA_SMART_LBA_HIGH 0xC2

/* Status register bits. */
#define ATA_STATUS_ERR 0x01
#define ATA_STATUS_DRQ 0x08
#define ATA_STATUS_DSC 0x10 /* seek complete, in older drives */
#define ATA_STATUS_DF 0x20
#define ATA_STATUS_DRDY 0x40
#define ATA_STATUS_BSY 0x80

/* Error register bits. */
#define ATA_ERROR_ABRT 0x04

/* Device register: bit 6 selects LBA addressing; bits 7 and 5 are obsolete, set by old hosts. */
#define ATA_DEVICE_LBA 0x40
#define ATA_DEVICE_OBSOLETE 0xA0

/* IDENTIFY DEVICE data: 256 little-endian words; texts hold two characters a word, the first
 * in the high byte. */
#define ATA_IDENTIFY_BYTES 512
#define ATA_IDENTIFY_WORDS 256
#define ATA_ID_SERIAL_NUMBER 10
#define ATA_ID_SERIAL_NUMBER_WORDS 10
#define ATA_ID_FIRMWARE_REVISION 23
#define ATA_ID_FIRMWARE_REVISION_WORDS 4
#define ATA_ID_MODEL_NUMBER 27
#define ATA_ID_MODEL_NUMBER_WORDS 20
#define ATA_ID_ADDITIONAL_SUPPORTED 69 /* bit 8 DOWNLOAD MICROCODE DMA */
#define ATA_ID_MAJOR_VERSION 80
#define ATA_ID_COMMAND_SET_SUPPORTED 83 /* bit 0 DOWNLOAD MICROCODE */
#define ATA_ID_COMMAND_SET_ENABLED 86   /* bit 0 DOWNLOAD MICROCODE */
#define ATA_ID_MAX_LBA_48 100           /* 4 words */
#define ATA_ID_SECTOR_SIZE 106
#define ATA_ID_WORLD_WIDE_NAME 108           /* 4 words */
#define ATA_ID_COMMAND_SET_SUPPORTED_EXT 119 /* bit 4 DOWNLOAD MICROCODE with offsets */
#define ATA_ID_COMMAND_SET_ENABLED_EXT 120
#define ATA_ID_SECURITY_STATUS 128 /* bit 1 security enabled */
#define ATA_ID_DM_MIN_BLOCKS 234   /* DOWNLOAD MICROCODE minimum block count */
#define ATA_ID_DM_MAX_BLOCKS 235   /* DOWNLOAD MICROCODE maximum block count */
#define ATA_ID_INTEGRITY 255       /* signature A5h in the low byte, checksum in the high byte */
#define ATA_ID_INTEGRITY_SIGNATURE 0xA5
/* A word whose bits 15:14 read 01b holds valid content. */
#define ATA_ID_VALID_MASK 0xC000
#define ATA_ID_VALID 0x4000
#define ATA_ID_SECURITY_ENABLED 0x0002
#define ATA_ID_SECURITY_LOCKED 0x0004

/* READ LOG EXT: the IDENTIFY DEVICE data log and its supported capabilities page. */
#define ATA_LOG_IDENTIFY_DEVICE 0x30
#define ATA_LOG_PAGE_CAPABILITIES 0x03
#define ATA_LOG_PAGE_BYTES 512

/* The SATA register FIS, host to device (20 bytes). */
#define FIS_TYPE_REG_H2D 0x27
#define FIS_H2D_BYTES 20
#define FIS_H2D_TYPE 0
#define FIS_H2D_FLAGS 1 /* FIS_H2D_COMMAND_BIT: the FIS carries a command */
#define FIS_H2D_COMMAND 2
#define FIS_H2D_FEATURES 3
#define FIS_H2D_LBA_LOW 4
#define FIS_H2D_LBA_MID 5
#define FIS_H2D_LBA_HIGH 6
#define FIS_H2D_DEVICE 7
#define FIS_H2D_LBA_LOW_EXP 8
#define FIS_H2D_LBA_MID_EXP 9
#define FIS_H2D_LBA_HIGH_EXP 10
#define FIS_H2D_FEATURES_EXP 11
#define FIS_H2D_COUNT 12
#define FIS_H2D_COUNT_EXP 13
#define FIS_H2D_CONTROL 15
#define FIS_H2D_COMMAND_BIT 0x80

/* The SATA register FIS, device to host (20 bytes). */
#define FIS_TYPE_REG_D2H 0x34
#define FIS_D2H_BYTES 20
#define FIS_D2H_TYPE 0
#define FIS_D2H_FLAGS 1 /* FIS_D2H_INTERRUPT_BIT */
#define FIS_D2H_STATUS 2
#define FIS_D2H_ERROR 3
#define FIS_D2H_LBA_LOW 4
#define FIS_D2H_LBA_MID 5
#define FIS_D2H_LBA_HIGH 6
#define FIS_D2H_DEVICE 7
#define FIS_D2H_LBA_LOW_EXP 8
#define FIS_D2H_LBA_MID_EXP 9
#define FIS_D2H_LBA_HIGH_EXP 10
#define FIS_D2H_COUNT 12
#define FIS_D2H_COUNT_EXP 13
#define FIS_D2H_INTERRUPT_BIT 0x40

/* SAT ATA PASS-THROUGH command blocks: operation codes and byte offsets. */
#define SAT_ATA_PASS_THROUGH_12 0xA1
#define SAT_ATA_PASS_THROUGH_16 0x85
#define SAT_CDB12_BYTES 12
#define SAT_CDB16_BYTES 16

#define SAT12_OPERATION_CODE 0
#define SAT12_PROTOCOL 1 /* protocol in bits 4:1 */
#define SAT12_FLAGS 2    /* off-line, CK_COND, T_TYPE, T_DIR, BYT_BLOK, T_LENGTH */
#define SAT12_FEATURES 3
#define SAT12_COUNT 4
#define SAT12_LBA_LOW 5
#define SAT12_LBA_MID 6
#define SAT12_LBA_HIGH 7
#define SAT12_DEVICE 8
#define SAT12_COMMAND 9
#define SAT12_CONTROL 11

#define SAT16_OPERATION_CODE 0
#define SAT16_PROTOCOL 1 /* protocol in bits 4:1, EXTEND in bit 0 */
#define SAT16_FLAGS 2
#define SAT16_FEATURES_EXT 3
#define SAT16_FEATURES 4
#define SAT16_COUNT_EXT 5
#define SAT16_COUNT 6
#define SAT16_LBA_LOW_EXT 7
#define SAT16_LBA_LOW 8
#define SAT16_LBA_MID_EXT 9
#define SAT16_LBA_MID 10
#define SAT16_LBA_HIGH_EXT 11
#define SAT16_LBA_HIGH 12
#define SAT16_DEVICE 13
#define SAT16_COMMAND 14
#define SAT16_CONTROL 15

/* Byte 1: the protocol (its number, to be shifted into bits 4:1) and EXTEND. */
#define SAT_PROTOCOL_SHIFT 1
#define SAT_PROTOCOL_MASK 0x1E
#define SAT_PROTOCOL_HARD_RESET 0
#define SAT_PROTOCOL_SRST 1
#define SAT_PROTOCOL_NON_DATA 3
#define SAT_PROTOCOL_PIO_DATA_IN 4
#define SAT_PROTOCOL_PIO_DATA_OUT 5
#define SAT_PROTOCOL_DMA 6
#define SAT_PROTOCOL_DEVICE_DIAGNOSTIC 8
#define SAT_PROTOCOL_DEVICE_RESET 9
#define SAT_PROTOCOL_UDMA_DATA_IN 10
#define SAT_PROTOCOL_UDMA_DATA_OUT 11
#define SAT_PROTOCOL_FPDMA 12
#define SAT_PROTOCOL_RETURN_RESPONSE 15
#define SAT_EXTEND 0x01

/* Byte 2. */
#define SAT_CK_COND 0x20
#define SAT_T_TYPE_BLOCKS 0x10
#define SAT_T_DIR_IN 0x08
#define SAT_BYT_BLOK 0x04
#define SAT_T_LENGTH_MASK 0x03
#define SAT_T_LENGTH_NONE 0x00
#define SAT_T_LENGTH_FEATURES 0x01
#define SAT_T_LENGTH_COUNT 0x02
#define SAT_T_LENGTH_STPSIU 0x03

/* Sense data: the ATA Status Return descriptor and the fixed-format ATA information. */
#define SAT_ATA_RETURN_DESCRIPTOR 0x09
#define SAT_ATA_RETURN_DESCRIPTOR_BYTES 14

#endif /* FWU_ATA_H */
