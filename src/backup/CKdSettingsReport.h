#pragma once

#include <nlohmann/json.hpp>

#include <string>

// Where the settings backend tells what it does: one-line messages (failures and notes), one
// record per setting written or compared, and the progress of long reads. kaldo-ctl prints them;
// the window collects them.
class CKdSettingsReport {
public:
    using Json = nlohmann::ordered_json;

    virtual ~CKdSettingsReport() = default;

    // The formatted message as a failure; returns code.
    int Fail(int code, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The formatted message as a note that does not end the operation.
    void Note(const char* format, ...) __attribute__((format(printf, 2, 3)));

    virtual void Message(bool failure, const std::string& text) = 0;
    // One setting's result: its record ("id", "name", "before", "after", "status") and the line
    // that tells it to people.
    virtual void Record(const Json& record, const std::string& line) = 0;
    // "what done/total" of a read of many requests, and its end.
    virtual void Progress(const char* what, int done, int total) = 0;
    virtual void EndProgress() = 0;
};
