#include "CtlCommands.h"

#include "CKdPageCatalogue.h"
#include "CtlBackup.h"
#include "CtlChangeSet.h"
#include "CtlCompanion.h"
#include "CtlOptions.h"
#include "CtlStatus.h"
#include "CtlUpdate.h"
#include "CKdValueText.h"

#include <cstdio>
#include <strings.h>

namespace {

constexpr int kLabelWidth = 28;

LString PageName(const CKdPageCatalogue::_SPage& page) {
    return LString(page.mGroup) + "/" + page.mLabel;
}

// A page by "Group/Leaf", class name, or leaf label when only one page has it.
const CKdPageCatalogue::_SPage* FindPage(const char* name) {
    if (const CKdPageCatalogue::_SPage* page = CKdPageCatalogue::FindPage(name)) return page;
    const CKdPageCatalogue::_SPage* found = nullptr;
    for (const auto& page : CKdPageCatalogue::Pages()) {
        if (strcasecmp(page.mLabel, name) != 0) continue;
        if (found) return nullptr;
        found = &page;
    }
    return found;
}

// Whether the request table of one of the pages asks for id.
bool IsRequested(std::span<const CKdPageCatalogue::_SPage> pages, long id) {
    for (const CKdPageCatalogue::_SPage& page : pages)
        for (const auto* request = page.mRequests; request && request->mCount >= 1; ++request)
            if (id >= request->mPrmID && id < request->mPrmID + request->mCount) return true;
    return false;
}

} // namespace

CtlCommands::CtlCommands(const CtlOptions& options) : mOptions(options) {
    mSession = new CtlSession;
    mSession->ReleaseObject(); // the pointer holds the only reference
}

int CtlCommands::Run() {
    struct Command {
        const char* mName;
        int (CtlCommands::*mRun)();
    };
    static constexpr Command kCommands[] = {
        {"list", &CtlCommands::List},        {"info", &CtlCommands::Info},
        {"get", &CtlCommands::Get},          {"set", &CtlCommands::Set},
        {"get-text", &CtlCommands::GetText}, {"set-text", &CtlCommands::SetText},
        {"dump", &CtlCommands::Dump},        {"backup", &CtlCommands::Backup},
        {"restore", &CtlCommands::Restore},  {"event", &CtlCommands::Event},
        {"reboot", &CtlCommands::Reboot},
        {"update-main", &CtlCommands::Update}, {"update-usb", &CtlCommands::Update},
    };
    for (const Command& command : kCommands)
        if (mOptions.mCommand == command.mName) return (this->*command.mRun)();
    return CtlStatus::Fail(CtlStatus::kUsage, "unknown command %s", mOptions.mCommand.c_str());
}

int CtlCommands::Connect() {
    mDevice.Start(mOptions.mDevicePath);
    if (int status = mDevice.Choose(mOptions.mSerial)) return status;
    return mDevice.Open(*mSession, mOptions.mTrace);
}

int CtlCommands::List() {
    mDevice.Start(mOptions.mDevicePath);
    return mDevice.PrintList(stdout);
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
    std::printf("Product:       %s\n", mDevice.ProductName().CString());
    std::printf("Serial number: %s\n", CKdValueText::RowText(*mSession, *serial).CString());
    std::printf("Software:      %s\n", versions.mSoftware.CString());
    std::printf("FPGA:          %s\n", versions.mFPGA.CString());
    std::printf("USB:           %s\n", versions.mUSB.CString());
    std::printf("PHY:           %s\n", versions.mPHY.CString());
    std::printf("MAC address:   %s\n", CKdValueText::RowText(*mSession, *mac).CString());
    return CtlStatus::kOK;
}

int CtlCommands::Get() {
    std::vector<CtlSession::_SPrmReqInfo> spans;
    for (long id : mOptions.mPrmIDs) {
        const CKdPageCatalogue::_SRow* row = CKdPageCatalogue::RowForPrm(id);
        const int span = row && !mOptions.mRaw ? CKdValueText::RowSpan(*mSession, *row)
                                               : CKdValueText::PrmSpan(*mSession, id);
        if (span < 1) {
            LString why;
            int value = 0;
            CKdValueText::ParseValue(*mSession, id, "0", true, value, why);
            return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.CString());
        }
        spans.push_back({id, span});
    }
    if (int status = Connect()) return status;
    if (int status = mSession->FetchSpans(spans)) return status;
    for (long id : mOptions.mPrmIDs) {
        const LString value = mOptions.mRaw ? LString().Format("%d", mSession->Value(id, 0))
                                            : CKdValueText::PrmText(*mSession, id);
        std::printf("%ld %s: %s\n", id, CKdValueText::Label(id).CString(), value.CString());
    }
    return CtlStatus::kOK;
}

int CtlCommands::Set() {
    const long id = mOptions.mPrmID;
    int value = 0;
    LString why;
    if (!CKdValueText::ParseValue(*mSession, id, mOptions.mValue.c_str(), mOptions.mRaw, value,
                                  why))
        return CtlStatus::Fail(CtlStatus::kUsage, "%s", why.CString());
    if (int status = Connect()) return status;
    CtlChangeSet changes;
    changes.AddValue(id, value);
    return changes.Apply(*mSession, false, true, stdout);
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
    std::printf("%s\n", mSession->StringValue(id, mOptions.mLength, 1, 0).CString());
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
    CtlChangeSet changes;
    changes.AddText(id, mOptions.mLength, text.c_str());
    return changes.Apply(*mSession, false, true, stdout);
}

int CtlCommands::Dump() {
    std::span<const CKdPageCatalogue::_SPage> pages = CKdPageCatalogue::Pages();
    if (!mOptions.mPage.empty()) {
        const CKdPageCatalogue::_SPage* page = FindPage(mOptions.mPage.c_str());
        if (!page) {
            LString names;
            for (const auto& each : pages) {
                if (names.Length()) names += ", ";
                names += PageName(each);
            }
            return CtlStatus::Fail(CtlStatus::kUsage, "no page \"%s\"; the pages are %s",
                                   mOptions.mPage.c_str(), names.CString());
        }
        pages = {page, 1};
    }
    if (int status = Connect()) return status;
    // Each page asks with its own request table, as the pages of the utility do. A few rows lie
    // outside every table; ask for them too rather than show what the session happens to hold.
    for (const CKdPageCatalogue::_SPage& page : pages)
        if (int status = mSession->FetchTable(page.mRequests)) return status;
    std::vector<CtlSession::_SPrmReqInfo> outside;
    for (const CKdPageCatalogue::_SPage& page : pages)
        for (const CKdPageCatalogue::_SRow& row : page.mRows)
            if (!IsRequested(pages, row.mPrmID))
                outside.push_back({row.mPrmID, CKdValueText::RowSpan(*mSession, row)});
    if (int status = mSession->FetchSpans(outside)) return status;

    for (const CKdPageCatalogue::_SPage& page : pages) {
        std::printf("%s%s (%s)\n", &page == pages.data() ? "" : "\n", PageName(page).CString(),
                    page.mClassName);
        for (const CKdPageCatalogue::_SRow& row : page.mRows)
            std::printf("  %4ld  %-*s %s\n", row.mPrmID, kLabelWidth, row.mLabel,
                        CKdValueText::RowText(*mSession, row).CString());
    }
    return CtlStatus::kOK;
}

int CtlCommands::Backup() {
    if (int status = Connect()) return status;
    return CtlBackup::Save(*mSession, mOptions.mFile.c_str());
}

int CtlCommands::Restore() {
    CtlChangeSet changes;
    if (int status = CtlBackup::Load(*mSession, mOptions.mFile.c_str(), changes)) return status;
    if (int status = Connect()) return status;
    const int status = changes.Apply(*mSession, mOptions.mDryRun, mOptions.mVerbose, stdout);
    if (status == CtlStatus::kNoAnswer) return status;
    std::printf("%d of %d settings %s", changes.ChangedCount(), changes.Count(),
                mOptions.mDryRun ? "differ" : "changed");
    if (changes.KeptCount()) std::printf(", %d kept by the switcher", changes.KeptCount());
    std::printf("\n");
    return status;
}

int CtlCommands::Event() {
    CtlCompanion companion(mOptions.mEventPort, mOptions.mReplyPort);
    LString reply;
    if (int status = companion.SendEvent(mOptions.mEventText.c_str(), mOptions.mWaitMs, reply))
        return status;
    if (reply.Length()) std::printf("%s\n", reply.CString());
    return CtlStatus::kOK;
}

int CtlCommands::Reboot() {
    if (int status = Connect()) return status;
    return mDevice.Reboot(*mSession, mOptions.mRebootWaitS * 1000);
}

int CtlCommands::Update() {
    mDevice.Start(mOptions.mDevicePath);
    if (int status = mDevice.Choose(mOptions.mSerial)) return status;
    const bool usb = mOptions.mCommand == "update-usb";
    return CtlUpdate::Run(mDevice, usb ? CtlUpdate::kUsbController : CtlUpdate::kMainFirmware,
                          mOptions.mFile.c_str());
}
