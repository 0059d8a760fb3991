// A machine built from a description in the test, with its trace in a temp directory.
#pragma once

#include <winsim/machine.h>

#include <fwu_test_support.h>

#include <windows.h>
#include <ntddscsi.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace winsim::testing {

inline nlohmann::json one_disk_machine() {
    return nlohmann::json::parse(R"({
        "drives": [{
            "id": "d0",
            "identify": {"model": "HALVERN HT1000", "serial": "SN1", "firmware": "HT10A001",
                         "words": {"234": 1, "235": 128}},
            "logs": [{"address": "0x30", "page": 3, "qwords": {"0": "0x8000000000030001"}}],
            "microcode": {"subcommands": [3, 7, 14, 15], "expected_length": 65536},
            "command_time_ms": 3
        }],
        "disks": [{
            "names": ["\\\\.\\PhysicalDrive0"],
            "interface_path": "\\\\?\\scsi#disk&ven_halvern#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
            "drive": "d0",
            "scsi_address": {"port": 3, "path": 0, "target": 5, "lun": 0}
        }]
    })");
}

class machine_test {
public:
    explicit machine_test(const nlohmann::json& description = one_disk_machine())
        : machine_(description, {(dir_ / "trace.jsonl").string(), true}) {}

    winsim::machine& machine() { return machine_; }

    open_id open_exclusive(const wchar_t* name = L"\\\\.\\PhysicalDrive0") {
        const auto opened = machine_.open(name, GENERIC_READ | GENERIC_WRITE, 0);
        return opened.error == 0 ? opened.id : 0;
    }

    std::uint32_t control(open_id id, std::uint32_t code, void* buffer, std::uint32_t length,
                          std::uint32_t* returned = nullptr) {
        std::uint32_t ignored = 0;
        return machine_.control(id, code, buffer, length, buffer, length,
                                returned != nullptr ? *returned : ignored);
    }

    std::vector<nlohmann::json> trace(const std::string& call = "") const {
        std::vector<nlohmann::json> records;
        std::ifstream in(dir_ / "trace.jsonl");
        for (std::string line; std::getline(in, line);) {
            auto record = nlohmann::json::parse(line);
            if (call.empty() || record["call"] == call) {
                records.push_back(record);
            }
        }
        return records;
    }

private:
    fwu_test::temp_dir dir_;
    winsim::machine machine_;
};

// The 312-byte request block: header, sense area, padding.
struct sptd_block {
    SCSI_PASS_THROUGH_DIRECT header;
    std::uint8_t sense[252];
    std::uint32_t pad;
};

inline sptd_block make_sptd(std::initializer_list<std::uint8_t> cdb, std::uint8_t data_in,
                            void* buffer, std::uint32_t length) {
    sptd_block block{};
    block.header.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    block.header.CdbLength = static_cast<UCHAR>(cdb.size());
    block.header.SenseInfoLength = 252;
    block.header.SenseInfoOffset = sizeof(SCSI_PASS_THROUGH_DIRECT);
    block.header.DataIn = data_in;
    block.header.DataTransferLength = length;
    block.header.DataBuffer = buffer;
    block.header.TimeOutValue = 5;
    std::copy(cdb.begin(), cdb.end(), block.header.Cdb);
    return block;
}

} // namespace winsim::testing
