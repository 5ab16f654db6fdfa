// Commands that a person or a test types on the emulator's standard input.
// Each command is one entry of a table; later groups add theirs the same way.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::emulator {

class Server;
class Terminal;

class Console {
public:
    using Action = std::function<void(const std::vector<std::string> &args)>;

    Console(Server &server, Terminal &terminal);
    void Execute(const std::string &line);
    void Add(std::string name, std::string usage, std::string description, Action action);
    // One more line for "status", produced when it runs.
    void AddStatusLine(std::function<std::string()> line) { statusLines_.push_back(std::move(line)); }

private:
    struct Command {
        std::string name, usage, description;
        Action action;
    };
    void AddBasicCommands();

    Server &server_;
    Terminal &terminal_;
    std::vector<Command> commands_;
    std::vector<std::function<std::string()>> statusLines_;
};

} // namespace tarnwick::emulator
