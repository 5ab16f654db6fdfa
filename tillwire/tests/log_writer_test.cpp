#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake_clock.h"
#include "log_writer.h"
#include "temp_folder.h"

namespace tillwire {
namespace {

using testing::FakeClock;
using testing::ReadFile;
using testing::TempFolder;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(DayCount, FormatsAndConverts) {
    EXPECT_EQ(DayCount(1899, 12, 30), 0.0);
    EXPECT_EQ(DayCount(1970, 1, 1), 25569.0);
    EXPECT_EQ(DayCount(2020, 5, 19, 12), 43970.5);
    EXPECT_EQ(FormatDate(43970.5), "2020-05-19");
    EXPECT_EQ(FormatDateTime(DayCount(2020, 5, 19, 23, 59, 59, 999)), "2020-05-19 23:59:59.999");
    EXPECT_EQ(FormatDateTime(DayCount(2024, 2, 29, 7, 5, 3, 42)), "2024-02-29 07:05:03.042");
}

TEST(WriteLog, CreatesFolderAndFileThenAppendsCrLfLines) {
    TempFolder tmp;
    FakeClock clock(DayCount(2020, 5, 19, 9, 30, 0, 125));
    const auto folder = tmp.Path() / "OnLineLog";
    TLogWriter log(clock, folder.string());
    ASSERT_FALSE(std::filesystem::exists(folder));

    ASSERT_TRUE(log.WriteLog(kLogServerRead));
    const auto file = folder / "2020-05-19.txt";
    ASSERT_TRUE(std::filesystem::exists(file));
    clock.Advance(1);
    ASSERT_TRUE(log.WriteLog(std::string(kLogAnalyzeRequest) + "boom"));

    EXPECT_EQ(ReadFile(file),
              "2020-05-19 09:30:00.125: OnIdUDPServerRead Error\r\n"
              "2020-05-19 09:30:00.126: AnalyzeRequestData\xB7\xA2\xC9\xFA\xD2\xEC\xB3\xA3\xA3\xBA" "boom\r\n");
}

TEST(WriteLog, NewDayNewFile) {
    TempFolder tmp;
    FakeClock clock(DayCount(2020, 5, 19, 23, 59, 59, 999));
    TLogWriter log(clock, (tmp.Path() / "OnLineLog").string());
    ASSERT_TRUE(log.WriteLog("a"));
    clock.Advance(1);
    ASSERT_TRUE(log.WriteLog("b"));
    EXPECT_EQ(ReadFile(tmp.Path() / "OnLineLog" / "2020-05-19.txt"), "2020-05-19 23:59:59.999: a\r\n");
    EXPECT_EQ(ReadFile(tmp.Path() / "OnLineLog" / "2020-05-20.txt"), "2020-05-20 00:00:00.000: b\r\n");
}

TEST(WriteLog, UnwritableFolderReturnsWithoutThrowing) {
    TempFolder tmp;
    FakeClock clock;
    // The parent of the log folder does not exist: only one level is created.
    TLogWriter log(clock, (tmp.Path() / "missing" / "OnLineLog").string());
    EXPECT_FALSE(log.WriteLog("lost"));
}

TEST(WriteLog, LinesFromManyThreadsInOneMillisecondStayWhole) {
    TempFolder tmp;
    FakeClock clock;  // time stands still: every line in the same millisecond
    TLogWriter log(clock, (tmp.Path() / "OnLineLog").string());
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string text = "ClearThread Error thread " + std::to_string(t) + " " + std::string(100, 'x');
            for (int i = 0; i < kLines; ++i) log.WriteLog(text + " #" + std::to_string(i));
        });
    }
    for (auto& t : threads) t.join();

    const auto lines = Lines(ReadFile(log.FileFor(clock.Now())));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::set<std::string> seen;
    for (const auto& line : lines) {
        ASSERT_EQ(line.rfind("2020-05-19 09:30:00.000: ClearThread Error thread ", 0), 0u) << line;
        seen.insert(line);
    }
    EXPECT_EQ(seen.size(), lines.size());
}

}  // namespace
}  // namespace tillwire
