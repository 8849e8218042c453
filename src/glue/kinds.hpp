// Words that name the kind of a model item in messages.
#pragma once

#include <string>

#include "glue/error.hpp"
#include "toml/model.hpp"

namespace quillon {

inline const char* kind_word(const toml::Value& v) {
    switch (v.kind()) {
        case toml::ValueKind::String: return "string";
        case toml::ValueKind::Integer: return "integer";
        case toml::ValueKind::Float: return "float";
        case toml::ValueKind::Boolean: return "boolean";
        case toml::ValueKind::Datetime: return "datetime";
        case toml::ValueKind::Array: return "array";
        case toml::ValueKind::InlineTable: return "inline table";
    }
    return "none";
}

inline const char* kind_word(const toml::Item& item) {
    switch (item.kind()) {
        case toml::ItemKind::None: return "none";
        case toml::ItemKind::Value: return kind_word(*item.as_value());
        case toml::ItemKind::Table: return "table";
        case toml::ItemKind::ArrayOfTables: return "array of tables";
    }
    return "none";
}

// TypeError "TOML <kind> item does not support <op>".
inline Error unsupported_op(const toml::Item& item, const char* op) {
    return Error::type_error(std::string("TOML ") + kind_word(item) + " item does not support " + op);
}

}  // namespace quillon
