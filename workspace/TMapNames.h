#pragma once
// The lines of the window's list of open maps, as the open-map list sees them.
#include <cstdint>
#include <string>

/// A list of text lines that the open-map list keeps equal to its maps' names.
/// The window implements it over its list box; tests over a vector.
class TMapNames {
public:
    virtual ~TMapNames() = default;
    virtual void Append(const std::string& line) = 0;
    /// Replaces the text of line i (0 <= i < Count()).
    virtual void Replace(std::int32_t i, const std::string& line) = 0;
    /// Removes line i; the later lines move up by one.
    virtual void Delete(std::int32_t i) = 0;
    virtual std::int32_t Count() const = 0;
    virtual std::string Line(std::int32_t i) const = 0;
};
