#include "download/download_firmware.h"

#include "device/issue_command.h"
#include "device/result_codes.h"
#include "download/download_plan.h"
#include "download/image_file.h"
#include "download/progress.h"

#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace skelder {

namespace {

constexpr uint8_t download_microcode = 0x92;
constexpr uint8_t device_lba_mode = 0x40;
// Activating commands (0x07, the last 0x03 segment, 0x0F) may take a slow drive many seconds;
// a request that outlives its limit is failed by the port driver, which resets the drive in
// the middle of writing microcode. Windows' own firmware path gives activation 30 s.
constexpr uint32_t download_timeout_seconds = 30;

void report_unsupported_size(int32_t verbosity, int64_t size) {
    if (verbosity != 0) {
        fprintf(stderr, "Unsupported Firmware File Size: %lld\n", static_cast<long long>(size));
    }
}

// Where a command's data goes from: in place, unless there it would span more pages than the
// adapter takes; then from a page-aligned copy, which needs one page fewer.
class page_aligned_copy {
public:
    explicit page_aligned_copy(uint32_t max_physical_pages) : m_max_pages(max_physical_pages) {}
    page_aligned_copy(const page_aligned_copy&) = delete;
    page_aligned_copy& operator=(const page_aligned_copy&) = delete;
    ~page_aligned_copy() { ::operator delete (m_copy, std::align_val_t{page_size}); }

    // Null when the copy is needed and no memory holds it.
    void* data_for(unsigned char* in_place, uint32_t length) {
        if (m_max_pages == 0 || pages_spanned(in_place, length) <= m_max_pages) {
            return in_place;
        }
        if (m_copy == nullptr || m_capacity < length) {
            ::operator delete (m_copy, std::align_val_t{page_size});
            m_copy = ::operator new (length, std::align_val_t{page_size}, std::nothrow);
            m_capacity = m_copy != nullptr ? length : 0;
            if (m_copy == nullptr) {
                return nullptr;
            }
        }
        memcpy(m_copy, in_place, length);
        return m_copy;
    }

private:
    uint32_t m_max_pages;
    void* m_copy = nullptr;
    uint32_t m_capacity = 0;
};

void set_block_count(ata_registers& registers, uint32_t blocks) {
    registers.count = static_cast<uint8_t>(blocks & 0xFF);
    registers.lba_low = static_cast<uint8_t>(blocks >> 8 & 0xFF);
}

void set_block_offset(ata_registers& registers, uint32_t offset) {
    registers.lba_mid = static_cast<uint8_t>(offset & 0xFF);
    registers.lba_high = static_cast<uint8_t>(offset >> 8 & 0xFF);
}

void print_plan(uint8_t subcommand, int64_t size, const download_plan& plan) {
    printf("  ----------------------- \n");
    printf("   Downloading Code \n");
    printf("  Mode : 0x0%X\n", subcommand);
    printf("  File Size: %lld\n", static_cast<long long>(size));
    printf("  Number of Xfers: %u\n", plan.transfers);
    printf("  Sectors Xfered with Each Xfer: %u\n",
           static_cast<unsigned>(plan.blocks_per_transfer));
    printf("  Data in Bytes per Xfer: %u\n", plan.transfer_size);
    printf("  Remainder Bytes to Xfer: %u\n", plan.remainder);
    printf("  -----------------------\n\n");
}

} // namespace

result_code read_firmware_image(const download_request& request, int32_t verbosity,
                                firmware_image& image) {
    FILE* file = open_image(request.file_name);
    if (file == nullptr) {
        if (verbosity != 0) {
            perror("File Open Failure");
        }
        return result_bad_image;
    }
    const int64_t size = image_size(file);
    // Refused before the buffer is taken: a size no command can describe is never read.
    download_plan plan{};
    if (!make_download_plan(size, request.subcommand, request.segment_blocks, plan)) {
        fclose(file);
        report_unsupported_size(verbosity, size);
        return result_bad_image;
    }
    auto* bytes = static_cast<unsigned char*>(calloc(static_cast<size_t>(size), 1));
    if (bytes == nullptr) {
        fclose(file);
        return result_no_memory;
    }
    // A partly read image must never reach the drive padded with zeros.
    const bool complete = read_image(file, bytes, static_cast<size_t>(size));
    fclose(file);
    if (!complete) {
        free(bytes);
        if (verbosity != 0) {
            fprintf(stderr, "File Read Failure\n");
        }
        return result_bad_image;
    }
    free(image.bytes);
    image.bytes = bytes;
    image.size = size;
    return result_completed;
}

result_code check_adapter_fit(const download_request& request, const firmware_image& image,
                              const adapter_limits& limits) {
    download_plan plan{};
    const request_limit limit{limits.max_transfer_length, limits.max_physical_pages};
    if (!make_download_plan(image.size, request.subcommand, request.segment_blocks, plan) ||
        plan_fits(plan, limit)) {
        return result_completed; // an image the wire cannot describe is refused where it is read
    }
    const bool whole = request.subcommand == dm_whole_immediate;
    printf("The disk's adapter takes at most %u bytes in one request; %s of %u bytes does not "
           "fit.\n",
           largest_request(limit), whole ? "the whole image" : "a segment", plan.transfer_size);
    if (const uint32_t blocks = largest_fitting_segment(limit); blocks != 0) {
        printf("%s a segment size of at most %u blocks (/g %u).\n",
               whole ? "Use /s, or /e /a, with" : "Use", blocks, blocks);
    }
    return result_bad_image;
}

result_code download_firmware(device_context& context, download_request request,
                              const firmware_image& image, const adapter_limits& limits) {
    const int64_t size = image.size;
    download_plan plan{};
    if (!make_download_plan(size, request.subcommand, request.segment_blocks, plan)) {
        report_unsupported_size(context.verbosity, size);
        return result_bad_image;
    }
    page_aligned_copy copy(limits.max_physical_pages);

    const bool activate = request.subcommand == dm_activate;
    // On the SCSI route the SAT layer returns the drive's status for every download command:
    // a device fault without ERR is a normal completion to some SAT layers.
    const uint32_t cdb_flags = context.cdb_flags;
    context.cdb_flags |= cdb_flag_check_condition;
    context.direction = activate ? data_none : data_out;
    context.timeout_seconds = download_timeout_seconds;
    context.protocol = activate ? protocol_non_data : protocol_pio;
    context.addressing = addressing_28bit;
    // Every register of a 28-bit command is set here; the timeout set here stays for the
    // commands after the download, which rely on it (carried over).
    context.registers.device = device_lba_mode;
    context.registers.command = download_microcode;
    context.registers.features = request.subcommand;
    set_block_count(context.registers, plan.blocks_per_transfer);
    context.transfer_length = plan.transfer_size;

    if (context.verbosity != 0) {
        print_plan(request.subcommand, size, plan);
    }
    printf("\n\n\tPLEASE DO NOT CLOSE THIS WINDOW OR INTERRUPT THE FW DOWNLOAD PROCESS\n\n\n");

    result_code result = result_completed;
    uint32_t block_offset = 0;
    uint64_t byte_position = 0;
    for (uint32_t transfer = 0; transfer < plan.transfers; ++transfer) {
        set_block_offset(context.registers, block_offset);
        context.data_buffer =
            activate ? nullptr : copy.data_for(image.bytes + byte_position, plan.transfer_size);
        if (!activate && context.data_buffer == nullptr) {
            result = result_no_memory;
            break;
        }
        result = issue_command(context);
        if (result != result_completed) {
            if (context.verbosity != 0) {
                printf(" ^ ");
            }
            if (activate) {
                printf("Failed to Activate ...\n");
            }
            break;
        }
        byte_position += plan.transfer_size;
        block_offset += plan.blocks_per_transfer;
        if (activate) {
            printf("Activate Completed ...\n");
        } else {
            print_progress(transfer, plan.transfers);
        }
    }

    if (result == result_completed && plan.remainder != 0) {
        context.transfer_length = plan.remainder;
        set_block_count(context.registers, plan.remainder / block_size);
        set_block_offset(context.registers, block_offset);
        context.data_buffer = copy.data_for(image.bytes + byte_position, plan.remainder);
        result = context.data_buffer != nullptr ? issue_command(context) : result_no_memory;
        if (context.verbosity != 0) {
            printf(result == result_completed ? " ! " : " !^ ");
        }
    }

    context.data_buffer = nullptr;
    context.cdb_flags = cdb_flags;
    return result;
}

} // namespace skelder
