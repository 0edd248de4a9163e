#ifndef NQ_TESTS_SUPPORT_JSONSCHEMA_H
#define NQ_TESTS_SUPPORT_JSONSCHEMA_H

#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace nqtest {

// Checks a document against a JSON Schema that uses only these keywords:
// type, enum, const, required, properties, additionalProperties (false),
// items, anyOf, minimum, maximum, $ref (to #/$defs/...) and annotations. A
// schema with any other keyword is refused, so the schema cannot promise
// more than is checked. Returns the first violation as "path: problem", or
// the empty text for a valid document.
class JsonSchemaCheck {
public:
    using json = nlohmann::json;

    explicit JsonSchemaCheck(json schema) : root_(std::move(schema)) {}

    std::string check(const json& value) const { return check(root_, value, "$"); }

private:
    static bool hasType(const json& value, const std::string& type) {
        if (type == "object")
            return value.is_object();
        if (type == "array")
            return value.is_array();
        if (type == "string")
            return value.is_string();
        if (type == "boolean")
            return value.is_boolean();
        if (type == "null")
            return value.is_null();
        if (type == "integer")
            return value.is_number_integer();
        if (type == "number")
            return value.is_number();
        return false;
    }

    std::string check(const json& schema, const json& value, const std::string& at) const {
        static const std::set<std::string> known{
            "$schema", "$id",   "title",   "description", "$defs",
            "type",    "enum",  "const",   "required",    "properties",
            "items",   "anyOf", "minimum", "maximum",     "additionalProperties",
            "$ref"};
        for (const auto& keyword : schema.items())
            if (known.count(keyword.key()) == 0)
                return at + ": schema keyword " + keyword.key() + " is not checked";
        if (schema.contains("$ref")) {
            const std::string ref = schema["$ref"];
            const std::string prefix = "#/$defs/";
            if (ref.compare(0, prefix.size(), prefix) != 0)
                return at + ": unsupported $ref " + ref;
            const std::string problem =
                check(root_.at("$defs").at(ref.substr(prefix.size())), value, at);
            if (!problem.empty())
                return problem;
        }
        if (schema.contains("type")) {
            const json& type = schema["type"];
            bool ok = false;
            for (const auto& t : type.is_array() ? type : json::array({type}))
                ok = ok || hasType(value, t);
            if (!ok)
                return at + ": " + value.dump() + " is not of type " + type.dump();
        }
        if (schema.contains("const") && value != schema["const"])
            return at + ": " + value.dump() + " is not " + schema["const"].dump();
        if (schema.contains("enum")) {
            bool listed = false;
            for (const auto& option : schema["enum"])
                listed = listed || option == value;
            if (!listed)
                return at + ": " + value.dump() + " is not one of " + schema["enum"].dump();
        }
        if (value.is_number()) {
            if (schema.contains("minimum") && value.get<double>() < schema["minimum"].get<double>())
                return at + ": " + value.dump() + " is below the minimum";
            if (schema.contains("maximum") && value.get<double>() > schema["maximum"].get<double>())
                return at + ": " + value.dump() + " is above the maximum";
        }
        if (schema.contains("anyOf")) {
            std::string last;
            for (const auto& option : schema["anyOf"])
                if ((last = check(option, value, at)).empty())
                    break;
            if (!last.empty())
                return last;
        }
        if (value.is_object()) {
            for (const auto& name : schema.value("required", json::array()))
                if (!value.contains(name.get<std::string>()))
                    return at + ": " + name.get<std::string>() + " is missing";
            const json properties = schema.value("properties", json::object());
            for (const auto& member : value.items()) {
                if (properties.contains(member.key())) {
                    const std::string problem =
                        check(properties[member.key()], member.value(), at + "." + member.key());
                    if (!problem.empty())
                        return problem;
                } else if (schema.value("additionalProperties", true) == false) {
                    return at + ": " + member.key() + " is not allowed";
                }
            }
        }
        if (value.is_array() && schema.contains("items"))
            for (std::size_t k = 0; k < value.size(); ++k) {
                const std::string problem =
                    check(schema["items"], value[k], at + "[" + std::to_string(k) + "]");
                if (!problem.empty())
                    return problem;
            }
        return "";
    }

    json root_;
};

}  // namespace nqtest

#endif
