// Backup files through the shared loader: any bytes give a list of checked changes or a message,
// never a crash, a wrapped number or an exception.
#include "CKdChangeSet.h"
#include "CKdPrmManager.h"
#include "CKdSettingsFile.h"
#include "CKdSettingsReport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {
// One line per file instead of one per entry: failures only.
class Report : public CKdSettingsReport {
    void Message(bool failure, const std::string& text) override {
        if (failure) std::fprintf(stderr, "%s\n", text.c_str());
    }
    void Record(const Json&, const std::string&) override {}
    void Progress(const char*, int, int) override {}
    void EndProgress() override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CKdPrmManager* catalogue = new CKdPrmManager;
    Report report;
    CKdChangeSet changes;
    CKdSettingsFile::_SSource source;
    CKdSettingsFile::Parse(*catalogue, std::string(reinterpret_cast<const char*>(data), size),
                           "input", changes, source, report);
    return 0;
}
