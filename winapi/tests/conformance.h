// What the cases need besides the calls under test, for both builds: on the host the
// stand-in answers the calls, on Windows (under Wine) the system does.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace conformance {

// A folder of its own for one case, removed with everything in it at the end.
class temp_dir {
public:
    temp_dir() {
        static std::atomic<int> count{0};
        path_ = std::filesystem::temp_directory_path() /
                ("winapi-conformance-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(count++));
        std::filesystem::create_directories(path_);
    }
    ~temp_dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

// The name Windows code gives a file: on the host, Wine's Z: drive over the host's root.
inline std::wstring windows_name(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    std::wstring name = L"Z:" + path.wstring();
    for (auto& ch : name) {
        ch = ch == L'/' ? L'\\' : ch;
    }
    return name;
#endif
}

// Sets or (value nullptr) removes a variable of this process's environment.
inline void set_environment(const wchar_t* name, const wchar_t* value) {
#ifdef _WIN32
    SetEnvironmentVariableW(name, value);
#else
    const std::string narrow_name(name, name + std::wcslen(name));
    if (value == nullptr) {
        ::unsetenv(narrow_name.c_str());
    } else {
        ::setenv(narrow_name.c_str(), std::string(value, value + std::wcslen(value)).c_str(), 1);
    }
#endif
}

} // namespace conformance
