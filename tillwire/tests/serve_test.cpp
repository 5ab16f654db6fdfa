// tillwire-serve as a person runs it: a terminal on 127.0.0.1 trades with
// it, SIGTERM stops it cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "terminal_frames.h"
#include "udp_terminal.h"

extern char** environ;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Serve, AnswersWithTheDemonstrationValuesAndStopsOnSigterm) {
    const uint16_t port = terminal::FreeLoopbackPort();
    char outPath[] = "/tmp/tillwire-serve-XXXXXX";
    const int outFd = mkstemp(outPath);
    ASSERT_GE(outFd, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, outFd, 2);
    const std::string portText = std::to_string(port);
    std::vector<std::string> args = {TILLWIRE_SERVE_PATH, "--port", portText, "--devices",
                                     "60,127.0.0.1,4001|61,127.0.0.1,4002", "--listen", "127.0.0.1"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TILLWIRE_SERVE_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);

    terminal::UdpTerminal t;
    terminal::Request r;
    r.deviceNo = 60;
    r.machineNo = 7;
    r.amount = 1250;
    std::optional<std::vector<uint8_t>> reply;
    for (int i = 0; i < 50 && !reply; ++i) {  // until the server listens
        t.Send(terminal::TradeRequest(r), port);
        reply = t.Receive(100);
    }
    ASSERT_TRUE(reply);
    const auto frame = terminal::Unreverse(reply->data(), reply->size());
    ASSERT_EQ(frame.size(), 47u);
    EXPECT_EQ(terminal::GetBE32(frame.data() + 8 + 9), 30u);    // extra value
    EXPECT_EQ(terminal::GetBE32(frame.data() + 8 + 13), 150u);  // balance
    const uint8_t holder[16] = {0xBF, 0xA8, 0xBB, 0xA7, 0xD0, 0xD5, 0xC3, 0xFB};
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 8 + 21, frame.begin() + 8 + 37),
              std::vector<uint8_t>(holder, holder + 16));
    // The serial is the day count times ten thousand: some day after 2020.
    const uint32_t serial = terminal::GetBE32(frame.data() + 8 + 17);
    EXPECT_GT(serial, 439000000u);
    t.Send(terminal::Confirmation(60, serial), port);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadAll(outPath).find("confirmed") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string out = ReadAll(outPath);
    unlink(outPath);
    EXPECT_NE(out.find("device 60 online"), std::string::npos) << out;
    EXPECT_NE(out.find("request device 60 ip 127.0.0.1 machine 7 card 0011223344556677 amount 12.50 -> accepted serial " +
                       std::to_string(serial) + " balance 1.50"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("result serial " + std::to_string(serial) + " confirmed device 60"), std::string::npos) << out;
    EXPECT_NE(out.find("stopped"), std::string::npos) << out;
}

TEST(Serve, PortInUseExitsWithFailure) {
    terminal::UdpTerminal holder;
    const std::string cmd = std::string(TILLWIRE_SERVE_PATH) + " --listen 127.0.0.1 --port " +
                            std::to_string(holder.Port()) + " > /dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
