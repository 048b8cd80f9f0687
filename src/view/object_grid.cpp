#include "view/object_grid.h"

#include <algorithm>
#include <cmath>

namespace zalor::view {

ObjectGrid::ObjectGrid(const DrawingModel& model) : objects_(model.Objects()), extent_(model.Extent())
{
    seen_.assign(objects_.size(), 0);
    if (extent_.Empty()) {
        cellStart_.assign(2, 0);
        return;
    }
    // About four objects per cell, the cells as square as the extent allows.
    const double w = double(extent_.maxX) - extent_.minX + 1, h = double(extent_.maxY) - extent_.minY + 1;
    const double cells = std::clamp(double(objects_.size()) / 4, 1.0, 1024.0 * 1024.0);
    columns_ = int(std::clamp(std::round(std::sqrt(cells * w / h)), 1.0, 4096.0));
    rows_ = int(std::clamp(std::round(cells / columns_), 1.0, 4096.0));
    perWidth_ = columns_ / w;
    perHeight_ = rows_ / h;

    // Two passes: count per cell, then place (each cell's objects in order).
    const std::size_t cellCount = std::size_t(columns_) * std::size_t(rows_);
    cellStart_.assign(cellCount + 1, 0);
    auto cover = [&](const Box& b, int& x0, int& y0, int& x1, int& y1) {
        x0 = CellX(b.minX);
        x1 = CellX(b.maxX);
        y0 = CellY(b.minY);
        y1 = CellY(b.maxY);
        return int64_t(x1 - x0 + 1) * (y1 - y0 + 1);
    };
    int x0, y0, x1, y1;
    for (uint32_t k = 0; k < objects_.size(); ++k) {
        const Box& b = objects_[k].box;
        if (b.Empty() || cover(b, x0, y0, x1, y1) > kMaxCellsPerObject) continue;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) ++cellStart_[std::size_t(y) * columns_ + x + 1];
    }
    for (std::size_t c = 0; c < cellCount; ++c) cellStart_[c + 1] += cellStart_[c];
    items_.resize(cellStart_.back());
    std::vector<std::size_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    for (uint32_t k = 0; k < objects_.size(); ++k) {
        const Box& b = objects_[k].box;
        if (b.Empty()) continue;
        if (cover(b, x0, y0, x1, y1) > kMaxCellsPerObject) {
            large_.push_back(k);
            continue;
        }
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) items_[fill[std::size_t(y) * columns_ + x]++] = k;
    }
}

int ObjectGrid::CellX(double x) const
{
    const double v = (x - extent_.minX) * perWidth_;
    if (!(v > 0)) return 0;
    return v < columns_ ? int(v) : columns_ - 1;
}

int ObjectGrid::CellY(double y) const
{
    const double v = (y - extent_.minY) * perHeight_;
    if (!(v > 0)) return 0;
    return v < rows_ ? int(v) : rows_ - 1;
}

void ObjectGrid::Query(double minX, double minY, double maxX, double maxY, std::vector<uint32_t>& out) const
{
    out.clear();
    if (extent_.Empty() || !Meets(extent_, minX, minY, maxX, maxY)) return;
    const int x0 = CellX(minX), x1 = CellX(maxX), y0 = CellY(minY), y1 = CellY(maxY);
    const int64_t covered = int64_t(x1 - x0 + 1) * (y1 - y0 + 1);
    if (covered * 4 >= int64_t(columns_) * rows_) {
        for (uint32_t k = 0; k < objects_.size(); ++k)
            if (Meets(objects_[k].box, minX, minY, maxX, maxY)) out.push_back(k);
        return;
    }
    if (++query_ == 0) { // the counter wrapped: forget what was seen
        std::fill(seen_.begin(), seen_.end(), 0);
        query_ = 1;
    }
    for (int y = y0; y <= y1; ++y) {
        const std::size_t row = std::size_t(y) * columns_;
        for (std::size_t i = cellStart_[row + x0], end = cellStart_[row + x1 + 1]; i < end; ++i) {
            const uint32_t k = items_[i];
            if (seen_[k] == query_) continue;
            seen_[k] = query_;
            if (Meets(objects_[k].box, minX, minY, maxX, maxY)) out.push_back(k);
        }
    }
    for (uint32_t k : large_)
        if (Meets(objects_[k].box, minX, minY, maxX, maxY)) out.push_back(k);
    std::sort(out.begin(), out.end());
}

} // namespace zalor::view
