#include "CtlOutput.h"

#include "CtlStatus.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string Dump(const CtlOutput::Json& json, int indent) {
    return json.dump(indent, ' ', false, CtlOutput::Json::error_handler_t::replace);
}

std::string FieldText(const CtlOutput::Json& value) {
    if (value.is_null()) return "";
    if (value.is_string()) return value.get<std::string>();
    return Dump(value, -1);
}

} // namespace

CtlOutput::CtlOutput(EFormat format, bool quiet) : mFormat(format), mQuiet(quiet) {}

std::string CtlOutput::Escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == ':' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string CtlOutput::Printable(const std::string& text) {
    std::string printable;
    for (unsigned char c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        if (c == '\\')
            printable += "\\\\";
        else
            printable += c >= 32 && c <= 126 ? std::string(1, char(c)) : std::string(escaped);
    }
    return printable;
}

void CtlOutput::Print(const std::string& line) {
    if (std::fputs(line.c_str(), stdout) < 0 || std::fputc('\n', stdout) == EOF ||
        std::fflush(stdout) != 0)
        mWriteError = mWriteError ? mWriteError : errno;
}

void CtlOutput::Record(const Json& record, const std::string& line) {
    switch (mFormat) {
    case EFormat::Text:
        if (!line.empty()) Print(line);
        break;
    case EFormat::Terse: {
        std::string fields;
        bool first = true;
        for (const auto& field : record.items()) {
            if (field.value().is_structured()) continue;
            if (!first) fields += ':';
            first = false;
            fields += Escape(FieldText(field.value()));
        }
        Print(fields);
        break;
    }
    case EFormat::Json:
        if (mStreaming)
            Print(Dump(record, -1));
        else
            mRecords.push_back(record);
        break;
    }
}

void CtlOutput::Member(const char* key, Json value) {
    mObject[key] = std::move(value);
}

void CtlOutput::Line(const std::string& line) {
    if (mFormat == EFormat::Text && !mQuiet) Print(line);
}

void CtlOutput::Progress(const char* what, int done, int total) {
    static const bool terminal = isatty(STDERR_FILENO);
    if (!terminal || mQuiet) return;
    std::fprintf(stderr, "\r\033[K%s %d/%d", what, done, total);
    std::fflush(stderr);
    mProgressShown = true;
}

void CtlOutput::EndProgress() {
    if (!mProgressShown) return;
    std::fputs("\r\033[K", stderr);
    mProgressShown = false;
}

int CtlOutput::Finish(int status) {
    EndProgress();
    PrintDocument(status);
    // Also what others printed (a backup, an update's result) must have reached stdout.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        mWriteError = mWriteError ? mWriteError : errno;
    if (!mWriteError) return status;
    CtlStatus::Fail(CtlStatus::kOther, "cannot write to standard output: %s",
                    std::strerror(mWriteError));
    return status ? status : CtlStatus::kOther;
}

void CtlOutput::PrintDocument(int status) {
    if (mFormat != EFormat::Json || mStreaming) return;
    if (mDocumentWritten && status == CtlStatus::kOK) return;
    Json result;
    if (mObject.is_null()) {
        result = mRecords;
    } else {
        result = mObject;
        if (mListKey) result[mListKey] = mRecords;
    }
    if (status != CtlStatus::kOK) {
        Json error;
        error["error"] = CtlStatus::FirstFailure().empty() ? "failed" : CtlStatus::FirstFailure();
        error["code"] = status;
        if (!mRecords.empty() || !mObject.is_null()) error["partial"] = result;
        result = error;
    }
    Print(Dump(result, 2));
}
