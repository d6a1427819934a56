#include "PointSeries.h"

#include <algorithm>

PointSeries::PointSeries() : points_(CountingAllocator<ChartPoint>(&point_bytes_)) {}

void PointSeries::Add(const ChartPoint& point)
{
    if (points_.empty() || point.x >= points_.back().x) {
        const std::size_t old_count = points_.size();
        points_.push_back(point);
        if (!cache_valid_)
            return;
        if (windowed_ && point.x < window_x0_) {
            Invalidate();
        } else if (cover_end_ == old_count &&
                   (!windowed_ || (cover_end_ == 0 ? cover_begin_ == 0 : points_[cover_end_ - 1].x <= window_x1_))) {
            // The cover reached the old end and may run on: the new point
            // joins the last run or starts one.
            AppendRun(point);
            ++cover_end_;
        }
        return;
    }
    // An earlier time (a clock set back): placed after any equal times.
    const auto at = std::upper_bound(points_.begin(), points_.end(), point.x,
                                     [](double v, const ChartPoint& p) { return v < p.x; });
    points_.insert(at, point);
    Invalidate();
}

void PointSeries::DeleteFirst()
{
    if (points_.empty())
        return;
    points_.pop_front();
    if (!cache_valid_)
        return;
    if (cover_begin_ > 0) {
        --cover_begin_;
        --cover_end_;
    } else if (cover_end_ > 0) {
        // The first run lost its first point: take its remaining points anew.
        --cover_end_;
        Run& r = runs_.front();
        const std::uint32_t remaining = r.count - 1;
        if (remaining == 0) {
            runs_.pop_front();
        } else {
            r.Reset();
            for (std::uint32_t i = 0; i < remaining; ++i)
                r.Take(points_[i].y);
        }
    }
}

void PointSeries::Clear()
{
    points_.clear();
    points_.shrink_to_fit();
    runs_.clear();
    Invalidate();
}

void PointSeries::CoverAll()
{
    windowed_ = false;
    Invalidate();
}

void PointSeries::CoverWindow(double x0, double x1)
{
    windowed_ = true;
    window_x0_ = x0;
    window_x1_ = x1;
    Invalidate();
}

void PointSeries::AppendRun(const ChartPoint& point)
{
    const double k = std::floor(point.x / bucket_width_);
    if (!runs_.empty() && runs_.back().bucket == k && runs_.back().color == point.color) {
        runs_.back().Take(point.y);
        return;
    }
    Run r{k, point.color, 0, 0, 0, 0, 0};
    r.Reset();
    r.Take(point.y);
    runs_.push_back(r);
}

void PointSeries::Rebuild(double bucket_width)
{
    runs_.clear();
    bucket_width_ = bucket_width;
    cover_begin_ = 0;
    cover_end_ = points_.size();
    if (windowed_) {
        const auto less = [](const ChartPoint& p, double x) { return p.x < x; };
        const auto greater = [](double x, const ChartPoint& p) { return x < p.x; };
        cover_begin_ = static_cast<std::size_t>(std::lower_bound(points_.begin(), points_.end(), window_x0_, less) -
                                                points_.begin());
        cover_end_ = static_cast<std::size_t>(std::upper_bound(points_.begin(), points_.end(), window_x1_, greater) -
                                              points_.begin());
        if (cover_begin_ > 0)
            --cover_begin_;
        if (cover_end_ < points_.size())
            ++cover_end_;
    }
    for (std::size_t i = cover_begin_; i < cover_end_; ++i)
        AppendRun(points_[i]);
    cache_valid_ = true;
}

bool PointSeries::ValueRange(double& lo, double& hi) const
{
    lo = std::numeric_limits<double>::infinity();
    hi = -std::numeric_limits<double>::infinity();
    for (const Run& r : runs_) {
        if (r.HasData()) {
            lo = std::min(lo, r.lo);
            hi = std::max(hi, r.hi);
        }
    }
    return lo <= hi;
}
