// The wine test's eyes and hand on Kelvra's running main window, built for each bitness so
// that it runs beside the Kelvra.exe it drives. It works through messages and control texts
// only: a 32-bit window draws black under Wine's WoW64 mode, so its pixels say nothing.
//
//   kelvra-wine-probe panels [seconds]
//       once a serial-number label shows something, prints "<control id> <text>" (UTF-8) for
//       labels 1003 to 1006
//   kelvra-wine-probe download <lines> <folder> [seconds]
//       once the record list holds <lines> lines, selects every one, presses "Считать
//       выбранное", answers the folder picker with <folder> (walked to in its folder tree,
//       then its OK button pressed) and waits for the job's end: a manifest line in <folder>
//       for each record and the button enabled again. Prints "picker <text>" for each text of
//       the picker and "focus <control id>" for the control that has the focus then.
//   kelvra-wine-probe close
//       closes the window and waits for it to go
//
// Each step waits at most the seconds given (60 by default). Exit status: 0 done, 1 the window
// did not get there in time (what it lacked is printed), 2 the window did not close, 3 the
// tool showed a message box (printed as "box <text>", then answered), 4 usage.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "resources/ResourceIds.h"

namespace {

constexpr wchar_t kTitle[] = L"Kelvra";
constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text
constexpr UINT kAnswerWaitMs = 5000;

enum Status { kDone = 0, kTimedOut = 1, kNotClosed = 2, kMessageBox = 3, kUsage = 4 };

void writeLine(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

// Asked of the tool's own thread, which may be busy in a serial exchange for a while.
LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerWaitMs, &result) ==
        0) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

std::wstring windowText(HWND window) {
    wchar_t buffer[256] = {};
    const LRESULT copied =
        ask(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer));
    return copied > 0 ? std::wstring(buffer, static_cast<std::size_t>(copied)) : std::wstring();
}

std::wstring controlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control != nullptr ? windowText(control) : std::wstring();
}

struct ToolWindows {
    HWND main = nullptr;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    wchar_t title[64] = {};
    if (GetWindowTextW(window, title, 64) == 0 || std::wcscmp(title, kTitle) != 0 ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    auto& found = *reinterpret_cast<ToolWindows*>(param);
    if (GetDlgItem(window, kelvra::IDC_READ_SELECTED) != nullptr) {
        found.main = window;
    } else {
        found.boxes.push_back(window);
    }
    return TRUE;
}

bool closeAndWait(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(window); ++i) {
        Sleep(100);
    }
    return !IsWindow(window);
}

class Probe {
public:
    explicit Probe(int seconds)
        : deadline_(GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000) {}

    // Waits for the main window to satisfy `ready`. A message box of the tool ends the wait:
    // no step the test takes should cause one.
    Status waitFor(const std::function<bool(HWND)>& ready, const wchar_t* lacking) {
        while (GetTickCount64() < deadline_) {
            ToolWindows found;
            EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
            if (!found.boxes.empty()) {
                HWND box = found.boxes.front();
                writeLine(L"box " + controlText(box, kMessageBoxText));
                closeAndWait(box);
                return kMessageBox;
            }
            main_ = found.main;
            if (main_ != nullptr && ready(main_)) {
                return kDone;
            }
            Sleep(200);
        }
        writeLine(main_ != nullptr ? lacking : L"no main window");
        return kTimedOut;
    }

    HWND main() const { return main_; }
    bool expired() const { return GetTickCount64() >= deadline_; }

private:
    ULONGLONG deadline_;
    HWND main_ = nullptr;
};

Status panels(Probe& probe) {
    const Status status = probe.waitFor(
        [](HWND main) {
            return !controlText(main, kelvra::IDC_SERIAL_A).empty() ||
                   !controlText(main, kelvra::IDC_SERIAL_B).empty();
        },
        L"the panels stayed empty");
    if (status == kDone) {
        for (int id = kelvra::IDC_SERIAL_A; id <= kelvra::IDC_FIRMWARE_B; ++id) {
            writeLine(std::to_wstring(id) + L" " + controlText(probe.main(), id));
        }
    }
    return status;
}

// The folder picker is a dialog of the window's thread with a folder tree.
struct PickerSearch {
    HWND main;
    HWND picker;
};

BOOL CALLBACK matchPicker(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<PickerSearch*>(param);
    if (window != search.main && IsWindowVisible(window) &&
        FindWindowExW(window, nullptr, L"SysTreeView32", nullptr) != nullptr) {
        search.picker = window;
        return FALSE;
    }
    return TRUE;
}

HWND findPicker(HWND main) {
    PickerSearch search{main, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(main, nullptr), matchPicker,
                      reinterpret_cast<LPARAM>(&search));
    return search.picker;
}

BOOL CALLBACK printStaticText(HWND child, LPARAM) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0) {
        const std::wstring text = windowText(child);
        if (!text.empty()) {
            writeLine(L"picker " + text);
        }
    }
    return TRUE;
}

// Memory in the picker's process: a tree view copies item texts only into its own.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, std::size_t bytes) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               processId);
        if (process_ != nullptr) {
            address_ =
                VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteBuffer() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_ != nullptr) {
            CloseHandle(process_);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool write(std::size_t offset, const void* data, std::size_t size) {
        return address_ != nullptr && WriteProcessMemory(process_, at(offset), data, size, nullptr);
    }
    bool read(std::size_t offset, void* data, std::size_t size) {
        return address_ != nullptr && ReadProcessMemory(process_, at(offset), data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

constexpr std::size_t kItemTextChars = 260;

std::wstring itemText(HWND tree, HTREEITEM item, RemoteBuffer& remote) {
    TVITEMW query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = reinterpret_cast<LPWSTR>(remote.at(sizeof query));
    query.cchTextMax = static_cast<int>(kItemTextChars);
    wchar_t text[kItemTextChars] = {};
    if (!remote.write(0, &query, sizeof query) ||
        ask(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.at(0))) <= 0 ||
        !remote.read(sizeof query, text, sizeof text)) {
        return {};
    }
    text[kItemTextChars - 1] = L'\0';
    return text;
}

HTREEITEM nextItem(HWND tree, WPARAM relation, HTREEITEM item) {
    const LRESULT next = ask(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item));
    return next == -1 ? nullptr : reinterpret_cast<HTREEITEM>(next);
}

// The children of `parent`, listed by the picker as it expands.
std::vector<HTREEITEM> children(HWND tree, HTREEITEM parent) {
    ask(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    std::vector<HTREEITEM> found;
    for (HTREEITEM child = nextItem(tree, TVGN_CHILD, parent); child != nullptr;
         child = nextItem(tree, TVGN_NEXT, child)) {
        found.push_back(child);
    }
    return found;
}

// Walks the picker's tree as a user would: from the desktop into the computer, on to the drive
// shown as "... (Z:)", then down each folder of `folder`; and selects the last. Sending the
// picker the path itself (BFFM_SETSELECTION) selects nothing under Wine beyond the drive.
bool selectFolder(HWND picker, const std::wstring& folder) {
    HWND tree = FindWindowExW(picker, nullptr, L"SysTreeView32", nullptr);
    RemoteBuffer remote(picker, sizeof(TVITEMW) + kItemTextChars * sizeof(wchar_t));
    if (tree == nullptr || folder.size() < 3 || folder[1] != L':') {
        return false;
    }
    const std::wstring drive = L"(" + folder.substr(0, 2) + L")";
    HTREEITEM item = nullptr;
    // The computer is one of the desktop's children, under whatever name this language gives it.
    for (HTREEITEM place : children(tree, nextItem(tree, TVGN_ROOT, nullptr))) {
        for (HTREEITEM child : children(tree, place)) {
            const std::wstring text = itemText(tree, child, remote);
            if (text.size() >= drive.size() &&
                _wcsicmp(text.c_str() + text.size() - drive.size(), drive.c_str()) == 0) {
                item = child;
            }
        }
        if (item != nullptr) {
            break;
        }
    }
    std::size_t from = 3;
    while (item != nullptr && from < folder.size()) {
        const std::size_t end = std::min(folder.find(L'\\', from), folder.size());
        const std::wstring name = folder.substr(from, end - from);
        HTREEITEM match = nullptr;
        for (HTREEITEM child : children(tree, item)) {
            if (match == nullptr &&
                _wcsicmp(itemText(tree, child, remote).c_str(), name.c_str()) == 0) {
                match = child;
            }
        }
        item = match;
        from = end + 1;
    }
    return item != nullptr &&
           ask(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) > 0;
}

int manifestLines(const std::wstring& folder) {
    std::ifstream manifest((folder + L"\\kelvra-manifest.jsonl").c_str(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(manifest),
                           std::istreambuf_iterator<char>()};
    int lines = 0;
    for (const char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

Status download(Probe& probe, int lines, const std::wstring& folder) {
    Status status = probe.waitFor(
        [lines](HWND main) {
            return ask(GetDlgItem(main, kelvra::IDC_RECORD_LIST), LB_GETCOUNT, 0, 0) == lines &&
                   IsWindowEnabled(GetDlgItem(main, kelvra::IDC_READ_SELECTED));
        },
        L"the record list did not show the lines");
    if (status != kDone) {
        return status;
    }
    HWND main = probe.main();
    HWND list = GetDlgItem(main, kelvra::IDC_RECORD_LIST);
    if (ask(list, LB_SETSEL, TRUE, -1) < 0 || ask(list, LB_GETSELCOUNT, 0, 0) != lines) {
        writeLine(L"the lines could not be selected");
        return kTimedOut;
    }
    // Pressed as by the mouse, which gives the button the focus.
    PostMessageW(GetDlgItem(main, kelvra::IDC_READ_SELECTED), BM_CLICK, 0, 0);

    HWND picker = nullptr;
    while (picker == nullptr && !probe.expired()) {
        Sleep(100);
        picker = findPicker(main);
    }
    if (picker == nullptr) {
        writeLine(L"no folder picker");
        return kTimedOut;
    }
    EnumChildWindows(picker, printStaticText, 0);
    if (!selectFolder(picker, folder)) {
        writeLine(L"the picker did not show the folder");
        return kTimedOut;
    }
    PostMessageW(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
    while (IsWindow(picker) && !probe.expired()) {
        Sleep(100);
    }

    status = probe.waitFor(
        [&](HWND window) {
            return manifestLines(folder) >= lines &&
                   IsWindowEnabled(GetDlgItem(window, kelvra::IDC_READ_SELECTED)) &&
                   !IsWindowVisible(GetDlgItem(window, kelvra::IDC_PROGRESS));
        },
        L"the job did not end");
    if (status != kDone) {
        return status;
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const bool known = GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui) != 0;
    writeLine(L"focus " +
              std::to_wstring(known && gui.hwndFocus != nullptr ? GetDlgCtrlID(gui.hwndFocus) : 0));
    return kDone;
}

Status close(Probe& probe) {
    const Status status = probe.waitFor([](HWND) { return true; }, L"");
    if (status != kDone) {
        return status;
    }
    return closeAndWait(probe.main()) ? kDone : kNotClosed;
}

int run(const std::vector<std::wstring>& args) {
    const auto seconds = [&](std::size_t at) {
        return args.size() > at ? static_cast<int>(std::wcstol(args[at].c_str(), nullptr, 10)) : 60;
    };
    if (args.size() >= 2 && args[1] == L"panels") {
        Probe probe(seconds(2));
        return panels(probe);
    }
    if (args.size() >= 4 && args[1] == L"download") {
        Probe probe(seconds(4));
        return download(probe, static_cast<int>(std::wcstol(args[2].c_str(), nullptr, 10)),
                        args[3]);
    }
    if (args.size() >= 2 && args[1] == L"close") {
        Probe probe(seconds(2));
        return close(probe);
    }
    writeLine(L"usage: kelvra-wine-probe panels|download <lines> <folder>|close [seconds]");
    return kUsage;
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::vector<std::wstring> args(wide, wide + count);
    LocalFree(wide);
    return run(args);
}
