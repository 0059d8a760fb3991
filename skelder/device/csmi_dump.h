#pragma once
// Diagnostic dumps of CSMI requests and replies.

#include <windows.h>
#include <csmi.h>

namespace skelder {

// A 20-byte FIS, one byte a line.
void print_fis(const UCHAR (&fis)[20]);

// The STP parameters of a request, its command FIS and destination address.
void print_stp_request(const CSMI_SAS_STP_PASSTHRU& parameters);

// One CSMI_SAS_IDENTIFY (the phy's own side or what is attached to it).
void print_sas_identify(const CSMI_SAS_IDENTIFY& identify);

} // namespace skelder
