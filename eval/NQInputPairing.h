#ifndef NQ_EVAL_NQINPUTPAIRING_H
#define NQ_EVAL_NQINPUTPAIRING_H

#include <functional>
#include <string>
#include <vector>

#include "eval/NQRunRecord.h"
#include "xml/NQInputReader.h"

struct NQWexaOptions;

// Lists the pairs of a run, driven by the result side as always, with each
// file's format told by its content:
//
//  - directory and directory: every XML file of the result directory (a name
//    holding ".xml", not starting with "QOLAConfig") with the ground-truth
//    file of the same name, in byte order of the names (their formats are
//    told when they are read);
//  - two files of one document each: the one pair;
//  - a COCO result: each of its images, with the ground-truth page of the
//    same image file name (base names compared), or of the same image id
//    when the result's image has no file name;
//  - a detection list: each image of the COCO ground truth, with the
//    detections of that image id;
//  - a directory of our own or PAGE files against a COCO file: each file
//    with the COCO page of the image it names;
//  - otherwise (one directory and one file of one document) nothing.
//
// COCO files are parsed here, through the reader, so that the pairs can be
// read by threads afterwards. Problems (a COCO file refused, a detection list
// without a COCO ground truth) are single lines given to `say`.
std::vector<NQFilePair> nqListInputPairs(const NQWexaOptions& options, NQInputReader& reader,
                                         const std::function<void(const std::string&)>& say);

// "evl." in front of the last three characters: p001.xml -> p001.evl.xml.
// A name of fewer than three characters gets it in front.
std::string nqVisualName(const std::string& name);

#endif
