#pragma once

namespace kelvra::cli {

// Whether standard error is a terminal, where a progress bar may redraw its line.
bool standardErrorIsTerminal();

}  // namespace kelvra::cli
