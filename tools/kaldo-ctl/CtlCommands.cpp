#include "CtlCommands.h"

#include "CKdChangeSet.h"
#include "CKdPageCatalogue.h"
#include "CKdPrmCatalogue.h"
#include "CKdRemoteEditor.h"
#include "CKdRemoteInterpreter.h"
#include "CKdSecrets.h"
#include "CKdSettingsFile.h"
#include "CKdValueText.h"
#include "CtlCompanion.h"
#include "CtlOptions.h"
#include "CtlStatus.h"
#include "CtlUpdate.h"

#include <poll.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>

namespace {

constexpr int kLabelWidth = 28;
constexpr long kParameterSave = 1000;
constexpr long kSystemReboot = 998;
constexpr long kFactoryReset = 999;
constexpr long kModeSwitch = 208, kAutoFadeSwitch = 209; // each run moves to the other end
// Event kinds and the dial's action group in an event number.
constexpr int kTouch = 3, kRotate = 5, kEncoder = 9;

volatile std::sig_atomic_t sInterrupted = 0;

std::string PageName(const CKdPageCatalogue::_SPage& page) {
    return std::string(page.mGroup) + "/" + page.mLabel;
}

// A page by "Group/Leaf", class name, or leaf label when only one page has it.
const CKdPageCatalogue::_SPage* FindPage(const std::string& name) {
    if (const CKdPageCatalogue::_SPage* page = CKdPageCatalogue::FindPage(name.c_str()))
        return page;
    const CKdPageCatalogue::_SPage* found = nullptr;
    for (const auto& page : CKdPageCatalogue::Pages()) {
        if (strcasecmp(page.mLabel, name.c_str()) != 0) continue;
        if (found) return nullptr;
        found = &page;
    }
    return found;
}

int NoPage(const std::string& name) {
    std::string names;
    for (const auto& each : CKdPageCatalogue::Pages())
        names += (names.empty() ? "" : ", ") + PageName(each);
    return CtlStatus::Fail(CtlStatus::kUsage, "no page \"%s\"; the pages are %s", name.c_str(),
                           names.c_str());
}

// Whether the request table of one of the pages asks for id.
bool IsRequested(std::span<const CKdPageCatalogue::_SPage> pages, long id) {
    for (const CKdPageCatalogue::_SPage& page : pages)
        for (const auto* request = page.mRequests; request && request->mCount >= 1; ++request)
            if (id >= request->mPrmID && id < request->mPrmID + request->mCount) return true;
    return false;
}

bool IsTerminal(int fd) {
    return isatty(fd) == 1;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%H:%M:%S", std::localtime(&now));
    return text;
}

} // namespace

CtlCommands::CtlCommands(const CtlOptions& options)
    : mOptions(options), mOutput(options.mFormat, options.mQuiet) {
    mSession = new CtlSession;
    mSession->ReleaseObject(); // the pointer holds the only reference
    mSession->SetPatience(options.mTimeoutMs, options.mRetries);
    mSession->SetOutput(&mOutput);
    CtlStatus::Configure(options.mQuiet);
}

int CtlCommands::Run() {
    struct Command {
        const char* mName;
        int (CtlCommands::*mRun)();
    };
    // Commands of other files register here with one line each.
    static constexpr Command kCommands[] = {
        {"list", &CtlCommands::List},         {"info", &CtlCommands::Info},
        {"get", &CtlCommands::Get},           {"set", &CtlCommands::Set},
        {"get-text", &CtlCommands::GetText},  {"set-text", &CtlCommands::SetText},
        {"exec", &CtlCommands::Exec},         {"save", &CtlCommands::Save},
        {"dump", &CtlCommands::Dump},         {"watch", &CtlCommands::Watch},
        {"backup", &CtlCommands::Backup},     {"restore", &CtlCommands::Restore},
        {"event", &CtlCommands::Event},       {"reboot", &CtlCommands::Reboot},
        {"names", &CtlCommands::Names},       {"update-main", &CtlCommands::Update},
        {"update-usb", &CtlCommands::Update},
    };
    for (const Command& command : kCommands)
        if (mOptions.mCommand == command.mName) return mOutput.Finish((this->*command.mRun)());
    return CtlStatus::Fail(CtlStatus::kUsage, "unknown command '%s'", mOptions.mCommand.c_str());
}

int CtlCommands::Connect() {
    if (int status = mDevice.Start(mOptions.mDevicePath)) return status;
    if (int status = mDevice.Choose(mOptions.mSerial)) return status;
    return mDevice.Open(*mSession, mOptions.mTrace, mOptions.mWaitBusyS * 1000);
}

void CtlCommands::Disconnect() {
    if (LStream* stream = mSession->DeviceStream()) stream->Close();
    mSession->SetDeviceStream(nullptr);
}

int CtlCommands::ResolveAll(const std::vector<std::string>& names,
                            std::vector<CtlNames::_STarget>& targets) {
    for (const std::string& name : names) {
        CtlNames::_STarget target;
        std::string why;
        if (!CtlNames::Resolve(*mSession, name, target, why))
            return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.c_str());
        targets.push_back(target);
    }
    return CtlStatus::kOK;
}

CtlOutput::Json CtlCommands::RowRecord(const CtlNames::_STarget& target) {
    CtlOutput::Json record;
    record["id"] = target.mPrmID;
    record["name"] = target.mName;
    record["page"] = target.mPage;
    record["value"] = CtlNames::Text(*mSession, target, mOptions.mShowSecrets);
    record["raw"] = CtlNames::Raw(*mSession, target, mOptions.mShowSecrets);
    return record;
}

int CtlCommands::List() {
    if (int status = mDevice.Start(mOptions.mDevicePath)) return status;
    const std::vector<CtlDevice::_SEntry> entries = mDevice.Entries();
    if (entries.empty()) return CtlStatus::Fail(CtlStatus::kNoDevice, "no KALDO-1 found");
    char line[512];
    std::snprintf(line, sizeof line, "%-12s %-10s %-10s %-18s %s", "SERIAL", "PRODUCT", "LOCATION",
                  "SESSION", "PATH");
    mOutput.Line(line);
    for (const CtlDevice::_SEntry& entry : entries) {
        char location[16], session[24];
        std::snprintf(location, sizeof location, "0x%08x", entry.mLocation);
        std::snprintf(session, sizeof session, "0x%016llx",
                      static_cast<unsigned long long>(entry.mSession));
        std::snprintf(line, sizeof line, "%-12s %-10s %-10s %-18s %s", entry.mSerial.c_str(),
                      entry.mProduct.c_str(), location, session,
                      entry.mBootloader ? "bootloader" : entry.mPath.c_str());
        mOutput.Record({{"serial", entry.mSerial},
                        {"product", entry.mProduct},
                        {"location", location},
                        {"session", session},
                        {"path", entry.mPath},
                        {"bootloader", entry.mBootloader}},
                       line);
    }
    return CtlStatus::kOK;
}

int CtlCommands::Info() {
    if (int status = Connect()) return status;
    const auto* mac = CKdPageCatalogue::RowForPrm(CKdValueText::kMacAddress);
    const auto* serial = CKdPageCatalogue::RowForPrm(CKdValueText::kSerialNumber);
    if (int status =
            mSession->FetchSpans({{mac->mPrmID, CKdValueText::RowSpan(*mSession, *mac)},
                                  {serial->mPrmID, CKdValueText::RowSpan(*mSession, *serial)}}))
        return status;
    const CKdPrmManager::_SVersionInfo versions = mSession->VersionInfo();
    const CtlOutput::Json info = {
        {"product", mDevice.ProductName().CString()},
        {"serial", CKdValueText::RowText(*mSession, *serial).CString()},
        {"software", versions.mSoftware.CString()},
        {"fpga", versions.mFPGA.CString()},
        {"usb", versions.mUSB.CString()},
        {"phy", versions.mPHY.CString()},
        {"mac", CKdValueText::RowText(*mSession, *mac).CString()},
    };
    if (mOutput.IsJson()) {
        for (const auto& field : info.items())
            mOutput.Member(field.key().c_str(), field.value());
        return CtlStatus::kOK;
    }
    const char* labels[] = {
        "Product:       ", "Serial number: ", "Software:      ", "FPGA:          ",
        "USB:           ", "PHY:           ", "MAC address:   "};
    std::string text;
    int i = 0;
    for (const auto& field : info.items()) {
        text += (i ? "\n" : "") + std::string(labels[i]) + field.value().get<std::string>();
        ++i;
    }
    mOutput.Record(info, text);
    return CtlStatus::kOK;
}

int CtlCommands::Get() {
    std::vector<CtlNames::_STarget> targets;
    if (int status = ResolveAll(mOptions.mNames, targets)) return status;
    std::vector<CtlSession::_SPrmReqInfo> spans, unanswered;
    for (const CtlNames::_STarget& target : targets) {
        if (target.mKind == CtlNames::EKind::Exec)
            return CtlStatus::Fail(CtlStatus::kUsage,
                                   "%ld (%s) is an execute command and has no value; run it with "
                                   "kaldo-ctl exec",
                                   target.mPrmID, target.mName.c_str());
        spans.push_back({target.mPrmID, CtlNames::Span(*mSession, target)});
    }
    if (int status = Connect()) return status;
    // What was read is shown even when a later request got no answer.
    const int status = mSession->FetchSpans(spans, &unanswered);
    for (const CtlNames::_STarget& target : targets) {
        bool read = true;
        for (const auto& run : unanswered)
            if (target.mPrmID < run.mPrmID + run.mCount &&
                run.mPrmID < target.mPrmID + CtlNames::Span(*mSession, target))
                read = false;
        if (!read) continue;
        CtlOutput::Json record = RowRecord(target);
        const std::string value = mOptions.mRaw && record["raw"].is_number()
                                      ? record["raw"].dump()
                                      : record["value"].get<std::string>();
        mOutput.Record(record, std::to_string(target.mPrmID) + " " + target.mName + ": " + value);
    }
    return status;
}

int CtlCommands::ReadSecret(const CtlNames::_STarget& target, std::string& value) {
    const bool fromStdin = mOptions.mHasValue; // the value is "-"
    if (fromStdin && !IsTerminal(STDIN_FILENO)) {
        if (!std::getline(std::cin, value) && value.empty())
            return CtlStatus::Fail(CtlStatus::kUsage, "no value on standard input for %s",
                                   target.mName.c_str());
        if (!value.empty() && value.back() == '\r') value.pop_back();
        return CtlStatus::kOK;
    }
    if (!IsTerminal(STDIN_FILENO))
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "%s is a secret: give it as - and pipe it to standard input",
                               target.mName.c_str());
    termios saved{}, quiet{};
    tcgetattr(STDIN_FILENO, &saved);
    quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::fprintf(stderr, "%s: ", target.mName.c_str());
    std::fflush(stderr);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::getline(std::cin, value);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return CtlStatus::kOK;
}

int CtlCommands::Set() {
    CtlNames::_STarget target;
    std::string why;
    if (!CtlNames::Resolve(*mSession, mOptions.mName, target, why))
        return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.c_str());
    std::string value = mOptions.mValue;
    if (target.mSecret && (!mOptions.mHasValue || value == "-")) {
        if (int status = ReadSecret(target, value)) return status;
    } else if (!mOptions.mHasValue) {
        return CtlStatus::Fail(CtlStatus::kUsage, "set needs a VALUE for %s", target.mName.c_str());
    } else if (value == "-" && !std::getline(std::cin, value)) {
        return CtlStatus::Fail(CtlStatus::kUsage, "no value on standard input");
    }
    CKdChangeSet changes;
    if (!CtlNames::Parse(*mSession, target, value, mOptions.mRaw, changes, why))
        return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.c_str());
    if (int status = Connect()) return status;
    return ApplyChanges(changes, false);
}

int CtlCommands::ApplyChanges(CKdChangeSet& changes, bool summary) {
    mOutput.SetListKey("changes");
    CKdChangeSet::_SApply how;
    how.mDryRun = mOptions.mDryRun;
    how.mVerbose = mOptions.mVerbose || !summary; // set shows an unchanged value too
    how.mShowSecrets = mOptions.mShowSecrets;
    int status = changes.Apply(*mSession, how);
    // set reports the counts only when something is not confirmed.
    if (summary || status == CtlStatus::kNoAnswer || status == CtlStatus::kNoDevice)
        mOutput.Line(changes.Summary(how.mDryRun));
    if (status == CtlStatus::kNoAnswer)
        CtlStatus::Fail(status, "%d of %d writes sent, not confirmed: the switcher did not answer",
                        changes.UnconfirmedCount(), changes.WrittenCount());
    else if (status == CtlStatus::kRefused)
        CtlStatus::Fail(status,
                        "%d of %d writes did not take: %d refused by the switcher, %d kept "
                        "another value",
                        changes.RefusedCount() + changes.KeptCount(), changes.WrittenCount(),
                        changes.RefusedCount(), changes.KeptCount());
    mOutput.Member("count", changes.Count());
    mOutput.Member("changed", changes.ChangedCount());
    mOutput.Member("written", changes.WrittenCount());
    mOutput.Member("refused", changes.RefusedCount());
    mOutput.Member("kept", changes.KeptCount());
    mOutput.Member("not_confirmed", changes.UnconfirmedCount());
    bool saved = false;
    if (!how.mDryRun && status == CtlStatus::kOK && changes.WrittenCount()) {
        if (mOptions.mSave) {
            CtlNames::_STarget save;
            std::string why;
            CtlNames::Resolve(*mSession, std::to_string(kParameterSave), save, why);
            status = Execute(save);
            saved = status == CtlStatus::kOK;
            if (saved) mOutput.Line("saved on the switcher");
        } else if (IsTerminal(STDERR_FILENO)) {
            CtlStatus::Note("the change lasts until the switcher is switched off; add --save or "
                            "run 'kaldo-ctl save' to keep it");
        }
    }
    mOutput.Member("saved", saved);
    return status;
}

LString CtlCommands::CheckTextRun(long first, int length, bool writable) {
    LString why;
    for (long id = first; id < first + length; ++id) {
        LPrmManager::_SPrmInfo info;
        LPrmManager::_SRangeInfo range;
        if (!mSession->PrmInfo(id, info) || info.mWidth != 1 ||
            !mSession->RangeInfo(info.mRange, range))
            return why.Format("%ld is not a character parameter, so %ld..%ld is not a text", id,
                              first, first + length - 1);
        if (writable && range.mChecker != CKdPrmManager::PrmCheckerNAME)
            return why.Format("%ld (%s) is %s", id, CKdValueText::Label(id).CString(),
                              range.mChecker == LPrmManager::PrmCheckerREADONLY ? "read-only"
                                                                                : "not a text");
    }
    return why;
}

int CtlCommands::GetText() {
    const long id = mOptions.mPrmID;
    const LString why = CheckTextRun(id, mOptions.mLength, false);
    if (why.Length()) return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.CString());
    if (int status = Connect()) return status;
    if (int status = mSession->Fetch(id, mOptions.mLength)) return status;
    const bool secret = CKdSecrets::IsSecret(id) && !mOptions.mShowSecrets;
    // The run may hold bytes that set-text would refuse: they are shown escaped.
    const std::string text =
        secret ? CKdSecrets::kMask
               : CtlOutput::Printable(mSession->StringValue(id, mOptions.mLength, 1, 0).CString());
    mOutput.Record({{"id", id}, {"length", mOptions.mLength}, {"text", text}}, text);
    return CtlStatus::kOK;
}

int CtlCommands::SetText() {
    const long id = mOptions.mPrmID;
    const std::string& text = mOptions.mValue;
    LString why = CheckTextRun(id, mOptions.mLength, true);
    if (!why.Length() && text.size() > size_t(mOptions.mLength))
        why.Format("the text has %zu characters; %ld takes at most %d", text.size(), id,
                   mOptions.mLength);
    for (unsigned char c : text)
        if (!why.Length() && (c < 32 || c > 127)) why = "texts hold only the characters 32 to 127";
    if (why.Length()) return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.CString());
    if (int status = Connect()) return status;
    CKdChangeSet changes;
    changes.AddText(id, mOptions.mLength, text.c_str());
    return ApplyChanges(changes, false);
}

int CtlCommands::Confirm(const char* question) {
    if (mOptions.mYes) return CtlStatus::kOK;
    if (!IsTerminal(STDIN_FILENO))
        return CtlStatus::Fail(CtlStatus::kDeclined, "%s Not asked without a terminal; add --yes",
                               question);
    std::fprintf(stderr, "%s [y/N] ", question);
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    if (answer == "y" || answer == "Y" || strcasecmp(answer.c_str(), "yes") == 0)
        return CtlStatus::kOK;
    return CtlStatus::Fail(CtlStatus::kDeclined, "declined; nothing was sent");
}

int CtlCommands::Execute(const CtlNames::_STarget& target) {
    const long write = mSession->NextWrite();
    if (!mSession->SendExecPacket(target.mPrmID, 1))
        return CtlStatus::Fail(CtlStatus::kNoDevice, "cannot send %s to the switcher",
                               target.mName.c_str());
    // Only the answer to this very packet tells that it arrived. A command that toggles is not
    // sent again: when only its answer was lost, a second one would undo it.
    const bool toggles = target.mPrmID == kModeSwitch || target.mPrmID == kAutoFadeSwitch;
    const int status = mSession->ConfirmWrites(write, write + 1, !toggles);
    switch (mSession->WriteResult(write)) {
    case CtlSession::EWrite::Confirmed:
        return CtlStatus::kOK;
    case CtlSession::EWrite::Refused:
        return CtlStatus::Fail(CtlStatus::kRefused, "the switcher refused %s (status %d)",
                               target.mName.c_str(), mSession->WriteStatus(write));
    case CtlSession::EWrite::Pending:
        break;
    }
    if (status == CtlStatus::kNoDevice) return status;
    return CtlStatus::Fail(CtlStatus::kNoAnswer,
                           "%s sent, not confirmed: no answer from the switcher within %d ms%s; "
                           "it may or may not have been done",
                           target.mName.c_str(), mOptions.mTimeoutMs,
                           toggles ? " (a toggle is sent only once)" : "");
}

int CtlCommands::Exec() {
    CtlNames::_STarget target;
    std::string why;
    if (!CtlNames::Resolve(*mSession, mOptions.mName, target, why))
        return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.c_str());
    if (target.mKind != CtlNames::EKind::Exec) {
        std::string names;
        for (const auto& exec : CKdPrmCatalogue::ExecRows())
            names += (names.empty() ? "" : ", ") + std::string(exec.mLabel);
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "%ld (%s) is a setting, not an execute command; these are: %s",
                               target.mPrmID, target.mName.c_str(), names.c_str());
    }
    if (target.mPrmID == kSystemReboot) return Reboot();
    if (target.mPrmID == kFactoryReset) {
        if (int status = Confirm("Are you sure you want to factory reset?")) return status;
    }
    if (int status = Connect()) return status;
    const int status = Execute(target);
    if (status == CtlStatus::kOK)
        mOutput.Record({{"id", target.mPrmID}, {"name", target.mName}, {"status", "done"}},
                       std::to_string(target.mPrmID) + " " + target.mName + ": done");
    return status;
}

int CtlCommands::Save() {
    CtlNames::_STarget target;
    std::string why;
    CtlNames::Resolve(*mSession, std::to_string(kParameterSave), target, why);
    if (int status = Connect()) return status;
    const int status = Execute(target);
    if (status == CtlStatus::kOK)
        mOutput.Record({{"id", target.mPrmID}, {"name", target.mName}, {"status", "done"}},
                       "settings saved on the switcher");
    return status;
}

int CtlCommands::Dump() {
    std::span<const CKdPageCatalogue::_SPage> pages = CKdPageCatalogue::Pages();
    if (!mOptions.mPage.empty()) {
        const CKdPageCatalogue::_SPage* page = FindPage(mOptions.mPage);
        if (!page) return NoPage(mOptions.mPage);
        pages = {page, 1};
    }
    if (int status = Connect()) return status;
    // Each page asks with its own request table, as the pages of the utility do, and is shown
    // as soon as it is read. A few rows lie outside every table; ask for them too rather than
    // show what the session happens to hold.
    int done = 0;
    for (const CKdPageCatalogue::_SPage& page : pages) {
        mOutput.Progress("reading pages", done++, static_cast<int>(pages.size()));
        std::vector<CtlSession::_SPrmReqInfo> outside;
        for (const CKdPageCatalogue::_SRow& row : page.mRows)
            if (!IsRequested({&page, 1}, row.mPrmID))
                outside.push_back({row.mPrmID, CKdValueText::RowSpan(*mSession, row)});
        int status = mSession->FetchTable(page.mRequests);
        if (status == CtlStatus::kOK || status == CtlStatus::kRefused)
            status = mSession->FetchSpans(outside);
        if (status == CtlStatus::kNoAnswer || status == CtlStatus::kNoDevice) return status;
        mOutput.EndProgress();

        CtlOutput::Json rows = CtlOutput::Json::array();
        std::string text =
            (&page == pages.data() ? "" : "\n") + PageName(page) + " (" + page.mClassName + ")";
        for (const CtlNames::_STarget& target : CtlNames::PageTargets(*mSession, page)) {
            CtlOutput::Json record = RowRecord(target);
            char line[256];
            std::snprintf(line, sizeof line, "\n  %4ld  %-*s %s", target.mPrmID, kLabelWidth,
                          target.mName.c_str(), record["value"].get<std::string>().c_str());
            text += line;
            if (mOutput.Format() == CtlOutput::EFormat::Terse) {
                CtlOutput::Json flat = {{"page", PageName(page)}};
                flat.update(record);
                flat.erase("raw");
                mOutput.Record(flat, "");
            }
            rows.push_back(record);
        }
        if (mOutput.Format() != CtlOutput::EFormat::Terse)
            mOutput.Record({{"page", PageName(page)}, {"class", page.mClassName}, {"rows", rows}},
                           text);
        if (mOutput.WriteFailed()) return CtlStatus::kOther; // named by Finish
    }
    return CtlStatus::kOK;
}

int CtlCommands::Watch() {
    std::vector<CtlNames::_STarget> targets;
    if (!mOptions.mPage.empty()) {
        const CKdPageCatalogue::_SPage* page = FindPage(mOptions.mPage);
        if (!page) return NoPage(mOptions.mPage);
        for (const CtlNames::_STarget& target : CtlNames::PageTargets(*mSession, *page))
            if (target.mKind != CtlNames::EKind::Exec) targets.push_back(target);
    }
    std::vector<CtlNames::_STarget> named;
    if (int status = ResolveAll(mOptions.mNames, named)) return status;
    for (const CtlNames::_STarget& target : named) {
        if (target.mKind == CtlNames::EKind::Exec)
            return CtlStatus::Fail(CtlStatus::kUsage, "%s is an execute command and has no value",
                                   target.mName.c_str());
        targets.push_back(target);
    }
    std::vector<CtlSession::_SPrmReqInfo> spans;
    for (const CtlNames::_STarget& target : targets)
        spans.push_back({target.mPrmID, CtlNames::Span(*mSession, target)});
    mOutput.SetStreaming(true);
    std::signal(SIGINT, [](int) { sInterrupted = 1; });
    std::signal(SIGTERM, [](int) { sInterrupted = 1; });
    mDevice.Start(mOptions.mDevicePath);
    if (int status = mDevice.Choose(mOptions.mSerial)) return status;
    std::map<long, std::string> shown;
    int changes = 0;
    for (bool first = true; !sInterrupted; first = false) {
        // The link is released between readings, so that other programs can use the switcher;
        // a reading waits for as long as one of them holds it.
        if (int status = mDevice.Open(*mSession, mOptions.mTrace, -1, &sInterrupted))
            return sInterrupted ? CtlStatus::kOK : status;
        const int status = mSession->FetchSpans(spans);
        Disconnect();
        if (status == CtlStatus::kNoDevice || status == CtlStatus::kNoAnswer) return status;
        for (const CtlNames::_STarget& target : targets) {
            CtlOutput::Json record = RowRecord(target);
            const std::string value = record["value"].get<std::string>();
            auto [previous, inserted] = shown.emplace(target.mPrmID, value);
            if (!inserted && previous->second == value) continue;
            previous->second = value;
            CtlOutput::Json line = {{"time", Now()}};
            line.update(record);
            mOutput.Record(line, line["time"].get<std::string>() + " " +
                                     std::to_string(target.mPrmID) + " " + target.mName + ": " +
                                     value);
            if (mOutput.WriteFailed()) return CtlStatus::kOther; // named by Finish
            if (!first && mOptions.mCount && ++changes >= mOptions.mCount) return CtlStatus::kOK;
        }
        poll(nullptr, 0, mOptions.mIntervalMs); // a signal ends the wait early
    }
    return CtlStatus::kOK;
}

int CtlCommands::Backup() {
    if (int status = Connect()) return status;
    const int status = CKdSettingsFile::Save(*mSession, mOptions.mFile.c_str());
    // On standard output the backup is the one JSON document.
    if (status == CtlStatus::kOK && mOptions.mFile == "-") mOutput.SetDocumentWritten();
    return status;
}

int CtlCommands::Restore() {
    CKdChangeSet changes;
    CKdSettingsFile::_SSource source;
    if (int status = CKdSettingsFile::Load(*mSession, mOptions.mFile.c_str(), changes, source,
                                           mSession->Report()))
        return status;
    const CKdPageCatalogue::_SPage* only = nullptr;
    if (!mOptions.mPage.empty() && !(only = FindPage(mOptions.mPage)))
        return NoPage(mOptions.mPage);
    changes.Filter([&](long id) {
        for (const std::string& group : mOptions.mExclude)
            if (CKdSettingsFile::InGroup(group, id)) return false;
        if (!only) return true;
        for (const auto& row : only->mRows)
            if (id >= row.mPrmID &&
                id < row.mPrmID + std::max(1, CKdValueText::RowSpan(*mSession, row)))
                return true;
        return IsRequested({only, 1}, id);
    });
    if (int status = Connect()) return status;

    // A backup of another unit or firmware is written only when asked for.
    CKdSettingsFile::_SSource here;
    if (int status = CKdSettingsFile::Here(*mSession, here)) return status;
    const std::string differences = CKdSettingsFile::Differences(source, here);
    if (!differences.empty() && !mOptions.mForce && !mOptions.mDryRun)
        return CtlStatus::Fail(CtlStatus::kDeclined,
                               "%s is not known to come from this switcher and firmware (%s); add "
                               "--force to restore it here, with --exclude network,identity to "
                               "keep this unit's address and names",
                               mOptions.mFile.c_str(), differences.c_str());
    if (!differences.empty())
        CtlStatus::Note("the backup is not known to come from this switcher and firmware (%s)",
                        differences.c_str());
    return ApplyChanges(changes, true);
}

int CtlCommands::Event() {
    // Checked by the utility's own interpreter, so that an event it would drop is not sent.
    int32_t eventNum = 0;
    int64_t dataNum = 0;
    std::string why;
    if (!CKdRemoteInterpreter::Interpret(mOptions.mEventText, eventNum, dataNum, &why))
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "the utility would ignore \"%s\": %s; see the kaldo-ctl manual",
                               mOptions.mEventText.c_str(), why.c_str());
    // The dial events ("Touch", "Press" or "Rotate" with "enc") are answered with one line,
    // except an edit of an identifier without a row, which the utility leaves alone.
    const int kind = eventNum >> 16 & 0xF, group = eventNum >> 12 & 0xF;
    const bool replyExpected = kind >= kTouch && kind <= kRotate && group == kEncoder;
    const int shown = eventNum >> 20 & 0x3FF;
    if (replyExpected && !(eventNum >> 9 & 1) && !CKdRemoteEditor::FindRemoteEditPrm(shown))
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "the utility would ignore \"%s\": %d is no parameter of the "
                               "dial's list, and an edit acts only on exactly the parameter "
                               "given",
                               mOptions.mEventText.c_str(), shown);
    if (mOptions.mCheckOnly) {
        mOutput.Record(
            {{"event", mOptions.mEventText}, {"valid", true}, {"reply_expected", replyExpected}},
            "valid event" + std::string(replyExpected ? "; the utility replies to it" : ""));
        return CtlStatus::kOK;
    }
    CtlCompanion companion(mOptions.mEventPort,
                           mOptions.mReplyPort ? mOptions.mReplyPort : mOptions.mEventPort + 1);
    LString reply;
    if (int status = companion.SendEvent(mOptions.mEventText.c_str(), replyExpected,
                                         mOptions.mWaitMs, reply))
        return status;
    const bool replied = reply.Length() > 0;
    CtlOutput::Json record = {{"event", mOptions.mEventText},
                              {"reply_expected", replyExpected},
                              {"reply", replied ? CtlOutput::Json(reply.CString()) : nullptr}};
    if (replied) {
        mOutput.Record(record, reply.CString());
        return CtlStatus::kOK;
    }
    mOutput.Record(record, "");
    if (!replyExpected) {
        CtlStatus::Note("sent; the utility does not reply to this event");
        return CtlStatus::kOK;
    }
    return CtlStatus::Fail(CtlStatus::kNoAnswer,
                           "no reply within %d ms (is the utility running with a switcher?)",
                           mOptions.mWaitMs);
}

int CtlCommands::Reboot() {
    if (int status = Confirm("Are you sure you want to reboot the switcher? Changes not stored "
                             "with Parameter Save are lost."))
        return status;
    if (int status = Connect()) return status;
    const int status = mDevice.Reboot(*mSession, mOptions.mRebootWaitS * 1000, mOutput);
    return status;
}

int CtlCommands::Names() {
    if (mOptions.mPageNames) {
        for (const auto& page : CKdPageCatalogue::Pages())
            mOutput.Record({{"page", PageName(page)}}, PageName(page));
        return CtlStatus::kOK;
    }
    for (const std::string& name : CtlNames::AllNames())
        mOutput.Record({{"name", name}}, name);
    return CtlStatus::kOK;
}

int CtlCommands::Update() {
    if (int status = mDevice.Start(mOptions.mDevicePath)) return status;
    if (int status = mDevice.Choose(mOptions.mSerial)) return status;
    const bool usb = mOptions.mCommand == "update-usb";
    return CtlUpdate::Run(mDevice, usb ? CtlUpdate::kUsbController : CtlUpdate::kMainFirmware,
                          mOptions.mFile.c_str(),
                          [this](const char* question) { return Confirm(question); });
}
