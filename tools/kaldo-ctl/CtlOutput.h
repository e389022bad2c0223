#pragma once

#include <nlohmann/json.hpp>

#include <string>

// Where a command's results go, in one of three forms: lines for people (text), one record per
// line with its fields joined by ':' as `nmcli -t` does (terse), or one JSON document on stdout
// (json). Commands hand every result to it as a JSON record plus the text line; progress goes
// to stderr, on a terminal only.
class CtlOutput {
public:
    using Json = nlohmann::ordered_json;
    enum class EFormat { Text, Terse, Json };

    CtlOutput(EFormat format, bool quiet);

    EFormat Format() const { return mFormat; }
    bool IsJson() const { return mFormat == EFormat::Json; }

    // One result: text prints line (when not empty), terse the record's values, JSON keeps it for
    // the array (or, streaming, prints it as one line at once).
    void Record(const Json& record, const std::string& line);
    // A member of the JSON result object; the records then go under listKey.
    void Member(const char* key, Json value);
    void SetListKey(const char* key) { mListKey = key; }
    // JSON lines instead of one document (watch).
    void SetStreaming(bool streaming) { mStreaming = streaming; }
    // A line for people only: printed in text form unless quiet.
    void Line(const std::string& line);

    // "what done/total" rewritten in place on stderr, on a terminal and unless quiet.
    void Progress(const char* what, int done, int total);
    void EndProgress();

    // Prints the JSON document, or for a failure {"error": ..., "code": N} with what was
    // gathered under "partial". Returns status.
    int Finish(int status);

    // A field for terse output: ':' and '\' escaped with '\'.
    static std::string Escape(const std::string& text);

private:
    EFormat mFormat;
    bool mQuiet;
    bool mStreaming = false;
    bool mProgressShown = false;
    const char* mListKey = nullptr;
    Json mRecords = Json::array();
    Json mObject;
};
