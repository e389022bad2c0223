#include "SimStateFile.h"

#include "LReplacementFile.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

using nlohmann::json;

namespace {
// Far more than the settings of any switcher take.
constexpr size_t kMaxSize = 1 << 20;

bool IsSetting(const SimCatalog::_SParam& param) {
    return !param.readOnly && param.kind != SimCatalog::Kind::Execute;
}

// A whole number within int, without wrapping a large one into range.
bool AsInt(const json& number, int& value) {
    if (number.is_number_unsigned()) {
        if (number.get<unsigned long long>() > INT_MAX) return false;
    } else if (!number.is_number_integer() || number.get<long long>() < INT_MIN ||
               number.get<long long>() > INT_MAX) {
        return false;
    }
    value = number.get<int>();
    return true;
}
} // namespace

bool SimStateFile::Save(const SimCatalog& catalog, const SimMemory& memory,
                        std::string& error) const {
    json settings = json::object();
    for (const auto& param : catalog.Params())
        if (IsSetting(param)) settings[std::to_string(param.id)] = memory.Value(param.id);
    // It holds the password: readable by its owner only.
    if (!LReplacementFile::WriteWhole(mPath, json{{"settings", settings}}.dump(1) + "\n", 0600)) {
        error = "cannot write " + mPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool SimStateFile::Load(const SimCatalog& catalog, SimMemory& memory, std::string& error) const {
    std::string text;
    const int fd = open(mPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return true;
    struct stat info {};
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[65536];
        while (text.size() <= kMaxSize) {
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) break;
            text.append(buffer, size_t(count));
        }
    }
    const int readError = fd < 0                  ? errno
                          : S_ISREG(info.st_mode) ? 0
                          : S_ISDIR(info.st_mode) ? EISDIR
                                                  : EINVAL;
    if (fd >= 0) close(fd);
    if (readError) {
        error = "cannot read the state file " + mPath + ": " +
                (readError == EINVAL ? "not a regular file" : std::strerror(readError));
        return false;
    }
    const json doc = json::parse(text, nullptr, false);
    if (text.size() > kMaxSize || doc.is_discarded() || !doc.contains("settings") ||
        !doc["settings"].is_object()) {
        error = mPath + " is not a saved state";
        return false;
    }
    std::vector<SimMemory::_SExecute> none;
    for (const auto& param : catalog.Params()) {
        const auto it = doc["settings"].find(std::to_string(param.id));
        int value = 0;
        if (!IsSetting(param) || it == doc["settings"].end() || !AsInt(*it, value) ||
            !SimCatalog::Accepts(param, value))
            continue;
        uint8_t bytes[2];
        SimCatalog::Encode(param, value, bytes);
        memory.Write(param.id, bytes, param.width, none);
    }
    return true;
}
