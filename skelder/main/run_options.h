#pragma once
// What the command line asked the run to do; the device record holds only how to reach the
// drive and the command in flight.

namespace skelder {

struct run_options {
    bool scan;      // "--scan": list the CSMI drives, nothing else
    bool download;  // "/D:" named an image
    bool activate;  // "/a"
    bool show_info; // "/i": print the drive's information and stop
    // "/l": a drive whose security is enabled is refused, and the CSMI address form is used
    // as written.
    bool l_flag;
};

} // namespace skelder
