// The fault sweep: one program, route and download mode, a small image (some with a final
// partial block), and the k-th download command failed with each kind of failure its route can
// meet, with and without retries, once or twice in a run; and each query before the download
// (identification, log pages, SMART, adapter and controller queries) failed. The cases are
// data; one check judges every run from its trace.
#pragma once

#include <fwu_test_support.h>

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace hardening_test {

// Where a failure is injected.
enum class fault_site {
    drive,      // the drive's own status and error (reaches the drive's trace)
    scsi,       // a SCSI status for the ATA PASS-THROUGH block, before the drive
    ioctl,      // a Windows error for the disk's control code that carried the command
    controller, // a CSMI controller rule for the STP request
};

struct fault_kind {
    std::string name;
    fault_site site;
    nlohmann::json rule; // the fields that make the failure ("status", "error", ...)
    int exit_code;       // what the program's table gives for it
    // How often the program sends the failed command again before it goes on or gives up
    // (a drive still busy is asked again on some routes).
    int resubmissions = 0;
    // A second rule for the command's resubmission (null: none), e.g. busy, then a fault.
    nlohmann::json then_rule = nullptr;
    // With retries, swept with a second failure on the retry's last command (two faults in one
    // run) in place of the recovering and persisting retries, which the other kinds cover.
    // Drive faults only.
    bool retry_fails_again = false;
};

// A failure of a command or request that is not a download. The rule is complete: what it
// matches ("command", "ioctl", "opcode", "request", ...) and which of them ("nth", "times").
struct query_fault {
    std::string name;
    fault_site site;
    nlohmann::json rule;
    int exit_code;
    nlohmann::json disk_options = nlohmann::json::object();  // merged into the target's disk
    nlohmann::json drive_options = nlohmann::json::object(); // merge patch of the target's drive
};

// A locked drive (IDENTIFY word 128 = 0x0007): a run that judged its security state from data
// the drive never sent would update it.
nlohmann::json locked_drive(nlohmann::json more_identify = nlohmann::json::object());

// The first IDENTIFY completes with `status` and moves no data, as behind a bridge or RAID
// driver that reports success without the data.
nlohmann::json identify_without_data(int status);

// A drive whose IDENTIFY data carries the A5h signature with a checksum that does not fit.
query_fault identify_with_bad_checksum(int exit_code);

// One program, route and download mode.
struct sweep_target {
    std::string name;    // program_route_mode, as it shows in test names
    std::string program; // "skelder", "norrixupdater", "marlisk"
    std::vector<std::string> arguments;
    std::string image_name;
    std::size_t image_size = 0;
    std::string drive;  // the drive's id in the machine
    int subcommand = 0; // DOWNLOAD MICROCODE features of the download commands
    int blocks_per_command = 0;
    int commands = 0;       // download commands of one attempt
    bool activates = false; // a separate activate command (0x0F) follows
    // Arguments for one extra attempt (empty: the program has no retries), and for none.
    std::vector<std::string> retry_arguments;
    std::vector<std::string> no_retry_arguments;
    // Environment; "$DIR" at the start of a value is the run's working directory.
    std::vector<std::pair<std::string, std::string>> env;
    std::vector<fault_kind> faults;
    std::vector<query_fault> query_faults;
    nlohmann::json controller_options = nlohmann::json::object(); // merged into the controller
};

// The target with an image of `size` bytes whose last command carries a final partial block
// (padded to a whole block by the program), swept with the given faults only.
sweep_target with_final_partial_block(sweep_target target, std::size_t size,
                                      std::vector<fault_kind> faults);

enum class retry_mode {
    none,        // one attempt, the fault once
    recovers,    // one extra attempt, the fault once: the retry must succeed
    persists,    // one extra attempt, the fault on every command from k on
    fails_again, // one extra attempt, failed again on its last command: two faults in one run
};

struct sweep_case {
    const sweep_target* target;
    const fault_kind* fault;
    int k; // the failed command, from 1; commands + 1 is the activate command
    retry_mode retries;
};

void PrintTo(const sweep_case& c, std::ostream* os);
std::string case_name(const sweep_case& c);

// Every case of the targets: each fault kind, each command index, each retry mode the
// program offers (the activate command without retries only).
std::vector<sweep_case> sweep_cases(const std::vector<sweep_target>& targets);

// Runs a case and checks exit code, assembled image, restart offsets and activation.
void run_and_check(const sweep_case& c);

struct query_case {
    const sweep_target* target;
    const query_fault* fault;
};

void PrintTo(const query_case& c, std::ostream* os);
std::string case_name(const query_case& c);
std::vector<query_case> query_cases(const std::vector<sweep_target>& targets);

// Runs a case and checks the exit code; a failed run sent no download command, a successful
// one left the whole image on the drive.
void run_and_check(const query_case& c);

} // namespace hardening_test
