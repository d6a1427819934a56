// The column writer: pixel columns stored straight into the image, row by
// row, each pixel once.
#include "ColumnWriter.h"

#include "ColumnRows.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace column_rows;

namespace {

// Writes one or two layers of columns (the second over the first) row by
// row down the image, so that memory is walked in order and every pixel is
// stored once: walking down a column instead touches a new cache line per
// pixel, far apart, which the processor cannot fetch ahead. A group's rows
// that the top layer covers in every column are stored whole, and so are
// rows that only the bottom layer covers in every column; elsewhere each
// pixel takes the colour of the topmost layer covering it, or of the
// ground, through the row helpers.
template <int kLayers, class V> KX52_ALWAYS_INLINE void
WriteLayersWith(const DirectTarget& t, const ColumnSpans* const* layers, const quint32* values, const Ground* ground)
{
    constexpr int kAhead = 8; // rows
    const int base = layers[0]->base;
    int first = ColumnSpans::kEmptyTop, last = ColumnSpans::kEmptyBottom;
    for (int l = 0; l < kLayers; ++l) {
        if (layers[l]->Touched()) {
            first = std::max(0, std::min(first, layers[l]->first));
            last = std::max(last, layers[l]->last);
        }
    }
    const int clip_top = t.clip.top() - t.dy, clip_bottom = t.clip.bottom() - t.dy;
    const int clip_first = t.clip.left() - t.dx - base, clip_last = t.clip.right() - t.dx - base;
    // The ground's rows and columns (columns relative to the spans' base),
    // within the clip; every pixel there is written below.
    const bool has_ground = ground != nullptr && ground->Usable();
    int ground_top = 0, ground_bottom = -1, ground_first = 0, ground_last = -1;
    if (has_ground) {
        ground_top = std::max(ground->area.top(), clip_top);
        ground_bottom = std::min(ground->area.bottom(), clip_bottom);
        ground_first = std::max(ground->area.left() - base, clip_first);
        ground_last = std::min(ground->area.right() - base, clip_last);
        if (ground_top <= ground_bottom && ground_first <= ground_last) {
            first = std::min(first, ground_first);
            last = std::max(last, ground_last);
        } else {
            ground_bottom = ground_top - 1;
        }
    }
    first = std::max(first, clip_first);
    last = std::min(last, clip_last);
    if (first > last)
        return;

    struct Group {
        int n;                         // columns
        int hull_top, hull_bottom;     // rows any layer covers
        int shared_top, shared_bottom; // rows the top layer covers in all columns
        int under_top, under_bottom;   // rows the bottom layer covers in all columns
        int over_top, over_bottom;     // rows the top layer covers in any column
        bool all_ground, any_ground;   // columns within the ground
    };
    const int groups = (last - first) / kGroup + 1;
    thread_local std::vector<Group> info;
    thread_local std::vector<int> tops, bottoms; // per layer, padded to whole groups
    thread_local std::vector<quint32> below;     // the ground's colour per column, off its grid rows
    info.assign(static_cast<std::size_t>(groups), Group{});
    const std::size_t padded = static_cast<std::size_t>(groups) * kGroup;
    tops.assign(padded * kLayers, ColumnSpans::kEmptyTop);
    bottoms.assign(padded * kLayers, ColumnSpans::kEmptyBottom);
    below.assign(padded, 0u);
    int row_first = ColumnSpans::kEmptyTop, row_last = ColumnSpans::kEmptyBottom;
    for (int g = 0; g < groups; ++g) {
        const int g0 = first + g * kGroup;
        Group& G = info[static_cast<std::size_t>(g)];
        G.n = std::min(kGroup, last - g0 + 1);
        G.hull_top = G.over_top = ColumnSpans::kEmptyTop;
        G.hull_bottom = G.over_bottom = ColumnSpans::kEmptyBottom;
        G.shared_top = G.under_top = ColumnSpans::kEmptyBottom;
        G.shared_bottom = G.under_bottom = ColumnSpans::kEmptyTop;
        for (int l = 0; l < kLayers; ++l) {
            const ColumnSpans& s = *layers[l];
            for (int c = 0; c < G.n; ++c) {
                const int i = g0 + c;
                const bool in = i >= 0 && i < s.Size();
                const int top = in ? s.top[static_cast<std::size_t>(i)] : ColumnSpans::kEmptyTop;
                const int bottom = in ? s.bottom[static_cast<std::size_t>(i)] : ColumnSpans::kEmptyBottom;
                const std::size_t k = padded * static_cast<std::size_t>(l) + static_cast<std::size_t>(g * kGroup + c);
                tops[k] = top;
                bottoms[k] = bottom;
                G.hull_top = std::min(G.hull_top, top);
                G.hull_bottom = std::max(G.hull_bottom, bottom);
                if (l == kLayers - 1) {
                    G.shared_top = std::max(G.shared_top, top);
                    G.shared_bottom = std::min(G.shared_bottom, bottom);
                    G.over_top = std::min(G.over_top, top);
                    G.over_bottom = std::max(G.over_bottom, bottom);
                }
                if (l == 0) {
                    G.under_top = std::max(G.under_top, top);
                    G.under_bottom = std::min(G.under_bottom, bottom);
                }
            }
        }
        G.hull_top = std::max(G.hull_top, clip_top);
        G.hull_bottom = std::min(G.hull_bottom, clip_bottom);
        if (G.hull_top <= G.hull_bottom) {
            row_first = std::min(row_first, G.hull_top);
            row_last = std::max(row_last, G.hull_bottom);
        }
        G.any_ground = ground_top <= ground_bottom && g0 <= ground_last && g0 + G.n - 1 >= ground_first;
        G.all_ground = G.any_ground && G.n == kGroup && g0 >= ground_first && g0 + kGroup - 1 <= ground_last;
        if (G.any_ground) {
            for (int c = 0; c < G.n; ++c) {
                const int x = base + g0 + c - ground->area.left();
                const bool grid =
                    x >= 0 && x < ground->area.width() && ground->grid_column[static_cast<std::size_t>(x)];
                below[static_cast<std::size_t>(g * kGroup + c)] = grid ? ground->grid : ground->wall;
            }
        }
    }
    if (ground_top <= ground_bottom) {
        row_first = std::min(row_first, ground_top);
        row_last = std::max(row_last, ground_bottom);
    }
    quint32 grid_row[kGroup];
    std::fill_n(grid_row, kGroup, has_ground ? ground->grid : 0u);

    for (int row = row_first; row <= row_last; ++row) {
        quint32* line = reinterpret_cast<quint32*>(t.bits + static_cast<qsizetype>(row + t.dy) * t.bytes_per_line) +
                        (base + t.dx + first);
        const bool ground_row = ground_top <= row && row <= ground_bottom;
        const bool on_grid = ground_row && ground->grid_row[static_cast<std::size_t>(row - ground->area.top())] != 0;
        for (int g = 0; g < groups; ++g) {
            const Group& G = info[static_cast<std::size_t>(g)];
            quint32* out = line + g * kGroup;
            const int* gt = tops.data() + g * kGroup;
            const int* gb = bottoms.data() + g * kGroup;
            if (ground_row && G.any_ground) {
                // The ground and the layers over it, each pixel stored once.
                const quint32* under = on_grid ? grid_row : below.data() + g * kGroup;
                const bool in_hull = G.hull_top <= row && row <= G.hull_bottom;
                if (G.all_ground) {
                    if (!in_hull) {
                        std::memcpy(out, under, sizeof(quint32) * kGroup);
                    } else if (G.shared_top <= row && row <= G.shared_bottom) {
                        std::fill_n(out, kGroup, values[kLayers - 1]);
                    } else if constexpr (kLayers > 1) {
                        if (G.under_top <= row && row <= G.under_bottom) {
                            // The bottom layer covers the whole row: the ground does not show.
                            if (row < G.over_top || row > G.over_bottom)
                                std::fill_n(out, kGroup, values[0]);
                            else
                                SelectRow<V>(out, gt + padded, gb + padded, row, values[1], values[0]);
                        } else {
                            GroundRow<V>(out, gt, gb, gt + padded, gb + padded, row, values[0], values[1], under);
                        }
                    } else {
                        GroundRow<V>(out, gt, gb, row, values[0], under);
                    }
                    continue;
                }
                // A group across the ground's edge, or the last one.
                const int g0 = first + g * kGroup;
                for (int c = 0; c < G.n; ++c) {
                    bool covered = false;
                    for (int l = kLayers - 1; l >= 0 && !covered; --l) {
                        const std::size_t k = padded * static_cast<std::size_t>(l) + static_cast<std::size_t>(c);
                        if (gt[k] <= row && row <= gb[k]) {
                            out[c] = values[l];
                            covered = true;
                        }
                    }
                    if (!covered && ground_first <= g0 + c && g0 + c <= ground_last)
                        out[c] = under[c];
                }
                continue;
            }
            if (row < G.hull_top || row > G.hull_bottom)
                continue;
            // The same columns some rows further down, a new cache line far
            // from this one, are asked for ahead of their turn.
            if (row + kAhead <= G.hull_bottom)
                Prefetch(reinterpret_cast<const uchar*>(out) + kAhead * t.bytes_per_line);
            if (G.shared_top <= row && row <= G.shared_bottom) {
                std::fill_n(out, G.n, values[kLayers - 1]);
                continue;
            }
            if (G.under_top <= row && row <= G.under_bottom && (row < G.over_top || row > G.over_bottom)) {
                std::fill_n(out, G.n, values[0]);
                continue;
            }
            if (G.n == kGroup) {
                if constexpr (kLayers > 1) {
                    if (G.under_top <= row && row <= G.under_bottom) {
                        // The bottom layer covers the whole row: no need to read it.
                        SelectRow<V>(out, gt + padded, gb + padded, row, values[1], values[0]);
                        continue;
                    }
                    BlendRow<V>(out, gt, gb, gt + padded, gb + padded, row, values[0], values[1]);
                } else {
                    BlendRow<V>(out, gt, gb, row, values[0]);
                }
                continue;
            }
            for (int c = 0; c < G.n; ++c) {
                for (int l = kLayers - 1; l >= 0; --l) {
                    const std::size_t k = padded * static_cast<std::size_t>(l) + static_cast<std::size_t>(c);
                    if (gt[k] <= row && row <= gb[k]) {
                        out[c] = values[l];
                        break;
                    }
                }
            }
        }
    }
}

// The row writer for this processor: eight columns to an instruction where
// it has AVX2 (chosen at run time, so that the program still runs on
// processors without it), four elsewhere.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KX52_WIDE_LANES 1
bool WideLanesAvailable()
{
    static const bool available = __builtin_cpu_supports("avx2") != 0;
    return available;
}
bool wide_lanes = WideLanesAvailable();

template <int kLayers> __attribute__((target("avx2"))) void
WriteLayersWide(const DirectTarget& t, const ColumnSpans* const* layers, const quint32* values, const Ground* ground)
{
    WriteLayersWith<kLayers, Lanes8>(t, layers, values, ground);
}
#endif

template <int kLayers>
void WriteLayers(const DirectTarget& t, const ColumnSpans* const* layers, const quint32* values, const Ground* ground)
{
#ifdef KX52_WIDE_LANES
    if (wide_lanes) {
        WriteLayersWide<kLayers>(t, layers, values, ground);
        return;
    }
#endif
    WriteLayersWith<kLayers, Lanes4>(t, layers, values, ground);
}

} // namespace

bool UseWideColumnWriter(bool on)
{
#ifdef KX52_WIDE_LANES
    const bool was = wide_lanes;
    wide_lanes = on && WideLanesAvailable();
    return was;
#else
    (void)on;
    return false;
#endif
}

void WriteSpans(const DirectTarget& direct, const ColumnSpans& s, QRgb color, const Ground* ground)
{
    const ColumnSpans* layers[] = {&s};
    const quint32 values[] = {color};
    WriteLayers<1>(direct, layers, values, ground);
}

void WriteSpansOver(const DirectTarget& direct, const ColumnSpans& under, QRgb under_color, const ColumnSpans& over,
                    QRgb over_color, const Ground* ground)
{
    const ColumnSpans* layers[] = {&under, &over};
    const quint32 values[] = {under_color, over_color};
    WriteLayers<2>(direct, layers, values, ground);
}

void WriteSpansAround(const DirectTarget& t, const QRect& area, const ColumnSpans& holes, QRgb color)
{
    // Row by row, sixteen columns at a time; a group's rows that every one
    // of its columns leaves to the holes are skipped, the others stored
    // whole: what lands in a hole is written over afterwards anyway, and a
    // plain store is cheaper than sparing it.
    constexpr int kAhead = 8; // rows
    const QRect r = area & t.clip.translated(-t.dx, -t.dy);
    if (r.isEmpty())
        return;
    const quint32 value = color;
    struct Group {
        int n;
        int shared_top, shared_bottom; // rows every column leaves to the holes
    };
    thread_local std::vector<Group> groups;
    const int count = (r.width() + kGroup - 1) / kGroup;
    groups.assign(static_cast<std::size_t>(count), Group{});
    for (int g = 0; g < count; ++g) {
        Group& G = groups[static_cast<std::size_t>(g)];
        const int c0 = r.left() + g * kGroup;
        G.n = std::min(kGroup, r.right() - c0 + 1);
        G.shared_top = ColumnSpans::kEmptyBottom;
        G.shared_bottom = ColumnSpans::kEmptyTop;
        for (int c = 0; c < G.n; ++c) {
            const int i = c0 + c - holes.base;
            const bool in = i >= 0 && i < holes.Size();
            G.shared_top = std::max(G.shared_top, in ? holes.top[static_cast<std::size_t>(i)] : ColumnSpans::kEmptyTop);
            G.shared_bottom =
                std::min(G.shared_bottom, in ? holes.bottom[static_cast<std::size_t>(i)] : ColumnSpans::kEmptyBottom);
        }
    }
    for (int row = r.top(); row <= r.bottom(); ++row) {
        quint32* line = reinterpret_cast<quint32*>(t.bits + static_cast<qsizetype>(row + t.dy) * t.bytes_per_line) +
                        (r.left() + t.dx);
        for (int g = 0; g < count; ++g) {
            const Group& G = groups[static_cast<std::size_t>(g)];
            if (G.shared_top <= row && row <= G.shared_bottom)
                continue;
            quint32* out = line + g * kGroup;
            if (row + kAhead <= r.bottom())
                Prefetch(reinterpret_cast<const uchar*>(out) + kAhead * t.bytes_per_line);
            std::fill_n(out, G.n, value);
        }
    }
}
