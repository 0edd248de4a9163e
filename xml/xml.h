#ifndef NQ_XML_XML_H
#define NQ_XML_XML_H

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A small XML reader and editor that works directly on the text of one
// document. There is no node tree: a cursor holds the position of the "<" of
// the current element, and every navigation, query and edit is a byte search
// in the text relative to that cursor. It handles the subset of XML that the
// ground-truth files use: elements with double-quoted attributes, nesting,
// self-closing elements and text between them. Entities, comments, processing
// instructions and CDATA get no special treatment.
//
// Terms used below:
// - start tag: from an element's "<" to the first ">" after it;
// - self-closing: the character before that ">" is "/";
// - element end: for a self-closing element the ">" of its start tag, otherwise
//   the ">" of the end tag that brings the nesting count back to zero (names
//   are not compared; self-closing tags leave the count unchanged);
// - an element has a child when it is not self-closing and the first "<" after
//   its start tag does not begin an end tag.
//
// Operations that cannot find what they look for return false or an empty
// string and leave the cursor where it was. Operations on the current element
// when the cursor is outside the text, and reads of characters that a malformed
// text lacks (a closing quote, the ">" of a start tag), raise std::out_of_range.
class xml {
public:
    // The cursor value meaning "no current element".
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    xml() = default;
    virtual ~xml() = default;

    // ---- whole text ---------------------------------------------------------
    // Replaces the text; the cursor goes to 0.
    void setXML(const std::string& text);
    void setXML(std::string&& text);
    // Replaces the text by the file's bytes and sets the cursor to 0. Returns
    // false, changing nothing, when the file cannot be opened or read.
    bool LoadXml(const std::string& fileName);
    // Wraps the text in memory in the prolog, a comment line and the root
    // element, then writes it in one piece. True only when every byte was
    // written and the file closed cleanly. A second call wraps again.
    bool SaveXml(const std::string& fileName);

    const std::string& getText() const { return text_; }
    std::size_t getCursor() const { return cursor_; }

    // ---- navigation: true when the cursor moved -------------------------------
    bool Go2ChildLevel();
    bool GoNextSibling();
    // Moves to the last "<" before the end tag that precedes the cursor: the
    // previous sibling when that sibling has no child elements.
    bool GoPrevSibling();
    bool Go2ParentLevel();
    bool bHasChild() const;
    // The element text of the first occurrence of `name` anywhere in the text
    // (taken from the last "<" before it); empty when there is none.
    std::string RetrieveSpecifiedElem(const std::string& name) const;

    // ---- reading ---------------------------------------------------------------
    // The element reads raise std::out_of_range for a position at or past the
    // end of the text, so also for the cursor of an empty text or none.
    //
    // From pos + 1 to the first blank or ">" (tabs and line feeds do not end a
    // name, and "<a/>" is named "a/"); empty when pos does not hold "<".
    std::string GetElemName(std::size_t pos) const;
    std::string GetCurElemName() const { return GetElemName(cursor_); }
    // The element from its "<" through its element end; empty when pos does not
    // hold "<".
    std::string GetElemDoc(std::size_t pos) const;
    std::string GetCurElemDoc() const { return GetElemDoc(cursor_); }
    // The text between the start tag and the end tag; empty for a
    // self-closing element or when pos does not hold "<".
    std::string GetElemData(std::size_t pos) const;
    std::string GetCurElemData() const { return GetElemData(cursor_); }
    // Plain substring search from the cursor: when `name` first occurs at or
    // before the end of the current start tag, the text between the next two
    // double quotes after it. "id" is therefore found inside "width".
    std::string GetAttrib(const std::string& name) const;
    // GetAttrib of each name in turn, finding the start tag once.
    template <std::size_t N>
    std::array<std::string, N> GetAttribs(const std::array<std::string_view, N>& names) const;
    // The word written in front of pos (normally the position of an "="):
    // blanks directly before pos are skipped, and the name runs back to the
    // previous white space, double quote, "=", "<" or ">".
    std::string GetAttribName(std::size_t pos) const;
    // Every attribute of the current start tag, starting at its first-th "="
    // (1 collects all). An "=" inside a value counts as another attribute.
    std::map<std::string, std::string> GetDynamicAttrib(int first) const;
    // The attributes GetDynamicAttrib would return, handed to `take` one by
    // one (in the order of the start tag, each name once) without building
    // the map.
    template <typename Take>
    void forEachDynamicAttrib(int first, Take take) const;
    // All of the above for the current start tag in one pass, when the tag
    // has the plain form that our writer gives it: the element name, at most
    // kFewNames attributes ` name="value"` (one blank in front, none around
    // "=", no blank, quote, "=", "<", ">" or "/" in a name, no quote, "=",
    // "<" or ">" in a value), then ">" or "/>". `values` then receive what
    // GetAttrib finds for `names` (names of the same characters as attribute
    // names), take(name, value) is called as forEachDynamicAttrib(1, take)
    // would call it, but with views into the text, and `hasChild` is what
    // bHasChild answers. False, with nothing read, for any other tag, and
    // for a name whose search would first meet it outside the attribute
    // names (in the element name or a value); the reads above then apply.
    template <std::size_t N, typename Take>
    bool readPlainStartTag(const std::array<std::string_view, N>& names,
                           std::array<std::string, N>& values, bool& hasChild, Take take) const;

    // ---- editing: true on success ------------------------------------------------
    // Inserts "\n", level - 1 tabs, "<name>", "\n", data, level - 1 tabs,
    // "</name>" as the last child of the current element. The cursor stays.
    bool InsertChildElem(const std::string& name, int level, const std::string& data);
    // Inserts "<name>\n" data "</name>" after the current element and moves
    // there. On an empty cursor it becomes the first element; with the cursor
    // at 0 nothing is inserted.
    bool InsertSiblingElem(const std::string& name, const std::string& data);
    // Inserts ` name="value"` at the end of the element name, so attributes
    // added one after another appear in reverse order.
    bool AddAttrib(const std::string& name, const std::string& value);
    bool AddAttrib(const std::string& name, int value);
    bool AddDynamicAttrib(const std::map<std::string, std::string>& attributes);
    bool DelAttrib(const std::string& name);
    bool SetAttrib(const std::string& name, const std::string& value);
    bool SetAttrib(const std::string& name, int value);
    // Erases the current element; one with a child only when force is set.
    bool DelCurElem(bool force);

private:
    // `pos` itself when it lies inside the text; otherwise the standard
    // out-of-range error of string access.
    std::size_t checked(std::size_t pos) const;
    // text_.rfind(c, pos), searching with memrchr rather than byte by byte.
    std::size_t findBackward(char c, std::size_t pos) const;
    std::size_t startTagEnd(std::size_t start) const;
    bool isSelfClosing(std::size_t start) const;
    // isSelfClosing with the start tag's ">" (or npos) known.
    bool closesItself(std::size_t start, std::size_t gt) const;
    bool isEndTagAt(std::size_t pos) const;
    std::size_t elementEnd(std::size_t start) const;
    std::size_t enclosingElement(std::size_t pos) const;
    std::size_t findInStartTag(std::string_view name, std::size_t tagEnd) const;
    // GetAttrib with the end of the current start tag known.
    std::string attribInStartTag(std::string_view name, std::size_t tagEnd) const;
    // For each name (taken from the start tag), the position of its first
    // occurrence followed by one of the tag's "=" signs (as
    // findInStartTag(name + "=") would find it), npos when there is none;
    // one pass over the signs for all names, through hashing, for tags of
    // more than kFewNames names.
    std::vector<std::size_t> findAllBeforeEquals(const std::vector<std::string>& names,
                                                 const std::vector<std::size_t>& signs) const;
    std::string quotedValueAfter(std::size_t pos) const;
    // GetAttribName without the check of pos and without a copy.
    std::string_view attribNameBefore(std::size_t pos) const;
    // Up to this many names, the names of a start tag are looked up by
    // comparing them one by one rather than through a table.
    static constexpr std::size_t kFewNames = 16;
    // The names of the dynamic attributes from the first-th "=" up to tagEnd,
    // each once in the order of the start tag, with the position its quoted
    // value is read after.
    struct DynamicAttribs {
        std::vector<std::string> names;
        std::vector<std::size_t> valueFrom;
    };
    DynamicAttribs dynamicAttribs(int first, std::size_t tagEnd) const;
    // The pieces of a start tag of the plain form, as views into the text.
    struct PlainTag {
        std::string_view element;
        std::size_t count = 0;
        std::array<std::string_view, kFewNames> names, values;
        // For each attribute, the first one whose name ends in its name:
        // where a search for name + "=" from the cursor ends.
        std::array<std::size_t, kFewNames> firstEnding{};
        bool hasChild = false;
    };
    // False when the current start tag is not of the plain form.
    bool plainTag(PlainTag& tag) const;
    // The attribute whose value GetAttrib gives for `name` in a plain tag,
    // kFewNames when the search finds nothing, npos when it first meets the
    // name outside the attribute names.
    static std::size_t plainAttribFor(const PlainTag& tag, std::string_view name);

    std::string text_;
    std::size_t cursor_ = npos;
};

template <std::size_t N>
std::array<std::string, N> xml::GetAttribs(const std::array<std::string_view, N>& names) const {
    checked(cursor_);
    const std::size_t gt = checked(startTagEnd(cursor_));
    std::array<std::string, N> values;
    for (std::size_t i = 0; i < N; ++i)
        values[i] = attribInStartTag(names[i], gt);
    return values;
}

template <typename Take>
void xml::forEachDynamicAttrib(int first, Take take) const {
    checked(cursor_);
    const std::size_t gt = checked(startTagEnd(cursor_));
    DynamicAttribs attribs = dynamicAttribs(first, gt);
    for (std::size_t i = 0; i < attribs.names.size(); ++i)
        take(std::move(attribs.names[i]), quotedValueAfter(attribs.valueFrom[i]));
}

template <std::size_t N, typename Take>
bool xml::readPlainStartTag(const std::array<std::string_view, N>& names,
                            std::array<std::string, N>& values, bool& hasChild,
                            Take take) const {
    PlainTag tag;
    if (!plainTag(tag))
        return false;
    std::array<std::size_t, N> found;
    for (std::size_t i = 0; i < N; ++i)
        if ((found[i] = plainAttribFor(tag, names[i])) == npos)
            return false;
    for (std::size_t i = 0; i < N; ++i)
        values[i] = found[i] < tag.count ? std::string(tag.values[found[i]]) : std::string();
    for (std::size_t k = 0; k < tag.count; ++k) {
        // Each name once, where it first occurs.
        bool repeated = false;
        for (std::size_t j = 0; j < k && !repeated; ++j)
            repeated = tag.names[j] == tag.names[k];
        if (!repeated)
            take(tag.names[k], tag.values[tag.firstEnding[k]]);
    }
    hasChild = tag.hasChild;
    return true;
}

#endif
