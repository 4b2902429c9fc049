// kelvra-cli's arguments on Windows come from the wide command line, so that names outside the
// ANSI code page (Cyrillic on a Western system, anything beyond the BMP) reach it whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kelvra::platform {
namespace {

// Runs kelvra-print-arguments, which lies beside this program, with `arguments` as its command
// line and returns what it printed.
std::string printedArguments(const std::wstring& arguments) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring program =
        (std::filesystem::path(self).parent_path() / L"kelvra-print-arguments.exe").wstring();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (!CreatePipe(&reader, &writer, &inherit, 0)) {
        return {};
    }
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer;
    startup.hStdError = writer;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION child{};
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &child) != 0;
    CloseHandle(writer);
    std::string printed;
    char buffer[512];
    DWORD count = 0;
    while (started && ReadFile(reader, buffer, sizeof buffer, &count, nullptr) && count > 0) {
        printed.append(buffer, count);
    }
    CloseHandle(reader);
    if (started) {
        WaitForSingleObject(child.hProcess, 10000);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
    }
    return printed;
}

TEST(Win32Console, ArgumentsComeWholeFromTheWideCommandLine) {
    const std::wstring arguments =
        L"download --out \"C:\\Записи с поля\" \"5 Марта 18г 14-07-09 Запись 1.wav\" "
        L"\"a \\\"quoted\\\" word\" \U0001F3B5";
    EXPECT_EQ(printedArguments(arguments),
              "download\n--out\nC:\\Записи с поля\n5 Марта 18г 14-07-09 Запись 1.wav\n"
              "a \"quoted\" word\n\xF0\x9F\x8E\xB5\n");
}

}  // namespace
}  // namespace kelvra::platform
