// What a capture says of the process: whether it runs with administrator rights, and whether
// the Windows it runs on is 64-bit.
#pragma once

namespace capture {

// Whether the token holds the Administrators group enabled. An administrator's filtered token
// (User Account Control, not elevated) holds it for deny only, and does not count.
bool running_elevated();
// A 32-bit program on 64-bit Windows runs under WOW64.
bool windows_is_64bit();

} // namespace capture
