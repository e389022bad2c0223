#include "CtlOutput.h"

#include "CtlStatus.h"

#include <unistd.h>

#include <cstdio>

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

void CtlOutput::Record(const Json& record, const std::string& line) {
    switch (mFormat) {
    case EFormat::Text:
        if (!line.empty()) std::printf("%s\n", line.c_str());
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
        std::printf("%s\n", fields.c_str());
        break;
    }
    case EFormat::Json:
        if (mStreaming)
            std::printf("%s\n", Dump(record, -1).c_str());
        else
            mRecords.push_back(record);
        break;
    }
    std::fflush(stdout);
}

void CtlOutput::Member(const char* key, Json value) {
    mObject[key] = std::move(value);
}

void CtlOutput::Line(const std::string& line) {
    if (mFormat == EFormat::Text && !mQuiet) std::printf("%s\n", line.c_str());
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
    if (mFormat != EFormat::Json || mStreaming) return status;
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
    std::printf("%s\n", Dump(result, 2).c_str());
    return status;
}
