#pragma once

#include <nlohmann/json.hpp>

#include <string>

// Where a command's results go, in one of three forms: lines for people (text), one record per
// line with its fields joined by ':' as `nmcli -t` does (terse), or one JSON document on stdout
// (json). Commands hand every result to it as a JSON record plus the text line; progress goes
// to stderr, on a terminal only. Every write to stdout is checked: a failed one (a full disk, a
// closed pipe) makes the command fail.
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

    // The command wrote its result document itself (a backup on stdout): Finish adds none.
    void SetDocumentWritten() { mDocumentWritten = true; }

    // Whether a write to stdout has failed.
    bool WriteFailed() const { return mWriteError != 0; }

    // Prints the JSON document, or for a failure {"error": ..., "code": N} with what was
    // gathered under "partial"; then flushes stdout. Returns status, or kOther (printed) when
    // stdout could not be written and status was kOK.
    int Finish(int status);

    // A field for terse output: ':' and '\' escaped with '\'.
    static std::string Escape(const std::string& text);
    // text with '\' and every byte outside 32..126 escaped ("\\", "\xc0").
    static std::string Printable(const std::string& text);

private:
    // Writes line and a newline to stdout and flushes it; the first failure is kept.
    void Print(const std::string& line);
    // The JSON document of Finish.
    void PrintDocument(int status);

    EFormat mFormat;
    int mWriteError = 0; // errno of the first failed write to stdout
    bool mDocumentWritten = false;
    bool mQuiet;
    bool mStreaming = false;
    bool mProgressShown = false;
    const char* mListKey = nullptr;
    Json mRecords = Json::array();
    Json mObject;
};
