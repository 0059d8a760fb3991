#include "fuzz_environment.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace fuzz {

namespace {

std::string& work_folder() {
    static std::string folder;
    return folder;
}

void remove_work_folder() {
    if (!work_folder().empty()) {
        const std::string command = "rm -rf '" + work_folder() + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not remove %s\n", work_folder().c_str());
        }
    }
}

} // namespace

void prepare_environment() {
    setenv("WINSIM_CLOCK", "virtual", 1);
    unsetenv("WINSIM_TRACE");
    unsetenv("WINSIM_MACHINE");
    unsetenv("SystemDrive");
    // libFuzzer reports on standard error; the programs' lines would only slow the runs.
    if (std::getenv("FWU_FUZZ_SHOW_OUTPUT") == nullptr) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            std::perror("/dev/null");
        }
    }
    char folder[] = "/tmp/fwu-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    work_folder() = folder;
    std::atexit(remove_work_folder);
}

std::wstring write_work_file(const char* name, const uint8_t* data, size_t size) {
    const std::string path = work_folder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!file) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        std::abort();
    }
    std::wstring windows_name = L"Z:";
    for (const char ch : path) {
        windows_name += ch == '/' ? L'\\' : static_cast<wchar_t>(ch);
    }
    return windows_name;
}

std::wstring write_pattern_image(const char* name, size_t size, unsigned step) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) {
        image[i] = static_cast<uint8_t>(i * step);
    }
    return write_work_file(name, image.data(), image.size());
}

std::wstring widen_bytes(const uint8_t* data, size_t size) {
    std::wstring text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        text += static_cast<wchar_t>(data[i]);
    }
    return text;
}

} // namespace fuzz

namespace fuzz {

void require(bool condition, const char* property) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

} // namespace fuzz
