#include "fault_sweep.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <stdexcept>

namespace hardening_test {

namespace {

constexpr int kDownloadMicrocode = 0x92;
constexpr int kActivate = 0x0F;
// Enough to fail every command of the run from k on.
constexpr int kEveryTime = 100000;

const char* retry_name(retry_mode mode) {
    switch (mode) {
    case retry_mode::none:
        return "once";
    case retry_mode::recovers:
        return "retry_recovers";
    case retry_mode::persists:
        return "retry_persists";
    case retry_mode::fails_again:
        return "retry_fails_at_end";
    }
    return "?";
}

nlohmann::json& by_key(nlohmann::json& list, const char* key, const std::string& value) {
    for (auto& entry : list) {
        if (entry.value(key, "") == value) {
            return entry;
        }
    }
    throw std::runtime_error("the machine has no entry with " + std::string(key) + " " + value);
}

constexpr std::size_t kBlock = 512;

// Blocks the image fills, a final partial one counted whole.
std::size_t image_blocks(const sweep_target& target) {
    return (target.image_size + kBlock - 1) / kBlock;
}

// The default machine with the drive expecting exactly the sweep's image, padded.
nlohmann::json target_machine(const sweep_target& target) {
    auto machine = fwu_test::default_machine();
    by_key(machine.at("drives"), "id", target.drive)["microcode"]["expected_length"] =
        image_blocks(target) * kBlock;
    machine.at("controllers").at(0).update(target.controller_options);
    return machine;
}

fwu_test::run_result run_target(const sweep_target& target, const fwu_test::temp_dir& dir,
                                const nlohmann::json& machine,
                                const std::vector<std::string>& extra) {
    fwu_test::run_options options;
    options.working_dir = dir.path();
    options.machine_json = machine.dump();
    options.env = target.env;
    for (auto& [name, value] : options.env) {
        if (value.rfind("$DIR", 0) == 0) {
            value = dir.path().string() + value.substr(4);
        }
    }
    auto arguments = target.arguments;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const auto program = fwu_test::program_path(target.program);
    if (program.empty()) {
        throw std::runtime_error(target.program + " is not built");
    }
    auto result = fwu_test::run(program, arguments, options);
    EXPECT_FALSE(result.timed_out);
    return result;
}

bool is_download(const nlohmann::json& ata, const std::string& drive) {
    return ata.value("drive", "") == drive && ata.value("command", -1) == kDownloadMicrocode;
}

int block_offset(const nlohmann::json& ata) {
    return ata.at("lba_mid").get<int>() | ata.at("lba_high").get<int>() << 8;
}

int block_count(const nlohmann::json& ata) {
    return ata.at("count").get<int>() | ata.at("lba_low").get<int>() << 8;
}

// A fault-free run of the target: which disk control code, and which call of it, carried
// each DOWNLOAD MICROCODE command (so an ioctl fault can hit the k-th one).
struct baseline {
    std::vector<std::pair<std::string, int>> carriers; // ioctl, nth call of it (from 1)
};

const baseline& baseline_of(const sweep_target& target) {
    static std::mutex lock;
    static std::map<std::string, baseline> cache;
    const std::lock_guard<std::mutex> guard(lock);
    const auto found = cache.find(target.name);
    if (found != cache.end()) {
        return found->second;
    }
    fwu_test::temp_dir dir;
    fwu_test::write_image(dir / target.image_name, target.image_size);
    const auto result = run_target(target, dir, target_machine(target), target.no_retry_arguments);
    if (result.exit_code != 0) {
        throw std::runtime_error(target.name + ": the fault-free run ended with " +
                                 std::to_string(result.exit_code) + "\n" + result.out);
    }
    baseline made;
    std::map<std::string, int> calls;
    bool pending = false;
    for (const auto& record : result.trace) {
        const std::string call = record.value("call", "");
        if (call == "ata" && is_download(record, target.drive)) {
            pending = true;
        } else if (call == "DeviceIoControl") {
            const std::string ioctl = record.value("ioctl", "");
            const int nth = ++calls[ioctl];
            if (pending) {
                made.carriers.emplace_back(ioctl, nth);
                pending = false;
            }
        }
    }
    const auto expected = static_cast<std::size_t>(target.commands + (target.activates ? 1 : 0));
    if (made.carriers.size() != expected) {
        throw std::runtime_error(target.name + ": the fault-free run sent " +
                                 std::to_string(made.carriers.size()) + " download commands");
    }
    return cache.emplace(target.name, made).first->second;
}

nlohmann::json machine_with_fault(const sweep_case& c) {
    const sweep_target& target = *c.target;
    auto machine = target_machine(target);
    auto rule = c.fault->rule;
    if (!rule.contains("times")) {
        rule["times"] = c.retries == retry_mode::persists ? kEveryTime : 1;
    }
    switch (c.fault->site) {
    case fault_site::drive: {
        rule["command"] = kDownloadMicrocode;
        rule["nth"] = c.k;
        auto& faults = by_key(machine.at("drives"), "id", target.drive)["faults"];
        faults.push_back(rule);
        if (!c.fault->then_rule.is_null()) {
            auto then = c.fault->then_rule;
            then["command"] = kDownloadMicrocode;
            then["nth"] = c.k + 1;
            faults.push_back(then);
        }
        if (c.retries == retry_mode::fails_again) {
            // The retry sends every command again; its last one is the run's k + commands-th.
            rule["nth"] = c.k + target.commands;
            faults.push_back(rule);
        }
        break;
    }
    case fault_site::scsi:
        rule["opcode"] = 0x85;
        rule["ata_command"] = kDownloadMicrocode;
        rule["nth"] = c.k;
        by_key(machine.at("disks"), "drive", target.drive)["scsi_faults"].push_back(rule);
        break;
    case fault_site::ioctl: {
        const auto& carrier = baseline_of(target).carriers.at(static_cast<std::size_t>(c.k - 1));
        rule["ioctl"] = carrier.first;
        rule["nth"] = carrier.second;
        by_key(machine.at("disks"), "drive", target.drive)["ioctl_faults"].push_back(rule);
        break;
    }
    case fault_site::controller:
        rule["request"] = "stp";
        rule["ata_command"] = kDownloadMicrocode;
        rule["nth"] = c.k;
        machine.at("controllers").at(0)["faults"].push_back(rule);
        break;
    }
    return machine;
}

// Block offsets of one whole attempt, first to last.
std::vector<int> attempt_offsets(const sweep_target& target) {
    std::vector<int> offsets;
    for (int i = 0; i < target.commands; ++i) {
        offsets.push_back(i * target.blocks_per_command);
    }
    return offsets;
}

// The block offsets of the download commands the drive must have seen: every attempt
// starts again at offset 0 and none skips ahead.
std::vector<int> expected_offsets(const sweep_case& c) {
    const auto whole = attempt_offsets(*c.target);
    const bool reaches = c.fault->site == fault_site::drive;
    const int reached = std::min(reaches ? c.k : c.k - 1, c.target->commands);
    std::vector<int> offsets(whole.begin(), whole.begin() + reached);
    if (c.fault->resubmissions > 0) {
        // The same command again, then the rest when the drive came through.
        offsets.insert(offsets.end(), static_cast<std::size_t>(c.fault->resubmissions),
                       whole.at(static_cast<std::size_t>(c.k - 1)));
        if (c.fault->exit_code == 0) {
            offsets.insert(offsets.end(), whole.begin() + c.k, whole.end());
        }
    } else if (c.retries == retry_mode::recovers || c.retries == retry_mode::fails_again) {
        offsets.insert(offsets.end(), whole.begin(), whole.end());
    } else if (c.retries == retry_mode::persists && reaches && c.k <= c.target->commands) {
        offsets.push_back(0);
    }
    return offsets;
}

} // namespace

std::string case_name(const sweep_case& c) {
    return c.target->name + "_" + c.fault->name + "_k" + std::to_string(c.k) + "_" +
           retry_name(c.retries);
}

void PrintTo(const sweep_case& c, std::ostream* os) {
    *os << case_name(c);
}

std::vector<sweep_case> sweep_cases(const std::vector<sweep_target>& targets) {
    std::vector<sweep_case> cases;
    for (const auto& target : targets) {
        for (const auto& fault : target.faults) {
            const int last = target.commands + (target.activates ? 1 : 0);
            for (int k = 1; k <= last; ++k) {
                cases.push_back({&target, &fault, k, retry_mode::none});
                if (target.retry_arguments.empty() || k > target.commands) {
                    continue;
                }
                if (fault.retry_fails_again && fault.site == fault_site::drive) {
                    cases.push_back({&target, &fault, k, retry_mode::fails_again});
                } else {
                    cases.push_back({&target, &fault, k, retry_mode::recovers});
                    cases.push_back({&target, &fault, k, retry_mode::persists});
                }
            }
        }
    }
    return cases;
}

namespace {

// The exit code, and what the drive holds: the whole image (a final partial block padded with
// zeros) after a success, no activation after a failure.
void check_outcome(const sweep_target& target, const fwu_test::run_result& result,
                   const fwu_test::image_file& image, int expected_exit) {
    EXPECT_EQ(result.exit_code, expected_exit);
    const auto drive = result.drive_state(target.drive);
    ASSERT_FALSE(drive.is_null()) << "no exit record for " << target.drive;
    if (result.exit_code == 0) {
        auto padded = image.bytes;
        padded.resize(image_blocks(target) * kBlock, 0);
        EXPECT_EQ(drive.at("received"), padded.size());
        EXPECT_EQ(drive.at("sha256"), fwu_test::sha256_hex(padded))
            << "success claimed for another image";
        if (target.activates) {
            EXPECT_EQ(drive.at("activated"), 1);
        }
    } else {
        EXPECT_EQ(drive.at("activated"), 0) << "activated after a failed update";
    }
}

} // namespace

void run_and_check(const sweep_case& c) {
    const sweep_target& target = *c.target;
    fwu_test::temp_dir dir;
    const auto image = fwu_test::write_image(dir / target.image_name, target.image_size);
    const auto& extra =
        c.retries == retry_mode::none ? target.no_retry_arguments : target.retry_arguments;
    const auto result = run_target(target, dir, machine_with_fault(c), extra);
    SCOPED_TRACE(result.out);

    check_outcome(target, result, image,
                  c.retries == retry_mode::recovers ? 0 : c.fault->exit_code);

    std::vector<int> offsets;
    int activates = 0;
    bool activate_last = false;
    const auto blocks = static_cast<int>(image_blocks(target));
    for (const auto& ata : result.ata_commands()) {
        if (!is_download(ata, target.drive)) {
            continue;
        }
        if (ata.at("features") == kActivate) {
            ++activates;
            activate_last = true;
            continue;
        }
        EXPECT_EQ(ata.at("features"), target.subcommand);
        const int offset = block_offset(ata);
        EXPECT_EQ(block_count(ata), std::min(target.blocks_per_command, blocks - offset));
        offsets.push_back(offset);
        activate_last = false;
    }
    EXPECT_EQ(offsets, expected_offsets(c));

    if (result.exit_code != 0) {
        if (c.k <= target.commands) {
            EXPECT_EQ(activates, 0) << "activate command after a failed download";
        }
    } else if (target.activates) {
        EXPECT_EQ(activates, 1);
        EXPECT_TRUE(activate_last);
    }
}

sweep_target with_final_partial_block(sweep_target target, std::size_t size,
                                      std::vector<fault_kind> faults) {
    target.name += "_partial_block";
    target.image_size = size;
    target.faults = std::move(faults);
    target.query_faults.clear();
    return target;
}

nlohmann::json locked_drive(nlohmann::json more_identify) {
    nlohmann::json identify = {{"words", {{"128", "0x0007"}}}};
    identify.merge_patch(more_identify);
    return {{"identify", identify}};
}

nlohmann::json identify_without_data(int status) {
    return {{"command", 0xEC}, {"nth", 1}, {"status", status}, {"error", 0}, {"data", "none"}};
}

query_fault identify_with_bad_checksum(int exit_code) {
    return {"identify_bad_checksum_locked",
            fault_site::drive,
            nullptr,
            exit_code,
            nlohmann::json::object(),
            locked_drive({{"checksum", false}, {"words", {{"255", "0x00A5"}}}})};
}

std::string case_name(const query_case& c) {
    return c.target->name + "_" + c.fault->name;
}

void PrintTo(const query_case& c, std::ostream* os) {
    *os << case_name(c);
}

std::vector<query_case> query_cases(const std::vector<sweep_target>& targets) {
    std::vector<query_case> cases;
    for (const auto& target : targets) {
        for (const auto& fault : target.query_faults) {
            cases.push_back({&target, &fault});
        }
    }
    return cases;
}

void run_and_check(const query_case& c) {
    const sweep_target& target = *c.target;
    fwu_test::temp_dir dir;
    const auto image = fwu_test::write_image(dir / target.image_name, target.image_size);
    auto machine = target_machine(target);
    // The disk exists for the targets that reach their drive through one.
    auto disk = [&]() -> nlohmann::json& {
        return by_key(machine.at("disks"), "drive", target.drive);
    };
    if (!c.fault->disk_options.empty()) {
        disk().update(c.fault->disk_options);
    }
    if (!c.fault->drive_options.empty()) {
        by_key(machine.at("drives"), "id", target.drive).merge_patch(c.fault->drive_options);
    }
    switch (c.fault->site) {
    case fault_site::drive:
        if (!c.fault->rule.is_null()) {
            by_key(machine.at("drives"), "id", target.drive)["faults"].push_back(c.fault->rule);
        }
        break;
    case fault_site::scsi:
        disk()["scsi_faults"].push_back(c.fault->rule);
        break;
    case fault_site::ioctl:
        disk()["ioctl_faults"].push_back(c.fault->rule);
        break;
    case fault_site::controller:
        machine.at("controllers").at(0)["faults"].push_back(c.fault->rule);
        break;
    }
    const auto result = run_target(target, dir, machine, target.no_retry_arguments);
    SCOPED_TRACE(result.out);
    check_outcome(target, result, image, c.fault->exit_code);
    if (result.exit_code != 0) {
        for (const auto& ata : result.ata_commands()) {
            EXPECT_FALSE(is_download(ata, target.drive)) << "download after a failed query";
        }
    }
}

} // namespace hardening_test
