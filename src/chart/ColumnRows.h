#pragma once
// The column writer's rows: one row of a group of pixel columns at a time,
// written with the compiler's vector types where it has them. Included by
// the writer alone.
#include <QtGlobal>

#include <cstring>
#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

#if defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER)
#define KX52_RESTRICT __restrict
#else
#define KX52_RESTRICT
#endif

namespace column_rows {

// Asks the processor to fetch the cache line at `p` for writing.
inline void Prefetch(const uchar* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p, 1);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}

// Pixel columns are written in groups of this many, row by row: one cache
// line of pixels.
constexpr int kGroup = 16;

// One row of a group of columns, where a pixel lies within a span
// when tops[c] <= row <= bottoms[c]. SelectRow stores `in` there and `out`
// elsewhere; BlendRow stores its value within the spans (or v0 within the
// first spans and v1 within the second, over it), keeping the rest;
// GroundRow does the same over `ground` (one value per column) and reads
// nothing from the image.
#if defined(__GNUC__) || defined(__clang__)
// Written with the compiler's vector types, several columns to an
// instruction and no branches: left to itself the compiler makes a compare
// and a jump of each column, and along a ragged edge the jumps go at random
// and cost more than the pixels. `V` is the vector: four columns (SSE2, the
// x86-64 baseline) or eight (AVX2, where the processor has it).
#define KX52_ALWAYS_INLINE inline __attribute__((always_inline))
// The eight-column vectors never cross a call: every helper taking or giving
// one is inlined into the one writer compiled for AVX2, so the note that
// their calling convention differs without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef int Lanes4 __attribute__((vector_size(16)));
typedef int Lanes8 __attribute__((vector_size(32)));

template <class V> KX52_ALWAYS_INLINE V LoadLanes(const void* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V> KX52_ALWAYS_INLINE void StoreLanes(void* p, const V& v)
{
    std::memcpy(p, &v, sizeof v);
}

template <class V> KX52_ALWAYS_INLINE V Splat(quint32 value)
{
    return V{} + static_cast<int>(value);
}

// All ones in the lanes whose span holds `row`, zero elsewhere.
template <class V> KX52_ALWAYS_INLINE V Inside(const int* tops, const int* bottoms, const V& row)
{
    return (LoadLanes<V>(tops) <= row) & (row <= LoadLanes<V>(bottoms));
}

template <class V> KX52_ALWAYS_INLINE V Pick(const V& mask, const V& in, const V& out)
{
    return (mask & in) | (~mask & out);
}

template <class V> constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(int));

template <class V> KX52_ALWAYS_INLINE void SelectRow(quint32* pixels, const int* tops, const int* bottoms, int row,
                                                     quint32 in, quint32 out)
{
    const V r = Splat<V>(static_cast<quint32>(row)), vin = Splat<V>(in), vout = Splat<V>(out);
    for (int c = 0; c < kGroup; c += kLanes<V>)
        StoreLanes(pixels + c, Pick(Inside(tops + c, bottoms + c, r), vin, vout));
}

template <class V>
KX52_ALWAYS_INLINE void BlendRow(quint32* pixels, const int* tops, const int* bottoms, int row, quint32 in)
{
    const V r = Splat<V>(static_cast<quint32>(row)), vin = Splat<V>(in);
    for (int c = 0; c < kGroup; c += kLanes<V>)
        StoreLanes(pixels + c, Pick(Inside(tops + c, bottoms + c, r), vin, LoadLanes<V>(pixels + c)));
}

template <class V> KX52_ALWAYS_INLINE void BlendRow(quint32* pixels, const int* t0, const int* b0, const int* t1,
                                                    const int* b1, int row, quint32 v0, quint32 v1)
{
    const V r = Splat<V>(static_cast<quint32>(row)), l0 = Splat<V>(v0), l1 = Splat<V>(v1);
    for (int c = 0; c < kGroup; c += kLanes<V>) {
        const V under = Pick(Inside(t0 + c, b0 + c, r), l0, LoadLanes<V>(pixels + c));
        StoreLanes(pixels + c, Pick(Inside(t1 + c, b1 + c, r), l1, under));
    }
}

template <class V> KX52_ALWAYS_INLINE void GroundRow(quint32* pixels, const int* tops, const int* bottoms, int row,
                                                     quint32 in, const quint32* ground)
{
    const V r = Splat<V>(static_cast<quint32>(row)), vin = Splat<V>(in);
    for (int c = 0; c < kGroup; c += kLanes<V>)
        StoreLanes(pixels + c, Pick(Inside(tops + c, bottoms + c, r), vin, LoadLanes<V>(ground + c)));
}

template <class V> KX52_ALWAYS_INLINE void GroundRow(quint32* pixels, const int* t0, const int* b0, const int* t1,
                                                     const int* b1, int row, quint32 v0, quint32 v1,
                                                     const quint32* ground)
{
    const V r = Splat<V>(static_cast<quint32>(row)), l0 = Splat<V>(v0), l1 = Splat<V>(v1);
    for (int c = 0; c < kGroup; c += kLanes<V>) {
        const V under = Pick(Inside(t0 + c, b0 + c, r), l0, LoadLanes<V>(ground + c));
        StoreLanes(pixels + c, Pick(Inside(t1 + c, b1 + c, r), l1, under));
    }
}
#else
#define KX52_ALWAYS_INLINE inline
// One column at a time; `V` only names the variant.
struct Lanes4 {};

template <class V> inline void SelectRow(quint32* KX52_RESTRICT pixels, const int* KX52_RESTRICT tops,
                                         const int* KX52_RESTRICT bottoms, int row, quint32 in, quint32 out)
{
    for (int c = 0; c < kGroup; ++c)
        pixels[c] = (tops[c] <= row) & (row <= bottoms[c]) ? in : out;
}

template <class V> inline void BlendRow(quint32* KX52_RESTRICT pixels, const int* KX52_RESTRICT tops,
                                        const int* KX52_RESTRICT bottoms, int row, quint32 in)
{
    for (int c = 0; c < kGroup; ++c)
        pixels[c] = (tops[c] <= row) & (row <= bottoms[c]) ? in : pixels[c];
}

template <class V> inline void BlendRow(quint32* KX52_RESTRICT pixels, const int* KX52_RESTRICT t0,
                                        const int* KX52_RESTRICT b0, const int* KX52_RESTRICT t1,
                                        const int* KX52_RESTRICT b1, int row, quint32 v0, quint32 v1)
{
    for (int c = 0; c < kGroup; ++c) {
        quint32 v = pixels[c];
        v = (t0[c] <= row) & (row <= b0[c]) ? v0 : v;
        v = (t1[c] <= row) & (row <= b1[c]) ? v1 : v;
        pixels[c] = v;
    }
}

template <class V> inline void GroundRow(quint32* KX52_RESTRICT pixels, const int* KX52_RESTRICT tops,
                                         const int* KX52_RESTRICT bottoms, int row, quint32 in,
                                         const quint32* KX52_RESTRICT ground)
{
    for (int c = 0; c < kGroup; ++c)
        pixels[c] = (tops[c] <= row) & (row <= bottoms[c]) ? in : ground[c];
}

template <class V> inline void GroundRow(quint32* KX52_RESTRICT pixels, const int* KX52_RESTRICT t0,
                                         const int* KX52_RESTRICT b0, const int* KX52_RESTRICT t1,
                                         const int* KX52_RESTRICT b1, int row, quint32 v0, quint32 v1,
                                         const quint32* KX52_RESTRICT ground)
{
    for (int c = 0; c < kGroup; ++c) {
        quint32 v = ground[c];
        v = (t0[c] <= row) & (row <= b0[c]) ? v0 : v;
        v = (t1[c] <= row) & (row <= b1[c]) ? v1 : v;
        pixels[c] = v;
    }
}
#endif

} // namespace column_rows
