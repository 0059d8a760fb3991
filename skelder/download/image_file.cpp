#include "download/image_file.h"

#include <share.h>

namespace skelder {

FILE* open_image(const WCHAR* file_name) {
    return _wfsopen(file_name, L"rb", _SH_DENYNO);
}

int64_t image_size(FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const int64_t size = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0) {
        return -1;
    }
    return size;
}

bool read_image(FILE* file, unsigned char* buffer, size_t size) {
    return fread(buffer, 1, size, file) == size;
}

} // namespace skelder
