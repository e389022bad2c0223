#pragma once

#include <string>
#include <sys/types.h>

// A file that replaces the file at a path as a whole: it is written under a fresh,
// unpredictable name in the path's directory and renamed over the path once complete, so a
// reader finds the old file or the new one, never a part of one. The temporary is always a new
// file (O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600 until complete): a link or a file planted
// beside the path, by another user in a shared directory for instance, is neither written
// through nor taken over. Its name starts with a dot, so readers that skip hidden files (the
// device record directory) never see it.
class LReplacementFile {
public:
    explicit LReplacementFile(std::string path);
    // Removes the temporary when it was not renamed, and closes the descriptor.
    ~LReplacementFile();
    LReplacementFile(const LReplacementFile&) = delete;
    LReplacementFile& operator=(const LReplacementFile&) = delete;

    // Creates the temporary. False with errno set.
    bool Create();
    // The temporary's descriptor (after Commit: the file's), -1 before Create.
    int Descriptor() const { return mDescriptor; }
    const std::string& TemporaryPath() const { return mTemporary; }
    // Appends text. False with errno set.
    bool Write(const std::string& text);
    // Gives the file its mode, flushes it to the disk and renames it over the path. The
    // descriptor stays open (a lock taken on it lives on) until the object ends. False with
    // errno set.
    bool Commit(mode_t mode);

    // Create, Write and Commit in one, then close. False with errno set.
    static bool WriteWhole(const std::string& path, const std::string& text, mode_t mode);

private:
    std::string mPath;
    std::string mTemporary;
    int mDescriptor = -1;
};
