#pragma once

#include <csignal>

#include <sys/resource.h>

namespace velm::test {

// While it lives no file of the process grows beyond the size: a write that crosses it
// is taken in part and the rest refused, as on a disk that fills up, then with the
// system's reason "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit held = old_;
        held.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &held);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
};

}  // namespace velm::test
