#include "CtlOptions.h"

#include "CtlStatus.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>

namespace {
constexpr long kMaxPrmID = 0xFFFF; // identifiers travel as 16 bits
constexpr int kMaxTextLength = 255;

constexpr const char* kDescription =
    "Command-line client of the KALDO-1 video switcher: devices, versions, parameters by name, "
    "execute commands, backups and companion events.\n"
    "Exit codes: 0 done, 1 other failure, 2 usage, 3 no device, 4 no answer or not confirmed, "
    "5 refused by the switcher, 6 declined (confirmation or --force missing), 7 permission "
    "denied, 8 busy.";
} // namespace

int CtlOptions::Parse(int argc, char** argv) {
    // Known before parsing, so that a mistake on the command line is a JSON document too.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--json") == 0) mFormat = CtlOutput::EFormat::Json;
    // An empty text would mean "any" or "all" where a choice was asked for.
    const CLI::Validator nonEmpty(
        [](const std::string& text) { return text.empty() ? "must not be empty" : ""; }, "TEXT",
        "non-empty");
    CLI::App app{kDescription, "kaldo-ctl"};
    app.set_version_flag("--version", KALDO_VERSION);
    app.require_subcommand(0, 1);
    app.fallthrough(); // global options may follow the command
    app.add_option("--device", mDevicePath, "Use the serial node PATH as it is")
        ->option_text("PATH")
        ->check(nonEmpty);
    app.add_option("--serial", mSerial, "Choose the switcher with this serial number")
        ->option_text("S")
        ->check(nonEmpty);
    app.add_flag("--trace", mTrace, "Print every packet both ways on stderr");
    bool json = false, terse = false;
    app.add_flag("--json", json, "Results as one JSON document (errors as {\"error\", \"code\"})");
    app.add_flag("-t,--terse", terse, "Results one per line, fields joined by ':'");
    app.add_flag("-q,--quiet", mQuiet, "No notes, progress or summaries");
    app.add_flag("-v,--verbose", mVerbose, "Also show settings that are unchanged");
    app.add_flag("--show-secrets", mShowSecrets, "Show passwords and community names in clear");
    app.add_flag("-y,--yes", mYes, "Do not ask before a factory reset, reboot or firmware update");
    app.add_option("--retries", mRetries,
                   "Send a request or write again this often after a time-out")
        ->capture_default_str()
        ->check(CLI::Range(0, 10));
    app.add_option("--timeout", mTimeoutMs, "Milliseconds to wait for each answer")
        ->capture_default_str()
        ->check(CLI::Range(50, 60000));
    app.add_option("--wait-busy", mWaitBusyS,
                   "Seconds to wait for a switcher that another program holds")
        ->capture_default_str()
        ->check(CLI::Range(0, 3600));

    const auto ids = CLI::Range(0L, kMaxPrmID);
    const auto length = CLI::Range(1, kMaxTextLength);
    const char* nameText =
        "Row label (\"M/E Type\", \"Mix/Effect/General/M/E Type\") or identifier";

    app.add_subcommand("list", "List the switchers that are attached");
    app.add_subcommand("info", "Versions, serial number and MAC address");

    CLI::App* get = app.add_subcommand("get", "Show parameters as their pages show them");
    get->add_option("NAME", mNames, nameText)->required()->check(nonEmpty);
    get->add_flag("--raw", mRaw, "Stored numbers instead of page texts");

    CLI::App* set = app.add_subcommand("set", "Write one parameter");
    set->add_option("NAME", mName, nameText)->required()->check(nonEmpty);
    set->add_option("VALUE", mValue,
                    "As get shows it (\"Off\", \"1.5 sec\", \"192.168.0.10\"); - reads it from "
                    "standard input; left out for a secret: asked without echo");
    set->add_flag("--raw", mRaw, "VALUE is the stored number");
    set->add_flag("--save", mSave, "Store the settings on the switcher afterwards");

    CLI::App* getText = app.add_subcommand("get-text", "Show a run of characters");
    getText->add_option("ID", mPrmID, "First identifier")->required()->check(ids);
    getText->add_option("LEN", mLength, "Length in characters")->required()->check(length);

    CLI::App* setText = app.add_subcommand("set-text", "Write a run of characters");
    setText->add_option("ID", mPrmID, "First identifier")->required()->check(ids);
    setText->add_option("LEN", mLength, "Length in characters")->required()->check(length);
    setText->add_option("TEXT", mValue, "At most LEN characters 32 to 127")->required();
    setText->add_flag("--save", mSave, "Store the settings on the switcher afterwards");

    CLI::App* exec = app.add_subcommand("exec", "Run an execute command (transition, preset...)");
    exec->add_option("NAME", mName, "\"Main In Sw\", \"Still Capture\", 1000...")
        ->required()
        ->check(nonEmpty);

    app.add_subcommand("save", "Store the settings on the switcher (Parameter Save)");

    CLI::App* dump = app.add_subcommand("dump", "Show every page with its rows and values");
    dump->add_option("--page", mPage, "Only this page: \"Group/Leaf\", leaf or page class name")
        ->option_text("NAME")
        ->check(nonEmpty);

    CLI::App* watch = app.add_subcommand("watch", "Print each change of values until interrupted");
    watch->add_option("NAME", mNames, nameText)->check(nonEmpty);
    watch->add_option("--page", mPage, "Every row of this page")
        ->option_text("NAME")
        ->check(nonEmpty);
    watch->add_option("--interval", mIntervalMs, "Milliseconds between readings")
        ->capture_default_str()
        ->check(CLI::Range(50, 3600000));
    watch->add_option("--count", mCount, "Stop after this many changes (0: never)")
        ->check(CLI::NonNegativeNumber);

    CLI::App* backup = app.add_subcommand("backup", "Save every writable setting to JSON");
    backup->add_option("FILE", mFile, "Backup file (created mode 0600), - for standard output")
        ->required()
        ->check(nonEmpty);

    CLI::App* restore = app.add_subcommand("restore", "Write the settings of a backup back");
    restore->add_option("FILE", mFile, "Backup file, - for standard input")
        ->required()
        ->check(nonEmpty);
    restore->add_flag("--dry-run", mDryRun, "Show what would change and write nothing");
    restore->add_flag("--force", mForce, "Restore onto another switcher or firmware");
    restore->add_option("--exclude", mExclude, "Leave out these groups: network, identity")
        ->delimiter(',')
        ->check(CLI::IsMember({"network", "identity"}));
    restore->add_option("--only", mPage, "Only the settings of this page")
        ->option_text("PAGE")
        ->check(nonEmpty);
    restore->add_flag("--save", mSave, "Store the settings on the switcher afterwards");
    restore->add_flag("--verbose", mVerbose, "Also show the settings that are unchanged");

    CLI::App* event = app.add_subcommand("event", "Send one companion event to the utility");
    event->add_option("TEXT", mEventText, "Event text, e.g. KeyDown:sw:Cut")->required();
    event->add_flag("--check", mCheckOnly, "Only check the text; send nothing");
    event
        ->add_option("--wait", mWaitMs,
                     "Milliseconds to wait for a reply line, or for the utility to read a key "
                     "event")
        ->capture_default_str()
        ->check(CLI::Range(0, 60000));
    event
        ->add_option("--port", mEventPort,
                     "Event port (the utility's --companion-port; replies then go to the next)")
        ->capture_default_str()
        ->check(CLI::Range(1, 65534));
    event->add_option("--reply-port", mReplyPort, "Reply port (default: the event port + 1)")
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

    app.add_subcommand("names", "Print every parameter and command name, one per line")
        ->add_flag("--pages", mPageNames, "Page names (\"Group/Leaf\") instead");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ExtrasError& e) {
        if (app.get_subcommands().empty() && !app.remaining().empty())
            return CtlStatus::Fail(CtlStatus::kUsage, "unknown command '%s' (see kaldo-ctl --help)",
                                   app.remaining().front().c_str());
        return CtlStatus::Fail(CtlStatus::kUsage, "%s (see kaldo-ctl --help)", e.what());
    } catch (const CLI::ParseError& e) {
        return CtlStatus::Fail(CtlStatus::kUsage, "%s (see kaldo-ctl --help)", e.what());
    }
    if (app.get_subcommands().empty()) {
        std::fputs(app.help().c_str(), stderr);
        if (mFormat == CtlOutput::EFormat::Json)
            return CtlStatus::Fail(CtlStatus::kUsage, "no command given");
        return CtlStatus::kUsage;
    }
    mCommand = app.get_subcommands().front()->get_name();
    mHasValue = set->count("VALUE") > 0;
    if (json && terse)
        return CtlStatus::Fail(CtlStatus::kUsage, "--json and --terse exclude each other");
    mFormat = json    ? CtlOutput::EFormat::Json
              : terse ? CtlOutput::EFormat::Terse
                      : CtlOutput::EFormat::Text;
    if (mCommand == "watch" && mNames.empty() && mPage.empty())
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "watch needs names or --page (see kaldo-ctl watch --help)");
    return -1;
}
