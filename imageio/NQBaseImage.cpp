#include "imageio/NQBaseImage.h"

#include <algorithm>
#include <cctype>

namespace {
std::string toLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
}  // namespace

NQBaseImage::NQBaseImage(const std::string& name, const std::string& extensions, int type)
    : name_(name), extensions_(toLower(extensions)), type_(type) {}

NQBaseImage::~NQBaseImage() = default;

void NQBaseImage::Tokenize(const std::string& text, std::vector<std::string>& tokens,
                           const std::string& delimiters) {
    std::string::size_type start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::string::size_type end = text.find_first_of(delimiters, start);
        tokens.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
}

bool NQBaseImage::nqSupportImageExt(std::string ext) const {
    ext = toLower(ext);
    std::vector<std::string> pieces;
    Tokenize(extensions_, pieces, ",");
    return std::find(pieces.begin(), pieces.end(), ext) != pieces.end();
}
