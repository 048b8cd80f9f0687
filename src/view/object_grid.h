// A uniform grid over the objects' boxes, so that drawing a small window
// and finding the object under the cursor look at the objects near it
// rather than at all of them.
#pragma once

#include "view/drawing.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zalor::view {

class ObjectGrid {
public:
    // Indexes the objects of the model (which must not change afterwards).
    explicit ObjectGrid(const DrawingModel& model);

    // The objects whose boxes meet the rectangle (world units, bounds
    // included), in reading order. When the rectangle covers much of the
    // grid, every object is tested instead.
    void Query(double minX, double minY, double maxX, double maxY, std::vector<uint32_t>& out) const;

private:
    // Objects spanning more cells than this are kept apart and always tested.
    static constexpr int64_t kMaxCellsPerObject = 64;

    bool Meets(const Box& b, double minX, double minY, double maxX, double maxY) const
    {
        return !(b.maxX < minX || b.minX > maxX || b.maxY < minY || b.minY > maxY);
    }
    int CellX(double x) const;
    int CellY(double y) const;

    std::span<const DrawingObject> objects_;
    Box extent_;
    int columns_ = 1;
    int rows_ = 1;
    double perWidth_ = 1;  // cells per world unit
    double perHeight_ = 1;
    std::vector<std::size_t> cellStart_; // objects of cell c: items_[cellStart_[c] .. cellStart_[c + 1])
    std::vector<uint32_t> items_;
    std::vector<uint32_t> large_;     // objects over many cells
    mutable std::vector<uint32_t> seen_; // per object: the query that last took it
    mutable uint32_t query_ = 0;
};

} // namespace zalor::view
