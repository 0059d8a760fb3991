#include "DravHDDUpdateApp.h"

int CDravHDDUpdateApp::UpdateByCsmi(const WCHAR*, const WCHAR*, DWORD) {
    return 0;
}
