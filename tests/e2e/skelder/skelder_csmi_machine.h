// The default machine's CSMI controller as the CSMI suites change it, and what they read
// back from a run: the STP requests on the wire.
#pragma once

#include "skelder_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace skelder_test {

inline constexpr const char* kController = R"(\\.\SCSI2:)";
inline constexpr const char* kCsmiDrive = "scsi2-phy0-halvern";
inline constexpr const char* kCsmiAddress = "0000000500000000";
inline constexpr int kStpCode = 25;

// The default machine with its controller open to change.
class CsmiMachine {
public:
    CsmiMachine() : m_machine(fwu_test::default_machine()) {}

    nlohmann::json& Controller() { return m_machine.at("controllers").at(0); }
    nlohmann::json& Phy(int number) {
        for (auto& phy : Controller().at("phys")) {
            if (phy.at("phy") == number) {
                return phy;
            }
        }
        throw std::runtime_error("no such phy");
    }
    nlohmann::json& Drive(const std::string& id) {
        for (auto& drive : m_machine.at("drives")) {
            if (drive.at("id") == id) {
                return drive;
            }
        }
        throw std::runtime_error("no such drive");
    }
    // A controller fault ("request", "ata_command", "nth", "times", and "error",
    // "return_code" or "connection_status").
    CsmiMachine& AddFault(const nlohmann::json& rule) {
        Controller()["faults"].push_back(rule);
        return *this;
    }
    nlohmann::json& Json() { return m_machine; }

    fwu_test::run_result Run(SkelderRun& run, const std::vector<std::string>& arguments) const {
        fwu_test::run_options options;
        options.working_dir = run.Dir().path();
        options.machine_json = m_machine.dump();
        auto result = fwu_test::run(ProgramPath(), arguments, options);
        EXPECT_FALSE(result.timed_out);
        return result;
    }

private:
    nlohmann::json m_machine;
};

// The CSMI requests of a run with a control code, in order.
inline std::vector<nlohmann::json> CsmiRequests(const fwu_test::run_result& result, int code) {
    std::vector<nlohmann::json> requests;
    for (const auto& call : result.calls("DeviceIoControl")) {
        if (call.value("csmi_code", -1) == code) {
            requests.push_back(call);
        }
    }
    return requests;
}

} // namespace skelder_test
