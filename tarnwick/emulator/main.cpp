// tarnwick-terminal: emulates a card terminal on the terminal link.

#include "commands.h"
#include "online_trade.h"
#include "options.h"
#include "server.h"
#include "terminal.h"

#include <cstdio>
#include <string>

using namespace tarnwick::emulator;

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tarnwick-terminal: %s\n(see tarnwick-terminal --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(HelpText(), stdout);
        return 0;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    Identity identity;
    identity.deviceNumber = static_cast<std::uint32_t>(options.clockId);
    identity.model = options.model;
    identity.firmware = options.firmware;
    identity.readerType = options.readerType;
    identity.phonePay = options.phonePay;
    identity.cardFormat = options.cardFormat;
    Terminal terminal(identity);

    Server server(terminal, options);
    if ((options.pty && !server.OpenPty(error)) || !server.Listen(error)) {
        std::fprintf(stderr, "tarnwick-terminal: %s\n", error.c_str());
        return 1;
    }
    OnlineTrade trade(server, terminal, options);
    if (!trade.Open(error)) {
        std::fprintf(stderr, "tarnwick-terminal: %s\n", error.c_str());
        return 1;
    }
    Console console(server, terminal);
    trade.AddCommands(console);
    server.SetCommandHandler([&console](const std::string &line) { console.Execute(line); });
    return server.Run();
}
