#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

// Publishes virtual device records in one directory as kaldo-sim does: written aside, locked,
// renamed into place and kept locked until withdrawn or abandoned.
class RecordPublisher {
public:
    explicit RecordPublisher(std::string dir) : mDir(std::move(dir)) {}
    ~RecordPublisher() {
        for (const auto& [name, fd] : mLocks)
            close(fd);
    }
    RecordPublisher(const RecordPublisher&) = delete;
    RecordPublisher& operator=(const RecordPublisher&) = delete;

    std::string Path(const std::string& name) const { return mDir + "/" + name + ".dev"; }

    // Writes NAME.dev with the text and holds its lock; a record of that name is replaced.
    bool Publish(const std::string& name, const std::string& text) {
        const std::string temporary = mDir + "/." + name + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool published = fd >= 0 && flock(fd, LOCK_EX) == 0 &&
                               write(fd, text.data(), text.size()) == ssize_t(text.size()) &&
                               rename(temporary.c_str(), Path(name).c_str()) == 0;
        if (!published) {
            if (fd >= 0) close(fd);
            return false;
        }
        Abandon(name);
        mLocks[name] = fd;
        return true;
    }
    // Removes the record, then lets go of it.
    void Withdraw(const std::string& name) {
        unlink(Path(name).c_str());
        Abandon(name);
    }
    // Lets go of the record and leaves it in place, as a publisher that dies does.
    void Abandon(const std::string& name) {
        if (auto held = mLocks.find(name); held != mLocks.end()) {
            close(held->second);
            mLocks.erase(held);
        }
    }

private:
    std::string mDir;
    std::map<std::string, int> mLocks; // by name: the descriptor that holds the lock
};
