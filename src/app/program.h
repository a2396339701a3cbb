#pragma once

namespace velm {

// The whole program: start-up in its fixed order, the main loop, shutdown in reverse.
// main() only calls it, so a test can run the real program in a child process.
int RunProgram(int argc, char** argv);

}  // namespace velm
