// The built-in default machine: examples/default-machine.json, embedded at build time
// (cmake/default_machine.cmake) and read as any machine file is.
#include <winsim/machine.h>

namespace winsim {

extern const char default_machine_text[];

nlohmann::json default_machine_description() {
    return nlohmann::json::parse(default_machine_text);
}

} // namespace winsim
