// Recognition of an input file's format by its content.
//
// JSON starts, after white space and an optional byte order mark, with "{"
// or "[", which no XML file does: an object is taken for a COCO data set and
// an array for a detection list (their readers refuse what then turns out to
// be neither). An XML file is PAGE when its root element is PcGts, with or
// without a namespace prefix; the prolog, comments, processing instructions
// and a document type declaration in front of it are skipped. Everything
// else is our own format. Only the first 64 KiB are looked at: a root element
// that starts later than that is taken for our own format.
#include "xml/NQInputFormat.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kHeadBytes = 64 * 1024;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// UTF-16 text reduced to its low bytes, which keeps ASCII markup readable.
std::string narrowUtf16(std::string_view text, bool bigEndian) {
    std::string narrow;
    for (std::size_t k = bigEndian ? 3 : 2; k < text.size(); k += 2)
        narrow += text[k];
    return narrow;
}

std::size_t skipSpace(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    return pos;
}

// Local name of the first element of an XML text, or empty when there is
// none in `text`. `complete` tells whether more text after `text` could
// change the answer: false when the text ends inside the markup in front of
// the root element or inside its name.
std::string_view rootElementName(std::string_view text, bool& complete) {
    complete = false;
    std::size_t pos = 0;
    for (;;) {
        pos = skipSpace(text, pos);
        if (pos >= text.size())
            return {};
        if (text[pos] != '<') {
            complete = true;
            return {};
        }
        const std::string_view rest = text.substr(pos);
        std::string_view close;
        if (rest.compare(0, 2, "<?") == 0)
            close = "?>";
        else if (rest.compare(0, 4, "<!--") == 0)
            close = "-->";
        else if (rest.compare(0, 2, "<!") == 0)
            close = ">";  // DOCTYPE; an internal subset is not expected
        else
            break;
        const std::size_t end = rest.find(close);
        if (end == std::string_view::npos)
            return {};
        pos += end + close.size();
    }
    std::size_t stop = pos + 1;
    while (stop < text.size() && !isSpace(text[stop]) && text[stop] != '>' && text[stop] != '/')
        ++stop;
    complete = stop < text.size();
    std::string_view name = text.substr(pos + 1, stop - pos - 1);
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The format of a file that starts with `head`; `complete` is false when
// the bytes after it could still change the answer.
NQInputFormat formatOfHead(std::string_view head, bool& complete) {
    complete = false;
    std::string narrowed;
    if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
        static_cast<unsigned char>(head[1]) == 0xFE) {
        narrowed = narrowUtf16(head, false);
        head = narrowed;
    } else if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFE &&
               static_cast<unsigned char>(head[1]) == 0xFF) {
        narrowed = narrowUtf16(head, true);
        head = narrowed;
    } else if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        head.remove_prefix(3);
    }

    const std::size_t start = skipSpace(head, 0);
    if (start < head.size() && (head[start] == '{' || head[start] == '[')) {
        complete = true;
        return head[start] == '{' ? NQInputFormat::NQ_COCO_JSON : NQInputFormat::NQ_DETECTION_LIST;
    }
    const bool pageXml = rootElementName(head.substr(start), complete) == "PcGts";
    // A byte order mark may still be under way in fewer than four bytes, and
    // UTF-16 text is decided on all of the head.
    if (!narrowed.empty() || head.size() < 4)
        complete = false;
    return pageXml ? NQInputFormat::NQ_PAGE_XML : NQInputFormat::NQ_NATIVE_XML;
}

// The rest of a regular file of at most maxBytes after its head: `text`
// becomes head and rest, or stays empty when the file is larger, is not a
// regular file or does not give as many bytes as its size says.
void readRest(std::FILE* in, std::uintmax_t maxBytes, std::string& head, std::string& text) {
    struct stat status;
    if (::fstat(::fileno(in), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uintmax_t>(status.st_size) > maxBytes)
        return;
    const std::size_t size = static_cast<std::size_t>(status.st_size);
    if (head.size() < size) {
        const std::size_t have = head.size();
        head.resize(size);
        head.resize(have + std::fread(&head[have], 1, size - have, in));
    }
    if (head.size() == size && !std::ferror(in))
        text = std::move(head);
}

}  // namespace

NQInputFormat nqDetectInputFormatOfText(std::string_view head) {
    bool complete = false;
    return formatOfHead(head, complete);
}

NQInputFormat nqDetectInputFormat(const std::string& file) {
    std::string unused;
    return nqDetectInputFormat(file, 0, unused);
}

NQInputFormat nqDetectInputFormat(const std::string& file, std::uintmax_t maxBytes,
                                  std::string& text) {
    text.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"),
                                                        &std::fclose);
    if (!in)
        return NQInputFormat::NQ_NATIVE_XML;
    // At most kHeadBytes, read in steps until the bytes read decide: the
    // format shows in the first few hundred bytes of nearly every file, and a
    // run recognises every document it reads. Unbuffered, each step is one
    // read of the file.
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    std::string head;
    char buffer[4096];
    // An empty file is our own format, as for an empty head.
    NQInputFormat format = NQInputFormat::NQ_NATIVE_XML;
    bool complete = false;
    while (!complete && head.size() < kHeadBytes) {
        const std::size_t got =
            std::fread(buffer, 1, std::min(sizeof buffer, kHeadBytes - head.size()), in.get());
        if (got == 0)
            break;
        head.append(buffer, got);
        format = formatOfHead(head, complete);
    }
    if (format == NQInputFormat::NQ_NATIVE_XML && maxBytes > 0)
        readRest(in.get(), maxBytes, head, text);
    return format;
}

const char* nqInputFormatName(NQInputFormat format) {
    switch (format) {
        case NQInputFormat::NQ_PAGE_XML:
            return "PAGE XML";
        case NQInputFormat::NQ_COCO_JSON:
            return "COCO JSON";
        case NQInputFormat::NQ_DETECTION_LIST:
            return "detection list";
        case NQInputFormat::NQ_NATIVE_XML:
            break;
    }
    return "native XML";
}

const char* nqInputFormatKey(NQInputFormat format) {
    switch (format) {
        case NQInputFormat::NQ_PAGE_XML:
            return "page";
        case NQInputFormat::NQ_COCO_JSON:
            return "coco";
        case NQInputFormat::NQ_DETECTION_LIST:
            return "detections";
        case NQInputFormat::NQ_NATIVE_XML:
            break;
    }
    return "native";
}

bool nqInputFormatFromKey(const std::string& key, NQInputFormat& format) {
    for (const NQInputFormat f : {NQInputFormat::NQ_NATIVE_XML, NQInputFormat::NQ_PAGE_XML,
                                  NQInputFormat::NQ_COCO_JSON, NQInputFormat::NQ_DETECTION_LIST})
        if (key == nqInputFormatKey(f)) {
            format = f;
            return true;
        }
    return false;
}
