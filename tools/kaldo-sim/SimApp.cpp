#include "SimApp.h"

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
constexpr int kLeaveDelayMs = 100;
constexpr int kBootloaderAppearMs = 300; // from leaving the serial side to the HID record
} // namespace

SimApp::SimApp(SimSwitcher& switcher, const _SOptions& options)
    : mSwitcher(switcher), mOptions(options), mFaults(options.faults), mTrace(switcher.Catalog()),
      mParser([this](const SimFrame& frame) { OnRequest(frame); }) {}

SimApp::~SimApp() {
    mHidPort.reset();
    Detach();
    if (mSignalFd >= 0) close(mSignalFd);
}

int SimApp::Run() {
    if (!WatchSignals() || !Attach()) return 1;
    mLoop.AddTimer(SimSwitcher::kTickMs, [this] { Tick(); });
    mLoop.Run();
    mHidPort.reset();
    Detach();
    return mExitStatus;
}

bool SimApp::WatchSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, signal);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
    mSignalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    return mSignalFd >= 0 && mLoop.AddSource(mSignalFd, [this] { Stop(0); }) != 0;
}

bool SimApp::Attach() {
    std::string error;
    auto pty = std::make_unique<SimPty>();
    const SimRecord::_SInfo info = RecordInfo(pty->Open(error) ? pty->SlavePath() : "");
    const std::string name =
        "sim-" + std::to_string(getpid()) + "-" + std::to_string(++mAttachments);
    if (info.tty.empty() || !mRecord.Publish(name, info, error)) {
        std::fprintf(stderr, "kaldo-sim: %s\n", error.c_str());
        return false;
    }
    mPty = std::move(pty);
    mDevice = std::make_unique<SimDevice>(mSwitcher);
    mParser.Reset();
    ++mGeneration;
    mInputSource = mLoop.AddSource(mPty->MasterFd(), [this] { OnInput(); });
    if (mOptions.faults.disconnectAfterMs > 0)
        AfterMs(mOptions.faults.disconnectAfterMs, [this] { Disconnect(); });
    if (mOptions.printTty)
        std::printf("%s\n", info.tty.c_str());
    else
        std::printf("kaldo-sim: %s serial %s on %s\n", info.productName.c_str(),
                    info.serial.c_str(), info.tty.c_str());
    std::fflush(stdout);
    return true;
}

SimRecord::_SInfo SimApp::RecordInfo(const std::string& tty) const {
    const auto& device = mSwitcher.Catalog().Device();
    SimRecord::_SInfo info;
    info.vendor = device.vendor;
    info.product = device.product;
    info.vendorName = device.vendorName;
    info.productName = device.productName;
    info.serial = mSwitcher.SerialNumber();
    info.location = mOptions.location;
    info.session = SimRecord::NewSession();
    info.tty = tty;
    return info;
}

void SimApp::Detach() {
    ++mGeneration;
    if (mInputSource) mLoop.RemoveSource(mInputSource);
    mInputSource = 0;
    mRecord.Remove();
    mPty.reset();
}

void SimApp::Reboot() {
    // Leave a moment after the answer: closing the terminal at once would discard the answer
    // before the application has read it.
    AfterMs(kLeaveDelayMs, [this] { Restart(); });
}

void SimApp::Restart() {
    Detach();
    std::fprintf(stderr, "kaldo-sim: rebooting for %d ms\n", mOptions.rebootMs);
    mSwitcher.PowerUp();
    mLoop.AddTimer(mOptions.rebootMs, [this] {
        if (!Attach()) Stop(1);
    });
}

void SimApp::Disconnect() {
    std::fprintf(stderr, "kaldo-sim: disconnected\n");
    Stop(0);
}

void SimApp::Stop(int status) {
    mExitStatus = status;
    mLoop.Stop();
}

void SimApp::OnInput() {
    uint8_t buffer[256];
    const long generation = mGeneration;
    long count;
    while (mGeneration == generation && (count = mPty->Read(buffer, sizeof buffer)) != 0) {
        if (count < 0) {
            std::perror("kaldo-sim: reading the pseudo-terminal");
            return Stop(1);
        }
        mParser.Feed(buffer, static_cast<size_t>(count));
    }
}

void SimApp::OnRequest(const SimFrame& request) {
    if (!SimDevice::IsRequest(request)) {
        if (mOptions.trace) mTrace.Log("<-", request, "not a request, ignored");
        return;
    }
    if (mFaults.DropRequest()) {
        if (mOptions.trace) mTrace.Log("<-", request, "dropped");
        return;
    }
    if (mOptions.trace) mTrace.Log("<-", request);
    const int refusal = mFaults.RefusalStatus(request.command);
    const SimFrame answer =
        refusal ? SimDevice::StatusAnswer(request, refusal) : mDevice->Handle(request);
    const bool reboot = mSwitcher.TakeRebootRequest();
    const bool bootloader = mDevice->TakeBootloaderRequest();
    const bool answered = mFaults.Answers(request.command);
    if (!answered && mOptions.trace) mTrace.Log("  ", answer, "not sent");
    const int delayMs = mOptions.faults.latencyMs +
                        (request.command == SimDevice::kFirmwareBegin ? mOptions.eraseDelayMs : 0);
    AfterMs(delayMs, [this, answer, answered, reboot, bootloader] {
        if (answered) Send(answer);
        if (reboot) Reboot();
        if (bootloader) AfterMs(kLeaveDelayMs, [this] { EnterBootloader(); });
    });
}

void SimApp::Send(const SimFrame& answer) {
    if (mOptions.faults.garbage) mPty->Write(mFaults.Noise());
    const bool sent = mPty->Write(answer.Bytes());
    if (mOptions.trace) mTrace.Log("->", answer, sent ? nullptr : "lost");
}

void SimApp::Tick() {
    mSwitcher.Tick();
    mLoop.AddTimer(SimSwitcher::kTickMs, [this] { Tick(); });
}

void SimApp::AfterMs(int delayMs, std::function<void()> call) {
    mLoop.AddTimer(delayMs, [this, generation = mGeneration, call = std::move(call)] {
        if (mGeneration == generation) call();
    });
}

void SimApp::EnterBootloader() {
    Detach();
    std::fprintf(stderr, "kaldo-sim: USB controller restarts into its bootloader\n");
    mLoop.AddTimer(kBootloaderAppearMs, [this] {
        mBootloader = std::make_unique<SimBootloader>(mOptions.bootloader);
        mHidPort =
            std::make_unique<SimHidPort>(mLoop, *mBootloader, mOptions.faults.latencyMs, [this] {
                // Leave after the host had its last word, as the controller restarts.
                mLoop.AddTimer(kLeaveDelayMs, [this] { LeaveBootloader(); });
            });
        std::string error;
        const std::string name =
            "sim-" + std::to_string(getpid()) + "-" + std::to_string(++mAttachments);
        if (!mHidPort->Open(name, RecordInfo(""), error)) {
            std::fprintf(stderr, "kaldo-sim: %s\n", error.c_str());
            return Stop(1);
        }
        std::fprintf(stderr, "kaldo-sim: bootloader on %s.sock\n", name.c_str());
    });
}

void SimApp::LeaveBootloader() {
    std::fprintf(stderr, "kaldo-sim: bootloader left after %zu rows\n", mBootloader->RowCount());
    mHidPort.reset();
    mBootloader.reset();
    mLoop.AddTimer(mOptions.rebootMs, [this] {
        if (!Attach()) Stop(1);
    });
}
