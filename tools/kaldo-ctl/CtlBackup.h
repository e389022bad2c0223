#pragma once

#include <vector>

class CKdPrmManager;
class CtlChangeSet;
class CtlSession;

// Backup files: JSON with every writable setting of the switcher and its label.
//
//   {"format": "kaldo-1 settings", "version": 1, "serial": "...", "software": "01.00",
//    "settings": [
//     {"id": 102, "label": "Main In H Flip", "value": 0},
//     {"id": 620, "label": "SNMP Community Name", "length": 64, "text": "private"}, ...]}
//
// Numbers are stored values; texts are strings of at most their length. The movement values
// 187-189 and 197-199 start motion when written and are not settings, so they are left out.
class CtlBackup {
public:
    struct _SSetting {
        long mPrmID;
        int mLength; // 0 for a number, else the text's length
    };

    // Every catalogue parameter that is not read-only, texts as one setting each, in order.
    static std::vector<_SSetting> Settings(CKdPrmManager& catalogue);

    // Reads every setting from the switcher and writes them to path ("-": standard output).
    static int Save(CtlSession& session, const char* path);
    // Reads path ("-": standard input) and checks the whole file against the catalogue: each
    // entry must be one setting, once, with a value it takes. Prints one line per problem and
    // returns kUsage; otherwise fills changes.
    static int Load(CKdPrmManager& catalogue, const char* path, CtlChangeSet& changes);
};
