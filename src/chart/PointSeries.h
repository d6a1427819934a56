#pragma once
// The chart's points in ascending time, with a cache of their decimated form:
// consecutive points that fall into one x bucket and share a colour become
// one run holding the first, last, lowest and highest value. The cache
// follows additions at the end and deletions at the front without a rebuild,
// so one reading per second costs next to nothing at 100,000 points.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>

struct ChartPoint {
    double x;
    double y;
    std::uint32_t color;
};
static_assert(sizeof(ChartPoint) <= 32, "a held point must stay within 32 bytes");

// Standard allocator that keeps a running total of the bytes it holds, so the
// chart can report what its points cost.
template <class T> struct CountingAllocator {
    using value_type = T;
    std::size_t* counter;

    explicit CountingAllocator(std::size_t* c) noexcept : counter(c) {}
    template <class U> CountingAllocator(const CountingAllocator<U>& other) noexcept : counter(other.counter) {}

    T* allocate(std::size_t n)
    {
        T* p = std::allocator<T>{}.allocate(n);
        *counter += n * sizeof(T);
        return p;
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        std::allocator<T>{}.deallocate(p, n);
        *counter -= n * sizeof(T);
    }
    template <class U> bool operator==(const CountingAllocator<U>& other) const noexcept
    {
        return counter == other.counter;
    }
};

// A run of consecutive points that fall into one x bucket and share a colour:
// the decimated form of the line. first/last/lo/hi cover the finite values
// only; lo > hi when the run has none.
struct Run {
    double bucket;
    std::uint32_t color;
    std::uint32_t count;
    double first;
    double last;
    double lo;
    double hi;

    bool HasData() const { return lo <= hi; }
    void Reset()
    {
        count = 0;
        first = last = std::numeric_limits<double>::quiet_NaN();
        lo = std::numeric_limits<double>::infinity();
        hi = -std::numeric_limits<double>::infinity();
    }
    void Take(double y)
    {
        ++count;
        if (!std::isfinite(y))
            return;
        if (!HasData())
            first = y;
        last = y;
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
};

class PointSeries {
public:
    PointSeries();

    // Places a point by its x, after any points of equal x. x must be finite.
    void Add(const ChartPoint& point);
    // Removes the point with the earliest time, if any.
    void DeleteFirst();
    void Clear();

    std::size_t Size() const { return points_.size(); }
    bool Empty() const { return points_.empty(); }
    const ChartPoint& operator[](std::size_t index) const { return points_[index]; }
    const ChartPoint& Front() const { return points_.front(); }
    const ChartPoint& Back() const { return points_.back(); }
    // Bytes allocated for the points held.
    std::size_t MemoryBytes() const { return point_bytes_; }

    // The x window the cache covers: everything, or (while the chart is
    // zoomed) the points within [x0, x1] plus one neighbour on each side, so
    // that the line runs on out of the view. Changing it drops the cache.
    void CoverAll();
    void CoverWindow(double x0, double x1);

    void Invalidate() { cache_valid_ = false; }
    bool CacheValid() const { return cache_valid_; }
    double BucketWidth() const { return bucket_width_; }
    // Builds the runs anew with the given bucket width.
    void Rebuild(double bucket_width);
    const std::deque<Run>& Runs() const { return runs_; }
    // The lowest and highest finite value of the covered points; false when
    // there is none.
    bool ValueRange(double& lo, double& hi) const;

private:
    using Store = std::deque<ChartPoint, CountingAllocator<ChartPoint>>;

    void AppendRun(const ChartPoint& point);

    std::size_t point_bytes_ = 0;
    Store points_;

    bool windowed_ = false;
    double window_x0_ = 0, window_x1_ = 1;

    // Runs over the points [cover_begin_, cover_end_) with bucket width
    // bucket_width_.
    std::deque<Run> runs_;
    bool cache_valid_ = false;
    double bucket_width_ = 1;
    std::size_t cover_begin_ = 0, cover_end_ = 0;
};
