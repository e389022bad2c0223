#pragma once

#include <optional>
#include <string>
#include <vector>

class CKdChangeSet;
class CKdPrmManager;
class CKdSettingsReport;
class CKdSettingsSession;

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
class CKdSettingsFile {
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

    // Reads every setting from the switcher and writes them to path ("-": standard output). A file
    // is made readable by its owner only and replaces path only when complete.
    static int Save(CKdSettingsSession& session, const char* path);
    // Reads path ("-": standard input) and checks the whole file against the catalogue: each
    // entry must be one setting, once, with each member once and a value it takes. Tells report
    // one note per problem, up to the first hundred, where it stops reading, and returns kUsage
    // (kOther when the file cannot be read); otherwise fills changes and source. Memory stays
    // bounded whatever the file holds.
    static int Load(CKdPrmManager& catalogue, const char* path, CKdChangeSet& changes,
                    _SSource& source, CKdSettingsReport& report);
    // Load for a text already read; name is used in messages.
    static int Parse(CKdPrmManager& catalogue, const std::string& text, const char* name,
                     CKdChangeSet& changes, _SSource& source, CKdSettingsReport& report);

    // Reads the switcher's serial number and takes its versions from the session, for
    // Differences.
    static int Here(CKdSettingsSession& session, _SSource& here);

    // What tells the backup's source from the switcher here (its serial number, software and
    // FPGA versions), identity fields the backup lacks among them; empty when they agree.
    static std::string Differences(const _SSource& backup, const _SSource& here);

    // The groups of settings that a restore can leave out, and whether id belongs to one.
    static std::vector<std::string> Groups();
    static bool InGroup(const std::string& group, long id);
};
