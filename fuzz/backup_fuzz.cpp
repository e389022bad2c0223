// Backup files through kaldo-ctl's loader: any bytes give a list of checked changes or a
// message, never a crash, a wrapped number or an exception.
#include "CKdPrmManager.h"
#include "CtlBackup.h"
#include "CtlChangeSet.h"
#include "CtlStatus.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CKdPrmManager* catalogue = [] {
        CtlStatus::Configure(true); // one line per file instead of one per entry
        return new CKdPrmManager;
    }();
    CtlChangeSet changes;
    CtlBackup::_SSource source;
    CtlBackup::Parse(*catalogue, std::string(reinterpret_cast<const char*>(data), size), "input",
                     changes, source);
    return 0;
}
