// The cursor works on the raw text: a tag is everything from a "<" to the next
// ">", and the kind of a tag is read from its second character ("/" for an end
// tag) and the character before its ">" ("/" for a self-closing tag). Element
// ends are found by counting start and end tags forwards from the element;
// the enclosing element is found by the same count run backwards. Both scans
// only ever move in one direction, so every operation is linear in the part
// of the text it crosses, and appending near the end of a large document
// stays cheap.
//
// Every position taken from a search is checked before a character is read:
// a missing character either makes the operation answer "not found" or, where
// a value is demanded, raises the standard out-of-range error of string access.
//
// GetDynamicAttrib looks up every name of a start tag by a plain search for
// name + "=" from the cursor. Searching once per name would cost the tag's
// length for each of its names, which a tag of many attributes turns into
// minutes; instead all names are found in one pass. An occurrence of
// name + "=" ends at an "=" of the tag, and since a name holds no delimiter
// it is a suffix of the word in front of that "=". The pass walks the words
// in front of the tag's "=" signs in order and hashes each suffix of each
// word incrementally (polynomial hashing modulo 2^61 - 1, read backwards);
// a hash that matches a name still unfound is confirmed by comparing the
// text. The words are disjoint, so the pass is linear in the tag's length.
// A tag of a few names (the usual case) skips the hashing: each name is
// compared with the text in front of each "=", which is linear too, with a
// factor of at most that few.
#include "xml/xml.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

const char* const kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const char* const kComment = "<!-- Page segmentation zones, written by wexa -->\n";
const char* const kRootStart = "<QOLA xmlns=\"urn:wexa:qola\" version=\"1.0\">\n";
const char* const kRootEnd = "\n</QOLA>";

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Characters that end an attribute name when scanning back from its "=".
// Stopping at quotes, "=" and the tag delimiters as well as at white space keeps
// names inside the tag and disjoint, so a tag such as <a x=x=x=...> yields short
// names instead of ever longer overlapping ones.
constexpr bool endsAttributeName(char c) {
    return isSpace(c) || c == '"' || c == '=' || c == '<' || c == '>';
}

// The characters of a start tag of the plain form (see readPlainStartTag),
// looked up in one table: those of a name, and those that end a value (its
// closing quote, or one that a value of that form may not hold).
enum : unsigned char { kNameChar = 1, kEndsPlainValue = 2 };
constexpr std::array<unsigned char, 256> plainCharClasses() {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool endsValue = ch == '"' || ch == '=' || ch == '<' || ch == '>';
        classes[c] = static_cast<unsigned char>(
            (endsAttributeName(ch) || ch == '/' ? 0 : kNameChar) | (endsValue ? kEndsPlainValue : 0));
    }
    return classes;
}
constexpr std::array<unsigned char, 256> kPlainCharClasses = plainCharClasses();

// Anything but blanks, quotes, "=", "<", ">" and "/".
bool isNameChar(char c) {
    return (kPlainCharClasses[static_cast<unsigned char>(c)] & kNameChar) != 0;
}

// Values up to this long are looked at byte by byte, longer ones searched.
constexpr std::size_t kShortValue = 16;

// The closing quote of a value, or a character that a plain value may not hold.
bool endsPlainValue(char c) {
    return (kPlainCharClasses[static_cast<unsigned char>(c)] & kEndsPlainValue) != 0;
}

// Tests on the short pieces of a start tag, written out: a call of the
// library's search costs more than most of these pieces are long. endsWith
// compares from the back, where names that differ mostly differ.
bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && std::equal(end.rbegin(), end.rend(), text.rbegin());
}

bool holds(std::string_view text, std::string_view part) {
    if (part.empty() || text.size() < part.size())
        return part.empty();
    for (std::size_t i = 0, last = text.size() - part.size(); i <= last; ++i)
        if (text[i] == part[0] && std::equal(part.begin() + 1, part.end(), text.begin() + i + 1))
            return true;
    return false;
}

// Hashing of texts read from their last character backwards.
constexpr std::uint64_t kHashModulus = (std::uint64_t(1) << 61) - 1;
constexpr std::uint64_t kHashBase = 1000003;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    const std::uint64_t sum = static_cast<std::uint64_t>(product & kHashModulus) +
                              static_cast<std::uint64_t>(product >> 61);
    return sum >= kHashModulus ? sum - kHashModulus : sum;
}

std::uint64_t addMod(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t sum = a + b;
    return sum >= kHashModulus ? sum - kHashModulus : sum;
}

std::uint64_t backwardHash(std::string_view text) {
    std::uint64_t hash = 0;
    std::uint64_t power = 1;
    for (std::size_t i = text.size(); i-- > 0;) {
        hash = addMod(hash, mulMod(static_cast<unsigned char>(text[i]) + 1, power));
        power = mulMod(power, kHashBase);
    }
    return hash;
}

}  // namespace

// ---- internal helpers ------------------------------------------------------------

std::size_t xml::checked(std::size_t pos) const {
    (void)text_.at(pos);  // throws std::out_of_range when pos is not in the text
    return pos;
}

std::size_t xml::findBackward(char c, std::size_t pos) const {
    if (text_.empty())
        return npos;
    const std::size_t length = std::min(pos, text_.size() - 1) + 1;
    const void* found = memrchr(text_.data(), c, length);
    return found == nullptr ? npos
                            : static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
}

std::size_t xml::startTagEnd(std::size_t start) const {
    return text_.find('>', start);
}

bool xml::isSelfClosing(std::size_t start) const {
    return closesItself(start, startTagEnd(start));
}

bool xml::closesItself(std::size_t start, std::size_t gt) const {
    return gt != std::string::npos && gt > start && text_[gt - 1] == '/';
}

bool xml::isEndTagAt(std::size_t pos) const {
    return pos + 1 < text_.size() && text_[pos] == '<' && text_[pos + 1] == '/';
}

std::size_t xml::elementEnd(std::size_t start) const {
    const std::size_t gt = startTagEnd(start);
    if (gt == std::string::npos)
        return npos;
    if (gt > start && text_[gt - 1] == '/')
        return gt;

    std::size_t depth = 1;
    std::size_t lastExamined = npos;
    std::size_t pos = gt + 1;
    for (;;) {
        const std::size_t lt = text_.find('<', pos);
        if (lt == std::string::npos)
            break;
        const std::size_t close = text_.find('>', lt);
        if (close == std::string::npos)
            break;
        if (isEndTagAt(lt))
            --depth;
        else if (text_[close - 1] != '/')
            ++depth;
        lastExamined = close;
        if (depth == 0)
            return close;
        pos = close + 1;
    }
    // Unbalanced text: the last tag seen stands in for the end.
    return lastExamined;
}

std::size_t xml::enclosingElement(std::size_t pos) const {
    // Walk backwards over the tags before pos. End tags open a level that a
    // later (earlier in the text) start tag closes again; the first start tag
    // found with no level open encloses pos. `nextGt` is the first ">" at or
    // after the tag being looked at, carried along so that the walk stays linear.
    std::size_t open = 0;
    std::size_t nextGt = text_.find('>', pos);
    std::size_t p = pos;
    while (p > 0) {
        const std::size_t lt = findBackward('<', p - 1);
        if (lt == std::string::npos)
            return npos;
        const std::string_view between(text_.data() + lt, p - lt);
        const std::size_t gtInside = between.find('>');
        if (gtInside != std::string_view::npos)
            nextGt = lt + gtInside;
        const bool selfClosing = nextGt != std::string::npos && text_[nextGt - 1] == '/';
        if (isEndTagAt(lt)) {
            ++open;
        } else if (!selfClosing) {
            if (open == 0)
                return lt;
            --open;
        }
        p = lt;
    }
    return npos;
}

std::size_t xml::findInStartTag(std::string_view name, std::size_t tagEnd) const {
    // Only occurrences that begin at or before tagEnd count, so the search never
    // needs to look further than tagEnd + the length of the name.
    const std::size_t limit = std::min(text_.size(), tagEnd + name.size());
    const std::string_view window(text_.data(), limit);
    const std::size_t found = window.find(name, cursor_);
    return found != std::string_view::npos && found <= tagEnd ? found : npos;
}

std::vector<std::size_t> xml::findAllBeforeEquals(const std::vector<std::string>& names,
                                                  const std::vector<std::size_t>& signs) const {
    std::vector<std::size_t> found(names.size(), npos);
    std::size_t unfound = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) {
            found[i] = signs.front();  // "=" alone: the first "=" from the cursor
            continue;
        }
        ++unfound;
    }
    if (unfound == 0)
        return found;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byHash;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty())
            byHash[backwardHash(names[i])].push_back(i);
    for (std::size_t k = 0; unfound > 0 && k < signs.size(); ++k) {
        const std::size_t eq = signs[k];
        std::uint64_t hash = 0;
        std::uint64_t power = 1;
        for (std::size_t length = 1; length <= eq - cursor_; ++length) {
            const char c = text_[eq - length];
            if (endsAttributeName(c))
                break;
            hash = addMod(hash, mulMod(static_cast<unsigned char>(c) + 1, power));
            power = mulMod(power, kHashBase);
            const auto candidates = byHash.find(hash);
            if (candidates == byHash.end())
                continue;
            for (std::size_t i : candidates->second)
                if (found[i] == npos && names[i].size() == length &&
                    text_.compare(eq - length, length, names[i]) == 0) {
                    found[i] = eq - length;
                    --unfound;
                }
        }
    }
    return found;
}

std::string xml::quotedValueAfter(std::size_t pos) const {
    const std::size_t open = checked(text_.find('"', pos));
    const std::size_t close = checked(text_.find('"', open + 1));
    return text_.substr(open + 1, close - open - 1);
}

// ---- whole text ---------------------------------------------------------------------

void xml::setXML(const std::string& text) {
    text_ = text;
    cursor_ = 0;
}

void xml::setXML(std::string&& text) {
    text_ = std::move(text);
    cursor_ = 0;
}

bool xml::LoadXml(const std::string& fileName) {
    FileHandle file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        return false;
    // Unbuffered: the reads go straight into the buffer, and the end of the
    // file is seen once.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    std::string content;
    char buffer[1 << 16];
    std::size_t got;
    while (!std::feof(file.get()) && (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        content.append(buffer, got);
    // A directory opens on some systems but cannot be read.
    if (std::ferror(file.get()))
        return false;
    text_ = std::move(content);
    cursor_ = 0;
    return true;
}

bool xml::SaveXml(const std::string& fileName) {
    FileHandle file(std::fopen(fileName.c_str(), "wb"));
    if (!file)
        return false;
    const std::string head = std::string(kProlog) + kComment + kRootStart;
    text_ = head + text_ + kRootEnd;
    // The cursor keeps pointing at the same element of the wrapped text.
    if (cursor_ != npos)
        cursor_ += head.size();
    const std::size_t written = std::fwrite(text_.data(), 1, text_.size(), file.get());
    const bool closed = std::fclose(file.release()) == 0;
    return written == text_.size() && closed;
}

// ---- navigation -------------------------------------------------------------------------

bool xml::bHasChild() const {
    checked(cursor_);
    const std::size_t gt = startTagEnd(cursor_);
    if (gt == std::string::npos || closesItself(cursor_, gt))
        return false;
    const std::size_t lt = text_.find('<', gt + 1);
    return lt != std::string::npos && !isEndTagAt(lt);
}

bool xml::Go2ChildLevel() {
    if (!bHasChild())
        return false;
    cursor_ = text_.find('<', startTagEnd(cursor_) + 1);
    return true;
}

bool xml::GoNextSibling() {
    checked(cursor_);
    const std::size_t end = elementEnd(cursor_);
    if (end == npos)
        return false;
    const std::size_t lt = text_.find('<', end + 1);
    if (lt == std::string::npos || isEndTagAt(lt))
        return false;
    cursor_ = lt;
    return true;
}

bool xml::GoPrevSibling() {
    checked(cursor_);
    if (cursor_ == 0)
        return false;
    const std::size_t lt = findBackward('<', cursor_ - 1);
    if (lt == std::string::npos || !isEndTagAt(lt) || lt == 0)
        return false;
    const std::size_t previous = findBackward('<', lt - 1);
    if (previous == std::string::npos)
        return false;
    cursor_ = previous;
    return true;
}

bool xml::Go2ParentLevel() {
    checked(cursor_);
    const std::size_t parent = enclosingElement(cursor_);
    if (parent == npos)
        return false;
    cursor_ = parent;
    return true;
}

std::string xml::RetrieveSpecifiedElem(const std::string& name) const {
    const std::size_t found = text_.find(name);
    if (found == std::string::npos || found == 0)
        return std::string();
    const std::size_t lt = findBackward('<', found - 1);
    if (lt == std::string::npos)
        return std::string();
    return GetElemDoc(lt);
}

// ---- reading -------------------------------------------------------------------------------

std::string xml::GetElemName(std::size_t pos) const {
    if (text_[checked(pos)] != '<')
        return std::string();
    const std::size_t end = checked(text_.find_first_of(" >", pos + 1));
    return text_.substr(pos + 1, end - pos - 1);
}

std::string xml::GetElemDoc(std::size_t pos) const {
    if (text_[checked(pos)] != '<')
        return std::string();
    const std::size_t end = checked(elementEnd(pos));
    return text_.substr(pos, end - pos + 1);
}

std::string xml::GetElemData(std::size_t pos) const {
    if (text_[checked(pos)] != '<')
        return std::string();
    const std::size_t gt = checked(startTagEnd(pos));
    if (isSelfClosing(pos))
        return std::string();
    const std::size_t end = checked(elementEnd(pos));
    const std::size_t endTag = findBackward('<', end);
    if (endTag == std::string::npos || endTag <= gt)
        return std::string();
    return text_.substr(gt + 1, endTag - gt - 1);
}

std::string xml::GetAttrib(const std::string& name) const {
    checked(cursor_);
    return attribInStartTag(name, checked(startTagEnd(cursor_)));
}

std::string xml::attribInStartTag(std::string_view name, std::size_t tagEnd) const {
    const std::size_t found = findInStartTag(name, tagEnd);
    if (found == npos)
        return std::string();
    return quotedValueAfter(found + name.size());
}

std::string xml::GetAttribName(std::size_t pos) const {
    checked(pos);
    return std::string(attribNameBefore(pos));
}

std::string_view xml::attribNameBefore(std::size_t pos) const {
    std::size_t end = pos;
    while (end > 0 && text_[end - 1] == ' ')
        --end;
    std::size_t begin = end;
    while (begin > 0 && !endsAttributeName(text_[begin - 1]))
        --begin;
    return std::string_view(text_).substr(begin, end - begin);
}

xml::DynamicAttribs xml::dynamicAttribs(int first, std::size_t tagEnd) const {
    // Each name once, with its own "="; a repeated name keeps the value of
    // its first occurrence, which is also what the search finds again. A
    // start tag normally has a handful of names, which are told apart by
    // comparing them; a table takes over when there are many.
    DynamicAttribs attribs;
    // The tag's "=" signs from the cursor on, found in one pass.
    std::vector<std::size_t> signs;
    signs.reserve(kFewNames);
    const char* const text = text_.data();
    for (const char* p = text + cursor_;
         (p = static_cast<const char*>(std::memchr(p, '=', text + tagEnd - p))) != nullptr; ++p)
        signs.push_back(static_cast<std::size_t>(p - text));
    // The names begin at the first-th "=" after the cursor.
    const std::size_t firstName = (!signs.empty() && signs.front() == cursor_ ? 1 : 0) +
                                  static_cast<std::size_t>(std::max(first, 1)) - 1;

    // The names kept so far as views into the text, for the table; filled
    // once there are kFewNames of them.
    std::unordered_set<std::string_view> seen;
    attribs.names.reserve(kFewNames);
    attribs.valueFrom.reserve(kFewNames);
    auto isNew = [&](std::string_view name) {
        if (attribs.names.size() < kFewNames)
            return std::find(attribs.names.begin(), attribs.names.end(), name) ==
                   attribs.names.end();
        if (seen.empty())
            for (const std::size_t afterSign : attribs.valueFrom)
                seen.insert(attribNameBefore(afterSign - 1));
        return seen.insert(name).second;
    };
    for (std::size_t k = firstName; k < signs.size(); ++k) {
        const std::string_view name = attribNameBefore(signs[k]);
        if (isNew(name)) {
            attribs.names.emplace_back(name);
            // With blanks around the "=", name + "=" does not occur; the
            // value is then the quoted text after this "=".
            attribs.valueFrom.push_back(signs[k] + 1);
        }
    }

    if (attribs.names.size() > kFewNames) {
        const std::vector<std::size_t> found = findAllBeforeEquals(attribs.names, signs);
        for (std::size_t i = 0; i < attribs.names.size(); ++i)
            if (found[i] != npos)
                attribs.valueFrom[i] = found[i] + attribs.names[i].size() + 1;
        return attribs;
    }
    // Few names: the value of each follows the first "=" that the name
    // stands right in front of, which is where a search for name + "=" from
    // the cursor ends; "=" alone is the first "=".
    for (std::size_t i = 0; i < attribs.names.size(); ++i) {
        const std::string& name = attribs.names[i];
        if (name.empty()) {
            attribs.valueFrom[i] = signs.front() + 1;
            continue;
        }
        for (const std::size_t sign : signs)
            if (endsWith(std::string_view(text + cursor_, sign - cursor_), name)) {
                attribs.valueFrom[i] = sign + 1;
                break;
            }
    }
    return attribs;
}

bool xml::plainTag(PlainTag& tag) const {
    const std::size_t size = text_.size();
    if (cursor_ >= size || text_[cursor_] != '<')
        return false;
    const char* const text = text_.data();
    std::size_t p = cursor_ + 1;
    while (p < size && isNameChar(text[p]))
        ++p;
    if (p == cursor_ + 1)
        return false;
    tag.element = std::string_view(text + cursor_ + 1, p - cursor_ - 1);
    tag.count = 0;
    while (p + 1 < size && text[p] == ' ' && isNameChar(text[p + 1])) {
        if (tag.count == kFewNames)
            return false;
        const std::size_t nameBegin = ++p;
        while (p < size && isNameChar(text[p]))
            ++p;
        if (p + 1 >= size || text[p] != '=' || text[p + 1] != '"')
            return false;
        const std::size_t valueBegin = p + 2;
        const std::size_t shortEnd = std::min(size, valueBegin + kShortValue);
        std::size_t valueEnd = valueBegin;
        while (valueEnd < shortEnd && !endsPlainValue(text[valueEnd]))
            ++valueEnd;
        if (valueEnd == shortEnd && valueEnd < size) {
            // A long value (an outline) is searched on by the library, which
            // stops at the NUL that ends the text at the latest; a NUL in
            // the value makes the tag one of another form.
            const char* stop = std::strpbrk(text + valueEnd, "\"=<>");
            valueEnd = stop == nullptr ? size : static_cast<std::size_t>(stop - text);
        }
        if (valueEnd == size || text[valueEnd] != '"')
            return false;
        tag.names[tag.count] = std::string_view(text + nameBegin, p - nameBegin);
        tag.values[tag.count] = std::string_view(text + valueBegin, valueEnd - valueBegin);
        ++tag.count;
        p = valueEnd + 1;
    }
    const bool selfClosing = p < size && text[p] == '/';
    if (selfClosing)
        ++p;
    // The ">" ending the tag is the first after the cursor, as names and
    // values hold none.
    if (p >= size || text[p] != '>')
        return false;
    // Every "=" of the tag follows a name, right after it: the text in front
    // of the "=" of attribute j ends in the name of attribute k exactly when
    // that name ends attribute j's.
    for (std::size_t k = 0; k < tag.count; ++k) {
        std::size_t j = 0;
        while (!endsWith(tag.names[j], tag.names[k]))
            ++j;  // ends when j == k at the latest
        tag.firstEnding[k] = j;
    }
    if (selfClosing) {
        tag.hasChild = false;
    } else {
        const std::size_t lt = text_.find('<', p + 1);
        tag.hasChild = lt != std::string::npos && !isEndTagAt(lt);
    }
    return true;
}

std::size_t xml::plainAttribFor(const PlainTag& tag, std::string_view name) {
    // A name of name characters occurs within one piece of the tag; the
    // first piece holding it is where the plain search finds it.
    if (name.empty())
        return npos;
    for (const char c : name)
        if (!isNameChar(c))
            return npos;
    if (holds(tag.element, name))
        return npos;
    for (std::size_t k = 0; k < tag.count; ++k) {
        if (holds(tag.names[k], name))
            return k;
        if (holds(tag.values[k], name))
            return npos;
    }
    return kFewNames;
}

std::map<std::string, std::string> xml::GetDynamicAttrib(int first) const {
    std::map<std::string, std::string> attributes;
    forEachDynamicAttrib(first, [&attributes](std::string&& name, std::string&& value) {
        attributes.emplace(std::move(name), std::move(value));
    });
    return attributes;
}

// ---- editing -------------------------------------------------------------------------------

bool xml::InsertChildElem(const std::string& name, int level, const std::string& data) {
    checked(cursor_);
    const std::size_t end = elementEnd(cursor_);
    // A self-closing element has no end tag to put a child in front of.
    if (end == npos || isSelfClosing(cursor_))
        return false;
    const std::size_t endTag = findBackward('<', end);
    const std::size_t at = findBackward('>', endTag - 1) + 1;

    const std::string indent(static_cast<std::size_t>(std::max(level - 1, 0)), '\t');
    std::string element;
    element.reserve(2 * (indent.size() + name.size()) + data.size() + 8);
    element.append("\n").append(indent).append("<").append(name).append(">\n");
    element.append(data).append(indent).append("</").append(name).append(">");
    text_.insert(at, element);
    return true;
}

bool xml::InsertSiblingElem(const std::string& name, const std::string& data) {
    const std::string element = "<" + name + ">\n" + data + "</" + name + ">";
    if (cursor_ == npos) {
        text_.insert(0, element);
        cursor_ = 0;
        return true;
    }
    if (cursor_ == 0)
        return false;
    checked(cursor_);
    const std::size_t end = elementEnd(cursor_);
    if (end == npos)
        return false;
    text_.insert(end + 1, element);
    cursor_ = end + 1;
    return true;
}

bool xml::AddAttrib(const std::string& name, const std::string& value) {
    checked(cursor_);
    std::size_t at = text_.find_first_of(" >", cursor_);
    if (at == std::string::npos)
        return false;
    // In "<a/>" the name runs into the "/"; the attribute goes in front of
    // it so that the element stays self-closing.
    if (text_[at] == '>' && at > cursor_ + 1 && text_[at - 1] == '/')
        --at;
    std::string attribute;
    attribute.reserve(name.size() + value.size() + 4);
    attribute.append(" ").append(name).append("=\"").append(value).append("\"");
    text_.insert(at, attribute);
    return true;
}

bool xml::AddAttrib(const std::string& name, int value) {
    return AddAttrib(name, std::to_string(value));
}

bool xml::AddDynamicAttrib(const std::map<std::string, std::string>& attributes) {
    for (const auto& attribute : attributes)
        if (!AddAttrib(attribute.first, attribute.second))
            return false;
    return true;
}

bool xml::DelAttrib(const std::string& name) {
    checked(cursor_);
    const std::size_t gt = startTagEnd(cursor_);
    if (gt == std::string::npos)
        return false;
    std::size_t found = findInStartTag(name, gt);
    if (found == npos)
        return false;
    const std::size_t open = checked(text_.find('"', found));
    const std::size_t close = checked(text_.find('"', open + 1));
    text_.erase(found, close - found + 1);
    if (found > 0 && text_[found - 1] == ' ') {
        text_.erase(found - 1, 1);
        if (found - 1 < cursor_)
            --cursor_;
    }
    return true;
}

bool xml::SetAttrib(const std::string& name, const std::string& value) {
    DelAttrib(name);
    return AddAttrib(name, value);
}

bool xml::SetAttrib(const std::string& name, int value) {
    return SetAttrib(name, std::to_string(value));
}

bool xml::DelCurElem(bool force) {
    checked(cursor_);
    const std::size_t end = elementEnd(cursor_);
    if (end == npos)
        return false;
    if (!force && bHasChild())
        return false;
    text_.erase(cursor_, end - cursor_ + 1);

    // Next sibling if there is one, else the enclosing element, else the first
    // element left in the text.
    const std::size_t next = text_.find('<', cursor_);
    if (next != std::string::npos && !isEndTagAt(next)) {
        cursor_ = next;
        return true;
    }
    const std::size_t parent = cursor_ < text_.size() ? enclosingElement(cursor_) : npos;
    if (parent != npos) {
        cursor_ = parent;
        return true;
    }
    const std::size_t firstElement = text_.find('<');
    cursor_ = firstElement == std::string::npos ? npos : firstElement;
    return true;
}
