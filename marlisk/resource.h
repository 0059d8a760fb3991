// Resource ids of marlisk.exe: the progress dialog and its controls.
#pragma once

#define IDD_UPDATE_PROGRESS 129
#define IDC_MODEL_LABEL 1008
#define IDC_CURRENT_VERSION_LABEL 1009
#define IDC_NEW_VERSION_LABEL 1010
#define IDC_MODEL_VALUE 1011
#define IDC_CURRENT_VERSION_VALUE 1012
#define IDC_NEW_VERSION_VALUE 1013
#define IDC_PROGRESS 1014
