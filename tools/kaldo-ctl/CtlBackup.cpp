#include "CtlBackup.h"

#include "CKdPrmCatalogue.h"
#include "CKdValueText.h"
#include "CtlChangeSet.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlStatus.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
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

LString LabelOf(long id) {
    const char* label = CKdPrmCatalogue::Label(id);
    return label ? label : "";
}

// The whole file, read through a descriptor so that a directory or a FIFO gives a message and
// no exception: only regular files and standard input are read.
bool ReadAll(const char* path, std::string& text) {
    const bool standardInput = std::strcmp(path, "-") == 0;
    const int fd = standardInput ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (ok && !standardInput && !S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ok = false;
    }
    char buffer[65536];
    for (ssize_t n = 1; ok && n > 0;) {
        n = read(fd, buffer, sizeof buffer);
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
        if (n < 0 && errno != EINTR) ok = false;
        if (n < 0 && errno == EINTR) n = 1;
    }
    const int error = errno;
    if (!standardInput) close(fd);
    errno = error;
    return ok;
}

// Writes through a temporary file, mode 0600, that replaces path only when complete.
bool WriteAll(const char* path, const std::string& text) {
    if (std::strcmp(path, "-") == 0) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout);
    }
    const std::string temporary = std::string(path) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fchmod(fd, 0600) == 0; // an older temporary file may have had another mode
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    int error = errno;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), path) == 0) return true;
    error = errno ? errno : error;
    std::remove(temporary.c_str());
    errno = error;
    return false;
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
LString CheckValue(CKdPrmManager& catalogue, const CtlBackup::_SSetting& setting,
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

} // namespace

std::vector<CtlBackup::_SSetting> CtlBackup::Settings(CKdPrmManager& catalogue) {
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

int CtlBackup::Save(CtlSession& session, const char* path, CtlOutput& out) {
    const std::vector<_SSetting> settings = Settings(session);
    const auto* serial = CKdPageCatalogue::RowForPrm(CKdValueText::kSerialNumber);
    std::vector<CtlSession::_SPrmReqInfo> spans{
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
        return CtlStatus::Fail(CtlStatus::kOther, "cannot write %s: %s", path,
                               std::strerror(errno));
    if (std::strcmp(path, "-") != 0)
        out.Record({{"file", path}, {"settings", settings.size()}},
                   std::to_string(settings.size()) + " settings saved to " + path);
    return CtlStatus::kOK;
}

int CtlBackup::Load(CKdPrmManager& catalogue, const char* path, CtlChangeSet& changes,
                    _SSource& source) {
    std::string text;
    if (!ReadAll(path, text))
        return CtlStatus::Fail(CtlStatus::kOther, "cannot read %s: %s", path,
                               errno == EINVAL ? "not a regular file" : std::strerror(errno));
    return Parse(catalogue, text, path, changes, source);
}

int CtlBackup::Parse(CKdPrmManager& catalogue, const std::string& text, const char* path,
                     CtlChangeSet& changes, _SSource& source) {
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded()) return CtlStatus::Fail(CtlStatus::kUsage, "%s is not JSON", path);
    const Json* format = Field(doc, "format");
    const Json* version = Field(doc, "version");
    const Json* entries = Field(doc, "settings");
    if (!format || *format != kFormat || !entries || !entries->is_array())
        return CtlStatus::Fail(CtlStatus::kUsage, "%s is not a backup of kaldo-ctl", path);
    if (!version || *version != kVersion)
        return CtlStatus::Fail(CtlStatus::kUsage,
                               "%s has backup version %s; this kaldo-ctl reads %d", path,
                               version ? version->dump().c_str() : "none", kVersion);

    const auto headerText = [&doc](const char* key) {
        const Json* field = Field(doc, key);
        return field && field->is_string() ? field->get<std::string>() : std::string();
    };
    source = {headerText("serial"), headerText("software"), headerText("fpga")};

    std::map<long, _SSetting> known;
    for (const _SSetting& setting : Settings(catalogue))
        known[setting.mPrmID] = setting;
    std::set<long> seen;
    int problems = 0;
    int index = 0;
    for (const Json& entry : *entries) {
        ++index;
        LString why;
        const Json* idField = Field(entry, "id");
        const bool hasID =
            idField && idField->is_number_integer() &&
            !(idField->is_number_unsigned() && idField->get<unsigned long long>() > LONG_MAX);
        const long id = hasID ? idField->get<long>() : -1;
        const auto setting = known.find(id);
        if (!hasID)
            why = "has no identifier";
        else if (!seen.insert(id).second)
            why.Format("%ld appears twice", id);
        else if (setting == known.end())
            why = NotASetting(catalogue, id);
        else
            why = CheckValue(catalogue, setting->second, entry);
        if (why.Length()) {
            CtlStatus::Note("%s: entry %d: %s", path, index, why.CString());
            ++problems;
        } else if (setting->second.mLength) {
            changes.AddText(id, setting->second.mLength,
                            Field(entry, "text")->get<std::string>().c_str());
        } else {
            changes.AddValue(id, static_cast<int>(Field(entry, "value")->get<long long>()));
        }
    }
    if (problems)
        return CtlStatus::Fail(CtlStatus::kUsage, "%s: %d %s; nothing was written", path, problems,
                               problems == 1 ? "entry is wrong" : "entries are wrong");
    return CtlStatus::kOK;
}

bool CtlBackup::InGroup(const std::string& group, long id) {
    struct Group {
        const char* mName;
        long mFirst;
        long mLast;
    };
    // network: the unit's own address; identity: the names that tell one unit from another
    // (serial number and MAC address are read-only and never restored).
    static constexpr Group kGroups[] = {
        {"network", 900, 923},
        {"identity", 760, 893},
    };
    for (const Group& each : kGroups)
        if (group == each.mName && id >= each.mFirst && id <= each.mLast) return true;
    return false;
}
