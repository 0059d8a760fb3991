#include "main/usage.h"

#include "main/build_date.h"
#include "program_version.h"

#include <stdio.h>

namespace skelder {

namespace {
const char* const equals_rule =
    "==========================================================================";
const char* const table_rule =
    "-------------------------------------------------------------------------";
} // namespace

void print_banner() {
    printf("%s\n", equals_rule);
    printf("Halvern Utility. Version: " PROGRAM_VERSION_TEXT " Build Date: %s\n",
           build_date().text);
    printf("Firmware update utility for Halvern ATA drives. (C) Halvern.\n");
    printf("%s\n", equals_rule);
}

void print_usage(const char* program) {
    printf("\n");
    printf("Usage: %s [prefix]<device> </D:firmware file> [options]\n", program);
    printf("\n");
    printf("Default Interface is SCSI Pass-Through.\n");
    printf("Use prefix /T: to use ATA Pass-Through.\n");
    printf("Use prefix /C: to use CSMI device.\n");
    printf("Use /h option to see this information.\n");
    printf("Use /v option to see verbose debug information.\n");
    printf("Use /i option to print device information.\n");
    printf("SATA Target options:\n");
    printf("  Use --scan to print CSMI devices in the system\n");
    printf("  Use /a option to use activate command (0x0F Feature Reg.)\n");
    printf("  Use /e option to use deferred download (0x0E Feature Reg.)\n");
    printf("  Use /s option to use segmented download (0x03 Feature Reg.)\n");
    printf("  Use /r <number> to keep retrying firmware download\n");
    printf("  Use /g <number> to set segment size.\n");
    printf("\n");
    printf("Examples:\n");
    printf("  Skelder.exe \\\\.\\PhysicalDrive0 /D:fw.LOD /s \n");
    printf("  Skelder.exe /T:\\\\.\\PhysicalDrive1 /D:fw.LOD /e \n");
    printf("  Skelder.exe /C:\\\\.\\SCSI3:1 /D:fw.LOD /e /a /v \n");
    printf("  Skelder.exe /C:2,0000000500000000 /D:fw.LOD /e /a /v \n");
    printf("\n");
    printf("Return Codes Supported: \n");
    printf("%s\n", table_rule);
    printf("| Code |         Description                                            |\n");
    printf("%s\n", table_rule);
    printf("|  0   |  Firmware Update succeeded                                     |\n");
    printf("%s\n", table_rule);
    printf("|  1   |  Firmware Filed due to device reasons                          |\n");
    printf("%s\n", table_rule);
    printf("|  2   |  No Target device found                                        |\n");
    printf("%s\n", table_rule);
    printf("|  4   |  Fialed due to invalid / corrupted firmware file               |\n");
    printf("%s\n", table_rule);
    printf("|  8   |  Invalid Command Line argument                                 |\n");
    printf("%s\n", table_rule);
    printf("|  9   |  Target Device interface not supported                         |\n");
    printf("%s\n", table_rule);
}

} // namespace skelder
