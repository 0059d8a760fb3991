#include "fwu_test_support.h"

#include <winsim/sha256.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fwu_test {
namespace {

// Where the build decided this tree's cases cannot run (a 32-bit sanitizer program on a
// kernel without 32-bit execution, ...), ctest names the reason: every case ends as skipped
// before it starts, and says why.
class skip_when_told : public ::testing::Environment {
public:
    void SetUp() override {
        const char* reason = std::getenv("FWU_TEST_SKIP_REASON");
        if (reason != nullptr && *reason != '\0') {
            std::printf("skipped: %s\n", reason);
            std::fflush(stdout);
            std::_Exit(skipped_exit_code);
        }
    }
};
[[maybe_unused]] const auto* const skip_environment =
    ::testing::AddGlobalTestEnvironment(new skip_when_told);

// The first bytes of a file: an ELF i386 program, a PE image's machine, ...
std::array<unsigned char, 64> file_head(const std::filesystem::path& path) {
    std::array<unsigned char, 64> head{};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    return head;
}

bool is_i386_elf(const std::filesystem::path& program) {
    const auto head = file_head(program);
    return head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F' &&
           head[4] == 1 /* ELFCLASS32 */ && head[18] == 3 && head[19] == 0 /* EM_386 */;
}

// A 64-bit Windows image (PE32+ for x86-64).
bool is_pe_x86_64(const std::filesystem::path& program) {
    std::ifstream in(program, std::ios::binary);
    unsigned char dos[64]{};
    in.read(reinterpret_cast<char*>(dos), sizeof dos);
    if (!in || dos[0] != 'M' || dos[1] != 'Z') {
        return false;
    }
    const std::uint32_t pe_at =
        dos[60] | dos[61] << 8 | dos[62] << 16 | static_cast<std::uint32_t>(dos[63]) << 24;
    unsigned char pe[6]{};
    in.seekg(pe_at);
    in.read(reinterpret_cast<char*>(pe), sizeof pe);
    return in && pe[0] == 'P' && pe[1] == 'E' && pe[4] == 0x64 && pe[5] == 0x86;
}

// The Wine prefix of this case: with ctest's resource groups, the one its slot names
// (two cases at once never share a wineserver); otherwise the one the environment names,
// or the first slot's.
std::string wine_prefix_dir() {
    if (const char* slot = std::getenv("CTEST_RESOURCE_GROUP_0_WINEPREFIX"); slot != nullptr) {
        // "id:<n>,slots:1"
        std::string text = slot;
        const auto id_at = text.find("id:");
        const auto id_end = text.find(',', id_at);
        if (id_at != std::string::npos) {
            return std::string(FWU_WINE_PREFIX) + "-" + text.substr(id_at + 3, id_end - id_at - 3);
        }
    }
    const char* named = std::getenv("WINEPREFIX");
    return named != nullptr && *named != '\0' ? std::string(named)
                                              : std::string(FWU_WINE_PREFIX) + "-0";
}

// The command that starts a Windows program under Wine. 64-bit images go to Wine's 64-bit
// loader itself: Debian's wrapper starts the 32-bit loader first whenever 32-bit Wine is
// installed, which a kernel without 32-bit execution cannot run.
std::vector<std::string> wine_command(const std::filesystem::path& program,
                                      std::vector<std::pair<std::string, std::string>>& settings) {
    settings.emplace_back("WINEPREFIX", wine_prefix_dir());
    const std::string loader64 = FWU_WINE64_LOADER;
    if (!loader64.empty() && is_pe_x86_64(program)) {
        settings.emplace_back("WINELOADER", loader64);
        return {loader64};
    }
    return {FWU_WINE};
}

// The command that starts a host program: through qemu-i386 where the kernel runs no
// 32-bit programs (the build found it).
std::vector<std::string> i386_prefix(const std::filesystem::path& program) {
    const std::string emulator = FWU_I386_EMULATOR;
    if (emulator.empty() || !is_i386_elf(program)) {
        return {};
    }
    return {emulator};
}

void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The child's environment: ours without any WINSIM_ setting, then the run's own.
std::vector<std::string>
child_environment(const std::vector<std::pair<std::string, std::string>>& settings) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "WINSIM_", 7) != 0) {
            result.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : settings) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// The Windows flavour's binaries when the suites run under Wine (docs/wine.md); unset
// or empty: the host build's programs.
std::filesystem::path wine_flavour_dir() {
    const char* dir = std::getenv("FWU_TEST_WINE_FLAVOUR_DIR");
    return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::path();
}

bool is_windows_binary(const std::filesystem::path& program) {
    return program.extension() == ".exe";
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return;
    }
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Output of a Windows binary as the host build would print it: "\r\n" read as "\n", and
// the program's name as Wine shows it ("Z:\dir\x.exe") given as it was invoked.
void as_host_output(std::string& text, const std::filesystem::path& program) {
    replace_all(text, "\r\n", "\n");
    std::string windows_name = "Z:" + std::filesystem::absolute(program).string();
    for (auto& ch : windows_name) {
        ch = ch == '/' ? '\\' : ch;
    }
    replace_all(text, windows_name, program.string());
}

} // namespace

temp_dir::temp_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/fwu-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<nlohmann::json> run_result::calls(std::string_view call) const {
    std::vector<nlohmann::json> result;
    for (const auto& record : trace) {
        if (record.value("call", "") == call) {
            result.push_back(record);
        }
    }
    return result;
}

nlohmann::json run_result::exit_record() const {
    const auto exits = calls("exit");
    return exits.empty() ? nlohmann::json() : exits.back();
}

nlohmann::json run_result::drive_state(std::string_view id) const {
    const auto record = exit_record();
    if (record.is_null()) {
        return {};
    }
    for (const auto& drive : record.at("drives")) {
        if (drive.value("id", "") == id) {
            return drive;
        }
    }
    return {};
}

namespace {

// With FWU_KEEP_TRACES naming a folder, every run's trace is kept there as
// [wine.]<suite>.<case>/<n>.jsonl (n counting the case's runs from 1), so that two trees can be
// compared wire for wire (scripts/compare-wire.sh).
void keep_trace(const std::filesystem::path& trace_path) {
    const char* folder = std::getenv("FWU_KEEP_TRACES");
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (folder == nullptr || *folder == '\0' || test == nullptr ||
        !std::filesystem::exists(trace_path)) {
        return;
    }
    // The Windows flavour runs the same cases under Wine: its traces go to folders of their own.
    const char* flavour = std::getenv("FWU_TEST_WINE_FLAVOUR_DIR");
    std::string name = (flavour != nullptr && *flavour != '\0') ? "wine." : "";
    name += std::string(test->test_suite_name()) + "." + test->name();
    for (auto& ch : name) {
        if (ch == '/') {
            ch = '_';
        }
    }
    static std::string last_case;
    static int runs = 0;
    runs = name == last_case ? runs + 1 : 1;
    last_case = name;
    const auto dir = std::filesystem::path(folder) / name;
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(trace_path, dir / (std::to_string(runs) + ".jsonl"),
                               std::filesystem::copy_options::overwrite_existing);
}

} // namespace

run_result run(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const run_options& options) {
    temp_dir scratch;
    std::vector<std::pair<std::string, std::string>> settings;
    if (!options.machine_json.empty() || options.elevated.has_value()) {
        nlohmann::json machine;
        if (!options.machine_json.empty()) {
            machine = nlohmann::json::parse(options.machine_json);
        } else if (!options.machine_path.empty()) {
            machine = nlohmann::json::parse(read_text(options.machine_path));
        } else {
            machine = default_machine();
        }
        if (options.elevated.has_value()) {
            machine["elevated"] = *options.elevated;
        }
        write_text(scratch / "machine.json", machine.dump(2));
        settings.emplace_back("WINSIM_MACHINE", (scratch / "machine.json").string());
    } else if (!options.machine_path.empty()) {
        settings.emplace_back("WINSIM_MACHINE", options.machine_path.string());
    }
    const auto trace_path = scratch / "trace.jsonl";
    settings.emplace_back("WINSIM_TRACE", trace_path.string());
    settings.emplace_back("WINSIM_CLOCK", options.virtual_clock ? "virtual" : "real");
    settings.insert(settings.end(), options.env.begin(), options.env.end());

    std::vector<std::string> argv_text = options.command_prefix;
    const bool wine_prefix_given = argv_text.size() == 1 && argv_text[0] == "wine";
    const bool under_wine = argv_text.empty() && is_windows_binary(program);
    auto timeout = options.timeout;
    if (under_wine || wine_prefix_given) {
        argv_text = wine_command(program, settings);
        settings.emplace_back("WINEDEBUG", "-all");
    } else if (argv_text.empty()) {
        argv_text = i386_prefix(program);
        if (!argv_text.empty()) {
            timeout *= FWU_I386_TIME_SCALE;
        }
    }
    argv_text.push_back(program.string());
    argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
    auto environment = child_environment(settings);
    auto argv = pointers(argv_text);
    auto envp = pointers(environment);
    const auto working_dir = options.working_dir.empty() ? scratch.path() : options.working_dir;

    int out_pipe[2];
    int err_pipe[2];
    // Closed by a successful exec; otherwise the child writes exec's errno into it.
    int exec_pipe[2];
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0 || ::pipe2(exec_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        ::close(out_pipe[1]);
        ::close(err_pipe[1]);
        ::close(exec_pipe[0]);
        const int null_in = ::open("/dev/null", O_RDONLY);
        ::dup2(null_in, STDIN_FILENO);
        if (options.standard_output_closed) {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        }
        int error = 0;
        if (::chdir(working_dir.c_str()) != 0) {
            error = errno;
        } else {
            ::execvpe(argv[0], argv.data(), envp.data());
            error = errno;
        }
        [[maybe_unused]] const auto written = ::write(exec_pipe[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(exec_pipe[1]);
    int exec_error = 0;
    const auto exec_reply = ::read(exec_pipe[0], &exec_error, sizeof exec_error);
    ::close(exec_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);

    run_result result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    while (open_pipes > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            ::kill(child, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                char buffer[4096];
                const auto got = ::read(fds[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(got));
                } else if (got == 0 || errno != EINTR) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open_pipes;
                }
            }
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) {
            ::close(fd.fd);
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (under_wine) {
        as_host_output(result.out, program);
        as_host_output(result.err, program);
    }

    keep_trace(trace_path);
    std::ifstream trace(trace_path);
    for (std::string line; std::getline(trace, line);) {
        if (!line.empty()) {
            result.trace.push_back(nlohmann::json::parse(line));
        }
    }

    // A case must not go on to read the wire of a run that did not happen.
    const std::string command = argv_text.front();
    if (exec_reply == static_cast<ssize_t>(sizeof exec_error)) {
        throw std::runtime_error("cannot start " + command + ": " + std::strerror(exec_error));
    }
    if (result.timed_out) {
        throw std::runtime_error(program.string() + " did not end within " +
                                 std::to_string(timeout.count()) + " ms");
    }
    const bool host_program = options.command_prefix.empty() && !is_windows_binary(program);
    if (host_program && options.expect_exit_record && result.exit_record().is_null()) {
        throw std::runtime_error(program.string() + " ended (status " +
                                 std::to_string(result.exit_code) +
                                 ") without writing its exit record:\n" + result.err);
    }
    return result;
}

std::filesystem::path program_path(std::string_view name) {
    if (const auto flavour = wine_flavour_dir(); !flavour.empty()) {
        return flavour / (std::string(name) + "_sim.exe");
    }
#ifdef FWU_SKELDER_EXE
    if (name == "skelder") {
        return FWU_SKELDER_EXE;
    }
#endif
#ifdef FWU_MARLISK_EXE
    if (name == "marlisk") {
        return FWU_MARLISK_EXE;
    }
#endif
#ifdef FWU_NORRIXUPDATER_EXE
    if (name == "norrixupdater") {
        return FWU_NORRIXUPDATER_EXE;
    }
#endif
#ifdef FWU_CAPTURE_MACHINE_EXE
    if (name == "capture-machine") {
        return FWU_CAPTURE_MACHINE_EXE;
    }
#endif
    (void)name;
    return {};
}

nlohmann::json default_machine() {
    return nlohmann::json::parse(
        read_text(std::filesystem::path(FWU_SOURCE_DIR) / "examples" / "default-machine.json"));
}

image_file write_image(const std::filesystem::path& path, std::size_t size, std::uint32_t seed) {
    image_file image;
    image.path = path;
    image.bytes.resize(size);
    // A xorshift stream: cheap, and distinct per seed and per position.
    std::uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    for (auto& byte : image.bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.bytes.data()),
              static_cast<std::streamsize>(size));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
    image.sha256 = sha256_hex(image.bytes);
    return image;
}

std::string sha256_hex(const std::vector<std::uint8_t>& bytes) {
    return winsim::sha256_hex(bytes);
}

} // namespace fwu_test
