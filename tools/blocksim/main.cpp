#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <iostream>
#include <string>

#include "kelvra/Version.h"
#include "platform/serial/PortNames.h"
#include "tools/blocksim/ControlCommand.h"
#include "tools/blocksim/PtyHost.h"
#include "tools/blocksim/Scenario.h"

namespace {

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
}

bool installStopSignals() {
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    return ::sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

const char* const kDescription =
    "Serves simulated recorder blocks on pseudo-terminals for Kelvra. Each block of the\n"
    "scenario gets a pseudo-terminal, published as the link COM<n> in the port directory\n"
    "(and as com<n> in a Wine prefix's dosdevices folder when asked), where Kelvra looks for\n"
    "its ports. The links are removed on exit (SIGINT, SIGTERM, or the quit command).\n"
    "Kelvra follows the links only in a directory that nobody else may write to; a port\n"
    "directory created here is private to the user.";

const char* const kFooter =
    "\nStandard output:\n"
    "  COM<n> <device>         one line per block once its port is published, then\n"
    "  READY                   when all are\n"
    "  UNPLUGGED COM<n>        a block was taken away (its link is gone)\n"
    "  PLUGGED COM<n> <device> it is back (new pseudo-terminal, same link name)\n"
    "\nCommands on standard input, one per line:\n";

const char* const kScenarioHelp =
    "\nScenario file (JSON):\n"
    "  {\"blocks\": [{\n"
    "    \"com\": 1..29, \"serialYear\": 0..255 (year - 2000), \"serialNumber\": 0..65535,\n"
    "    \"firmware\": 0..255 (major*10+minor; picks the stream mode), \"role\": \"A\"|\"B\",\n"
    "    \"service\": bool (optional), \"samples\": shape (optional, default of its entries),\n"
    "    \"entries\": [{ (at most 41)\n"
    "      \"address\": 0..255 (unique), \"records\": 0..255 (count as sent, default 1),\n"
    "      \"time\": \"YYYY-MM-DD HH:MM:SS\" or \"timeBcd\": [6 raw bytes, second..year],\n"
    "      \"sampleRate\": 0..65535, \"duration\": 0..65535 (seconds),\n"
    "      optional: \"lead\": byte (default 1), \"role\": \"A\"|\"B\" (default the block's),\n"
    "      \"entryInfo\", \"setting1\", \"setting2\": [4 bytes],\n"
    "      \"sampleSeed\": 0..4294967295 (default 0; another value gives\n"
    "        the entry other samples under the same directory bytes),\n"
    "      \"samples\": \"tone\"|\"zero\"|\"clipped\" (default the block's, else \"tone\") }],\n"
    "    \"sessions\": [{\"status\", \"number\": byte, \"time\"|\"timeBcd\", \"value\": 0..65535}\n"
    "                 or {\"bytes\": [32 bytes]}] (optional; session i at sector 2 + i*stride),\n"
    "    \"faults\": {\"silent\": bool, \"shortParams\": 0..6,\n"
    "      \"acks\": [{\"exchange\": name, \"reply\": \"wrong\"|\"missing\", \"byte\": byte,\n"
    "                \"after\": n, \"times\": n}],\n"
    "      \"unplug\": {\"afterSectors\": n >= 1, \"forMs\": ms, \"otherSlot\": bool},\n"
    "      \"line\": [{\"kind\": \"drop\"|\"insert\"|\"cut\"|\"garbage\"|\"flip\", \"after\": n,\n"
    "                \"offset\": 0..511 (not garbage), \"byte\": byte (insert, garbage),\n"
    "                \"count\": 1..64 (garbage), \"bit\": 0..7 (flip)}]} (optional; line\n"
    "                faults as the line command, sectors counted from the start)\n"
    "  }]}\n"
    "\nA block serves record data the way its firmware does: single sectors from 1.3, 2.2\n"
    "and 3.1 on within majors 1 to 3, batches for majors 4 to 6, the basic stream otherwise.\n"
    "Below firmware 6.0 every record holds 120 s at 21362 (major 5) or 21333 samples per\n"
    "second, whatever its entry says; from 6.0 on the entry's sampleRate and duration apply.\n"
    "Samples are a tone whose pitch depends on the block's serial number, the record and\n"
    "the entry's sampleSeed. \"zero\" gives a dead input, every sample 0; \"clipped\" an\n"
    "overdriven one, the same tone five times as loud, about two samples in five at\n"
    "-32768 or +32767.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvra;

    CLI::App app{kDescription, "kelvra-blocksim"};
    app.set_version_flag("--version", "kelvra-blocksim " KELVRA_VERSION_TEXT);
    std::string scenarioPath;
    std::string portDirectory = platform::linuxPortDirectory();
    std::string winePrefix;
    bool pace = false;
    std::uint32_t adapterLatency = 0;
    app.add_option("scenario", scenarioPath, "Scenario file (JSON, see below)")
        ->required()
        ->check(CLI::ExistingFile);
    app.add_option("--port-dir", portDirectory, "Where to publish the COM<n> links (created)")
        ->capture_default_str();
    app.add_option("--wine-prefix", winePrefix,
                   "Also publish com<n> links in this Wine prefix's dosdevices folder");
    app.add_flag("--pace", pace,
                 "Hold each block's output to the line rate, 46080 bytes/s (460800 baud, 8N1)");
    app.add_option("--adapter-latency", adapterLatency,
                   "Put a USB serial adapter between each block and its terminal: the block's\n"
                   "bytes reach the tool in packets of at most 62 bytes, each handed over when\n"
                   "full or MS ms after its first byte (FTDI adapters: 16 by default). The tool's\n"
                   "low-latency request cannot reach it through a pseudo-terminal")
        ->option_text("MS")
        ->check(CLI::Range(1, 255));
    app.footer(std::string(kFooter) + std::string(blocksim::kControlCommandHelp) + kScenarioHelp);
    CLI11_PARSE(app, argc, argv);

    blocksim::Scenario scenario;
    try {
        scenario = blocksim::loadScenario(scenarioPath);
    } catch (const blocksim::ScenarioError& error) {
        std::cerr << "kelvra-blocksim: " << error.what() << '\n';
        return 2;
    }
    if (!installStopSignals()) {
        std::cerr << "kelvra-blocksim: cannot install signal handlers\n";
        return 1;
    }

    blocksim::PtyHostOptions options;
    options.portDirectory = portDirectory;
    if (!winePrefix.empty()) {
        options.winePrefix = winePrefix;
    }
    options.pace = pace;
    if (adapterLatency > 0) {
        options.adapterLatencyMs = adapterLatency;
    }
    try {
        blocksim::PtyHost host(scenario, options, std::cout);
        host.start();
        host.run(STDIN_FILENO, stopPipe[0]);
    } catch (const std::exception& error) {
        std::cerr << "kelvra-blocksim: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
