// kaldo-sim: a virtual KALDO-1 on a pseudo-terminal.
#include "SimApp.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kUsageError = 2;

// The data file next to the program (build tree), installed, or in the source tree.
std::string FindDataFile() {
    std::vector<std::string> candidates;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        const std::string path(exe, static_cast<size_t>(n));
        candidates.push_back(path.substr(0, path.rfind('/')) + "/factory.json");
    }
    candidates.push_back(KALDO_SIM_DATA_DIR "/factory.json");
    candidates.push_back(KALDO_SIM_SOURCE_DIR "/factory.json");
    for (const auto& candidate : candidates)
        if (access(candidate.c_str(), R_OK) == 0) return candidate;
    return candidates.back();
}

std::string SerialCheck(const std::string& serial) {
    if (serial.empty()) return "1 to 10 printable characters, not none";
    if (serial.size() > SimSwitcher::kSerialLength) return "at most 10 characters";
    for (char c : serial)
        if (c < 32 || c > 126) return "printable characters only";
    return "";
}

// A number (decimal or 0x hex) up to max.
std::string NumberCheck(const std::string& text, unsigned long max) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    return end != text.c_str() && !*end && value <= max ? ""
                                                        : "a number up to " + std::to_string(max);
}

std::string WordCheck(const std::string& text) {
    return NumberCheck(text, 0xFFFF);
}

// A time or count: 0 up to the largest int, told in those words when it is not.
const CLI::Validator kCount = CLI::Range(0, INT_MAX);

// The bootloader's version is three bytes; a row number is 16 bits.
std::string BootloaderVersionCheck(const std::string& text) {
    return NumberCheck(text, 0xFFFFFF);
}
std::string RowCheck(const std::string& text) {
    return NumberCheck(text, 0xFFFF);
}

// A command code; empty stands for the bare option.
std::string CommandCheck(const std::string& text) {
    return text.empty() ? "" : NumberCheck(text, 0xFF);
}
} // namespace

int main(int argc, char** argv) {
    CLI::App cli{"A virtual KALDO-1 video switcher on a pseudo-terminal. It publishes a virtual "
                 "device record (see docs/virtual-devices.md), answers the command link like the "
                 "switcher and removes the record when it leaves."};
    std::string dataPath = FindDataFile();
    std::string serial;
    std::vector<std::string> versions;
    std::string statePath;
    unsigned location = 0;
    SimApp::_SOptions options;
    auto& faults = options.faults;
    std::vector<std::string> noAnswer;

    cli.add_option("--data", dataPath, "Factory data file: parameter table and factory values")
        ->capture_default_str()
        ->check(CLI::ExistingFile);
    cli.add_option("--serial", serial, "Serial number (USB and identifiers 980-989)")
        ->check(SerialCheck);
    cli.add_option("--versions", versions,
                   "Software, FPGA, USB and PHY version words, e.g. 0x0501,0x0302,0x0101,0x0400")
        ->expected(4)
        ->delimiter(',')
        ->check(WordCheck);
    cli.add_option("--location", location, "USB location identifier (default from the data file)");
    cli.add_option("--state", statePath,
                   "File that \"Parameter Save\" writes and that is loaded at start when present");
    cli.add_option("--reboot-ms", options.rebootMs, "Time away after a reboot")
        ->capture_default_str()
        ->check(kCount);
    cli.add_flag("--trace", options.trace, "Log every frame on stderr in hex and decoded");
    cli.add_flag("--print-tty", options.printTty,
                 "Print only the terminal path on each attachment instead of the status line");

    cli.add_option("--erase-delay-ms", options.eraseDelayMs,
                   "Time the main firmware's erase (0x31) takes before it is answered")
        ->capture_default_str()
        ->check(kCount);
    auto& bootloader = options.bootloader;
    auto* boot = cli.add_option_group("USB controller's bootloader (after 0x30)");
    boot->add_option("--bootloader-silicon-id", bootloader.siliconId, "Silicon ID")
        ->capture_default_str();
    boot->add_option("--bootloader-silicon-rev", bootloader.siliconRev, "Silicon revision")
        ->capture_default_str();
    boot->add_option("--bootloader-version", bootloader.version, "Bootloader version (24 bits)")
        ->capture_default_str()
        ->check(BootloaderVersionCheck);
    boot->add_flag("--bootloader-crc", bootloader.crc,
                   "Packets carry a CRC-16 instead of the summation checksum");
    boot->add_flag("--bootloader-wrong-silicon-id", bootloader.wrongSiliconId,
                   "Fault: report another silicon ID");
    boot->add_flag("--bootloader-active-app", bootloader.activeApp,
                   "Fault: the application is active and can't be replaced");
    boot->add_option("--bootloader-bad-row", bootloader.badRow,
                     "Fault: this row number verifies wrong")
        ->check(RowCheck);
    boot->add_flag("--bootloader-no-answer", bootloader.noAnswer, "Fault: answer nothing");

    auto* group = cli.add_option_group("Fault injection");
    group->add_option("--latency-ms", faults.latencyMs, "Delay every answer")->check(kCount);
    auto* noAnswerOption =
        group
            ->add_option("--no-answer", noAnswer,
                         "Answer nothing, or none of the given commands (e.g. 0x10,0x20)")
            ->expected(0, CLI::detail::expected_max_vector_size)
            ->delimiter(',')
            ->check(CommandCheck);
    auto* refuseStatus =
        group
            ->add_option("--refuse-status", faults.refuseStatus,
                         "Refuse requests with this status instead of acting on them")
            ->check(CLI::Range(1, 255));
    group
        ->add_option("--refuse-only", faults.refuseOnly,
                     "Limit --refuse-status to these commands (e.g. 0x20)")
        ->delimiter(',')
        ->check(CommandCheck)
        ->needs(refuseStatus);
    group
        ->add_option("--drop-every", faults.dropEvery, "Lose every n-th request without reading it")
        ->check(kCount);
    group->add_flag("--garbage", faults.garbage, "Send noise bytes before every answer");
    group
        ->add_option("--disconnect-after-ms", faults.disconnectAfterMs,
                     "Unplug (remove the record, close the terminal) and exit after this time")
        ->check(kCount);
    cli.footer(R"(On each attachment it prints "kaldo-sim: KALDO-1 serial SERIAL on TTY" (or only
TTY with --print-tty) and writes a record into $KALDO_DEVICE_DIR, else
$XDG_RUNTIME_DIR/kaldo/devices, else /tmp/kaldo-$UID/devices. SIGINT, SIGTERM and SIGHUP
remove the record and end it.

Answers: request code + 0x80, the same sequence number, a status byte: 0 done,
1 unknown command, 2 malformed request, 3 refused (read-only, undefined or out of range;
nothing of the write is stored), 4 firmware checksum mismatch, 5 action failed.
0x15 versions; 0x10 read up to 58 bytes; 0x20 write a run of bytes; 0x31/0x32/0x33 firmware
(sum checked, the erase answered after --erase-delay-ms); 0x40 answer, leave, come back after
--reboot-ms as a new attachment. 0x30 answer, leave, and appear within a second at the same
location as the USB controller's bootloader (a kind=hid record); its Exit Bootloader makes the
switcher come back after --reboot-ms as a new attachment.

Execute identifiers act on a non-zero value: 132/133 still capture/erase (131 = memory),
173/174 copy preset 171 into layer 172, 178 save layer 176 into preset 177, 206/207 transition
to main/sub, 208 toggle transition, 209 toggle fades, 998 reboot, 999 factory values,
1000 save (into --state when given). 187-189/197-199 move size/H/V of layer 1/2 per 0.1 s.
See docs/kaldo-sim.md.)");
    cli.set_version_flag("--version", KALDO_VERSION);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return cli.exit(e);
    } catch (const CLI::ParseError& e) {
        // Usage errors end with 2, as in kaldo-ctl.
        std::fprintf(stderr, "kaldo-sim: %s (see kaldo-sim --help)\n", e.what());
        return kUsageError;
    }

    for (const auto& command : noAnswer)
        if (!command.empty()) faults.noAnswer.insert(std::stoi(command, nullptr, 0));
    faults.noAnswerAll = noAnswerOption->count() > 0 && faults.noAnswer.empty();

    SimCatalog catalog;
    std::string error;
    if (!catalog.Load(dataPath, error)) {
        std::fprintf(stderr, "kaldo-sim: %s\n", error.c_str());
        return 1;
    }
    if (!serial.empty()) {
        std::vector<uint8_t> bytes(serial.begin(), serial.end());
        bytes.resize(SimSwitcher::kSerialLength, 0);
        catalog.SetFactoryBytes(SimSwitcher::kSerialNumber, bytes);
    }
    if (!versions.empty()) {
        std::vector<uint8_t> bytes;
        for (const auto& word : versions) {
            const unsigned long value = std::strtoul(word.c_str(), nullptr, 0);
            bytes.push_back(static_cast<uint8_t>(value));
            bytes.push_back(static_cast<uint8_t>(value >> 8));
        }
        catalog.SetFactoryBytes(SimSwitcher::kVersionWords, bytes);
    }
    options.location = location ? location : catalog.Device().location;

    SimSwitcher switcher(catalog,
                         statePath.empty() ? nullptr : std::make_unique<SimStateFile>(statePath));
    if (!switcher.Start(error)) {
        std::fprintf(stderr, "kaldo-sim: %s\n", error.c_str());
        return 1;
    }
    SimApp app(switcher, options);
    return app.Run();
}
