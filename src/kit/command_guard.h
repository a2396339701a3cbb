#pragma once

#include <functional>

namespace velm {

// Runs one user command: a failure that no one handled ends the command with the
// default error report (the silent abort shows nothing), and the program goes on.
// Returns false when the command failed.
bool RunCommand(const std::function<void()>& command);

}  // namespace velm
