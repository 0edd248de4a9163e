// The file pairs of a run, for inputs of any format.
//
// Pairing stays driven by the result side. A COCO file is many pages, so
// each of its images is a pair of its own; a page is matched to the other
// side by the base name of its image file, since that is what a folder of
// our own or PAGE files and a COCO file have in common (their folders and
// the COCO file's "file_name" directories seldom agree). A detection list
// has no images of its own: its pages are the ground truth's images, each
// with whatever detections name its id, so that an image without detections
// counts its zones as missed.
#include "eval/NQInputPairing.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <unordered_map>

#include <boost/filesystem.hpp>

#include "eval/NQWexaOptions.h"

namespace {

namespace fs = boost::filesystem;

bool pathExists(const std::string& path) {
    boost::system::error_code ignored;
    return fs::exists(path, ignored);
}

bool isOneDocument(NQInputFormat format) {
    return format == NQInputFormat::NQ_NATIVE_XML || format == NQInputFormat::NQ_PAGE_XML;
}

std::string baseName(const std::string& path) {
    return fs::path(path).filename().string();
}

std::string stem(const std::string& path) {
    return fs::path(path).stem().string();
}

NQDocumentSource oneDocument(const std::string& file, NQInputFormat format) {
    NQDocumentSource source;
    source.file = file;
    source.format = format;
    return source;
}

NQDocumentSource cocoPage(const std::string& file, NQInputFormat format, const NQCocoImage& image,
                          const std::string& imageFile) {
    NQDocumentSource source = oneDocument(file, format);
    source.imageId = image.id;
    source.imageFile = imageFile;
    return source;
}

std::string imageLabel(const std::string& file, const NQCocoImage& image) {
    return file + " (image " + (image.fileName.empty() ? image.id : image.fileName) + ")";
}

class Pairing {
public:
    Pairing(const NQWexaOptions& options, NQInputReader& reader,
            const std::function<void(const std::string&)>& say)
        : options_(options), reader_(reader), say_(say) {}

    std::vector<NQFilePair> run() {
        if (options_.dirToDir)
            directories();
        else if (options_.fileToFile)
            files();
        else if (options_.dirToFile)
            resultFileAgainstFolder();
        else if (options_.fileToDir)
            resultFolderAgainstFile();
        return std::move(pairs_);
    }

private:
    // Names of the result candidates of a directory, sorted. The standard
    // library's directory entries keep the type the listing gives, so that
    // only links and entries of unknown type cost a stat.
    std::vector<std::string> xmlNames(const std::string& dir, const char* what) {
        std::vector<std::string> names;
        std::error_code failed;
        for (std::filesystem::directory_iterator entry(dir, failed), end;
             !failed && entry != end; entry.increment(failed)) {
            std::error_code ignored;
            if (entry->is_directory(ignored))
                continue;
            const std::string name = entry->path().filename().string();
            if (name.find(".xml") == std::string::npos || name.compare(0, 10, "QOLAConfig") == 0)
                continue;
            names.push_back(name);
        }
        if (failed)
            say_(std::string(what) + " path " + dir + " can not be read!!!");
        std::sort(names.begin(), names.end());
        return names;
    }

    // Hands the lines of a reader's message stream to `say`.
    void sayLines(const std::string& text) {
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            say_(text.substr(start, end - start));
    }

    // The parsed COCO file, or null after reporting why it is refused.
    const NQCocoFile* coco(const std::string& file) {
        std::ostringstream messages;
        const NQCocoFile* parsed = nullptr;
        try {
            parsed = &reader_.nqLoadCoco(file, messages);
        } catch (const NQInputError& e) {
            messages << "File read Error at " << file << ": " << e.reason() << '\n';
        }
        sayLines(messages.str());
        return parsed;
    }

    void add(NQDocumentSource result, std::string resultLabel, NQDocumentSource gt,
             std::string gtLabel, std::string visualFile, bool gtFound,
             std::string outputStem = {}) {
        pairs_.push_back(NQFilePair{std::move(resultLabel), std::move(gtLabel),
                                    std::move(visualFile), gtFound, std::move(result),
                                    std::move(gt), std::move(outputStem)});
    }

    // The outputs of a COCO page are named after the file and the page's
    // image: res.json, image p001.png -> res.p001.evl.xml, res.p001.page1.png.
    static std::string cocoOutputStem(const std::string& resultFile, const NQCocoImage& image) {
        return stem(resultFile) + "." + (image.fileName.empty() ? image.id : stem(image.fileName));
    }

    std::string cocoVisualFile(const std::string& resultFile, const NQCocoImage& image) const {
        return options_.visualPath + "/" + cocoOutputStem(resultFile, image) + ".evl.xml";
    }

    // The formats of these files are told when they are read, by the
    // workers of a run, rather than here on the run's thread.
    void directories() {
        for (const std::string& name : xmlNames(options_.resultPath, "Result")) {
            const std::string result = options_.resultPath + "/" + name;
            const std::string gt = options_.gtPath + "/" + name;
            add({}, result, {}, gt, options_.visualPath + "/" + nqVisualName(name),
                pathExists(gt));
        }
    }

    void files() {
        const std::string& resultFile = options_.resultPath;
        const std::string& gtFile = options_.gtPath;
        const NQInputFormat resultFormat = nqDetectInputFormat(resultFile);
        const NQInputFormat gtFormat = nqDetectInputFormat(gtFile);
        if (gtFormat == NQInputFormat::NQ_DETECTION_LIST) {
            say_(gtFile + " is a detection list, which can only be a result");
            return;
        }
        if (isOneDocument(resultFormat) && isOneDocument(gtFormat)) {
            add(oneDocument(resultFile, resultFormat), resultFile, oneDocument(gtFile, gtFormat),
                gtFile, options_.visualPath + "/" + nqVisualName(resultFile), true);
            return;
        }
        if (isOneDocument(gtFormat)) {
            // A COCO result against one page: the result image of the same name.
            const std::string gtImage = baseName(NQInputReader::nqReadImageName(gtFile, gtFormat));
            resultPages(resultFile, resultFormat, [&](const NQCocoImage& image, NQFilePair& pair) {
                pair.gtSource = oneDocument(gtFile, gtFormat);
                pair.gtFile = gtFile;
                pair.gtFound = !gtImage.empty() && baseName(image.fileName) == gtImage;
                if (!pair.gtFound)
                    pair.gtFile = imageLabel(gtFile, image);
            });
            return;
        }

        const NQCocoFile* gt = coco(gtFile);
        if (gt == nullptr)
            return;
        if (isOneDocument(resultFormat)) {
            const std::string name = NQInputReader::nqReadImageName(resultFile, resultFormat);
            addAgainstCoco(oneDocument(resultFile, resultFormat), resultFile, name,
                           options_.visualPath + "/" + nqVisualName(resultFile), *gt);
        } else if (resultFormat == NQInputFormat::NQ_DETECTION_LIST) {
            const NQCocoFile* detections = coco(resultFile);
            if (detections == nullptr)
                return;
            std::ostringstream unknown;
            detections->nqReportUnknownImages(gt->nqGetImages(), unknown);
            sayLines(unknown.str());
            for (const NQCocoImage& image : gt->nqGetImages())
                add(cocoPage(resultFile, resultFormat, image, gtFile),
                    imageLabel(resultFile, image), cocoPage(gtFile, gtFormat, image, gtFile),
                    imageLabel(gtFile, image), cocoVisualFile(resultFile, image), true,
                    cocoOutputStem(resultFile, image));
        } else {
            resultPages(resultFile, resultFormat, [&](const NQCocoImage& image, NQFilePair& pair) {
                const NQCocoImage* partner = image.fileName.empty()
                                                 ? gt->nqFindImageById(image.id)
                                                 : gt->nqFindImageByName(image.fileName);
                pair.gtFile = imageLabel(gtFile, partner ? *partner : image);
                pair.gtFound = partner != nullptr;
                if (partner)
                    pair.gtSource = cocoPage(gtFile, gtFormat, *partner, gtFile);
            });
        }
    }

    // A pair per image of a COCO result file; `partner` fills in the ground truth.
    template <typename Partner>
    void resultPages(const std::string& resultFile, NQInputFormat format, Partner&& partner) {
        if (format == NQInputFormat::NQ_DETECTION_LIST) {
            say_(resultFile + " is a detection list, which needs a COCO ground-truth file");
            return;
        }
        const NQCocoFile* result = coco(resultFile);
        if (result == nullptr)
            return;
        for (const NQCocoImage& image : result->nqGetImages()) {
            NQFilePair pair;
            pair.resultSource = cocoPage(resultFile, format, image, resultFile);
            pair.resultFile = imageLabel(resultFile, image);
            pair.visualFile = cocoVisualFile(resultFile, image);
            pair.outputStem = cocoOutputStem(resultFile, image);
            partner(image, pair);
            pairs_.push_back(std::move(pair));
        }
    }

    // A one-document result against the COCO ground-truth page of its image.
    void addAgainstCoco(NQDocumentSource result, const std::string& resultLabel,
                        const std::string& imageName, std::string visualFile,
                        const NQCocoFile& gt) {
        const NQCocoImage* image = gt.nqFindImageByName(imageName);
        if (image == nullptr) {
            add(std::move(result), resultLabel, NQDocumentSource{},
                gt.nqGetFileName() + " (image " + imageName + ")", std::move(visualFile), false);
            return;
        }
        add(std::move(result), resultLabel,
            cocoPage(gt.nqGetFileName(), NQInputFormat::NQ_COCO_JSON, *image, gt.nqGetFileName()),
            imageLabel(gt.nqGetFileName(), *image), std::move(visualFile), true);
    }

    void resultFileAgainstFolder() {
        const std::string& resultFile = options_.resultPath;
        const NQInputFormat format = nqDetectInputFormat(resultFile);
        if (isOneDocument(format))
            return;
        // The ground-truth files by the base name of the image they give.
        std::unordered_map<std::string, std::string> byImage;
        for (const std::string& name : xmlNames(options_.gtPath, "Ground truth")) {
            const std::string file = options_.gtPath + "/" + name;
            const std::string image =
                baseName(NQInputReader::nqReadImageName(file, nqDetectInputFormat(file)));
            if (!image.empty())
                byImage.emplace(image, file);
        }
        resultPages(resultFile, format, [&](const NQCocoImage& image, NQFilePair& pair) {
            const auto found = byImage.find(baseName(image.fileName));
            pair.gtFound = found != byImage.end();
            if (pair.gtFound) {
                pair.gtSource = oneDocument(found->second, nqDetectInputFormat(found->second));
                pair.gtFile = found->second;
            } else {
                pair.gtFile = imageLabel(options_.gtPath, image);
            }
        });
    }

    void resultFolderAgainstFile() {
        const std::string& gtFile = options_.gtPath;
        const NQInputFormat gtFormat = nqDetectInputFormat(gtFile);
        if (isOneDocument(gtFormat))
            return;
        if (gtFormat == NQInputFormat::NQ_DETECTION_LIST) {
            say_(gtFile + " is a detection list, which can only be a result");
            return;
        }
        const NQCocoFile* gt = coco(gtFile);
        if (gt == nullptr)
            return;
        for (const std::string& name : xmlNames(options_.resultPath, "Result")) {
            const std::string file = options_.resultPath + "/" + name;
            const NQInputFormat format = nqDetectInputFormat(file);
            addAgainstCoco(oneDocument(file, format), file,
                           NQInputReader::nqReadImageName(file, format),
                           options_.visualPath + "/" + nqVisualName(name), *gt);
        }
    }

    const NQWexaOptions& options_;
    NQInputReader& reader_;
    const std::function<void(const std::string&)>& say_;
    std::vector<NQFilePair> pairs_;
};

}  // namespace

std::string nqVisualName(const std::string& name) {
    std::string visual = name;
    visual.insert(name.size() >= 3 ? name.size() - 3 : 0, "evl.");
    return visual;
}

std::vector<NQFilePair> nqListInputPairs(const NQWexaOptions& options, NQInputReader& reader,
                                         const std::function<void(const std::string&)>& say) {
    return Pairing(options, reader, say).run();
}
