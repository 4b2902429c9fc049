#pragma once

#include <string>

namespace kelvra {

// Whether `name` can only ever stand for a file of its own directly in a folder, on every
// system the folder may be read on: no separator, "." or "..", control character, colon (an
// alternate data stream on Windows), trailing dot or space (which Windows strips, making it
// another file's name), and none of the device names Windows reserves in every folder (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), with an extension or without, in any case.
bool isPlainFileName(const std::string& name);

}  // namespace kelvra
