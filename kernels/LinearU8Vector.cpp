#include "kernels/LinearU8Vector.h"

#include "kernels/AlignedAlloc.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

// GCC 12's AVX-512 intrinsics fill unused results with _mm512_undefined_*(),
// which its own uninitialised-use warnings then flag where they are inlined.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define TL_AVX2 __attribute__((target("avx2")))
#define TL_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512dq")))

namespace kernels {

namespace {

// Pixels handled per pass of the position chain.
constexpr int kChunk = 64;
// Destination rows made in one pass over two kept source rows.
constexpr int kSharedRows = 8;
// Pixels of one pass of the single-precision bodies, and how near a whole
// number their float result may come before the pixel is made again in
// double precision (the rounding contracts are stated with the bodies).
constexpr int kWideGroup = 16;
constexpr float kNearWhole = 1.0f / 2048;

// How the samples of a pixel are loaded. Two or more processed channels start
// at the pixel's first sample (only a channel of interest starts later, and it
// is alone), so with four samples or more per pixel a 4-byte load stays inside
// the pixel (kWord), and with exactly four the pixel and its right neighbour
// are one 8-byte load (kPacked). Otherwise the bytes are gathered (kGather).
constexpr int kGather = 0;
constexpr int kWord = 1;
constexpr int kPacked = 2;

// The N processed samples of a pixel as a word, sample i in byte i.
template <int N, int kLoad>
inline std::uint32_t PixelWord(const std::uint8_t* inPixel)
{
  std::uint32_t theWord = 0;
  if constexpr (kLoad != kGather) {
    std::memcpy(&theWord, inPixel, 4);
  } else {
    for (int i = 0; i < N; ++i)
      theWord |= static_cast<std::uint32_t>(inPixel[i]) << (8 * i);
  }
  return theWord;
}

// ---------------------------------------------------------------------------
// Positions, indices and fractions (AVX2; the AVX-512 bodies use them too).

// Indices and fractions of four positions along one axis.
TL_AVX2 inline void IndexFour(const double* inPositions, __m256d inLimit, std::int32_t* outIndex,
                              double* outFraction)
{
  const __m256d theLimitLess1 = _mm256_sub_pd(inLimit, _mm256_set1_pd(1.0));
  __m256d thePosition = _mm256_max_pd(_mm256_load_pd(inPositions), _mm256_setzero_pd());
  thePosition = _mm256_min_pd(thePosition, inLimit);
  const __m128i theTruncated = _mm256_cvttpd_epi32(_mm256_add_pd(thePosition, _mm256_set1_pd(1e-7)));
  __m256d theIndex = _mm256_cvtepi32_pd(theTruncated);
  __m256d theFraction = _mm256_sub_pd(thePosition, theIndex);
  const __m256d theAtEdge = _mm256_cmp_pd(theIndex, inLimit, _CMP_GE_OQ);
  theIndex = _mm256_blendv_pd(theIndex, theLimitLess1, theAtEdge);
  theFraction = _mm256_blendv_pd(theFraction, _mm256_set1_pd(1.0), theAtEdge);
  _mm_store_si128(reinterpret_cast<__m128i*>(outIndex), _mm256_cvttpd_epi32(theIndex));
  _mm256_store_pd(outFraction, theFraction);
}

// The source pixels and fractions of up to kChunk destination pixels of a row,
// continuing the row's additions in ioX and ioY. Lanes past inCount (up to the
// next multiple of four) take position 0, a valid pixel.
struct Chunk {
  alignas(32) double mSX[kChunk];
  alignas(32) double mSY[kChunk];
  alignas(32) double mFx[kChunk];
  alignas(32) double mFy[kChunk];
  alignas(16) std::int32_t mIx[kChunk];
  alignas(16) std::int32_t mIy[kChunk];

  TL_AVX2 void Fill(const AffineKernelArgs& inArgs, int inCount, double& ioX, double& ioY)
  {
    for (int k = 0; k < inCount; ++k) {
      mSX[k] = ioX;
      mSY[k] = ioY;
      ioX += inArgs.mC[0];
      ioY += inArgs.mC[3];
    }
    for (int k = inCount; k % 4 != 0; ++k)
      mSX[k] = mSY[k] = 0.0;
    const __m256d theXLimit = _mm256_set1_pd(inArgs.mXLimit);
    const __m256d theYLimit = _mm256_set1_pd(inArgs.mYLimit);
    for (int k = 0; k < inCount; k += 4) {
      IndexFour(mSX + k, theXLimit, mIx + k, mFx + k);
      IndexFour(mSY + k, theYLimit, mIy + k, mFy + k);
    }
  }
};

// The column walk of a row without rotation or shear: fractions and byte
// offsets of its source columns, for the row's count rounded up to four.
struct ColumnWalk {
  TL_AVX2 void Fill(const AffineKernelArgs& inArgs, int inFirst, int inCount, double inRowX)
  {
    alignas(32) double theSX[4];
    alignas(16) std::int32_t theIx[4];
    const __m256d theXLimit = _mm256_set1_pd(inArgs.mXLimit);
    double theX = inArgs.mC[0] * inFirst + inRowX;
    for (int k = 0; k < inCount; k += 4) {
      for (int j = 0; j < 4; ++j) {
        theSX[j] = theX;
        theX += inArgs.mC[0];
      }
      IndexFour(theSX, theXLimit, theIx, mFx + k);
      for (int j = 0; j < 4; ++j)
        mOffsets[k + j] = theIx[j] * inArgs.mSourceStep;
    }
  }

  double* mFx;
  std::int64_t* mOffsets;
};

// Working memory of the axis bodies: the column walk and two kept rows of
// horizontal steps (four doubles per pixel, and the same as floats for the
// AVX-512 bodies), from the kernels' allocator.
class KeptRows {
 public:
  explicit KeptRows(int inWidest)
  {
    mCapacity = (static_cast<std::int64_t>(inWidest) + 3) & ~std::int64_t{3};
    if (14 * mCapacity <= INT32_MAX)
      mBlock = iplAlignedAllocDouble(static_cast<int>(14 * mCapacity));
    if (!mBlock)
      return;
    mWalk.mFx = mBlock;
    mWalk.mOffsets = reinterpret_cast<std::int64_t*>(mBlock + mCapacity);
    mRows[0] = mBlock + 2 * mCapacity;
    mRows[1] = mBlock + 6 * mCapacity;
    mFloatRows[0] = reinterpret_cast<float*>(mBlock + 10 * mCapacity);
    mFloatRows[1] = reinterpret_cast<float*>(mBlock + 12 * mCapacity);
  }
  ~KeptRows() { iplAlignedFree(mBlock); }
  KeptRows(const KeptRows&) = delete;
  KeptRows& operator=(const KeptRows&) = delete;

  bool Valid() const { return mBlock != nullptr; }

  // Walks the columns anew when the row's span or row term differs.
  TL_AVX2 void Walk(const AffineKernelArgs& inArgs, int inFirst, int inLast, double inRowX)
  {
    if (inFirst == mFirst && inLast == mLast && inRowX == mRowX)
      return;
    mWalk.Fill(inArgs, inFirst, inLast - inFirst + 1, inRowX);
    mFirst = inFirst;
    mLast = inLast;
    mRowX = inRowX;
    mSourceRow[0] = mSourceRow[1] = -1;
  }

  // The slot of source row inRow; outMake is set when the row is not kept and
  // must be made into it. The slot taken is the one not holding inAlsoNeeded.
  double* Row(int inRow, int inAlsoNeeded, bool& outMake)
  {
    outMake = false;
    for (int i = 0; i < 2; ++i) {
      if (mSourceRow[i] == inRow)
        return mRows[i];
    }
    const int theSlot = mSourceRow[0] == inAlsoNeeded ? 1 : 0;
    mSourceRow[theSlot] = inRow;
    outMake = true;
    return mRows[theSlot];
  }

  // The float copy of a kept row.
  float* FloatRow(const double* inRow) const { return mFloatRows[inRow == mRows[1]]; }

  const ColumnWalk& Columns() const { return mWalk; }

 private:
  std::int64_t mCapacity = 0;
  double* mBlock = nullptr;
  ColumnWalk mWalk{};
  double* mRows[2] = {nullptr, nullptr};
  float* mFloatRows[2] = {nullptr, nullptr};
  int mSourceRow[2] = {-1, -1};
  int mFirst = 0;
  int mLast = -1;
  double mRowX = 0;
};

int WidestSpan(const AffineKernelArgs& inArgs, int inYFrom, int inYTo)
{
  int theWidest = 0;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    theWidest = std::max(theWidest, inArgs.mLastColumns[theRow] - inArgs.mFirstColumns[theRow] + 1);
  }
  return theWidest;
}

// ---------------------------------------------------------------------------
// AVX2: one pixel per vector.

TL_AVX2 inline __m256d Lanes(__m128i inBytes)
{
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(inBytes));
}

// A pixel's samples and its right neighbour's.
template <int N, int kLoad>
TL_AVX2 inline void LeftRight(const std::uint8_t* inPixel, std::int64_t inRight, __m256d& outLeft, __m256d& outRight)
{
  if constexpr (kLoad == kPacked) {
    const __m128i theBoth = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(inPixel));
    outLeft = Lanes(theBoth);
    outRight = Lanes(_mm_srli_si128(theBoth, 4));
  } else {
    outLeft = Lanes(_mm_cvtsi32_si128(static_cast<int>(PixelWord<N, kLoad>(inPixel))));
    outRight = Lanes(_mm_cvtsi32_si128(static_cast<int>(PixelWord<N, kLoad>(inPixel + inRight))));
  }
}

TL_AVX2 inline __m256d Horizontal(__m256d inLeft, __m256d inRight, __m256d inFx)
{
  return _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(inRight, inLeft), inFx), inLeft);
}

TL_AVX2 inline __m256d Vertical(__m256d inTop, __m256d inBottom, __m256d inFy)
{
  return _mm256_add_pd(inTop, _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(inBottom, inTop), inFy), _mm256_set1_pd(0.5)));
}

template <int N>
TL_AVX2 inline void StoreResult(__m256d inResult, std::uint8_t* outPixel)
{
  const __m256d theHeld = _mm256_max_pd(_mm256_min_pd(inResult, _mm256_set1_pd(255.0)), _mm256_setzero_pd());
  const __m128i theWords = _mm256_cvttpd_epi32(theHeld);
  const __m128i theBytes = _mm_packus_epi16(_mm_packus_epi32(theWords, theWords), theWords);
  const std::uint32_t theValue = static_cast<std::uint32_t>(_mm_cvtsi128_si32(theBytes));
  std::memcpy(outPixel, &theValue, N);
}

template <int N, int kLoad>
TL_AVX2 void GeneralAvx2(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  Chunk theChunk;
  const double* c = inArgs.mC;
  const std::int64_t theRight = inArgs.mSourceStep;
  const std::int64_t theDown = inArgs.mSourceRowStep;
  const std::int64_t theOutStep = inArgs.mDestinationStep;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    double theX = c[0] * theFirst + theRowX;
    double theY = c[3] * theFirst + theRowY;
    std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theOutStep;
    for (int x = theFirst; x <= theLast; x += kChunk) {
      const int theCount = std::min(kChunk, theLast - x + 1);
      theChunk.Fill(inArgs, theCount, theX, theY);
      for (int k = 0; k < theCount; ++k) {
        const std::uint8_t* thePixel = inArgs.mSource + theChunk.mIy[k] * theDown + theChunk.mIx[k] * theRight;
        const __m256d theFx = _mm256_set1_pd(theChunk.mFx[k]);
        __m256d a, b, d, e;
        LeftRight<N, kLoad>(thePixel, theRight, a, b);
        LeftRight<N, kLoad>(thePixel + theDown, theRight, d, e);
        StoreResult<N>(Vertical(Horizontal(a, b, theFx), Horizontal(d, e, theFx), _mm256_set1_pd(theChunk.mFy[k])),
                       theOut);
        theOut += theOutStep;
      }
    }
    theRowX += c[1];
    theRowY += c[4];
  }
}

// The horizontal steps of one source row along the column walk.
template <int N, int kLoad>
TL_AVX2 void KeptRowAvx2(const AffineKernelArgs& inArgs, const ColumnWalk& inWalk, int inSourceRow, int inCount,
                         double* outRow)
{
  const std::uint8_t* theLine = inArgs.mSource + inSourceRow * inArgs.mSourceRowStep;
  for (int k = 0; k < inCount; ++k) {
    __m256d theLeft, theRight;
    LeftRight<N, kLoad>(theLine + inWalk.mOffsets[k], inArgs.mSourceStep, theLeft, theRight);
    _mm256_store_pd(outRow + 4 * k, Horizontal(theLeft, theRight, _mm256_set1_pd(inWalk.mFx[k])));
  }
}

template <int N, int kLoad>
TL_AVX2 void AxisAvx2(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  KeptRows theKept(WidestSpan(inArgs, inYFrom, inYTo));
  if (!theKept.Valid()) {
    GeneralAvx2<N, kLoad>(inArgs, inYFrom, inYTo, inRowX, inRowY);
    return;
  }
  const double* c = inArgs.mC;
  const std::int64_t theOutStep = inArgs.mDestinationStep;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst <= theLast) {
      const int theCount = theLast - theFirst + 1;
      theKept.Walk(inArgs, theFirst, theLast, theRowX);
      int theIy = 0;
      double theFy = 0;
      LinearIndex(c[3] * theFirst + theRowY, inArgs.mYLimit, theIy, theFy);
      const double* theRows[2];
      for (int i = 0; i < 2; ++i) {
        bool theMake = false;
        double* theSlot = theKept.Row(theIy + i, theIy + 1 - i, theMake);
        if (theMake)
          KeptRowAvx2<N, kLoad>(inArgs, theKept.Columns(), theIy + i, theCount, theSlot);
        theRows[i] = theSlot;
      }
      const __m256d theFyv = _mm256_set1_pd(theFy);
      std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theOutStep;
      for (int k = 0; k < theCount; ++k) {
        StoreResult<N>(Vertical(_mm256_load_pd(theRows[0] + 4 * k), _mm256_load_pd(theRows[1] + 4 * k), theFyv),
                       theOut);
        theOut += theOutStep;
      }
    }
    theRowX += c[1];
    theRowY += c[4];
  }
}

// ---------------------------------------------------------------------------
// AVX-512: two pixels per vector, four pixels per store.

TL_AVX512 inline __m512d Lanes2(__m128i inBytes)
{
  return _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(inBytes));
}

// Two pixels' samples and their right neighbours'.
template <int N, int kLoad>
TL_AVX512 inline void LeftRight2(const std::uint8_t* inFirst, const std::uint8_t* inSecond, std::int64_t inRight,
                                 __m512d& outLeft, __m512d& outRight)
{
  if constexpr (kLoad == kPacked) {
    const __m128i theFirst = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(inFirst));
    const __m128i theSecond = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(inSecond));
    const __m128i theBoth = _mm_unpacklo_epi32(theFirst, theSecond);  // left 1, left 2, right 1, right 2
    outLeft = Lanes2(theBoth);
    outRight = Lanes2(_mm_unpackhi_epi64(theBoth, theBoth));
  } else {
    auto Words = [](std::uint32_t inA, std::uint32_t inB) {
      return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(inA)), _mm_cvtsi32_si128(static_cast<int>(inB)));
    };
    outLeft = Lanes2(Words(PixelWord<N, kLoad>(inFirst), PixelWord<N, kLoad>(inSecond)));
    outRight = Lanes2(Words(PixelWord<N, kLoad>(inFirst + inRight), PixelWord<N, kLoad>(inSecond + inRight)));
  }
}

// Two values, each in the four lanes of its pixel.
TL_AVX512 inline __m512d Pair(const double* inValues)
{
  return _mm512_permutexvar_pd(_mm512_set_epi64(1, 1, 1, 1, 0, 0, 0, 0),
                               _mm512_castpd128_pd512(_mm_loadu_pd(inValues)));
}

TL_AVX512 inline __m512d Horizontal2(__m512d inLeft, __m512d inRight, __m512d inFx)
{
  return _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(inRight, inLeft), inFx), inLeft);
}

TL_AVX512 inline __m512d Vertical2(__m512d inTop, __m512d inBottom, __m512d inFy)
{
  return _mm512_add_pd(inTop, _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(inBottom, inTop), inFy), _mm512_set1_pd(0.5)));
}

TL_AVX512 inline __m256i Words2(__m512d inResult)
{
  const __m512d theHeld = _mm512_max_pd(_mm512_min_pd(inResult, _mm512_set1_pd(255.0)), _mm512_setzero_pd());
  return _mm512_cvttpd_epi32(theHeld);
}

// Stores the first N bytes of each of inPixels (up to four) pixels, whose
// results are the 4-byte groups of the two pairs' words.
template <int N>
TL_AVX512 inline void StoreFour(__m256i inFirstPair, __m256i inSecondPair, int inPixels, std::uint8_t* outPixel,
                                std::int64_t inStep)
{
  const __m128i theBytes =
    _mm512_cvtepi32_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(inFirstPair), inSecondPair, 1));
  if (inStep == 4) {
    constexpr std::uint32_t kFour = ((1u << N) - 1) * 0x1111u;
    const __mmask16 theMask = static_cast<__mmask16>(kFour & ((1u << (4 * inPixels)) - 1));
    _mm_mask_storeu_epi8(outPixel, theMask, theBytes);
    return;
  }
  alignas(16) std::uint8_t theLanes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(theLanes), theBytes);
  for (int j = 0; j < inPixels; ++j)
    std::memcpy(outPixel + j * inStep, theLanes + 4 * j, N);
}

template <int N, int kLoad>
TL_AVX512 void GeneralAvx512(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  Chunk theChunk;
  const double* c = inArgs.mC;
  const std::int64_t theRight = inArgs.mSourceStep;
  const std::int64_t theDown = inArgs.mSourceRowStep;
  const std::int64_t theOutStep = inArgs.mDestinationStep;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    double theX = c[0] * theFirst + theRowX;
    double theY = c[3] * theFirst + theRowY;
    std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theOutStep;
    for (int x = theFirst; x <= theLast; x += kChunk) {
      const int theCount = std::min(kChunk, theLast - x + 1);
      theChunk.Fill(inArgs, theCount, theX, theY);
      for (int k = 0; k < theCount; k += 4) {
        __m256i theWords[2];
        for (int h = 0; h < 2; ++h) {
          const int k0 = k + 2 * h;
          const std::uint8_t* p0 = inArgs.mSource + theChunk.mIy[k0] * theDown + theChunk.mIx[k0] * theRight;
          const std::uint8_t* p1 = inArgs.mSource + theChunk.mIy[k0 + 1] * theDown + theChunk.mIx[k0 + 1] * theRight;
          const __m512d theFx = Pair(theChunk.mFx + k0);
          __m512d a, b, d, e;
          LeftRight2<N, kLoad>(p0, p1, theRight, a, b);
          LeftRight2<N, kLoad>(p0 + theDown, p1 + theDown, theRight, d, e);
          theWords[h] = Words2(Vertical2(Horizontal2(a, b, theFx), Horizontal2(d, e, theFx), Pair(theChunk.mFy + k0)));
        }
        StoreFour<N>(theWords[0], theWords[1], std::min(4, theCount - k), theOut, theOutStep);
        theOut += 4 * theOutStep;
      }
    }
    theRowX += c[1];
    theRowY += c[4];
  }
}

// The horizontal steps of one source row along the column walk, for the
// count rounded up to four (the stores read whole groups of four), as doubles
// and as floats.
template <int N, int kLoad>
TL_AVX512 void KeptRowAvx512(const AffineKernelArgs& inArgs, const ColumnWalk& inWalk, int inSourceRow,
                             int inCount, double* outRow, float* outFloats)
{
  const std::uint8_t* theLine = inArgs.mSource + inSourceRow * inArgs.mSourceRowStep;
  for (int k = 0; k < ((inCount + 3) & ~3); k += 2) {
    __m512d theLeft, theRight;
    LeftRight2<N, kLoad>(theLine + inWalk.mOffsets[k], theLine + inWalk.mOffsets[k + 1], inArgs.mSourceStep, theLeft,
                         theRight);
    const __m512d theStep = Horizontal2(theLeft, theRight, Pair(inWalk.mFx + k));
    _mm512_storeu_pd(outRow + 4 * k, theStep);
    _mm256_storeu_ps(outFloats + 4 * k, _mm512_cvtpd_ps(theStep));
  }
}

// A whole row from the source rows inIy and inIy + 1 along the column walk,
// the horizontal steps used as they are made.
template <int N, int kLoad>
TL_AVX512 void FusedRowAvx512(const AffineKernelArgs& inArgs, const ColumnWalk& inWalk, int inIy, int inCount,
                              __m512d inFy, std::uint8_t* outPixel)
{
  const std::uint8_t* theTop = inArgs.mSource + inIy * inArgs.mSourceRowStep;
  const std::uint8_t* theBottom = theTop + inArgs.mSourceRowStep;
  const std::int64_t theRight = inArgs.mSourceStep;
  const std::int64_t theOutStep = inArgs.mDestinationStep;
  for (int k = 0; k < inCount; k += 4) {
    __m256i theWords[2];
    for (int h = 0; h < 2; ++h) {
      const int k0 = k + 2 * h;
      const std::int64_t theFirst = inWalk.mOffsets[k0];
      const std::int64_t theSecond = inWalk.mOffsets[k0 + 1];
      const __m512d theFx = Pair(inWalk.mFx + k0);
      __m512d a, b, d, e;
      LeftRight2<N, kLoad>(theTop + theFirst, theTop + theSecond, theRight, a, b);
      LeftRight2<N, kLoad>(theBottom + theFirst, theBottom + theSecond, theRight, d, e);
      theWords[h] = Words2(Vertical2(Horizontal2(a, b, theFx), Horizontal2(d, e, theFx), inFy));
    }
    StoreFour<N>(theWords[0], theWords[1], std::min(4, inCount - k), outPixel, theOutStep);
    outPixel += 4 * theOutStep;
  }
}

// The vertical step of sixteen pixels from the float copies of the kept rows
// (four vectors each), for one destination row. Rounding contract: the kept
// steps are rounded to float (half an ulp of a value below 2^9) and the four
// roundings of v = top + ((bottom - top) fy + 0.5) are at most half an ulp of
// a value below 2^11, with fy rounded to float adding 765 x 2^-25, so the
// float v lies within 2.8e-4 of the double one. Where it is more than
// kNearWhole from every whole number, the truncation to a byte is the same;
// the lanes nearer than that are made again from the double rows, as the
// general body makes them (FastLayerMatchesThePlainKernels).
template <int N>
TL_AVX512 __attribute__((always_inline)) inline void WideVertical(const __m512 inTops[4], const __m512 inBottoms[4],
                                                                  const double* const inRows[2], int inK, double inFy,
                                                                  std::uint8_t* outPixel, std::int64_t inStep)
{
  const __m512 theFy = _mm512_set1_ps(static_cast<float>(inFy));
  __m128i theParts[4];
  std::uint64_t theNear = 0;
  for (int q = 0; q < 4; ++q) {
    const __m512 v = _mm512_add_ps(
      inTops[q], _mm512_add_ps(_mm512_mul_ps(_mm512_sub_ps(inBottoms[q], inTops[q]), theFy), _mm512_set1_ps(0.5f)));
    const __m512 theOff = _mm512_abs_ps(_mm512_reduce_ps(v, _MM_FROUND_TO_NEAREST_INT));
    const __mmask16 theQuarterNear = _mm512_cmp_ps_mask(theOff, _mm512_set1_ps(kNearWhole), _CMP_LT_OQ);
    theNear |= static_cast<std::uint64_t>(theQuarterNear) << (16 * q);
    theParts[q] = _mm512_cvtusepi32_epi8(_mm512_cvttps_epi32(_mm512_max_ps(v, _mm512_setzero_ps())));
  }
  __m512i theBytes = _mm512_castsi128_si512(theParts[0]);
  theBytes = _mm512_inserti32x4(theBytes, theParts[1], 1);
  theBytes = _mm512_inserti32x4(theBytes, theParts[2], 2);
  theBytes = _mm512_inserti32x4(theBytes, theParts[3], 3);
  constexpr std::uint64_t kLanes = ((1u << N) - 1) * 0x1111111111111111u;
  if (inStep == 4) {
    _mm512_mask_storeu_epi8(outPixel, kLanes, theBytes);
  } else {
    alignas(64) std::uint8_t theLanes[64];
    _mm512_store_si512(theLanes, theBytes);
    for (int p = 0; p < kWideGroup; ++p)
      std::memcpy(outPixel + p * inStep, theLanes + 4 * p, N);
  }
  for (std::uint64_t theLeft = theNear & kLanes; theLeft; theLeft &= theLeft - 1) {
    const int theLane = __builtin_ctzll(theLeft);
    const std::int64_t theAt = 4 * static_cast<std::int64_t>(inK) + theLane;
    const double theTop = inRows[0][theAt];
    const double theBottom = inRows[1][theAt];
    outPixel[theLane / 4 * inStep + theLane % 4] =
      ClampTrunc<std::uint8_t>(theTop + ((theBottom - theTop) * inFy + 0.5));
  }
}

template <int N, int kLoad>
TL_AVX512 void AxisAvx512(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  KeptRows theKept(WidestSpan(inArgs, inYFrom, inYTo));
  if (!theKept.Valid()) {
    GeneralAvx512<N, kLoad>(inArgs, inYFrom, inYTo, inRowX, inRowY);
    return;
  }
  const double* c = inArgs.mC;
  const std::int64_t theOutStep = inArgs.mDestinationStep;
  // Shrinking by more than two rows per row leaves no source row for the next
  // row to share: then the horizontal steps are not kept but used at once.
  const bool theFused = std::fabs(c[4]) > 2.0;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y, theRowX += c[1], theRowY += c[4]) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst <= theLast) {
      const int theCount = theLast - theFirst + 1;
      theKept.Walk(inArgs, theFirst, theLast, theRowX);
      int theIy = 0;
      double theFy = 0;
      LinearIndex(c[3] * theFirst + theRowY, inArgs.mYLimit, theIy, theFy);
      std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theOutStep;
      if (theFused) {
        FusedRowAvx512<N, kLoad>(inArgs, theKept.Columns(), theIy, theCount, _mm512_set1_pd(theFy), theOut);
        continue;
      }
      const double* theRows[2];
      for (int i = 0; i < 2; ++i) {
        bool theMake = false;
        double* theSlot = theKept.Row(theIy + i, theIy + 1 - i, theMake);
        if (theMake)
          KeptRowAvx512<N, kLoad>(inArgs, theKept.Columns(), theIy + i, theCount, theSlot, theKept.FloatRow(theSlot));
        theRows[i] = theSlot;
      }
      // The next rows of the same span that take the same two source rows are
      // made in the same pass over the kept steps, each with its own fraction.
      double theFys[kSharedRows] = {theFy};
      std::uint8_t* theOuts[kSharedRows] = {theOut};
      int theShared = 1;
      for (; theShared < kSharedRows && y < inYTo; ++theShared) {
        const int theNext = theRow + theShared;
        int theNextIy = 0;
        double theNextFy = 0;
        LinearIndex(c[3] * theFirst + (theRowY + c[4]), inArgs.mYLimit, theNextIy, theNextFy);
        if (inArgs.mFirstColumns[theNext] != theFirst || inArgs.mLastColumns[theNext] != theLast ||
            theRowX + c[1] != theRowX || theNextIy != theIy)
          break;
        ++y;
        theRowX += c[1];
        theRowY += c[4];
        theFys[theShared] = theNextFy;
        theOuts[theShared] = inArgs.mDestination + theNext * inArgs.mDestinationRowStep + theFirst * theOutStep;
      }
      const float* theFloats[2] = {theKept.FloatRow(theRows[0]), theKept.FloatRow(theRows[1])};
      int k = 0;
      for (; k + kWideGroup <= theCount; k += kWideGroup) {
        __m512 theTops[4], theBottoms[4];
        for (int q = 0; q < 4; ++q) {
          theTops[q] = _mm512_loadu_ps(theFloats[0] + 4 * (k + 4 * q));
          theBottoms[q] = _mm512_loadu_ps(theFloats[1] + 4 * (k + 4 * q));
        }
        for (int r = 0; r < theShared; ++r)
          WideVertical<N>(theTops, theBottoms, theRows, k, theFys[r], theOuts[r] + k * theOutStep, theOutStep);
      }
      for (; k < theCount; k += 4) {
        const __m512d theTop0 = _mm512_loadu_pd(theRows[0] + 4 * k);
        const __m512d theBottom0 = _mm512_loadu_pd(theRows[1] + 4 * k);
        const __m512d theTop1 = _mm512_loadu_pd(theRows[0] + 4 * k + 8);
        const __m512d theBottom1 = _mm512_loadu_pd(theRows[1] + 4 * k + 8);
        for (int r = 0; r < theShared; ++r) {
          const __m512d theFy2 = _mm512_set1_pd(theFys[r]);
          StoreFour<N>(Words2(Vertical2(theTop0, theBottom0, theFy2)), Words2(Vertical2(theTop1, theBottom1, theFy2)),
                       std::min(4, theCount - k), theOuts[r] + k * theOutStep, theOutStep);
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// AVX-512, shrinking four-byte pixels without rotation or shear by more than
// two source rows per row (no source row to share) and by at most four source
// columns per column: sixteen pixels a pass, each channel in a vector of
// sixteen floats. A pixel and its right neighbour are two whole 32-bit words,
// gathered by word permutes from the span their loads cover; a channel is
// taken out by a byte shuffle, and the channels are put back by saturating
// packs.
//
// Rounding contract. The plain kernel's byte is trunc(clamp(v, 0, 255)) with
//   top = (b - a) fx + a;  bottom = (e - d) fx + d;
//   v = top + ((bottom - top) fy + 0.5)
// in double precision, a..e in 0..255 and fx, fy in 0..1; that is
// clamp(floor(v), 0, 255). In single precision, fused,
//   top = fma(b - a, fx, a);  bottom = fma(e - d, fx, d);
//   w = fma(bottom - top, fy, top)
// with fx and fy rounded to float (2^-25 at most): top and bottom lie within
// 2.3e-5 of their exact values (|top| < 2^9), bottom - top within 7.7e-5
// (below 2^10), and w, below 2^11, within 2.5e-4 of v - 0.5. Where w is more
// than kNearWhole from every half-integer, floor(v) is w rounded to the
// nearest whole number, and the packs' saturation is the clamp. A pixel with a
// channel nearer than that is made again in double precision, as the plain
// kernel makes it. FastLayerMatchesThePlainKernels checks the bytes.

// The column walk of a shrinking row: per pixel the walk's byte offset and
// fraction (double, and as a float), and per eight pixels the offset their
// loads start at, the word masks that keep the two 64-byte loads to the
// pixels and their right neighbours, and the word permutation that takes the
// eight pixels' words (lanes 0..7) and their neighbours' (lanes 8..15); room
// for a row's near-whole masks besides.
class ShrinkWalk {
 public:
  ShrinkWalk() = default;
  ~ShrinkWalk() { iplAlignedFree(mBlock); }
  ShrinkWalk(const ShrinkWalk&) = delete;
  ShrinkWalk& operator=(const ShrinkWalk&) = delete;

  // Room for rows of inWidest pixels; false when there is none.
  bool Reserve(int inWidest)
  {
    const std::int64_t theCapacity = (static_cast<std::int64_t>(inWidest) + kWideGroup - 1) / kWideGroup * kWideGroup;
    if (theCapacity <= mCapacity)
      return true;
    iplAlignedFree(mBlock);
    mBlock = nullptr;
    mCapacity = 0;
    mLast = -1;
    const std::int64_t theEights = theCapacity / 8;
    // Per pixel: offset, fraction, float fraction; per eight pixels: the
    // permutation, the start, two masks; per sixteen: the near-whole mask.
    const std::int64_t theBytes =
      theCapacity * (8 + 8 + 4) + theEights * (64 + 8 + 4) + theCapacity / kWideGroup * 2;
    if (theBytes <= INT32_MAX)
      mBlock = iplAlignedAlloc(static_cast<int>(theBytes));
    if (!mBlock)
      return false;
    mCapacity = theCapacity;
    mIndex = reinterpret_cast<std::uint32_t*>(mBlock);
    mWalk.mFx = reinterpret_cast<double*>(mIndex + 16 * theEights);
    mWalk.mOffsets = reinterpret_cast<std::int64_t*>(mWalk.mFx + theCapacity);
    mStart = mWalk.mOffsets + theCapacity;
    mFloatFx = reinterpret_cast<float*>(mStart + theEights);
    mMasks = reinterpret_cast<std::uint16_t*>(mFloatFx + theCapacity);
    mNear = mMasks + 2 * theEights;
    return true;
  }

  // Walks the columns anew unless the last walk had the same span, row term,
  // step and source width (the pixels are four bytes; the width keeps the
  // loads inside the rows); false when eight pixels' words reach over more
  // than 32 words.
  TL_AVX2 bool Walk(const AffineKernelArgs& inArgs, int inFirst, int inLast, double inRowX)
  {
    if (inFirst == mFirst && inLast == mLast && inRowX == mRowX && inArgs.mC[0] == mStep &&
        inArgs.mXLimit == mXLimit)
      return true;
    const int theCount = inLast - inFirst + 1;
    const int theFull = (theCount + kWideGroup - 1) / kWideGroup * kWideGroup;
    mWalk.Fill(inArgs, inFirst, theCount, inRowX);
    for (int k = theCount; k < theFull; ++k) {
      mWalk.mOffsets[k] = mWalk.mOffsets[theCount - 1];
      mWalk.mFx[k] = mWalk.mFx[theCount - 1];
    }
    for (int k = 0; k < theFull; ++k)
      mFloatFx[k] = static_cast<float>(mWalk.mFx[k]);
    mReach = 0;
    for (int h = 0; h < theFull / 8; ++h) {
      const std::int64_t* theOffsets = mWalk.mOffsets + 8 * h;
      const std::int64_t theStart = *std::min_element(theOffsets, theOffsets + 8);
      const std::int64_t theWords = (*std::max_element(theOffsets, theOffsets + 8) - theStart) / 4 + 2;
      if (theWords > 32) {
        mLast = -1;
        return false;
      }
      mStart[h] = theStart;
      mReach = std::max(mReach, theStart + 128);
      mMasks[2 * h] = static_cast<std::uint16_t>(theWords >= 16 ? 0xFFFF : (1u << theWords) - 1);
      mMasks[2 * h + 1] = static_cast<std::uint16_t>(theWords <= 16 ? 0 : (1u << (theWords - 16)) - 1);
      for (int p = 0; p < 8; ++p) {
        mIndex[16 * h + p] = static_cast<std::uint32_t>((theOffsets[p] - theStart) / 4);
        mIndex[16 * h + 8 + p] = static_cast<std::uint32_t>((theOffsets[p] - theStart) / 4 + 1);
      }
    }
    mFirst = inFirst;
    mLast = inLast;
    mRowX = inRowX;
    mStep = inArgs.mC[0];
    mXLimit = inArgs.mXLimit;
    return true;
  }

  const ColumnWalk& Columns() const { return mWalk; }
  const float* FloatFx() const { return mFloatFx; }
  // The farthest byte from a row's start that a row's loads reach.
  std::int64_t Reach() const { return mReach; }
  // Room for one 16-bit mask per sixteen pixels of a row.
  std::uint16_t* NearMasks() const { return mNear; }
  const std::uint32_t* Index(int inEight) const { return mIndex + 16 * inEight; }
  std::int64_t Start(int inEight) const { return mStart[inEight]; }
  __mmask16 LowMask(int inEight) const { return mMasks[2 * inEight]; }
  __mmask16 HighMask(int inEight) const { return mMasks[2 * inEight + 1]; }

 private:
  std::int64_t mCapacity = 0;
  std::uint8_t* mBlock = nullptr;
  std::uint32_t* mIndex = nullptr;
  ColumnWalk mWalk{};
  std::int64_t* mStart = nullptr;
  float* mFloatFx = nullptr;
  std::uint16_t* mMasks = nullptr;
  std::uint16_t* mNear = nullptr;
  std::int64_t mReach = 0;
  int mFirst = 0;
  int mLast = -1;
  double mRowX = 0;
  double mStep = 0;
  int mXLimit = 0;
};

// One pixel in double precision, as the plain kernel makes it.
template <int N>
void RemakePixel(const std::uint8_t* inTop, const std::uint8_t* inBottom, double inFx, double inFy,
                 std::uint8_t* outPixel)
{
  for (int c = 0; c < N; ++c) {
    const double a = inTop[c], b = inTop[4 + c], d = inBottom[c], e = inBottom[4 + c];
    const double theTop = (b - a) * inFx + a;
    const double theBottom = (e - d) * inFx + d;
    outPixel[c] = ClampTrunc<std::uint8_t>(theTop + ((theBottom - theTop) * inFy + 0.5));
  }
}

// The words of eight pixels of a source row (lanes 0..7) and of their right
// neighbours (lanes 8..15). kWhole: the 128 bytes from the loads' start lie
// inside the image, so the loads need no masks.
template <bool kWhole>
TL_AVX512 inline __m512i EightPixels(const ShrinkWalk& inWalk, int inEight, const std::uint8_t* inLine)
{
  const std::uint8_t* theStart = inLine + inWalk.Start(inEight);
  const __m512i theIndex = _mm512_loadu_si512(inWalk.Index(inEight));
  if constexpr (kWhole)
    return _mm512_permutex2var_epi32(_mm512_loadu_si512(theStart), theIndex, _mm512_loadu_si512(theStart + 64));
  const __m512i theLow = _mm512_maskz_loadu_epi32(inWalk.LowMask(inEight), theStart);
  const __m512i theHigh = _mm512_maskz_loadu_epi32(inWalk.HighMask(inEight), theStart + 64);
  return _mm512_permutex2var_epi32(theLow, theIndex, theHigh);
}

// The words of sixteen pixels of a source row and of their right neighbours.
template <bool kWhole>
TL_AVX512 inline void SixteenPixels(const ShrinkWalk& inWalk, int inGroup, const std::uint8_t* inLine,
                                    __m512i outWords[2])
{
  const __m512i theFirst = EightPixels<kWhole>(inWalk, 2 * inGroup, inLine);
  const __m512i theSecond = EightPixels<kWhole>(inWalk, 2 * inGroup + 1, inLine);
  outWords[0] = _mm512_shuffle_i64x2(theFirst, theSecond, _MM_SHUFFLE(1, 0, 1, 0));
  outWords[1] = _mm512_shuffle_i64x2(theFirst, theSecond, _MM_SHUFFLE(3, 2, 3, 2));
}

// Sample C of sixteen pixel words as floats: byte C of each word picked out
// and zero-extended in one shuffle.
template <int C>
TL_AVX512 inline __m512 SampleFloats(__m512i inWords)
{
  const __m512i kPick = _mm512_set4_epi32(static_cast<int>(0x8080800Cu + C), static_cast<int>(0x80808008u + C),
                                          static_cast<int>(0x80808004u + C), static_cast<int>(0x80808000u + C));
  return _mm512_cvtepi32_ps(_mm512_shuffle_epi8(inWords, kPick));
}

// Channel C of sixteen pixels from their words and their right neighbours'
// in the top and the bottom source row: w rounded to the nearest whole number
// (a 32-bit integer), and in outOff w less that number.
template <int C>
TL_AVX512 inline __m512i ShrinkChannel(const __m512i inTop[2], const __m512i inBottom[2], __m512 inFx, __m512 inFy,
                                       __m512& outOff)
{
  const __m512 a = SampleFloats<C>(inTop[0]), b = SampleFloats<C>(inTop[1]);
  const __m512 d = SampleFloats<C>(inBottom[0]), e = SampleFloats<C>(inBottom[1]);
  const __m512 theUpper = _mm512_fmadd_ps(_mm512_sub_ps(b, a), inFx, a);
  const __m512 theLower = _mm512_fmadd_ps(_mm512_sub_ps(e, d), inFx, d);
  const __m512 w = _mm512_fmadd_ps(_mm512_sub_ps(theLower, theUpper), inFy, theUpper);
  outOff = _mm512_reduce_ps(w, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  return _mm512_cvt_roundps_epi32(w, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// The two source rows inNext bytes on from the top one, those of the next
// row, are asked of the cache while this one is made, so that a row's loads
// seldom wait on memory. Prefetches never fault, so their addresses are
// formed as integers and may lie past the image.
template <int N, bool kWhole>
TL_AVX512 void ShrinkRow(const AffineKernelArgs& inArgs, const ShrinkWalk& inWalk, int inIy, double inFy,
                         int inCount, std::uint8_t* outRow, std::int64_t inNext)
{
  const std::uint8_t* theTop = inArgs.mSource + inIy * inArgs.mSourceRowStep;
  const std::uint8_t* theBottom = theTop + inArgs.mSourceRowStep;
  const std::uintptr_t theNextTop = reinterpret_cast<std::uintptr_t>(theTop) + inNext;
  const __m512 theFy = _mm512_set1_ps(static_cast<float>(inFy));
  // vrangeps: the larger magnitude, its sign cleared.
  constexpr int kLargerMagnitude = 0x0B;
  // After the packs each 128-bit lane holds four pixels channel by channel;
  // this puts each pixel's channels together.
  const __m512i kInterleave = _mm512_set4_epi32(0x0F0B0703, 0x0E0A0602, 0x0D090501, 0x0C080400);
  constexpr std::uint64_t kChannels = N == 4 ? ~std::uint64_t{0} : 0x7777777777777777u;
  // Pixels near a rounding boundary, sixteen bits a group, made again after
  // the row.
  std::uint16_t* theNear = inWalk.NearMasks();
  const int theGroups = (inCount + kWideGroup - 1) / kWideGroup;
  for (int g = 0; g < theGroups; ++g) {
    __m512i theUpper[2], theLower[2];
    SixteenPixels<kWhole>(inWalk, g, theTop, theUpper);
    SixteenPixels<kWhole>(inWalk, g, theBottom, theLower);
    // The lines of the 128 bytes each eight pixels' loads take.
    for (int theEight = 2 * g; theEight <= 2 * g + 1; ++theEight) {
      for (std::uintptr_t theLine = 0; theLine < 128; theLine += 64) {
        const std::uintptr_t theAt = theNextTop + inWalk.Start(theEight) + theLine;
        _mm_prefetch(reinterpret_cast<const char*>(theAt), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(theAt + inArgs.mSourceRowStep), _MM_HINT_T0);
      }
    }
    const __m512 theFx = _mm512_loadu_ps(inWalk.FloatFx() + kWideGroup * g);
    __m512 theOff[N];
    const __m512i theFirst = ShrinkChannel<0>(theUpper, theLower, theFx, theFy, theOff[0]);
    const __m512i theSecond = ShrinkChannel<1>(theUpper, theLower, theFx, theFy, theOff[1]);
    const __m512i theThird = ShrinkChannel<2>(theUpper, theLower, theFx, theFy, theOff[2]);
    __m512i theFourth = theThird;
    if constexpr (N == 4)
      theFourth = ShrinkChannel<3>(theUpper, theLower, theFx, theFy, theOff[3]);
    __m512 theFarthest = _mm512_range_ps(theOff[0], theOff[1], kLargerMagnitude);
    for (int c = 2; c < N; ++c)
      theFarthest = _mm512_range_ps(theFarthest, theOff[c], kLargerMagnitude);
    // Saturation to unsigned 16 bits, then to unsigned 8: the clamp to 0..255.
    const __m512i thePixels = _mm512_shuffle_epi8(
      _mm512_packus_epi16(_mm512_packus_epi32(theFirst, theSecond), _mm512_packus_epi32(theThird, theFourth)),
      kInterleave);
    const int theValid = std::min(kWideGroup, inCount - kWideGroup * g);
    const std::uint64_t theBytes =
      theValid == kWideGroup ? ~std::uint64_t{0} : (std::uint64_t{1} << (4 * theValid)) - 1;
    _mm512_mask_storeu_epi8(outRow + 4 * kWideGroup * g, kChannels & theBytes, thePixels);
    const __mmask16 theGroupNear =
      _mm512_cmp_ps_mask(theFarthest, _mm512_set1_ps(0.5f - kNearWhole), _CMP_GE_OQ);
    theNear[g] = static_cast<std::uint16_t>(theGroupNear & ((1u << theValid) - 1));
  }
  const ColumnWalk& theColumns = inWalk.Columns();
  for (int g = 0; g < theGroups; ++g) {
    for (unsigned theLeft = theNear[g]; theLeft; theLeft &= theLeft - 1) {
      const int k = kWideGroup * g + __builtin_ctz(theLeft);
      const std::int64_t theOffset = theColumns.mOffsets[k];
      RemakePixel<N>(theTop + theOffset, theBottom + theOffset, theColumns.mFx[k], inFy, outRow + 4 * k);
    }
  }
}

template <int N>
TL_AVX512 void ShrinkAvx512(const AffineKernelArgs& inArgs, int inYFrom, int inYTo, double inRowX, double inRowY)
{
  // Each thread keeps its walk: the bands of a warp, and warps like the last
  // one, walk the same columns.
  thread_local ShrinkWalk theWalk;
  const bool theRoom = theWalk.Reserve(WidestSpan(inArgs, inYFrom, inYTo));
  const double* c = inArgs.mC;
  double theRowX = inRowX;
  double theRowY = inRowY;
  for (int y = inYFrom; y <= inYTo; ++y, theRowX += c[1], theRowY += c[4]) {
    const int theRow = y - inArgs.mYMin;
    const int theFirst = inArgs.mFirstColumns[theRow];
    const int theLast = inArgs.mLastColumns[theRow];
    if (theFirst > theLast)
      continue;
    if (!theRoom || !theWalk.Walk(inArgs, theFirst, theLast, theRowX)) {
      AxisAvx512<N, kPacked>(inArgs, y, inYTo, theRowX, theRowY);
      return;
    }
    int theIy = 0;
    double theFy = 0;
    LinearIndex(c[3] * theFirst + theRowY, inArgs.mYLimit, theIy, theFy);
    // Loads reach 128 bytes from their start: unmasked when that stays before
    // the end of the image's last pixel.
    std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + 4 * theFirst;
    const int theCount = theLast - theFirst + 1;
    const std::int64_t theEnd =
      inArgs.mYLimit * inArgs.mSourceRowStep + 4 * (static_cast<std::int64_t>(inArgs.mXLimit) + 1);
    const bool theWhole = (theIy + 1) * inArgs.mSourceRowStep + theWalk.Reach() <= theEnd;
    int theNextIy = 0;
    double theNextFy = 0;
    LinearIndex(c[3] * theFirst + (theRowY + c[4]), inArgs.mYLimit, theNextIy, theNextFy);
    const std::int64_t theNext = (theNextIy - theIy) * inArgs.mSourceRowStep;
    if (theWhole)
      ShrinkRow<N, true>(inArgs, theWalk, theIy, theFy, theCount, theOut, theNext);
    else
      ShrinkRow<N, false>(inArgs, theWalk, theIy, theFy, theCount, theOut, theNext);
  }
}

// Bodies by [axis][load][N - 1]; a channel count that cannot use a load kind
// takes the gathering one.
#define TL_BODIES(Body)                                                      \
  {{&Body<1, kGather>, &Body<2, kGather>, &Body<3, kGather>, &Body<4, kGather>}, \
   {&Body<1, kGather>, &Body<2, kWord>, &Body<3, kWord>, &Body<4, kWord>},       \
   {&Body<1, kGather>, &Body<2, kPacked>, &Body<3, kPacked>, &Body<4, kPacked>}}
constexpr AffineRows kAvx2Rows[2][3][4] = {TL_BODIES(GeneralAvx2), TL_BODIES(AxisAvx2)};
constexpr AffineRows kAvx512Rows[2][3][4] = {TL_BODIES(GeneralAvx512), TL_BODIES(AxisAvx512)};
#undef TL_BODIES

}  // namespace

VectorLevel SupportedVectorLevel()
{
  static const VectorLevel theLevel = [] {
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
      return VectorLevel::kAvx512;
    if (__builtin_cpu_supports("avx2"))
      return VectorLevel::kAvx2;
    return VectorLevel::kNone;
  }();
  return theLevel;
}

AffineRows LinearU8VectorRows(const AffineKernelArgs& inArgs, VectorLevel inLevel)
{
  const VectorLevel theLevel = std::min(inLevel, SupportedVectorLevel());
  if (theLevel == VectorLevel::kNone || inArgs.mChannels < 1 || inArgs.mChannels > 4)
    return nullptr;
  const double* c = inArgs.mC;
  const bool theAxis = c[1] == 0 && c[3] == 0;
  const bool theFourBytes = inArgs.mSourceStep == 4 && inArgs.mDestinationStep == 4 && inArgs.mChannels >= 3;
  if (theLevel == VectorLevel::kAvx512 && theAxis && theFourBytes && std::fabs(c[4]) > 2.0 &&
      std::fabs(c[0]) <= 4.0)
    return inArgs.mChannels == 4 ? &ShrinkAvx512<4> : &ShrinkAvx512<3>;
  const int theLoad = inArgs.mSourceStep == 4 ? kPacked : (inArgs.mSourceStep > 4 ? kWord : kGather);
  const auto& theTable = theLevel == VectorLevel::kAvx512 ? kAvx512Rows : kAvx2Rows;
  return theTable[theAxis][theLoad][inArgs.mChannels - 1];
}

}  // namespace kernels
