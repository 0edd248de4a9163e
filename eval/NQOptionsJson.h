#ifndef NQ_EVAL_NQOPTIONSJSON_H
#define NQ_EVAL_NQOPTIONSJSON_H

#include <nlohmann/json_fwd.hpp>

struct NQWexaOptions;

// The options of a run as the JSON outcome lists them ("options"), and back.
// The object holds every setting that shapes the outcome, so parts of a
// split run carry their options in it and a merge restores them from it;
// the slice of a shard and the part file are not in it.
nlohmann::ordered_json optionsToJson(const NQWexaOptions& options);
// Throws nlohmann::json::exception when a key is missing or of the wrong type,
// std::invalid_argument when its class map does not read.
NQWexaOptions optionsFromJson(const nlohmann::ordered_json& object);

#endif
