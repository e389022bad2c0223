// kaldo-ctl: the command-line client of the KALDO-1 video switcher.
#include "CtlCommands.h"
#include "CtlOptions.h"

#include <csignal>

int main(int argc, char** argv) {
    CtlOptions options;
    if (int code = options.Parse(argc, argv); code >= 0)
        return code && options.mFormat == CtlOutput::EFormat::Json
                   ? CtlOutput(options.mFormat, false).Finish(code) // the error as JSON
                   : code;
    // A switcher that vanishes mid-write must give a failed write, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    CtlCommands commands(options);
    return commands.Run();
}
