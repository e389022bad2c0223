#include "CKdFirmwareFile.h"

#include "Btldr_DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace {

// What a row-data check's result says about the line it names.
const char* RowDataProblem(unsigned code) {
    struct Text {
        unsigned code;
        const char* text;
    };
    // clang-format off
    static constexpr Text kTexts[] = {
        {BTLDR_ERR_FILE,      "cannot be read"},
        {BTLDR_ERR_LENGTH,    "too short, or an odd number of hex digits"},
        {BTLDR_ERR_DATA,      "the row's length field does not match its data"},
        {BTLDR_ERR_CMD,       "the row does not begin with ':'"},
        {BTLDR_ERR_CHECKSUM,  "the row's checksum does not add up"},
        {BTLDR_ERR_ARRAY,     "array ID above 63"},
        {BTLDR_ERR_HEX,       "a character that is not a hex digit"},
        {BTLDR_ERR_NO_ROWS,   "no rows after the header"},
        {BTLDR_ERR_LONG_LINE, "longer than 766 characters"},
    };
    // clang-format on
    for (const Text& text : kTexts)
        if (text.code == code) return text.text;
    return "not a row-data file";
}

std::string BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Opens path as a regular file of the kind's extension and bounded size (the descriptor in fd),
// or says why not. Opening does not wait for a writer when path is a FIFO.
CKdFirmwareFile::_SResult OpenFile(const char* path, CKdFirmwareFile::EKind kind, int& fd) {
    CKdFirmwareFile::_SResult result;
    fd = -1;
    const std::string name = BaseName(path);
    const std::string extension = CKdFirmwareFile::Extension(kind);
    const size_t dot = name.rfind('.');
    auto refuse = [&](const std::string& why) {
        result.problem = std::string(*path ? path : "(no file)") + ": " + why;
        if (fd >= 0) close(fd);
        fd = -1;
        return result;
    };
    if (!*path) return refuse("no file given");
    if (dot == std::string::npos || name.substr(dot + 1) != extension)
        return refuse("not a ." + extension + " file");
    fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errno == ENOENT   ? "does not exist"
                      : errno == EACCES ? "cannot be read (permission denied)"
                                        : std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0) return refuse(std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return refuse("is a directory");
    if (S_ISFIFO(info.st_mode)) return refuse("is a FIFO, not a file");
    if (!S_ISREG(info.st_mode)) return refuse("is not a regular file");
    if (info.st_size == 0) return refuse("is empty");
    if (info.st_size > CKdFirmwareFile::kMaxFileBytes)
        return refuse(std::to_string(info.st_size) + " bytes is more than the " +
                      std::to_string(CKdFirmwareFile::kMaxFileBytes) +
                      " bytes that a firmware file may have");
    fcntl(fd, F_SETFL, 0);
    result.ok = true;
    result.size = info.st_size;
    return result;
}

} // namespace

const char* CKdFirmwareFile::Extension(EKind kind) {
    return kind == kMainFirmware ? "bin" : "cyacd";
}

CKdFirmwareFile::_SResult CKdFirmwareFile::Check(const char* path, EKind kind) {
    if (kind == kMainFirmware) {
        std::vector<uint8_t> image;
        return ReadMainImage(path, image);
    }
    int fd = -1;
    _SResult result = OpenFile(path, kind, fd);
    if (!result.ok) return result;
    close(fd);
    unsigned long line = 0;
    const unsigned code = Btldr_CheckDataFile(path, &line, &result.rows);
    if (code != BTLDR_SUCCESS) {
        result.ok = false;
        result.problem = std::string(path) + ": " +
                         (line ? "line " + std::to_string(line) + ": " : std::string()) +
                         RowDataProblem(code);
    }
    return result;
}

CKdFirmwareFile::_SResult CKdFirmwareFile::ReadMainImage(const char* path,
                                                         std::vector<uint8_t>& image) {
    image.clear();
    int fd = -1;
    _SResult result = OpenFile(path, kMainFirmware, fd);
    if (!result.ok) return result;
    // Read to the size that was checked, and one byte more to see a file that grew meanwhile.
    image.resize(static_cast<size_t>(result.size) + 1);
    size_t filled = 0;
    int readError = 0;
    while (filled < image.size()) {
        const ssize_t count = read(fd, image.data() + filled, image.size() - filled);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) readError = errno;
        if (count <= 0) break;
        filled += static_cast<size_t>(count);
    }
    close(fd);
    if (filled != static_cast<size_t>(result.size)) {
        result.ok = false;
        result.problem = std::string(path) + ": " +
                         (readError ? std::strerror(readError) : "changed while it was read");
        image.clear();
        return result;
    }
    image.resize(filled);
    return result;
}
