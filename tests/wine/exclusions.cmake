# What does not run under Wine, and why: the one list, read by the Windows builds (which unit
# test sources they compile) and by the Linux build (which tests it runs under Wine).

# Unit test sources about the POSIX backends, or built on POSIX-only calls: Linux-only.
set(KELVRA_UNIT_TESTS_POSIX_ONLY
    # symbolic links (which only an administrator makes on Windows), FIFOs, and folders renamed
    # or removed under an open file (which Windows refuses)
    posix_files_test.cpp
    # the Linux port names: the user's port directory and the /dev device list
    posix_port_names_test.cpp
    # the Linux adapter reader on a fake sysfs tree (the registry reader has a wine test)
    posix_usb_adapter_test.cpp
    # a Linux reader of RF64 files, run through popen
    rf64_reader_test.cpp
)

# Unit tests, by GoogleTest name, that rely on POSIX file semantics: they read the partial file
# while the download still holds it open, which Windows refuses to every other opener.
set(KELVRA_UNIT_TESTS_POSIX_SEMANTICS
    WorkerOnScriptedPorts.ABatchWithALostByteReachesTheFileOnlyWhenReadAgain
    WorkerOnScriptedPorts.AnAddedByteBehindAFalseAcknowledgementFailsTheSector
    WorkerOnScriptedPorts.GarbageAfterTheLastAcknowledgementFailsTheSectorEvenWhenLate
    WorkerOnScriptedPorts.AnAcknowledgementPushedBackByAStrayByteFailsTheNextBatchToo
    WorkerOnScriptedPorts.ASectorDuringWhichTheDriverSawLineErrorsIsReadAgain
)

# Tests that Wine cannot run, by GoogleTest name, for both bitnesses.
set(KELVRA_WINE_EXCLUDED_TESTS
    # Wine 8.0 emulates append-only handles (FILE_APPEND_DATA) by writing at the end it last
    # saw: two writers at once now and then overwrite each other's line, which Windows never
    # lets happen. A ten-line program of two appending threads shows it too.
    AppendLine.LinesOfTwoWritersStayWhole
    # Wine 8.0's CreateSymbolicLinkW reports success and makes nothing: there is no reparse
    # point to refuse.
    Win32OutputFile.RefusesAReparsePointAtTheNameAndLeavesItAsItWas
    # Wine 8.0 opens a COM port that is open already (a pseudo-terminal behind it) a second
    # time: the share mode 0 that Windows and its serial drivers hold to is not checked there.
    Win32SerialPort.OpensExclusively
    # Each moves a 2-minute record of old firmware (10,000 sector pairs) through 30,000 window
    # calls carried from the worker. Under Wine every hand-over between the threads costs
    # several wineserver round trips (winpthreads' condition variables are kernel objects):
    # 15 s a case, 25 minutes a bitness for the 100, direct and behind the adapter. They run on
    # Linux in three builds; their Batches and BasicStream siblings, with the same faults, run
    # here.
    Download/LineFaults.EndWithTheBlocksRecordOrAMessage/*_SingleSectors_*
)

# The download through the window, per bitness ("" where it runs). Under the WoW64 mode of
# Wine 8.0 a 32-bit program can load no icon (LoadImage fails with ERROR_INVALID_HANDLE), and
# the shell's folder picker (SHBrowseForFolderW) then crashes inside comctl32 as it fills its
# folder tree: any 32-bit program does, a ten-line one too. The 32-bit download, its recovery
# and its files are still tested through kelvra-cli.exe, which shares the download session.
set(KELVRA_WINE_WITHOUT_WINDOW_DOWNLOAD_win64 "")
set(KELVRA_WINE_WITHOUT_WINDOW_DOWNLOAD_win32
    "Wine 8.0's WoW64 mode loads no icon for 32-bit programs and its folder picker crashes in comctl32")
