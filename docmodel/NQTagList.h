#ifndef NQ_DOCMODEL_NQTAGLIST_H
#define NQ_DOCMODEL_NQTAGLIST_H

#include <map>
#include <string>

// Attribute map carried by images, zones, pages and documents. Names are unique
// and iterate in ascending byte order, which the XML writer relies on.
class NQTagList {
public:
    using Map = std::map<std::string, std::string>;

    NQTagList() = default;
    NQTagList(const NQTagList&) = default;
    virtual NQTagList& operator=(const NQTagList&) = default;
    virtual ~NQTagList() = default;

    bool nqIsTagSet(const std::string& name) const { return tags_.count(name) != 0; }
    // Empty text for a tag that is not set; reading never creates a tag.
    std::string nqGetTag(const std::string& name) const;
    // The value of a tag without a copy; null for a tag that is not set.
    const std::string* findTag(const std::string& name) const {
        const auto it = tags_.find(name);
        return it == tags_.end() ? nullptr : &it->second;
    }
    // Refuses (code 12) to replace an existing tag unless overwrite is set.
    void nqSetTag(const std::string& name, const std::string& value, bool overwrite = true);
    void nqDeleteTag(const std::string& name) { tags_.erase(name); }

    // The same as nqSetTag, with the refusal message naming `owner` ("NQZone", ...).
    void setTagFor(const char* owner, const std::string& name, const std::string& value,
                   bool overwrite);

    const Map& nqGetTags() const { return tags_; }
    bool empty() const { return tags_.empty(); }
    std::size_t size() const { return tags_.size(); }
    void clear() { tags_.clear(); }

private:
    Map tags_;
};

#endif
