#pragma once

#include <optional>
#include <string>
#include <vector>

class CKdPrmManager;
class CtlChangeSet;
class CtlOutput;
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
// Backups hold passwords in clear and are created readable by their owner only.
class CtlBackup {
public:
    // Where a backup was made: the switcher's serial number and software and FPGA versions;
    // none when the backup lacks the field or holds something other than a text there.
    struct _SSource {
        std::optional<std::string> mSerial;
        std::optional<std::string> mSoftware;
        std::optional<std::string> mFPGA;
    };

    struct _SSetting {
        long mPrmID;
        int mLength; // 0 for a number, else the text's length
    };

    // Every catalogue parameter that is not read-only, texts as one setting each, in order.
    static std::vector<_SSetting> Settings(CKdPrmManager& catalogue);

    // Reads every setting from the switcher and writes them to path ("-": standard output).
    static int Save(CtlSession& session, const char* path, CtlOutput& out);
    // Reads path ("-": standard input) and checks the whole file against the catalogue: each
    // entry must be one setting, once, with each member once and a value it takes. Prints one
    // line per problem, up to the first hundred, where it stops reading, and returns kUsage
    // (kOther when the file cannot be read); otherwise fills changes and source. Memory stays
    // bounded whatever the file holds.
    static int Load(CKdPrmManager& catalogue, const char* path, CtlChangeSet& changes,
                    _SSource& source);
    // Load for a text already read; name is used in messages.
    static int Parse(CKdPrmManager& catalogue, const std::string& text, const char* name,
                     CtlChangeSet& changes, _SSource& source);

    // What tells the backup's source from the switcher here (its serial number, software and
    // FPGA versions), identity fields the backup lacks among them; empty when they agree.
    static std::string Differences(const _SSource& backup, const _SSource& here);

    // Whether id belongs to the named group of settings ("network", "identity").
    static bool InGroup(const std::string& group, long id);
};
