# What does not run under Wine, and why: the one list, read by the Windows builds (which unit
# test sources they compile) and by the Linux build (which tests it registers under Wine).

# Unit test sources that test the POSIX backends or use POSIX-only calls: they stay Linux-only.
# Each has a Windows counterpart among the Windows-only tests or is about Linux alone.
set(KELVRA_UNIT_TESTS_POSIX_ONLY)

# GoogleTest filters of unit tests that Wine cannot run, per bitness ("" when none).
set(KELVRA_WINE_UNIT_EXCLUDED_win64 "")
set(KELVRA_WINE_UNIT_EXCLUDED_win32 "")

# The download through the window, per bitness ("" where it runs). Under the WoW64 mode of
# Wine 8.0 a 32-bit program can load no icon (LoadImage fails with ERROR_INVALID_HANDLE), and
# the shell's folder picker (SHBrowseForFolderW) then crashes inside comctl32 as it fills its
# folder tree: any 32-bit program does, a ten-line one too. The 32-bit download, its recovery
# and its files are still tested through kelvra-cli.exe, which shares the download session.
set(KELVRA_WINE_WITHOUT_WINDOW_DOWNLOAD_win64 "")
set(KELVRA_WINE_WITHOUT_WINDOW_DOWNLOAD_win32
    "Wine 8.0's WoW64 mode loads no icon for 32-bit programs and its folder picker crashes in comctl32")
