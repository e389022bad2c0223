#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

// Reads a backup document as it streams in and keeps only what a restore needs: the header's
// members and one entry of "settings" at a time, handed to a callback as a small object of the
// members an entry has. A nested value there stands as an empty array or object whose contents
// are skipped, and unknown members are passed over, so memory stays bounded whatever the input
// holds. A descriptor is also read no further than kMaxSize bytes, nor past a run of more than
// kMaxRun bytes without structure (a string, number or space that long): no backup comes near
// either. A key repeated in the header or in an entry is told, so that neither of two values
// is taken silently.
class CKdSettingsReader {
public:
    using Json = nlohmann::ordered_json;
    // Told each entry with its position (from 1) and the first member key it repeats ("" when
    // none). Returns false to stop the reading.
    using EntryHandler =
        std::function<bool(const Json& entry, int index, const std::string& repeatedKey)>;

    enum class EResult {
        Complete,    // one JSON object, read to its end
        Stopped,     // the entry handler stopped it
        NotAnObject, // valid so far, but the document is no JSON object
        Malformed,   // not JSON, or beyond the bounds; Failure() says where or why
        Unreadable,  // the descriptor could not be read; errno is set
    };

    static constexpr size_t kMaxSize = size_t(64) << 20;
    static constexpr size_t kMaxRun = size_t(64) << 10;

    explicit CKdSettingsReader(EntryHandler handler) : mHandler(std::move(handler)) {}

    EResult Read(const std::string& text);
    EResult Read(int descriptor);

    // The header members a backup has ("format", "version", "serial" and the versions).
    const Json& Header() const { return mHeader; }
    // Whether the document had a "settings" array.
    bool HasSettings() const { return mHasSettings; }
    // The first header key given twice, or "".
    const std::string& RepeatedHeaderKey() const { return mRepeatedHeaderKey; }
    const std::string& Failure() const { return mFailure; }

private:
    class Sax;
    class DescriptorBuffer;

    EntryHandler mHandler;
    Json mHeader = Json::object();
    bool mHasSettings = false;
    std::string mRepeatedHeaderKey;
    std::string mFailure;
};
