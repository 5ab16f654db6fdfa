// Online trading under load. Emulated terminals in online-trade mode swipe
// as fast as replies come back, first against the console (the real main
// window, its trade page and libtillwire), then against tillwire-serve, in
// the same run and with the same terminals. Prints trades per second of
// both and their ratio, the share of the GUI thread's time spent in the two
// trade callbacks (and in dispatching the library's calls as a whole), how
// late the event loop ran a 10 ms timer, the console's trade rate at the
// start and at the end of the load (a growing backlog would show as a
// falling rate and a long stop), and what the trade log costs in memory.
//
//   online_trade_load [--seconds N] [--terminals N]     (default 30 s, 4)
//
// Everything runs on 127.0.0.1.

#include "core/trade_library.h"
#include "emulator_process.h"
#include "main_window.h"
#include "pages/online_trade_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <ctime>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using tarnwick::testing::EmulatorProcess;
using SteadyClock = std::chrono::steady_clock;

namespace {

// Time the GUI thread spends inside the library's calls.
struct GuiThreadTimes {
    TOnTradeRequest request = nullptr;
    TOnTradeResult result = nullptr;
    double requestSeconds = 0, resultSeconds = 0, dispatchSeconds = 0;
    long requests = 0, results = 0;
} g_times;

double Since(SteadyClock::time_point t0)
{
    return std::chrono::duration<double>(SteadyClock::now() - t0).count();
}

void TILLWIRE_CALL TimedRequest(TTradeRequest *request, TTradeAnswer *answer, uint8_t *accept)
{
    const auto t0 = SteadyClock::now();
    g_times.request(request, answer, accept);
    g_times.requestSeconds += Since(t0);
    ++g_times.requests;
}

void TILLWIRE_CALL TimedResult(TTradeRequest *request, int32_t confirmed, uint8_t *flag)
{
    const auto t0 = SteadyClock::now();
    g_times.result(request, confirmed, flag);
    g_times.resultSeconds += Since(t0);
    ++g_times.results;
}

// The console's launch and dispatch, with the callbacks and each dispatch
// timed.
void TimeTheTradeLibrary()
{
    tallydesk::tradeLibrary().LaunchOnline = [](TTOnlineClock **clocks, int32_t last, int32_t port,
                                                 TOnTradeRequest request, TOnTradeResult result,
                                                 TOnOnlineState state) -> uint8_t {
        g_times.request = request;
        g_times.result = result;
        return ::LaunchOnline(clocks, last, port, &TimedRequest, &TimedResult, state);
    };
    tallydesk::tradeLibrary().TillwireDispatch = [] {
        const auto t0 = SteadyClock::now();
        ::TillwireDispatch();
        g_times.dispatchSeconds += Since(t0);
    };
}


// CPU time of the calling thread.
double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

long ProcStatusKiB(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::atol(line.c_str() + n + 1);
    return 0;
}

// One terminal's "flood done" line, read from its output after `from`.
struct FloodSummary {
    bool done = false;
    long accepted = 0, confirmed = 0, timeouts = 0;
};

long Field(const std::string &line, const char *name)
{
    const std::size_t at = line.find(std::string(" ") + name + "=");
    return at == std::string::npos ? 0 : std::atol(line.c_str() + at + std::strlen(name) + 2);
}

FloodSummary ReadFlood(const EmulatorProcess &terminal, std::size_t from)
{
    FloodSummary s;
    const std::string out = terminal.Output();
    const std::size_t at = out.find("flood done", from);
    if (at == std::string::npos)
        return s;
    const std::string line = out.substr(at, out.find('\n', at) - at);
    s.done = true;
    s.accepted = Field(line, "accepted");
    s.confirmed = Field(line, "confirmed");
    s.timeouts = Field(line, "timeout");
    return s;
}

struct LoadResult {
    double seconds = 0;
    long accepted = 0, confirmed = 0, timeouts = 0;
    double perSecond() const { return seconds > 0 ? accepted / seconds : 0; }
};

// Starts a flood of `seconds` on every terminal and calls `wait` until all
// report; `wait` runs whatever event loop serves the trades.
template <typename Wait>
LoadResult Flood(std::vector<std::unique_ptr<EmulatorProcess>> &terminals, int seconds, Wait wait)
{
    std::vector<std::size_t> marks;
    for (auto &t : terminals) {
        marks.push_back(t->Output().size());
        t->Command("flood " + std::to_string(seconds) + " 0011223344556677 1250");
    }
    const auto t0 = SteadyClock::now();
    auto allDone = [&] {
        for (std::size_t i = 0; i < terminals.size(); ++i)
            if (!ReadFlood(*terminals[i], marks[i]).done)
                return false;
        return true;
    };
    wait(allDone, seconds + 30);
    LoadResult r;
    r.seconds = Since(t0);
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        const FloodSummary s = ReadFlood(*terminals[i], marks[i]);
        if (!s.done)
            std::fprintf(stderr, "terminal %zu did not finish its flood\n", i);
        r.accepted += s.accepted;
        r.confirmed += s.confirmed;
        r.timeouts += s.timeouts;
    }
    return r;
}

// tillwire-serve as a child process; its lines go to a file, as a host
// would keep its log.
pid_t StartServe(int port, const std::string &devices, const std::string &logPath)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            close(fd);
        }
        const std::string portText = std::to_string(port);
        execl(TILLWIRE_SERVE_PATH, "tillwire-serve", "--port", portText.c_str(), "--devices", devices.c_str(),
              "--listen", "127.0.0.1", static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid;
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 30, terminalCount = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--terminals") == 0)
            terminalCount = std::clamp(std::atoi(argv[i + 1]), 1, 64);
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
    QApplication app(argc, argv);

    // The terminals, first pointed at the console's server.
    const int consolePort = tarnwick::testing::FreeLoopbackUdpPort();
    std::vector<std::unique_ptr<EmulatorProcess>> terminals;
    std::string devices;
    for (int i = 0; i < terminalCount; ++i) {
        auto t = std::make_unique<EmulatorProcess>();
        const int deviceNo = 61 + i;
        if (!t->Start({"--clock-id", std::to_string(deviceNo), "--trade-mode", "1", "--trade-server",
                       "127.0.0.1:" + std::to_string(consolePort), "--trade-port", "0", "--trade-timeout-ms",
                       "1000"})
            || t->tradePort() <= 0) {
            std::fprintf(stderr, "cannot start terminal %d\n", deviceNo);
            return 1;
        }
        devices += (devices.empty() ? "" : "|") + std::to_string(deviceNo) + ",127.0.0.1,"
                   + std::to_string(t->tradePort());
        terminals.push_back(std::move(t));
    }

    // The console serving, its trade page on screen.
    TimeTheTradeLibrary();
    TForm1 window;
    window.show();
    auto *pages = window.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    pages->setCurrentIndex(6);
    auto *registry = window.findChild<QTreeWidget *>(QStringLiteral("lvClocks"));
    registry->clear();
    for (int i = 0; i < terminalCount; ++i) {
        auto *row = new QTreeWidgetItem(registry);
        row->setText(0, QString::number(61 + i));
        row->setText(1, QStringLiteral("127.0.0.1"));
        row->setText(2, QString::number(terminals[static_cast<std::size_t>(i)]->tradePort()));
    }
    window.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QString::number(consolePort));
    auto *launch = window.findChild<QPushButton *>(QStringLiteral("btnLaunch"));
    launch->click();
    if (launch->isEnabled()) {
        std::fprintf(stderr, "the console's trade server did not start\n");
        return 1;
    }
    auto *memo = window.findChild<QPlainTextEdit *>(QStringLiteral("Memo3"));
    auto *page = window.findChild<OnlineTradePage *>();

    // How late a 10 ms timer fires while the console serves, and the trade
    // rate per second.
    std::vector<double> lateness;
    std::vector<long> requestsPerSecond;
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    qint64 lastTick = 0, secondStart = 0;
    long requestsAtSecond = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        lateness.push_back(std::max(0.0, (now - lastTick) / 1e6 - 10.0));
        lastTick = now;
        if (now - secondStart >= 1'000'000'000) {
            requestsPerSecond.push_back(g_times.requests - requestsAtSecond);
            requestsAtSecond = g_times.requests;
            secondStart = now;
        }
    });

    const long rssBefore = ProcStatusKiB("VmRSS:");
    const double cpuBefore = ThreadCpuSeconds();
    probeClock.start();
    probe.start();
    const LoadResult console = Flood(terminals, seconds, [&](auto allDone, int limit) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (allDone() || probeClock.elapsed() > limit * 1000LL)
                loop.quit();
        });
        poll.start(50);
        loop.exec();
    });
    probe.stop();
    const double wall = probeClock.nsecsElapsed() / 1e9;
    const double guiCpu = ThreadCpuSeconds() - cpuBefore;
    const auto stopStart = SteadyClock::now();
    window.findChild<QPushButton *>(QStringLiteral("btnStop"))->click();
    const double stopSeconds = Since(stopStart);
    page->flushTradeLog();
    const long rssAfter = ProcStatusKiB("VmRSS:");
    // A paragraph per text; its lines are the paragraph's line separators
    // plus one.
    const long memoTexts = memo->blockCount();
    long memoLines = 0;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
        memoLines += 1 + b.text().count(QChar::LineSeparator);

    // The same terminals against tillwire-serve.
    const int servePort = tarnwick::testing::FreeLoopbackUdpPort();
    const std::string serveLog = "/tmp/online_trade_load_serve." + std::to_string(getpid()) + ".log";
    const pid_t serve = StartServe(servePort, devices, serveLog);
    for (auto &t : terminals)
        t->Command("trade-server 127.0.0.1:" + std::to_string(servePort), "trade server");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const LoadResult served = Flood(terminals, seconds, [](auto allDone, int limit) {
        const auto t0 = SteadyClock::now();
        while (!allDone() && Since(t0) < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    kill(serve, SIGTERM);
    int status = 0;
    waitpid(serve, &status, 0);
    unlink(serveLog.c_str());
    for (auto &t : terminals)
        t->Stop();

    std::sort(lateness.begin(), lateness.end());
    auto pct = [&](double p) {
        return lateness.empty() ? 0.0 : lateness[std::min(lateness.size() - 1, std::size_t(p * lateness.size()))];
    };
    auto rateOf = [&](std::size_t from, std::size_t count) {
        if (requestsPerSecond.size() < from + count)
            return 0.0;
        double sum = 0;
        for (std::size_t i = from; i < from + count; ++i)
            sum += requestsPerSecond[i];
        return sum / count;
    };
    const std::size_t window5 = std::min<std::size_t>(5, requestsPerSecond.size() / 2);

    std::printf("online trade load: %d terminals swiping as fast as replies come back, %d s per server\n",
                terminalCount, seconds);
    std::printf("  %-34s %12s %12s %10s\n", "", "trades/s", "confirmed", "timeouts");
    std::printf("  %-34s %12.0f %12ld %10ld\n", "console (Tallydesk, libtillwire)", console.perSecond(),
                console.confirmed, console.timeouts);
    std::printf("  %-34s %12.0f %12ld %10ld\n", "tillwire-serve (baseline)", served.perSecond(),
                served.confirmed, served.timeouts);
    std::printf("  ratio console / tillwire-serve: %.2f\n",
                served.perSecond() > 0 ? console.perSecond() / served.perSecond() : 0.0);
    std::printf("GUI thread over %.1f s of load:\n", wall);
    std::printf("  busy (its CPU time): %5.1f%%; outside the library's dispatch (Memo3 appends, repaints): %.1f%%\n",
                100 * guiCpu / wall, 100 * (guiCpu - g_times.dispatchSeconds) / wall);
    std::printf("  in the trade callbacks (Memo3 texts): %5.1f%%  (request %.1f%%, result %.1f%%)\n",
                100 * (g_times.requestSeconds + g_times.resultSeconds) / wall, 100 * g_times.requestSeconds / wall,
                100 * g_times.resultSeconds / wall);
    std::printf("  in the library's dispatch as a whole: %5.1f%%\n", 100 * g_times.dispatchSeconds / wall);
    std::printf("  10 ms timer late by: median %.1f ms, p99 %.1f ms, max %.1f ms\n", pct(0.5), pct(0.99),
                lateness.empty() ? 0.0 : lateness.back());
    std::printf("  requests per second, first %zu s: %.0f, last %zu s: %.0f\n", window5, rateOf(0, window5),
                window5, rateOf(requestsPerSecond.size() - window5, window5));
    std::printf("  stop after the load (settling what was pending): %.3f s\n", stopSeconds);
    std::printf("Memo3: %ld texts, %ld lines; resident memory grew by %.1f MiB (%.0f bytes per trade)\n", memoTexts,
                memoLines,
                (rssAfter - rssBefore) / 1024.0,
                g_times.requests ? (rssAfter - rssBefore) * 1024.0 / g_times.requests : 0.0);
    return 0;
}
