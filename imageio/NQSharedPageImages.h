#ifndef NQ_IMAGEIO_NQSHAREDPAGEIMAGES_H
#define NQ_IMAGEIO_NQSHAREDPAGEIMAGES_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "image/NQImage.h"

// Page images decoded for one piece of work and handed out again, read-only,
// to every document reader of that work that names the same page of the same
// file. The two documents of an evaluation's file pair almost always name one
// page image; with this store it is decoded once.
//
// A name is resolved to the file behind it (symbolic links followed), which
// is known by its identity on the file system: device and inode, with its
// size and modification time. Two names of one file thus share its pages,
// while a file that was replaced or rewritten in between does not hand out
// the old ones. One store serves one thread.
class NQSharedPageImages {
public:
    // What identifies the file behind a name; `known` is false when the file
    // cannot be examined, and such a file is never shared.
    struct FileIdentity {
        bool known = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
        bool operator<(const FileIdentity& other) const;
    };
    static FileIdentity identify(const std::string& fileName);

    // The kept image of the page (from 1) of that file, or null.
    std::shared_ptr<const NQImage> find(const FileIdentity& file, int page) const;
    // Keeps an image for later readers; files that are not known are ignored.
    void keep(const FileIdentity& file, int page, std::shared_ptr<const NQImage> image);
    std::size_t size() const { return images_.size(); }
    void clear() { images_.clear(); }

private:
    std::map<std::pair<FileIdentity, int>, std::shared_ptr<const NQImage>> images_;
};

#endif
