// While it lives, no file of this process may grow past `bytes`: writes beyond fail as on a full or pulled
// medium (EFBIG), without the signal that would end the process. POSIX only.
#pragma once

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes) {
        ok_ = getrlimit(RLIMIT_FSIZE, &old_) == 0;
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = rlim_t(bytes);
        ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*handler_)(int) = SIG_DFL;
    bool ok_ = false;
};
