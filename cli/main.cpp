#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RecordText.h"
#include "cli/UsageErrors.h"
#include "kelvra/Version.h"
#include "platform/clock/Clock.h"
#include "platform/console/Console.h"
#include "platform/serial/SerialPort.h"

namespace {

constexpr const char* kDescription =
    "Kelvra on the command line: finds the recorder's two blocks on COM1 to COM29 as the\n"
    "window does, lists their records, downloads them into WAV files, sets block A's clock,\n"
    "clears and deletes. Finding the blocks never sets a clock: only the clock command does.\n"
    "\n"
    "Exit status: 0 done, 1 a line or an exchange failed (a message each), 2 usage,\n"
    "3 no blocks found.";

// The kind of the parser's complaint: the error's own name is the subcommand's for some.
std::string errorKind(const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        return "ConversionError";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        return "ArgumentMismatch";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        return "RequiredError";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        return "ExtrasError";
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        return "ExcludesError";
    }
    return error.get_name();
}

}  // namespace

int main(int argc, char** argv) {
    kelvra::platform::useUtf8Output();
    using namespace kelvra;
    using namespace kelvra::cli;

    CLI::App app(kDescription, "kelvra-cli");
    app.set_version_flag("--version", std::string("kelvra-cli ") + KELVRA_VERSION_TEXT);
    app.require_subcommand(1);

    platform::SerialBackend& backend = platform::systemSerialBackend();
    platform::Clock& clock = platform::systemClock();
    std::function<int()> run;

    CLI::App* ports = app.add_subcommand(
        "ports",
        "For COM1 to COM29: the device or port-directory link the name stands for, and its\n"
        "state: absent, cannot be opened (and why), open but not a block, or block A or B with\n"
        "serial number and firmware; for a USB serial adapter its driver, USB ids, name and\n"
        "latency timer, with a hint when that timer slows downloads. Sends nothing but the\n"
        "greeting.");
    bool portsJson = false;
    ports->add_flag("--json", portsJson,
                    "JSON Lines, one object per port: port, device, linkTo, access, state,\n"
                    "adapter (driver, vendorId, productId, product, latencyTimerMs, hint; null\n"
                    "for a port that is not a USB serial device)");
    ports->callback([&] { run = [&] { return runPorts(backend, portsJson); }; });

    bool listJson = false;
    CLI::App* list = app.add_subcommand(
        "list",
        "Finds the blocks and prints their merged record table, one numbered line per record\n"
        "as the window lists it. Does not set the clock.");
    list->add_flag("--json", listJson,
                   "JSON Lines, one object per record: index, time (local, ISO 8601), record,\n"
                   "blocks, marker, sampleRate, duration, bytesPerChannel, file, line");
    list->callback([&] { run = [&] { return runList(backend, clock, listJson); }; });

    DownloadRequest request;
    CLI::App* download = app.add_subcommand(
        "download",
        "Reads records into WAV files in a folder: the same names and bytes as the window.\n"
        "A block unplugged for a while is waited for as the window does. Ctrl+C stops after\n"
        "the current pair of sectors and names the partial file it leaves.");
    download->add_option("--out", request.folder, "The folder for the files")->required();
    CLI::Option* all = download->add_flag("--all", request.all, "Every line of the list");
    CLI::Option* since = download->add_option(
        "--since", request.since,
        std::string("Lines recorded at or after a moment: ") + kMomentSpellings);
    CLI::Option* lines =
        download->add_option("LINE", request.lines, "Line numbers as list prints them");
    all->excludes(since)->excludes(lines);
    since->excludes(lines);
    download->add_flag("--skip-existing", request.skipExisting,
                       "Skip a line whose record the folder's manifest holds intact: a file\n"
                       "written from this very record, with every block's copy, whose hash\n"
                       "still matches and whose first and last sectors are what the blocks\n"
                       "hold now (not sampled from blocks that stream only whole records)");
    download->add_flag("--verify", request.verify,
                       "Read every record again after writing it, until two reads agree (at\n"
                       "most four): the link has no checksum. Takes about twice as long");
    download->add_flag("--json", request.json,
                       "JSON Lines, one object per line's outcome: index, status, file, message");
    download->add_flag("--wait", request.wait,
                       "Waits for the blocks when none is there instead of exiting with 3, and\n"
                       "for blocks unplugged during the download for as long as they stay\n"
                       "away (the same blocks, by serial number), instead of about 50 seconds;\n"
                       "Ctrl+C ends the wait");
    download->callback([&] {
        request.sinceGiven = since->count() > 0;
        if (!request.all && !request.sinceGiven && request.lines.empty()) {
            throw CLI::RequiredError("--all, --since or LINE");
        }
        run = [&] { return runDownload(backend, clock, systemPace(), request); };
    });

    OffloadRequest offloadRequest;
    CLI::App* offload = app.add_subcommand(
        "offload",
        "An unattended offload station: waits for a pair of blocks, reads every record that\n"
        "DIR/<serial A>_<serial B> (e.g. 2018-042_2018-043) lacks into it, by the rules of\n"
        "download --skip-existing, checks the folder as verify does and prints one summary\n"
        "line for the pair; then waits for these blocks to be unplugged and the next pair to\n"
        "be plugged in. A lone block is not served: it waits for its partner. Ctrl+C or a\n"
        "termination request ends it after the pair in hand (a second one stops the\n"
        "transfer after the pair of sectors in hand, keeping the partial file). Exit status 0\n"
        "when nothing failed.");
    offload->add_option("--out", offloadRequest.folder, "The folder that holds the pairs' folders")
        ->required();
    offload->add_flag("--clear", offloadRequest.clear,
                      "Clears a pair's blocks once every record is proven to be in its folder,\n"
                      "as clear --if-downloaded-to proves it; otherwise leaves them as they are");
    offload->add_flag("--once", offloadRequest.once, "Ends after the first pair");
    offload->add_flag("--json", offloadRequest.json,
                      "JSON Lines, one object per pair: pair, folder, records, written, skipped,\n"
                      "failed, bytes, milliseconds, warnings, verified, cleared, message");
    offload->callback(
        [&] { run = [&] { return runOffload(backend, clock, systemPace(), offloadRequest); }; });

    CLI::App* clockCommand = app.add_subcommand(
        "clock",
        "Sets block A's clock to this computer's local time, sent as a second begins. Block B\n"
        "gets no clock, as in the window.");
    clockCommand->callback([&] { run = [&] { return runClock(backend, clock); }; });

    bool clearConfirmed = false;
    std::string clearGuard;
    CLI::App* clear =
        app.add_subcommand("clear", "Erases every record of both blocks, as the window's button.");
    clear->add_flag("--yes", clearConfirmed, "Confirms the erasure");
    clear->add_option("--if-downloaded-to", clearGuard,
                      "Only if the blocks' directories read the same twice and every record\n"
                      "has an intact file in this folder that its manifest attributes to the\n"
                      "record and whose samples are what the blocks hold (first and last\n"
                      "sectors; whole records from blocks that stream only whole records);\n"
                      "otherwise nothing is sent, the records without one are listed, and\n"
                      "the exit status is 1");
    clear->callback(
        [&] { run = [&] { return runClear(backend, clock, clearConfirmed, clearGuard); }; });

    std::string verifyFolder;
    bool verifyJson = false;
    CLI::App* verify = app.add_subcommand(
        "verify",
        "Hashes every file that the folder's download manifest (kelvra-manifest.jsonl) lists\n"
        "and prints each as ok, changed or missing, and the folder's WAV files that it does\n"
        "not know as unknown. Exit status 0 only when every listed file is ok.");
    verify->add_option("DIR", verifyFolder, "The folder downloaded into")->required();
    verify->add_flag("--json", verifyJson, "JSON Lines, one object per file: file, status");
    verify->callback([&] { run = [&] { return runVerify(verifyFolder, verifyJson); }; });

    std::vector<std::string> lookFiles;
    std::string lookPng;
    CLI::App* lookCommand = app.add_subcommand(
        "look",
        "Reads WAV files that Kelvra wrote (RIFF or RF64) and prints for each its format and,\n"
        "for each channel, the block whose copy it holds, the peak and RMS level in dBFS, the\n"
        "clipped samples and whether it is silent; with the folder's download manifest also\n"
        "the record's date, time and blocks. Sends nothing to the blocks.");
    lookCommand->add_option("FILE", lookFiles, "The WAV files")->required();
    lookCommand->add_option("--png", lookPng,
                            "Also draws the one FILE given into this PNG file (1280 x 760):\n"
                            "each channel's waveform and spectrogram, the time of day when the\n"
                            "manifest knows the record (seconds otherwise), the frequency up to\n"
                            "half the sample rate");
    lookCommand->callback([&] { run = [&] { return runLook(lookFiles, lookPng); }; });

    int deleteLine = 0;
    bool deleteConfirmed = false;
    CLI::App* remove = app.add_subcommand(
        "delete",
        "Deletes the entry whose first record is on LINE from both blocks; both must be\n"
        "present, as in the window.");
    remove->add_option("LINE", deleteLine, "The entry's first line as list prints it")->required();
    remove->add_flag("--yes", deleteConfirmed, "Confirms the deletion");
    remove->callback(
        [&] { run = [&] { return runDelete(backend, clock, deleteLine, deleteConfirmed); }; });

    std::vector<std::string> commands;
    for (const CLI::App* command : app.get_subcommands({})) {
        commands.push_back(command->get_name());
    }
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    if (!arguments.empty() && arguments.front() == "help") {
        std::printf("%s", app.help().c_str());
        return kExitDone;
    }
    if (const auto problem = unknownFirstWord(arguments, commands)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return kExitUsage;
    }
    try {
        // CLI11 takes the arguments last first.
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help) == 0 ? kExitDone : kExitUsage;
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help) == 0 ? kExitDone : kExitUsage;
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version) == 0 ? kExitDone : kExitUsage;
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "%s\n",
                     usageMessage(errorKind(error), error.what(), commands).c_str());
        return kExitUsage;
    }
    return run();
}
