#include "CtlOptions.h"

#include "CtlStatus.h"

#include <CLI/CLI.hpp>

#include <cstdio>

namespace {
constexpr long kMaxPrmID = 0xFFFF; // identifiers travel as 16 bits
constexpr int kMaxTextLength = 255;
} // namespace

int CtlOptions::Parse(int argc, char** argv) {
    CLI::App app{"Command-line client of the KALDO-1 video switcher: devices, versions, "
                 "parameters, backups and companion events.\n"
                 "Exit codes: 0 done, 1 other failure, 2 usage, 3 no device, 4 no answer, "
                 "5 refused by the switcher.",
                 "kaldo-ctl"};
    app.set_version_flag("--version", KALDO_VERSION);
    app.require_subcommand(1);
    app.fallthrough(); // global options may follow the command
    app.add_option("--device", mDevicePath, "Use the serial node PATH as it is")
        ->option_text("PATH");
    app.add_option("--serial", mSerial, "Choose the switcher with this serial number")
        ->option_text("S");
    app.add_flag("--trace", mTrace, "Print every packet both ways on stderr");

    const auto ids = CLI::Range(0L, kMaxPrmID);
    const auto length = CLI::Range(1, kMaxTextLength);

    app.add_subcommand("list", "List the switchers that are attached");
    app.add_subcommand("info", "Versions, serial number and MAC address");

    CLI::App* get = app.add_subcommand("get", "Show parameters as their pages show them");
    get->add_option("ID", mPrmIDs, "Parameter identifiers")->required()->check(ids);
    get->add_flag("--raw", mRaw, "Stored numbers instead of page texts");

    CLI::App* set = app.add_subcommand("set", "Write one parameter");
    set->add_option("ID", mPrmID, "Parameter identifier")->required()->check(ids);
    set->add_option("VALUE", mValue, "A text the page shows (\"Off\", \"1.5\") or a number")
        ->required();
    set->add_flag("--raw", mRaw, "VALUE is the stored number");

    CLI::App* getText = app.add_subcommand("get-text", "Show a text parameter");
    getText->add_option("ID", mPrmID, "First identifier")->required()->check(ids);
    getText->add_option("LEN", mLength, "Length in characters")->required()->check(length);

    CLI::App* setText = app.add_subcommand("set-text", "Write a text parameter");
    setText->add_option("ID", mPrmID, "First identifier")->required()->check(ids);
    setText->add_option("LEN", mLength, "Length in characters")->required()->check(length);
    setText->add_option("TEXT", mValue, "At most LEN characters 32 to 127")->required();

    CLI::App* dump = app.add_subcommand("dump", "Show every page with its rows and values");
    dump->add_option("--page", mPage, "Only this page: \"Group/Leaf\" or page class name")
        ->option_text("NAME");

    CLI::App* backup = app.add_subcommand("backup", "Save every writable setting to JSON");
    backup->add_option("FILE", mFile, "Backup file, - for standard output")->required();

    CLI::App* restore = app.add_subcommand("restore", "Write the settings of a backup back");
    restore->add_option("FILE", mFile, "Backup file, - for standard input")->required();
    restore->add_flag("--dry-run", mDryRun, "Show what would change and write nothing");
    restore->add_flag("--verbose", mVerbose, "Also show the settings that are unchanged");

    CLI::App* event = app.add_subcommand("event", "Send one companion event to the utility");
    event->add_option("TEXT", mEventText, "Event text, e.g. KeyDown:sw:Cut")->required();
    event->add_option("--wait", mWaitMs, "Milliseconds to wait for a reply line")
        ->capture_default_str()
        ->check(CLI::Range(0, 60000));
    event->add_option("--port", mEventPort, "Event port (for tests)")
        ->capture_default_str()
        ->check(CLI::Range(1, 65535));
    event->add_option("--reply-port", mReplyPort, "Reply port (for tests)")
        ->capture_default_str()
        ->check(CLI::Range(1, 65535));

    CLI::App* reboot = app.add_subcommand("reboot", "Reboot the switcher and wait for it");
    reboot->add_option("--wait", mRebootWaitS, "Seconds to wait for it to come back, 0: none")
        ->capture_default_str()
        ->check(CLI::Range(0, 600));

    app.add_subcommand("update-main", "Update the main firmware from a .bin file")
        ->add_option("FILE", mFile, "Main firmware image")
        ->required();
    app.add_subcommand("update-usb", "Update the USB controller's firmware from a .cyacd file")
        ->add_option("FILE", mFile, "Row-data file")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return CtlStatus::Fail(CtlStatus::kUsage, "%s (see kaldo-ctl --help)", e.what());
    }
    mCommand = app.get_subcommands().front()->get_name();
    return -1;
}
