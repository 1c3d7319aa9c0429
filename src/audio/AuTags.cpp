#include "audio/AuTags.h"

#include <cctype>

namespace tolvak {

std::string TAuTags::Key(const std::string& Name) {
    std::string k = Name;
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

void TAuTags::SetValue(const std::string& Name, const std::string& Value) { values_[Key(Name)] = Value; }

std::string TAuTags::AsString(const std::string& Name) const {
    auto it = values_.find(Key(Name));
    return it == values_.end() ? std::string() : it->second;
}

int64_t TAuTags::AsInteger(const std::string& Name) const {
    std::string v = AsString(Name);
    if (v.empty()) return 0;
    try {
        size_t used = 0;
        int64_t n = std::stoll(v, &used);
        return used == v.size() ? n : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace tolvak
