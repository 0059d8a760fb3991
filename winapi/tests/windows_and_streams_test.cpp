// Windows behaviour of the stand-in's user-interface calls, text-mode streams and
// machine-wide named mutexes.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

LPARAM g_initParam = 0;
HWND g_initWindow = nullptr;

INT_PTR CALLBACK RecordInit(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_initWindow = hWnd;
        g_initParam = lParam;
    }
    return TRUE;
}

std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path scratch_dir() {
    auto dir = std::filesystem::temp_directory_path() / ("winapi-ui-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace

TEST(dialogs, the_dialog_procedure_sees_wm_initdialog_before_create_returns) {
    HWND dialog =
        CreateDialogParamW(nullptr, reinterpret_cast<LPCWSTR>(129), nullptr, RecordInit, 42);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_initWindow, dialog);
    EXPECT_EQ(g_initParam, 42);
    HWND bar = GetDlgItem(dialog, 1014);
    EXPECT_EQ(GetDlgItem(dialog, 1014), bar);
    EXPECT_EQ(GetDlgCtrlID(bar), 1014);
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(bar)); // children go with their dialog
    EXPECT_FALSE(SetWindowTextW(bar, L"gone"));
}

TEST(progress_bars, positions_are_clamped_to_the_range) {
    HWND dialog = CreateDialogParamW(nullptr, reinterpret_cast<LPCWSTR>(129), nullptr, nullptr, 0);
    HWND bar = GetDlgItem(dialog, 1014);
    SendMessageW(bar, PBM_SETRANGE32, 0, 10);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 5, 0), 0); // returns the previous position
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 15, 0), 5);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 10);
    SendMessageW(bar, PBM_SETRANGE32, 0, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    SendMessageW(bar, PBM_SETPOS, 3, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
    DestroyWindow(dialog);
}

TEST(text_streams, a_reopened_text_stream_writes_crlf_and_a_binary_one_does_not) {
    const auto dir = scratch_dir();
    const auto text_path = dir / "text.log";
    const auto binary_path = dir / "binary.log";
    FILE* original = std::fopen((dir / "first").c_str(), "w");
    ASSERT_NE(original, nullptr);
    FILE* text = _wfreopen(text_path.wstring().c_str(), L"w", original);
    ASSERT_NE(text, nullptr);
    std::fprintf(text, "a\nb\n%d\n", 7);
    std::fclose(text);
    EXPECT_EQ(read_bytes(text_path), "a\r\nb\r\n7\r\n");

    original = std::fopen((dir / "second").c_str(), "w");
    FILE* binary = _wfreopen(binary_path.wstring().c_str(), L"wb", original);
    ASSERT_NE(binary, nullptr);
    std::fputs("a\nb\n", binary);
    std::fclose(binary);
    EXPECT_EQ(read_bytes(binary_path), "a\nb\n");

    // A file that cannot be created leaves the stream as it was.
    original = std::fopen((dir / "third").c_str(), "w");
    EXPECT_EQ(_wfreopen((dir / "missing" / "x.log").wstring().c_str(), L"w", original), nullptr);
    EXPECT_GE(std::fputs("still open", original), 0);
    std::fclose(original);
    std::filesystem::remove_all(dir);
}

TEST(named_mutex, another_process_sees_a_name_this_one_holds) {
    const auto dir = scratch_dir();
    ::setenv("WINSIM_MUTEX_DIR", dir.c_str(), 1);
    HANDLE held = CreateMutexW(nullptr, TRUE, L"fwu machine-wide mutex");
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    auto other_process_sees = [] {
        const pid_t child = ::fork();
        if (child == 0) {
            CreateMutexW(nullptr, TRUE, L"fwu machine-wide mutex");
            ::_exit(GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    };
    EXPECT_TRUE(other_process_sees());
    CloseHandle(held);
    EXPECT_FALSE(other_process_sees());
    ::unsetenv("WINSIM_MUTEX_DIR");
    std::filesystem::remove_all(dir);
}
