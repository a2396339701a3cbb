#include "kit/command_guard.h"

#include "kit/messages.h"

namespace velm {

bool RunCommand(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        ReportException(error);
    }
    return false;
}

}  // namespace velm
