#pragma once
// Tag sets of the tagged file outputs: named values, names compared ignoring case.

#include <cstdint>
#include <map>
#include <string>

namespace tolvak {

/// A set of named tag values; names compare ignoring case. An empty value reads as the empty
/// text or as the number 0.
class TAuTags {
public:
    virtual ~TAuTags() = default;
    void Clear() { values_.clear(); }
    bool Empty() const { return values_.empty(); }
    void SetValue(const std::string& Name, const std::string& Value);
    void SetValue(const std::string& Name, int64_t Value) { SetValue(Name, std::to_string(Value)); }
    std::string AsString(const std::string& Name) const;
    /// 0 for an empty value or one that is not a number.
    int64_t AsInteger(const std::string& Name) const;

    std::string Title() const { return AsString("title"); }
    void SetTitle(const std::string& v) { SetValue("title", v); }
    std::string Artist() const { return AsString("artist"); }
    void SetArtist(const std::string& v) { SetValue("artist", v); }
    std::string Album() const { return AsString("album"); }
    void SetAlbum(const std::string& v) { SetValue("album", v); }
    std::string Comment() const { return AsString("comment"); }
    void SetComment(const std::string& v) { SetValue("comment", v); }
    std::string Genre() const { return AsString("genre"); }
    void SetGenre(const std::string& v) { SetValue("genre", v); }
    std::string Year() const { return AsString("year"); }
    void SetYear(const std::string& v) { SetValue("year", v); }
    std::string Track() const { return AsString("track"); }
    void SetTrack(const std::string& v) { SetValue("track", v); }

private:
    static std::string Key(const std::string& Name);
    std::map<std::string, std::string> values_;
};

class TId3v1Tags : public TAuTags {};
class TId3v2Tags : public TAuTags {};
class TAPEv2Tags : public TAuTags {};

}  // namespace tolvak
