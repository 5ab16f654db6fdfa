#include "log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace tillwire {

std::string ExecutableFolder() {
    char path[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
    if (n <= 0) return {};
    std::string exe(path, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos) return {};
    return exe.substr(0, slash);
}

TLogWriter::TLogWriter(Clock& clock, std::string folder) : clock_(clock), folder_(std::move(folder)) {}

std::string TLogWriter::FileFor(double dayCount) const {
    return folder_ + "/" + FormatDate(dayCount) + ".txt";
}

bool TLogWriter::WriteLog(std::string_view text) noexcept {
    try {
        std::lock_guard<std::mutex> lock(LogLock);
        const double now = clock_.Now();
        std::string line = FormatDateTime(now);
        line += ": ";
        line += text;
        line += "\r\n";

        // One level: the executable's folder exists.
        if (mkdir(folder_.c_str(), 0777) != 0 && errno != EEXIST) return false;
        const int fd = open(FileFor(now).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        bool ok = true;
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t w = write(fd, line.data() + done, line.size() - done);
            if (w < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            done += static_cast<std::size_t>(w);
        }
        close(fd);
        return ok;
    } catch (...) {
        return false;
    }
}

}  // namespace tillwire
