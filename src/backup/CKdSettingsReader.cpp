#include "CKdSettingsReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <set>

namespace {
using Json = CKdSettingsReader::Json;

// The members of the header and of an entry that are kept; every other one is passed over.
constexpr const char* kHeaderKeys[] = {"format", "version", "serial", "software",
                                       "fpga",   "usb",     "phy"};
constexpr const char* kSettingsKey = "settings";
constexpr const char* kEntryKeys[] = {"id", "label", "value", "length", "text"};

template <size_t N>
bool IsOneOf(const std::string& key, const char* const (&keys)[N]) {
    return std::any_of(std::begin(keys), std::end(keys),
                       [&](const char* each) { return key == each; });
}
} // namespace

// The document's events. Depth 1 is the header object; depth 2 the "settings" array, whose
// objects are the entries (members at depth 3). Everything deeper is only counted.
class CKdSettingsReader::Sax : public nlohmann::json_sax<Json> {
public:
    explicit Sax(CKdSettingsReader& reader) : mReader(reader) {}

    EResult mResult = EResult::Complete;

    bool null() override { return Value(nullptr); }
    bool boolean(bool value) override { return Value(value); }
    bool number_integer(number_integer_t value) override { return Value(value); }
    bool number_unsigned(number_unsigned_t value) override { return Value(value); }
    bool number_float(number_float_t value, const string_t&) override { return Value(value); }
    bool string(string_t& value) override { return Value(value); }
    bool binary(binary_t&) override { return Value(nullptr); }

    bool start_object(std::size_t) override {
        if (mDepth == 0) {
            ++mDepth;
            return true;
        }
        if (mDepth == 2 && mInSettings) {
            mEntry = Json::object();
            mEntryKeys.clear();
            mRepeatedKey.clear();
            mInEntry = true;
        } else if (!Value(Json::object())) {
            return false;
        }
        ++mDepth;
        return true;
    }
    bool end_object() override {
        --mDepth;
        if (mDepth != 2 || !mInEntry) return true;
        mInEntry = false;
        return Entry(mEntry, mRepeatedKey);
    }
    bool start_array(std::size_t) override {
        if (mDepth == 1 && mKey == kSettingsKey) {
            mInSettings = mReader.mHasSettings = true;
        } else if (!Value(Json::array())) {
            return false;
        }
        ++mDepth;
        return true;
    }
    bool end_array() override {
        if (--mDepth == 1) mInSettings = false;
        return true;
    }
    bool key(string_t& key) override {
        if (mDepth == 1) {
            mKey = key;
            if ((IsOneOf(key, kHeaderKeys) || key == kSettingsKey) &&
                !mHeaderKeys.insert(key).second && mReader.mRepeatedHeaderKey.empty())
                mReader.mRepeatedHeaderKey = key;
        } else if (mDepth == 3 && mInEntry) {
            mKey = key;
            if (IsOneOf(key, kEntryKeys) && !mEntryKeys.insert(key).second && mRepeatedKey.empty())
                mRepeatedKey = key;
        }
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override {
        mReader.mFailure = "at byte " + std::to_string(position);
        mResult = EResult::Malformed;
        return false;
    }

private:
    // A value at the current place (a container's placeholder when it opens one).
    bool Value(const Json& value) {
        if (mDepth == 0) {
            mResult = EResult::NotAnObject;
            return false;
        }
        if (mDepth == 1 && IsOneOf(mKey, kHeaderKeys)) mReader.mHeader[mKey] = value;
        if (mDepth == 2 && mInSettings) return Entry(value, "");
        if (mDepth == 3 && mInEntry && IsOneOf(mKey, kEntryKeys)) mEntry[mKey] = value;
        return true;
    }
    bool Entry(const Json& entry, const std::string& repeatedKey) {
        if (mReader.mHandler(entry, ++mIndex, repeatedKey)) return true;
        mResult = EResult::Stopped;
        return false;
    }

    CKdSettingsReader& mReader;
    int mDepth = 0;
    std::string mKey; // the last key at depth 1 or in the entry
    std::set<std::string> mHeaderKeys;
    bool mInSettings = false;
    bool mInEntry = false;
    Json mEntry;
    std::set<std::string> mEntryKeys;
    std::string mRepeatedKey;
    int mIndex = 0;
};

// A descriptor's bytes for the stream reader, read in blocks and ended where the bounds are
// crossed (Failure() then says which).
class CKdSettingsReader::DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int descriptor) : mDescriptor(descriptor) {}
    std::string mBound; // the bound that ended the input, or ""
    int mError = 0;     // errno of a failed read, or 0

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (!mBound.empty()) return traits_type::eof();
        ssize_t count;
        do
            count = read(mDescriptor, mBuffer, sizeof mBuffer);
        while (count < 0 && errno == EINTR);
        if (count <= 0) {
            mError = count < 0 ? errno : 0;
            return traits_type::eof();
        }
        const size_t usable = WithinBounds(size_t(count));
        setg(mBuffer, mBuffer, mBuffer + usable);
        return usable ? traits_type::to_int_type(mBuffer[0]) : traits_type::eof();
    }

private:
    // How many of the count new bytes lie within the bounds.
    size_t WithinBounds(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const char c = mBuffer[i];
            if (mInString) {
                mInString = mEscaped || c != '"';
                mEscaped = !mEscaped && c == '\\';
                ++mRun;
            } else if (c != '\0' && std::strchr("{}[],:", c)) {
                mRun = 0;
            } else {
                mInString = c == '"';
                ++mRun;
            }
            if (++mSize > kMaxSize) {
                mBound = "larger than " + std::to_string(kMaxSize >> 20) + " MiB";
            } else if (mRun > kMaxRun) {
                mBound = "a value or space longer than " + std::to_string(kMaxRun) + " bytes";
            }
            if (!mBound.empty()) return i;
        }
        return count;
    }

    int mDescriptor;
    char mBuffer[65536];
    size_t mSize = 0;
    size_t mRun = 0; // bytes since the last structural character outside a string
    bool mInString = false;
    bool mEscaped = false;
};

CKdSettingsReader::EResult CKdSettingsReader::Read(const std::string& text) {
    Sax sax(*this);
    Json::sax_parse(text, &sax);
    return sax.mResult;
}

CKdSettingsReader::EResult CKdSettingsReader::Read(int descriptor) {
    DescriptorBuffer buffer(descriptor);
    std::istream stream(&buffer);
    Sax sax(*this);
    Json::sax_parse(stream, &sax);
    if (buffer.mError) {
        errno = buffer.mError;
        return EResult::Unreadable;
    }
    if (!buffer.mBound.empty()) {
        mFailure = buffer.mBound;
        return EResult::Malformed;
    }
    return sax.mResult;
}
