// A capture written as a machine description (docs/machine-format.md): the fields the queries
// answered, the list of fields no query can see, and the devices that refused.
#pragma once

#include "machine_record.h"

#include <string>

namespace capture {

struct capture_facts {
    std::string version;
    std::string time; // UTC, ISO 8601
    bool shareable = false;
};

std::string describe(const machine_record& machine, const capture_facts& facts);

} // namespace capture
