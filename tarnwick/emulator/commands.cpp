#include "commands.h"

#include "server.h"
#include "terminal.h"

#include <tarnwick.h>

#include <cstdio>
#include <sstream>

namespace tarnwick::emulator {
namespace {

std::vector<std::string> Split(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string FormatFirmware(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

} // namespace

Console::Console(Server &server, Terminal &terminal) : server_(server), terminal_(terminal) { AddBasicCommands(); }

void Console::Add(std::string name, std::string usage, std::string description, Action action) {
    commands_.push_back(Command{std::move(name), std::move(usage), std::move(description), std::move(action)});
}

void Console::Execute(const std::string &line) {
    const auto words = Split(line);
    if (words.empty()) return;
    for (const auto &c : commands_) {
        if (c.name == words[0]) {
            c.action(std::vector<std::string>(words.begin() + 1, words.end()));
            return;
        }
    }
    server_.Out("unknown command: " + words[0] + " (try help)");
}

void Console::AddBasicCommands() {
    Add("help", "help", "list the commands", [this](const auto &) {
        for (const auto &c : commands_) {
            std::string usage = c.usage;
            usage.resize(std::max<std::size_t>(usage.size() + 2, 34), ' ');
            server_.Out("  " + usage + c.description);
        }
    });
    Add("status", "status", "device number, model, clock and sessions", [this](const auto &) {
        const Identity &id = terminal_.state().identity;
        const char *model = TarnwickModelDesignation(id.model);
        const auto now = terminal_.state().clock.Now();
        server_.Out("device " + std::to_string(id.deviceNumber) + ", model " + (model ? model : "?") + " (code " +
                    std::to_string(id.model) + "), firmware " + FormatFirmware(id.firmware) + ", reader type " +
                    std::to_string(id.readerType) + ", phone pay " + std::to_string(id.phonePay) +
                    ", card format " + std::to_string(id.cardFormat));
        server_.Out("clock " + (now ? FormatClock(*now) : std::string("out of range")) + ", " + server_.Status());
        for (const auto &line : statusLines_) server_.Out(line());
    });
    Add("clock", "clock [set YYYY-MM-DD HH:MM:SS | sync]", "show, set or resynchronise the terminal's clock",
        [this](const std::vector<std::string> &args) {
            TerminalClock &clock = terminal_.state().clock;
            if (args.size() == 3 && args[0] == "set") {
                const auto value = ParseClock(args[1] + " " + args[2]);
                if (!value) return server_.Out("clock: not a date-time: " + args[1] + " " + args[2]);
                clock.Set(*value);
            } else if (args.size() == 1 && args[0] == "sync") {
                clock.Sync();
            } else if (!args.empty()) {
                return server_.Out("usage: clock [set YYYY-MM-DD HH:MM:SS | sync]");
            }
            const auto now = clock.Now();
            server_.Out("clock " + (now ? FormatClock(*now) : std::string("out of range")) + " (offset " +
                        std::to_string(clock.OffsetMs()) + " ms)");
        });
    Add("id", "id N", "change the device number", [this](const std::vector<std::string> &args) {
        long n = 0;
        if (args.size() != 1 || !ParseInt(args[0], 1, INT32_MAX, n)) return server_.Out("usage: id N (N > 0)");
        terminal_.state().identity.deviceNumber = static_cast<std::uint32_t>(n);
        server_.Out("device " + std::to_string(n));
    });
    Add("model", "model Tnn", "change the model", [this](const std::vector<std::string> &args) {
        std::int32_t code = 0;
        if (args.size() != 1 || !ParseModel(args[0], code)) return server_.Out("usage: model T01..T22");
        terminal_.state().identity.model = code;
        server_.Out(std::string("model ") + TarnwickModelDesignation(code));
    });
    Add("firmware", "firmware X", "change the firmware version", [this](const std::vector<std::string> &args) {
        double v = 0;
        if (args.size() != 1 || !ParseDouble(args[0], v)) return server_.Out("usage: firmware X (a number)");
        terminal_.state().identity.firmware = v;
        server_.Out("firmware " + FormatFirmware(v));
    });
    Add("mute", "mute", "stop answering (requests are read and dropped)", [this](const auto &) {
        server_.SetMuted(true);
        server_.Out("muted");
    });
    Add("unmute", "unmute", "answer again", [this](const auto &) {
        server_.SetMuted(false);
        server_.Out("answering");
    });
    Add("delay", "delay MS", "answer each request MS milliseconds late (0: at once)",
        [this](const std::vector<std::string> &args) {
            long n = 0;
            if (args.size() != 1 || !ParseInt(args[0], 0, 600000, n))
                return server_.Out("usage: delay MS (0..600000)");
            server_.SetDelayMs(static_cast<int>(n));
            server_.Out("delay " + std::to_string(n) + " ms");
        });
    Add("drop", "drop", "close every TCP session", [this](const auto &) {
        server_.DropClients();
        server_.Out("dropped");
    });
    Add("quit", "quit", "stop the emulator", [this](const auto &) { server_.Stop(); });
}

} // namespace tarnwick::emulator
