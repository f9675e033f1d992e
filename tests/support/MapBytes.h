#pragma once
// The bytes of a map file, written record by record as the format lays them
// out, for tests that need a file on disk or a damaged one.
#include <cstdint>
#include <vector>

class TMapBytes {
public:
    TMapBytes& Border(int x1, int y1, int x2, int y2, std::uint32_t color = 0xFFFFFF, int kind = 0)
    {
        for (const int v : {x1, y1, x2, y2}) PutInt16(borders_, v);
        borders_.push_back(static_cast<std::uint8_t>(color));
        borders_.push_back(static_cast<std::uint8_t>(color >> 8));
        borders_.push_back(static_cast<std::uint8_t>(color >> 16));
        borders_.push_back(static_cast<std::uint8_t>(kind));
        ++borderCount_;
        return *this;
    }
    TMapBytes& Rail(int x1, int y1, int x2, int y2)
    {
        for (const int v : {x1, y1, x2, y2}) PutInt16(rails_, v);
        ++railCount_;
        return *this;
    }
    TMapBytes& Start(int index)
    {
        start_ = index;
        return *this;
    }
    TMapBytes& Finish(int index)
    {
        finish_ = index;
        return *this;
    }
    /// The file: counts, records, start, finish.
    std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> out;
        PutInt32(out, borderCount_);
        out.insert(out.end(), borders_.begin(), borders_.end());
        PutInt32(out, railCount_);
        out.insert(out.end(), rails_.begin(), rails_.end());
        PutInt32(out, start_);
        PutInt32(out, finish_);
        return out;
    }

private:
    static void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    static void PutInt16(std::vector<std::uint8_t>& out, int value)
    {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }

    std::vector<std::uint8_t> borders_;
    std::vector<std::uint8_t> rails_;
    std::int32_t borderCount_ = 0;
    std::int32_t railCount_ = 0;
    std::int32_t start_ = -1;
    std::int32_t finish_ = -1;
};

/// The closed ring of six rails through (100, 0), (200, 0), (250, 87),
/// (200, 174), (100, 174), (50, 87) with start 0 and finish 3, and two borders.
inline TMapBytes RingMap()
{
    TMapBytes map;
    map.Border(0, 0, 300, 0, 0x00FF00, 1).Border(0, 200, 300, 200, 0x0000FF, 3);
    const int points[6][2] = {{100, 0}, {200, 0}, {250, 87}, {200, 174}, {100, 174}, {50, 87}};
    for (int i = 0; i < 6; ++i) {
        const auto& from = points[i];
        const auto& to = points[(i + 1) % 6];
        map.Rail(from[0], from[1], to[0], to[1]);
    }
    return map.Start(0).Finish(3);
}
