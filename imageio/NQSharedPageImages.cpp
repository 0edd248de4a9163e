// The store of decoded page images that the document readers of one piece of
// work share. Identity comes from one stat() of the name, which resolves it;
// the modification time is taken to the nanosecond, so a file rewritten
// within the same second with the same size is still told apart on file
// systems that keep such times.
#include "imageio/NQSharedPageImages.h"

#include <sys/stat.h>

bool NQSharedPageImages::FileIdentity::operator<(const FileIdentity& other) const {
    return std::tie(device, inode, size, modifiedSeconds, modifiedNanoseconds) <
           std::tie(other.device, other.inode, other.size, other.modifiedSeconds,
                    other.modifiedNanoseconds);
}

NQSharedPageImages::FileIdentity NQSharedPageImages::identify(const std::string& fileName) {
    FileIdentity identity;
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return identity;
    identity.known = true;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
    identity.modifiedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
    return identity;
}

std::shared_ptr<const NQImage> NQSharedPageImages::find(const FileIdentity& file, int page) const {
    if (!file.known)
        return nullptr;
    const auto found = images_.find({file, page});
    return found == images_.end() ? nullptr : found->second;
}

void NQSharedPageImages::keep(const FileIdentity& file, int page,
                              std::shared_ptr<const NQImage> image) {
    if (file.known && image)
        images_[{file, page}] = std::move(image);
}
