#include "CtlSession.h"

#include "CtlOutput.h"
#include "CtlStatus.h"

CtlSession::Printer CtlSession::sPrinter;

CtlSession::CtlSession() : CKdSettingsSession(sPrinter) {}

void CtlSession::SetOutput(CtlOutput* output) {
    sPrinter.mOutput = output;
    SetProgress(output != nullptr);
}

void CtlSession::Printer::Message(bool failure, const std::string& text) {
    if (failure)
        CtlStatus::Fail(CtlStatus::kOther, "%s", text.c_str());
    else
        CtlStatus::Note("%s", text.c_str());
}

void CtlSession::Printer::Record(const Json& record, const std::string& line) {
    if (mOutput) mOutput->Record(record, line);
}

void CtlSession::Printer::Progress(const char* what, int done, int total) {
    if (mOutput) mOutput->Progress(what, done, total);
}

void CtlSession::Printer::EndProgress() {
    if (mOutput) mOutput->EndProgress();
}
