#include "device/csmi_dump.h"

#include <stdio.h>

namespace skelder {

void print_fis(const UCHAR (&fis)[20]) {
    printf("FIS:\n-----\n");
    for (int i = 0; i < 20; ++i) {
        printf("\t[%d]=0x%02x\n", i, fis[i]);
    }
    printf("-----\n");
}

void print_stp_request(const CSMI_SAS_STP_PASSTHRU& parameters) {
    printf("bPhyIdentifier=0x%02x\n", parameters.bPhyIdentifier);
    printf("bPortIdentifier=0x%02x\n", parameters.bPortIdentifier);
    printf("bConnectionRate=0x%02x\n", parameters.bConnectionRate);
    printf("uFlags=0x%x\n", static_cast<unsigned>(parameters.uFlags));
    printf("uDataLength=0x%x\n", static_cast<unsigned>(parameters.uDataLength));
    print_fis(parameters.bCommandFIS);
    printf("\t\tSAS Address: ");
    for (UCHAR byte : parameters.bDestinationSASAddress) {
        printf("0x%02x ", byte);
    }
    printf("\n");
}

void print_sas_identify(const CSMI_SAS_IDENTIFY& identify) {
    printf("\t\tbDeviceType: 0x%02x\n", identify.bDeviceType);
    printf("\t\tbRestricted: 0x%02x\n", identify.bRestricted);
    printf("\t\tbInitiatorPortProtocol: 0x%02x\n", identify.bInitiatorPortProtocol);
    printf("\t\tbTargetPortProtocol: 0x%02x\n", identify.bTargetPortProtocol);
    printf("\t\tbPhyIdentifier: 0x%02x\n", identify.bPhyIdentifier);
    printf("\t\tbSignalClass: 0x%02x\n", identify.bSignalClass);
    printf("\t\tSAS Address: ");
    for (UCHAR byte : identify.bSASAddress) {
        printf("0x%02x ", byte);
    }
    printf("\n");
}

} // namespace skelder
