// kaldo-ctl: the command-line client of the KALDO-1 video switcher.
#include "CtlCommands.h"
#include "CtlOptions.h"

#include <csignal>

int main(int argc, char** argv) {
    CtlOptions options;
    if (int code = options.Parse(argc, argv); code >= 0)
        // A mistake as JSON with --json; the help and the version checked as any output.
        return CtlOutput(code ? options.mFormat : CtlOutput::EFormat::Text, false).Finish(code);
    // A switcher that vanishes mid-write must give a failed write, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    CtlCommands commands(options);
    return commands.Run();
}
