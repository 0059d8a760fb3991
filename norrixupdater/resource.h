// Resource identifiers of norrixupdater.exe.
#pragma once

#define IDS_APP_NAME 103
