// A checker's hook into the stand-in's handles: called when DeviceIoControl or CloseHandle is
// given a handle that was open and is closed now. Windows fails such a call with
// ERROR_INVALID_HANDLE, and so does the stand-in once the hook returns; the fuzz targets end
// the run in it instead, as such a call is a bug of the program.
#pragma once

namespace winapi_host {

using closed_handle_hook = void (*)(const char* call);
void set_closed_handle_hook(closed_handle_hook hook);

} // namespace winapi_host
