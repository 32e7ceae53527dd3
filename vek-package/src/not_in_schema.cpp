#include "vek_package/not_in_schema.hpp"

namespace vek_package {

std::string NotInSchema::message() const {
    return "Enum value or union discriminant " + std::to_string(value_) +
           " was not present in the schema.";
}

std::string NotInSchema::debug() const {
    return "NotInSchema(" + std::to_string(value_) + ")";
}

}  // namespace vek_package
