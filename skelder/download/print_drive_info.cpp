#include "download/print_drive_info.h"

#include <stdio.h>

namespace skelder {

void print_drive_info(const drive_identity& identity, uint8_t segment_blocks) {
    printf("  MN: %s\n", identity.model.c_str());
    printf("  SN: %s\n", identity.serial_number.c_str());
    printf("  FW: %s\n", identity.firmware_revision.c_str());
    printf("  ");
    for (const std::string& standard : identity.standards) {
        printf("%s ", standard.c_str());
    }
    printf("\n");
    if (identity.dma_download) {
        printf("  DMA MICROCODE DOWNLOAD SUPPORTED \n");
    }
    if (identity.segmented_download) {
        printf("  MODE 3 MICROCODE DOWNLOAD SUPPORTED \n");
    }
    if (identity.deferred_offsets) {
        printf("  DM OFFSETS DEFERRED SUPPORTED SUPPORTED \n");
    }
    if (identity.clears_deferred_data) {
        printf("  DM CLEARS NONACTIVATED DEFERRED DATA SUPPORTED \n");
    }
    if (identity.minimum_blocks != 0) {
        printf("  MICROCODE DOWNLOAD MIN BLOCKS %u\n", identity.minimum_blocks);
    }
    if (identity.maximum_blocks != 0) {
        printf("  MICROCODE DOWNLOAD MAX BLOCKS %u\n", identity.maximum_blocks);
    }
    printf("  SEC%d\n", static_cast<int>(identity.security_state));
    printf("  Segment Size : %d\n", segment_blocks);
}

} // namespace skelder
