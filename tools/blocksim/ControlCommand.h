#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "tools/blocksim/BlockModel.h"
#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

// The text commands that change a running simulator, one per line.
inline constexpr std::string_view kControlCommandHelp =
    "  unplug COM<n> <ms> [swap]          take the block away now, back after <ms>;\n"
    "                                     with swap every block flips its role on return\n"
    "  unplug-after COM<n> <sectors> <ms> [swap]\n"
    "                                     the same once <sectors> more record sectors were sent\n"
    "  silence COM<n> on|off              the block answers nothing\n"
    "  fault COM<n> wrong-ack <exchange> <byte> [after <k>] [times <k>]\n"
    "  fault COM<n> missing-ack <exchange> [after <k>] [times <k>]\n"
    "                                     spoil the 0E closing <exchange>: hello, directory,\n"
    "                                     clock, clear, delete, config, read-sector, sector\n"
    "                                     (record data); <k> good ones first, then <k> spoiled\n"
    "                                     (times 0 or none: all of them)\n"
    "  fault COM<n> short-params <count>  hello sends 55 and only <count> (0..6) parameter bytes\n"
    "  line COM<n> drop <after> [<offset>]\n"
    "  line COM<n> insert <after> [<offset> [<byte>]]\n"
    "  line COM<n> cut <after> [<offset>]\n"
    "  line COM<n> garbage <after> [<count> [<byte>]]\n"
    "  line COM<n> flip <after> [<offset> [<bit>]]\n"
    "                                     disturb, once, the record sector that follows <after>\n"
    "                                     more record sectors: drop loses its byte at <offset>,\n"
    "                                     insert sends <byte> before that byte, cut ends the\n"
    "                                     reply after <offset> bytes of it (no 0E; a basic\n"
    "                                     stream ends); garbage sends <count> <byte>s after the\n"
    "                                     next record 0E; flip inverts bit <bit> of the byte at\n"
    "                                     <offset>, length and 0E intact. <offset> 0..511\n"
    "                                     (default 256), <byte> default 0x5A, <count> 1..64\n"
    "                                     (default 1), <bit> 0..7 (default 0, the least\n"
    "                                     significant); several may wait at once\n"
    "  fault COM<n> clear                 every fault of the block off\n"
    "  status                             one line per block: port, serial, firmware, role,\n"
    "                                     entries, how often its directory was listed and how\n"
    "                                     many record sectors it sent\n"
    "  help                               this list\n"
    "  quit                               remove the links and end\n"
    "Numbers are decimal or 0x-prefixed hexadecimal. Each command is answered by 'ok' or\n"
    "'error: <reason>'.\n";

struct ControlCommand {
    enum class Kind {
        Unplug,
        UnplugAfter,
        Silence,
        AckFault,
        ShortParams,
        LineFault,
        ClearFaults,
        Status,
        Help,
        Quit,
    };

    Kind kind = Kind::Help;
    int com = 0;                    // the block's port number, for block commands
    UnplugFault unplug;             // Unplug (afterSectors unused) and UnplugAfter
    bool on = false;                // Silence
    Exchange exchange{};            // AckFault
    AckFault ack;                   // AckFault
    std::uint8_t parameterBytes{};  // ShortParams
    LineFault line;                 // LineFault
};

// The command, or the reason the line is not one.
std::variant<ControlCommand, std::string> parseControlCommand(std::string_view line);

// Applies a command that changes only the block's own faults (UnplugAfter, Silence, AckFault,
// ShortParams, LineFault, ClearFaults); the other kinds concern the host and are left alone.
void applyToModel(const ControlCommand& command, BlockModel& model);

}  // namespace kelvra::blocksim
