#include "LReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace {
// Names taken by someone else are skipped; after this many the directory is not usable.
constexpr int kNameAttempts = 64;
constexpr mode_t kTemporaryMode = 0600;

// ".NAME.XXXXXXXXXXXXXXXX.tmp" beside path, with 64 random bits.
std::string TemporaryName(const std::string& path) {
    static std::mt19937_64 random{std::random_device{}()};
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    return dir + "." + name + suffix;
}

// The error of a failed step, kept across the clean-up that follows it.
bool Fail(int error) {
    errno = error;
    return false;
}
} // namespace

LReplacementFile::LReplacementFile(std::string path) : mPath(std::move(path)) {}

LReplacementFile::~LReplacementFile() {
    const int error = errno; // a failure's cause outlives the clean-up
    if (!mTemporary.empty()) unlink(mTemporary.c_str());
    if (mDescriptor >= 0) close(mDescriptor);
    errno = error;
}

bool LReplacementFile::Create() {
    if (mPath.empty() || mPath.back() == '/') return Fail(EISDIR);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryName(mPath);
        mDescriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           kTemporaryMode);
        if (mDescriptor >= 0) {
            mTemporary = temporary;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return Fail(EEXIST);
}

bool LReplacementFile::Write(const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t count = write(mDescriptor, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return Fail(count < 0 ? errno : ENOSPC);
        done += size_t(count);
    }
    return true;
}

bool LReplacementFile::Commit(mode_t mode) {
    if (mTemporary.empty()) return Fail(EBADF);
    const bool done = (mode == kTemporaryMode || fchmod(mDescriptor, mode) == 0) &&
                      fsync(mDescriptor) == 0 && rename(mTemporary.c_str(), mPath.c_str()) == 0;
    if (done) mTemporary.clear();
    return done;
}

bool LReplacementFile::WriteWhole(const std::string& path, const std::string& text, mode_t mode) {
    LReplacementFile file(path);
    if (!file.Create() || !file.Write(text) || !file.Commit(mode)) return false;
    const int descriptor = std::exchange(file.mDescriptor, -1);
    return close(descriptor) == 0;
}
