// The built-in default machine. examples/default-machine.json holds the same
// description; a test keeps the two equal.
#include <winsim/machine.h>

namespace winsim {

nlohmann::json default_machine_description() {
    static const char* const text = R"json({
  "elevated": true,
  "windows_64bit": true,
  "mutexes_held_elsewhere": [],
  "drives": [
    {
      "id": "pd0-halvern",
      "identify": {
        "model": "HALVERN HT1000",
        "serial": "HV1000A0000001",
        "firmware": "HT10A001",
        "words": { "69": "0x0100", "80": "0x07F0", "119": "0x4010", "128": "0x0001", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000F00800001" } } ],
      "microcode": {
        "subcommands": [ 3, 7, 14, 15 ],
        "min_blocks": 1,
        "max_blocks": 128,
        "expected_length": 1048576,
        "firmware_after_activation": "HT10A002"
      },
      "command_time_ms": 2,
      "activation_time_ms": 8000
    },
    {
      "id": "pd1-dravoni",
      "identify": {
        "model": "DRAVONI KX2000",
        "serial": "DV2000B0000001",
        "firmware": "KX20B001",
        "words": { "69": "0x0100", "80": "0x03F0", "119": "0x4010", "128": "0x0001", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000700800001" } } ],
      "microcode": { "subcommands": [ 3, 7, 14, 15 ], "min_blocks": 1, "max_blocks": 128, "firmware_after_activation": "KX20B002" },
      "command_time_ms": 1,
      "activation_time_ms": 8000
    },
    {
      "id": "pd2-norrix",
      "identify": {
        "model": "NORRIX NX500",
        "serial": "NX500C0000001",
        "firmware": "NX50C001",
        "words": { "69": "0x0100", "80": "0x01F0", "119": "0x4010", "128": "0x0001", "153": "0x5800", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000700800001" } } ],
      "microcode": { "subcommands": [ 3, 7, 14, 15 ], "min_blocks": 1, "max_blocks": 128, "firmware_after_activation": "NX50C002" },
      "command_time_ms": 1,
      "activation_time_ms": 8000
    },
    {
      "id": "scsi2-phy0-halvern",
      "identify": {
        "model": "HALVERN HT1000",
        "serial": "HV1000A0000002",
        "firmware": "HT10A001",
        "words": { "69": "0x0100", "80": "0x07F0", "119": "0x4010", "128": "0x0001", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000F00800001" } } ],
      "microcode": {
        "subcommands": [ 3, 7, 14, 15 ],
        "min_blocks": 1,
        "max_blocks": 128,
        "expected_length": 1048576,
        "firmware_after_activation": "HT10A002"
      },
      "command_time_ms": 2,
      "activation_time_ms": 8000
    },
    {
      "id": "scsi2-phy1-dravoni",
      "identify": {
        "model": "DRAVONI KX2000",
        "serial": "DV2000B0000002",
        "firmware": "KX20B001",
        "words": { "69": "0x0100", "80": "0x03F0", "119": "0x4010", "128": "0x0001", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000700800001" } } ],
      "microcode": { "subcommands": [ 3, 7, 14, 15 ], "min_blocks": 1, "max_blocks": 128, "firmware_after_activation": "KX20B002" },
      "command_time_ms": 1,
      "activation_time_ms": 8000
    },
    {
      "id": "scsi2-phy2-norrix",
      "identify": {
        "model": "NORRIX NX500",
        "serial": "NX500C0000002",
        "firmware": "NX50C001",
        "words": { "69": "0x0100", "80": "0x01F0", "119": "0x4010", "128": "0x0001", "153": "0x5800", "234": 1, "235": 128 }
      },
      "logs": [ { "address": "0x30", "page": 3, "qwords": { "0": "0x8000000000030001", "2": "0x8000000700800001" } } ],
      "microcode": { "subcommands": [ 3, 7, 14, 15 ], "min_blocks": 1, "max_blocks": 128, "firmware_after_activation": "NX50C002" },
      "command_time_ms": 1,
      "activation_time_ms": 8000
    }
  ],
  "disks": [
    {
      "names": [ "\\\\.\\PhysicalDrive0" ],
      "interface_path": "\\\\?\\scsi#disk&ven_halvern&prod_ht1000#4&2f3b1c0&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
      "drive": "pd0-halvern",
      "scsi_address": { "port": 0, "path": 0, "target": 0, "lun": 0 },
      "bus_type": "sata",
      "max_transfer_length": 131072,
      "max_physical_pages": 33,
      "alignment_mask": 1,
      "sat_layer": "windows-ahci"
    },
    {
      "names": [ "\\\\.\\PhysicalDrive1" ],
      "interface_path": "\\\\?\\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
      "drive": "pd1-dravoni",
      "scsi_address": { "port": 0, "path": 0, "target": 1, "lun": 0 },
      "bus_type": "sata",
      "max_transfer_length": 131072,
      "max_physical_pages": 33,
      "alignment_mask": 1,
      "sat_layer": "windows-ahci"
    },
    {
      "names": [ "\\\\.\\PhysicalDrive2" ],
      "interface_path": "\\\\?\\scsi#disk&ven_norrix&prod_nx500#4&2f3b1c0&0&020000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
      "drive": "pd2-norrix",
      "scsi_address": { "port": 0, "path": 0, "target": 2, "lun": 0 },
      "bus_type": "sata",
      "max_transfer_length": 131072,
      "max_physical_pages": 33,
      "alignment_mask": 1,
      "sat_layer": "windows-ahci"
    }
  ],
  "controllers": [
    {
      "number": 2,
      "names": [ "\\\\.\\SCSI2:" ],
      "driver": {
        "name": "simsas",
        "description": "Simulated SAS RAID Controller Driver",
        "revision": [ 2, 1, 0, 0 ],
        "csmi_revision": [ 0, 82 ]
      },
      "config": {
        "board_id": "0x10001000",
        "slot": 1,
        "controller_class": 5,
        "io_bus_type": 3,
        "pci": { "bus": 2, "device": 0, "function": 0 },
        "serial": "SIMSAS000001",
        "revision": [ 1, 0, 0, 0 ],
        "bios_revision": [ 1, 0, 0, 0 ],
        "flags": 1
      },
      "phys": [
        {
          "phy": 0,
          "port": 0,
          "sas_address": "5000000000000100",
          "attached": { "device_type": 1, "target_protocol": "sata", "sas_address": "0000000500000000", "drive": "scsi2-phy0-halvern" }
        },
        {
          "phy": 1,
          "port": 1,
          "sas_address": "5000000000000101",
          "attached": { "device_type": 1, "target_protocol": "stp", "sas_address": "0000000500000001", "drive": "scsi2-phy1-dravoni" }
        },
        {
          "phy": 2,
          "port": 2,
          "sas_address": "5000000000000102",
          "attached": { "device_type": 1, "target_protocol": "sata", "sas_address": "0000000500000002", "drive": "scsi2-phy2-norrix" }
        },
        { "phy": 3, "port": 3, "sas_address": "5000000000000103" },
        {
          "phy": 4,
          "port": 4,
          "sas_address": "5000000000000104",
          "attached": {
            "device_type": 1,
            "target_protocol": "ssp",
            "sas_address": "5000c50000000004",
            "ssp_target": { "vendor": "SIMSAS", "product": "SAS DISK 600", "revision": "0001" }
          }
        }
      ],
      "raid_sets": [ { "index": 0, "raid_type": 0, "drives": [ "scsi2-phy1-dravoni" ] } ],
      "faults": []
    }
  ],
  "setup_devices": [
    { "class": "hdc", "class_guid": "{4d36e96a-e325-11ce-bfc1-08002be10318}", "description": "Standard SATA AHCI Controller" },
    { "class": "SCSIAdapter", "class_guid": "{4d36e97b-e325-11ce-bfc1-08002be10318}", "description": "Simulated SAS RAID Controller" },
    { "class": "DiskDrive", "class_guid": "{4d36e967-e325-11ce-bfc1-08002be10318}", "description": "Disk drive" }
  ]
}
)json";
    return nlohmann::json::parse(text);
}

} // namespace winsim
