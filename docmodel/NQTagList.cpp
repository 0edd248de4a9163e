#include "docmodel/NQTagList.h"

#include "image/NQException.h"

std::string NQTagList::nqGetTag(const std::string& name) const {
    auto it = tags_.find(name);
    return it == tags_.end() ? std::string() : it->second;
}

void NQTagList::nqSetTag(const std::string& name, const std::string& value, bool overwrite) {
    setTagFor("NQTagList", name, value, overwrite);
}

void NQTagList::setTagFor(const char* owner, const std::string& name, const std::string& value,
                          bool overwrite) {
    auto it = tags_.lower_bound(name);
    if (it == tags_.end() || it->first != name) {
        tags_.emplace_hint(it, name, value);
        return;
    }
    if (!overwrite)
        throw NQException(NQ_MISSING_FIELD,
                          "<" + std::string(owner) +
                              "::nqSetTag()> Unable to set or overwrite tag: " + name,
                          owner, __LINE__);
    it->second = value;
}
