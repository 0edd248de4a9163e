// One entry point for the documents of every input format.
#include "xml/NQInputReader.h"

#include <stdexcept>

#include "image/NQException.h"
#include "xml/NQPageXml.h"
#include "xml/NQxml.h"

NQInputReader::NQInputReader(std::string imageFolder) : imageFolder_(std::move(imageFolder)) {}

const NQCocoFile& NQInputReader::nqLoadCoco(const std::string& file, std::ostream& messages) {
    auto found = coco_.find(file);
    if (found == coco_.end())
        found = coco_
                    .emplace(file, std::make_unique<NQCocoFile>(
                                       NQCocoFile::nqReadFromJsonFile(file, messages)))
                    .first;
    return *found->second;
}

const NQCocoFile* NQInputReader::nqFindCoco(const std::string& file) const {
    const auto found = coco_.find(file);
    return found == coco_.end() ? nullptr : found->second.get();
}

NQDocument NQInputReader::nqRead(const NQDocumentSource& source,
                                 const NQForeignReadOptions& options, std::ostream& messages,
                                 NQSharedPageImages* sharedImages) const {
    if (source.isCocoPage()) {
        const NQCocoFile* annotations = nqFindCoco(source.file);
        const NQCocoFile* images = nqFindCoco(source.imageFile);
        const NQCocoImage* image = images ? images->nqFindImageById(source.imageId) : nullptr;
        if (annotations == nullptr || image == nullptr)
            throw NQInputError(source.file, "image " + source.imageId + " is not known",
                               "NQInputReader", __LINE__);
        return annotations->nqReadDocument(*image, images->nqGetCategories(), imageFolder_, options,
                                           messages, sharedImages);
    }
    switch (source.format) {
        case NQInputFormat::NQ_PAGE_XML:
            return NQPageXml(options, messages)
                .nqReadFromPageFile(source.file, imageFolder_, sharedImages);
        case NQInputFormat::NQ_COCO_JSON:
        case NQInputFormat::NQ_DETECTION_LIST:
            throw NQInputError(source.file,
                               "is a COCO file of many pages, which is read when -g or -r names it",
                               "NQInputReader", __LINE__);
        case NQInputFormat::NQ_NATIVE_XML:
            break;
    }
    NQxml reader;
    reader.nqSetMessageStream(messages);
    if (source.text && !source.text->empty())
        return reader.nqReadFromXmlText(source.file, std::move(*source.text), imageFolder_,
                                        sharedImages);
    return reader.nqReadFromXmlFile(source.file, imageFolder_, sharedImages);
}

std::string NQInputReader::nqReadImageName(const std::string& file, NQInputFormat format) {
    try {
        if (format == NQInputFormat::NQ_PAGE_XML)
            return NQPageXml::nqReadImageFilename(file);
        if (format != NQInputFormat::NQ_NATIVE_XML)
            return {};
        xml cursor;
        if (!cursor.LoadXml(file))
            return {};
        const std::string document = cursor.RetrieveSpecifiedElem("NQ_DOCUMENT");
        if (document.empty())
            return {};
        cursor.setXML(document);
        return cursor.GetAttrib("src");
    } catch (const std::exception&) {
        return {};
    }
}
