#include "CKdSettingsFile.h"

#include "CKdChangeSet.h"
#include "CKdPrmCatalogue.h"
#include "CKdSettingsReader.h"
#include "CKdSettingsReport.h"
#include "CKdSettingsSession.h"
#include "CKdValueText.h"
#include "KdSettingsStatus.h"
#include "LReplacementFile.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "kaldo-1 settings";
constexpr int kVersion = 1;
// First identifiers of the two layers' movement values: writing them starts motion.
constexpr long kMovementRows[] = {187, 197};

bool IsMovement(long id) {
    for (long first : kMovementRows)
        if (id == first) return true;
    return false;
}

struct Group {
    const char* mName;
    long mFirst;
    long mLast;
};
// network: the unit's own address; identity: the names that tell one unit from another (serial
// number and MAC address are read-only and never restored).
constexpr Group kGroups[] = {
    {"network", 900, 923},
    {"identity", 760, 893},
};

LString LabelOf(long id) {
    const char* label = CKdPrmCatalogue::Label(id);
    return label ? label : "";
}

// Standard output, or a new file of mode 0600 that replaces path only when complete.
bool WriteAll(const char* path, const std::string& text) {
    if (std::strcmp(path, "-") == 0) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout);
    }
    return LReplacementFile::WriteWhole(path, text, 0600);
}

// The member key of an object, or null; never throws, whatever the document holds.
const Json* Field(const Json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto member = object.find(key);
    return member == object.end() ? nullptr : &*member;
}

// The reason an entry's identifier is not a setting.
LString NotASetting(CKdPrmManager& catalogue, long id) {
    LString why;
    int value = 0;
    if (!CKdValueText::ParseValue(catalogue, id, "0", true, value, why)) return why;
    const CKdPrmCatalogue::_SPrmRow* row = CKdPrmCatalogue::FindRow(id);
    if (row && row->mPrmID != id && !IsMovement(row->mPrmID))
        return why.Format("%ld lies inside the text %d (%s)", id, row->mPrmID, row->mLabel);
    return why.Format("%ld is a movement value, not a setting", id);
}

// The problem with one entry's value, or empty.
LString CheckValue(CKdPrmManager& catalogue, const CKdSettingsFile::_SSetting& setting,
                   const Json& entry) {
    const long id = setting.mPrmID;
    LString why;
    if (!setting.mLength) {
        const Json* value = Field(entry, "value");
        int stored = 0;
        if (!value || !value->is_number_integer())
            return why.Format("%ld (%s) has no whole-number value", id, LabelOf(id).CString());
        // Unsigned numbers above the signed range must not wrap into it.
        const std::string number = value->is_number_unsigned()
                                       ? std::to_string(value->get<unsigned long long>())
                                       : std::to_string(value->get<long long>());
        CKdValueText::ParseValue(catalogue, id, number.c_str(), true, stored, why);
        return why;
    }
    const Json* text = Field(entry, "text");
    const Json* length = Field(entry, "length");
    if (!text || !text->is_string())
        return why.Format("%ld (%s) has no text", id, LabelOf(id).CString());
    if (length && *length != setting.mLength)
        return why.Format("%ld (%s) is a text of %d characters", id, LabelOf(id).CString(),
                          setting.mLength);
    const std::string& characters = text->get_ref<const std::string&>();
    if (characters.size() > size_t(setting.mLength))
        return why.Format("the text for %ld (%s) is longer than %d characters", id,
                          LabelOf(id).CString(), setting.mLength);
    for (unsigned char c : characters)
        if (c < 32 || c > 127)
            return why.Format("the text for %ld (%s) holds a character outside 32 to 127", id,
                              LabelOf(id).CString());
    return why;
}

// The checks of one backup as its entries stream in: each entry must be one setting, once,
// with a value it takes. The problems are gathered (the first kMaxProblems, then the reading
// stops) and printed once the header shows the file to be a backup.
class Loader {
public:
    Loader(CKdPrmManager& catalogue, const char* path, CKdChangeSet& changes,
           CKdSettingsReport& report)
        : mReader([this](const Json& entry, int index, const std::string& repeatedKey) {
              return Check(entry, index, repeatedKey);
          }),
          mCatalogue(catalogue), mPath(path), mChanges(changes), mReport(report) {
        for (const CKdSettingsFile::_SSetting& setting : CKdSettingsFile::Settings(catalogue))
            mKnown[setting.mPrmID] = setting;
    }

    // The status of the whole file, its problems printed and its source filled.
    int Finish(CKdSettingsReader::EResult result, CKdSettingsFile::_SSource& source) {
        using EResult = CKdSettingsReader::EResult;
        if (result == EResult::Malformed)
            return mReport.Fail(KdSettingsStatus::kUsage, "%s is not JSON (%s)", mPath,
                                mReader.Failure().c_str());
        const Json& header = mReader.Header();
        const Json* format = Field(header, "format");
        const Json* version = Field(header, "version");
        if (result == EResult::NotAnObject || !format || *format != kFormat ||
            !mReader.HasSettings())
            return mReport.Fail(KdSettingsStatus::kUsage, "%s is not a backup of kaldo-ctl", mPath);
        if (!version || *version != kVersion)
            return mReport.Fail(KdSettingsStatus::kUsage,
                                "%s has backup version %s; this kaldo-ctl reads %d", mPath,
                                version ? version->dump().c_str() : "none", kVersion);
        if (!mReader.RepeatedHeaderKey().empty())
            return mReport.Fail(KdSettingsStatus::kUsage, "%s: \"%s\" appears twice", mPath,
                                mReader.RepeatedHeaderKey().c_str());
        const auto identity = [&header](const char* key) -> std::optional<std::string> {
            const Json* field = Field(header, key);
            if (!field || !field->is_string()) return std::nullopt;
            return field->get<std::string>();
        };
        source = {identity("serial"), identity("software"), identity("fpga")};

        for (const std::string& problem : mProblems)
            mReport.Note("%s: %s", mPath, problem.c_str());
        if (result == EResult::Stopped)
            return mReport.Fail(KdSettingsStatus::kUsage,
                                "%s: stopped at %zu wrong entries; nothing was written", mPath,
                                mProblems.size());
        if (!mProblems.empty())
            return mReport.Fail(KdSettingsStatus::kUsage, "%s: %zu %s; nothing was written", mPath,
                                mProblems.size(),
                                mProblems.size() == 1 ? "entry is wrong" : "entries are wrong");
        return KdSettingsStatus::kOK;
    }

    CKdSettingsReader mReader;

private:
    static constexpr size_t kMaxProblems = 100;

    // One entry; false once kMaxProblems are gathered.
    bool Check(const Json& entry, int index, const std::string& repeatedKey) {
        LString why;
        const Json* idField = Field(entry, "id");
        const bool hasID =
            idField && idField->is_number_integer() &&
            !(idField->is_number_unsigned() && idField->get<unsigned long long>() > LONG_MAX);
        const long id = hasID ? idField->get<long>() : -1;
        const auto setting = mKnown.find(id);
        if (!hasID)
            why = "has no identifier";
        else if (!repeatedKey.empty())
            why.Format("%ld has \"%s\" twice", id, repeatedKey.c_str());
        else if (!mSeen.insert(id).second)
            why.Format("%ld appears twice", id);
        else if (setting == mKnown.end())
            why = NotASetting(mCatalogue, id);
        else
            why = CheckValue(mCatalogue, setting->second, entry);
        if (why.Length()) {
            mProblems.push_back("entry " + std::to_string(index) + ": " + why.CString());
        } else if (setting->second.mLength) {
            mChanges.AddText(id, setting->second.mLength,
                             Field(entry, "text")->get<std::string>().c_str());
        } else {
            mChanges.AddValue(id, static_cast<int>(Field(entry, "value")->get<long long>()));
        }
        return mProblems.size() < kMaxProblems;
    }

    CKdPrmManager& mCatalogue;
    const char* mPath;
    CKdChangeSet& mChanges;
    CKdSettingsReport& mReport;
    std::map<long, CKdSettingsFile::_SSetting> mKnown;
    std::set<long> mSeen;
    std::vector<std::string> mProblems;
};

} // namespace

std::vector<CKdSettingsFile::_SSetting> CKdSettingsFile::Settings(CKdPrmManager& catalogue) {
    std::vector<_SSetting> settings;
    for (const CKdPrmCatalogue::_SPrmRow& row : CKdPrmCatalogue::Rows()) {
        LPrmManager::_SRangeInfo range;
        if (!catalogue.RangeInfo(row.mRange, range) || IsMovement(row.mPrmID) ||
            range.mChecker == LPrmManager::PrmCheckerREADONLY)
            continue;
        if (range.mChecker == CKdPrmManager::PrmCheckerNAME) {
            settings.push_back({row.mPrmID, row.mCount});
            continue;
        }
        const int width = CKdPrmCatalogue::Width(row.mType);
        for (int i = 0; i < row.mCount; ++i)
            settings.push_back({row.mPrmID + i * width, 0});
    }
    return settings;
}

int CKdSettingsFile::Save(CKdSettingsSession& session, const char* path) {
    const std::vector<_SSetting> settings = Settings(session);
    const auto* serial = CKdPageCatalogue::RowForPrm(CKdValueText::kSerialNumber);
    std::vector<CKdSettingsSession::_SPrmReqInfo> spans{
        {serial->mPrmID, CKdValueText::RowSpan(session, *serial)}};
    for (const _SSetting& setting : settings)
        spans.push_back({setting.mPrmID, setting.mLength
                                             ? setting.mLength
                                             : CKdValueText::PrmSpan(session, setting.mPrmID)});
    if (int status = session.FetchSpans(spans)) return status;

    const CKdPrmManager::_SVersionInfo versions = session.VersionInfo();
    Json header;
    header["format"] = kFormat;
    header["version"] = kVersion;
    header["serial"] = CKdValueText::RowText(session, *serial).CString();
    header["software"] = versions.mSoftware.CString();
    header["fpga"] = versions.mFPGA.CString();
    header["usb"] = versions.mUSB.CString();
    header["phy"] = versions.mPHY.CString();

    // One setting per line, so that two backups compare well with diff.
    const auto dump = [](const Json& json) {
        return json.dump(-1, ' ', false, Json::error_handler_t::replace);
    };
    std::string text = dump(header);
    text.replace(text.size() - 1, 1, ",\n\"settings\": [\n");
    for (size_t i = 0; i < settings.size(); ++i) {
        const long id = settings[i].mPrmID;
        Json entry;
        entry["id"] = id;
        entry["label"] = LabelOf(id).CString();
        if (settings[i].mLength) {
            entry["length"] = settings[i].mLength;
            entry["text"] = session.StringValue(id, settings[i].mLength, 1, 0).CString();
        } else {
            entry["value"] = session.Value(id, 0);
        }
        text += " " + dump(entry) + (i + 1 < settings.size() ? ",\n" : "\n");
    }
    text += "]}\n";

    if (!WriteAll(path, text))
        return session.Report().Fail(KdSettingsStatus::kOther, "cannot write %s: %s", path,
                                     std::strerror(errno));
    if (std::strcmp(path, "-") != 0)
        session.Report().Record({{"file", path}, {"settings", settings.size()}},
                                std::to_string(settings.size()) + " settings saved to " + path);
    return KdSettingsStatus::kOK;
}

int CKdSettingsFile::Load(CKdPrmManager& catalogue, const char* path, CKdChangeSet& changes,
                          _SSource& source, CKdSettingsReport& report) {
    // Read through a descriptor, so that a directory or a FIFO gives a message and no exception:
    // only regular files and standard input are read.
    const bool standardInput = std::strcmp(path, "-") == 0;
    const int fd = standardInput ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    const bool readable = fd >= 0 && fstat(fd, &info) == 0;
    if (!readable || (!standardInput && !S_ISREG(info.st_mode))) {
        const int error = !readable ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
        if (fd >= 0 && !standardInput) close(fd);
        return report.Fail(KdSettingsStatus::kOther, "cannot read %s: %s", path,
                           error ? std::strerror(error) : "not a regular file");
    }
    Loader loader(catalogue, path, changes, report);
    const CKdSettingsReader::EResult result = loader.mReader.Read(fd);
    const int error = errno;
    if (!standardInput) close(fd);
    if (result == CKdSettingsReader::EResult::Unreadable)
        return report.Fail(KdSettingsStatus::kOther, "cannot read %s: %s", path,
                           std::strerror(error));
    return loader.Finish(result, source);
}

int CKdSettingsFile::Parse(CKdPrmManager& catalogue, const std::string& text, const char* path,
                           CKdChangeSet& changes, _SSource& source, CKdSettingsReport& report) {
    Loader loader(catalogue, path, changes, report);
    return loader.Finish(loader.mReader.Read(text), source);
}

std::string CKdSettingsFile::Differences(const _SSource& backup, const _SSource& here) {
    struct Field {
        const char* mKey;
        const char* mWords;
        const std::optional<std::string> _SSource::*mMember;
    };
    static constexpr Field kFields[] = {
        {"serial", "serial number", &_SSource::mSerial},
        {"software", "software", &_SSource::mSoftware},
        {"fpga", "FPGA", &_SSource::mFPGA},
    };
    std::string differences;
    for (const Field& field : kFields) {
        const std::optional<std::string>& from = backup.*field.mMember;
        const std::string& to = (here.*field.mMember).value_or("");
        if (from == to) continue;
        differences += differences.empty() ? "" : "; ";
        differences += from ? std::string(field.mWords) + " " + *from + ", this one " + to
                            : "no text \"" + std::string(field.mKey) + "\" in the backup";
    }
    return differences;
}

int CKdSettingsFile::Here(CKdSettingsSession& session, _SSource& here) {
    const auto* serialRow = CKdPageCatalogue::RowForPrm(CKdValueText::kSerialNumber);
    if (int status = session.Fetch(serialRow->mPrmID, CKdValueText::RowSpan(session, *serialRow)))
        return status;
    const CKdPrmManager::_SVersionInfo versions = session.VersionInfo();
    here = {CKdValueText::RowText(session, *serialRow).CString(), versions.mSoftware.CString(),
            versions.mFPGA.CString()};
    return KdSettingsStatus::kOK;
}

std::vector<std::string> CKdSettingsFile::Groups() {
    std::vector<std::string> names;
    for (const Group& each : kGroups)
        names.push_back(each.mName);
    return names;
}

bool CKdSettingsFile::InGroup(const std::string& group, long id) {
    for (const Group& each : kGroups)
        if (group == each.mName && id >= each.mFirst && id <= each.mLast) return true;
    return false;
}
