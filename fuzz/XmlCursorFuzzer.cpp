// The xml cursor walking and editing a text. The input is the text itself:
// the walk goes depth first over every element the cursor reaches, reads
// each one with every query of the cursor and applies one edit chosen by
// the element's position and name, so a mutation of the text steers the
// walk and the edits alike (plain XML files are good seeds as they are).
//
// The cursor's documented failure is std::out_of_range on a malformed text;
// it is tolerated per operation. Whenever a navigation or an edit reports
// that it moved the cursor, the cursor must stand on a "<". The cursor's
// one-pass attribute lookup must agree with one plain search per name.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "xml/xml.h"

namespace {

constexpr int kMaxVisits = 128;
constexpr int kMaxDepth = 64;

using Attributes = std::map<std::string, std::string>;

// GetDynamicAttrib as the cursor defines it: for every "=" of the start tag
// from the first-th on, the word in front of it, valued by the quoted text
// after the first occurrence of word + "=" from the cursor.
Attributes attributesBySearch(const xml& cursor, int first) {
    const std::string& text = cursor.getText();
    const std::size_t at = cursor.getCursor();
    (void)text.at(at);
    const std::size_t gt = text.find('>', at);
    (void)text.at(gt);
    Attributes attributes;
    std::size_t eq = at;
    for (int step = 0; step < std::max(first, 1) && eq != std::string::npos; ++step)
        eq = text.find('=', eq + 1);
    for (; eq != std::string::npos && eq < gt; eq = text.find('=', eq + 1)) {
        const std::string name = cursor.GetAttribName(eq);
        if (attributes.count(name) != 0)
            continue;
        const std::string pattern = name + "=";
        const std::string_view window(text.data(), std::min(text.size(), gt + pattern.size()));
        const std::size_t found = window.find(pattern, at);
        const std::size_t from =
            found != std::string::npos && found <= gt ? found + pattern.size() : eq + 1;
        const std::size_t open = text.find('"', from);
        (void)text.at(open);
        const std::size_t close = text.find('"', open + 1);
        (void)text.at(close);
        attributes.emplace(name, text.substr(open + 1, close - open - 1));
    }
    return attributes;
}

class Walk {
public:
    explicit Walk(xml& cursor) : cursor_(cursor) {}

    void visit(int depth) {
        if (++visits_ > kMaxVisits)
            return;
        read();
        edit();
        if (depth >= kMaxDepth || !moved([&] { return cursor_.Go2ChildLevel(); }))
            return;
        do
            visit(depth + 1);
        while (visits_ < kMaxVisits && moved([&] { return cursor_.GoNextSibling(); }));
        moved([&] { return cursor_.Go2ParentLevel(); });
    }

private:
    template <typename Operation>
    static void tolerate(Operation operation) {
        try {
            operation();
        } catch (const std::out_of_range&) {
        }
    }

    // Runs a cursor move; when it reports success the cursor is on an element.
    template <typename Move>
    bool moved(Move move) {
        bool result = false;
        tolerate([&] { result = move(); });
        if (result) {
            const std::size_t at = cursor_.getCursor();
            const std::string& text = cursor_.getText();
            if (at != xml::npos && (at >= text.size() || text[at] != '<'))
                nqfuzz::broken("the cursor moved off an element");
        }
        return result;
    }

    void read() {
        tolerate([&] { name_ = cursor_.GetCurElemName(); });
        tolerate([&] { cursor_.GetCurElemDoc(); });
        tolerate([&] { cursor_.GetCurElemData(); });
        tolerate([&] { cursor_.bHasChild(); });
        tolerate([&] { cursor_.GetAttrib("id"); });
        for (int first : {1, 2})
            compareAttributes(first);
        comparePlainStartTag();
        if (!name_.empty())
            tolerate([&] { cursor_.RetrieveSpecifiedElem(name_); });
    }

    void compareAttributes(int first) {
        Attributes fast, plain;
        bool fastThrew = false, plainThrew = false;
        try {
            fast = cursor_.GetDynamicAttrib(first);
        } catch (const std::out_of_range&) {
            fastThrew = true;
        }
        try {
            plain = attributesBySearch(cursor_, first);
        } catch (const std::out_of_range&) {
            plainThrew = true;
        }
        if (fastThrew != plainThrew || fast != plain)
            nqfuzz::broken("GetDynamicAttrib differs from one search per name");
        for (const auto& attribute : fast)
            tolerate([&] { cursor_.GetAttrib(attribute.first); });
    }

    // A start tag that the one-pass read takes must read the same through
    // the searches, which then cannot fail.
    void comparePlainStartTag() {
        static constexpr std::array<std::string_view, 5> kFixed{"row", "col", "height", "width",
                                                                "id"};
        std::array<std::string, 5> values;
        bool hasChild = false;
        std::vector<std::pair<std::string, std::string>> fast, searched;
        if (!cursor_.readPlainStartTag(kFixed, values, hasChild,
                                       [&](std::string_view name, std::string_view value) {
                                           fast.emplace_back(name, value);
                                       }))
            return;
        try {
            cursor_.forEachDynamicAttrib(1, [&](std::string&& name, std::string&& value) {
                searched.emplace_back(name, value);
            });
            if (values != cursor_.GetAttribs<5>(kFixed) || fast != searched ||
                hasChild != cursor_.bHasChild())
                nqfuzz::broken("the plain start tag reads differently from the searches");
        } catch (const std::out_of_range&) {
            nqfuzz::broken("the searches fail on a plain start tag");
        }
    }

    void edit() {
        const std::size_t choice =
            cursor_.getCursor() + name_.size() + (name_.empty() ? 0 : name_[0]);
        switch (choice % 10) {
            case 0:
                tolerate([&] { cursor_.AddAttrib("col", 12); });
                break;
            case 1:
                tolerate([&] { cursor_.SetAttrib("id", "z\"1"); });
                break;
            case 2:
                tolerate([&] { cursor_.DelAttrib("id"); });
                break;
            case 3:
                tolerate([&] { cursor_.InsertChildElem("NQ_ZONE", 3, ""); });
                break;
            case 4:
                moved([&] { return cursor_.InsertSiblingElem("NQ_ZONE", "<a/>"); });
                break;
            case 5:
                moved([&] { return cursor_.DelCurElem(false); });
                break;
            case 6:
                moved([&] { return cursor_.DelCurElem(true); });
                break;
            case 7:
                moved([&] { return cursor_.GoPrevSibling(); });
                break;
            case 8:
                tolerate([&] { cursor_.AddDynamicAttrib({{"a", "1"}, {"b", "=\"<>"}}); });
                break;
            default:
                break;
        }
    }

    xml& cursor_;
    std::string name_;
    int visits_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nqfuzz::quietLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xml cursor;
    cursor.setXML(std::string(reinterpret_cast<const char*>(data), size));
    Walk(cursor).visit(0);
    return 0;
}
