#include "kernels/LinearU8Vector.h"

#include "kernels/AlignedAlloc.h"

#include <immintrin.h>

#include <algorithm>
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
  __m256d thePosition = _mm256_max_pd(_mm256_load_pd(inPositions), _mm256_set1_pd(-1.0));
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
// horizontal steps (four doubles per pixel), from the kernels' allocator.
class KeptRows {
 public:
  explicit KeptRows(int inWidest)
  {
    mCapacity = (static_cast<std::int64_t>(inWidest) + 3) & ~std::int64_t{3};
    if (10 * mCapacity <= INT32_MAX)
      mBlock = iplAlignedAllocDouble(static_cast<int>(10 * mCapacity));
    if (!mBlock)
      return;
    mWalk.mFx = mBlock;
    mWalk.mOffsets = reinterpret_cast<std::int64_t*>(mBlock + mCapacity);
    mRows[0] = mBlock + 2 * mCapacity;
    mRows[1] = mBlock + 6 * mCapacity;
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

  const ColumnWalk& Columns() const { return mWalk; }

 private:
  std::int64_t mCapacity = 0;
  double* mBlock = nullptr;
  ColumnWalk mWalk{};
  double* mRows[2] = {nullptr, nullptr};
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
// count rounded up to four (the stores read whole groups of four).
template <int N, int kLoad>
TL_AVX512 void KeptRowAvx512(const AffineKernelArgs& inArgs, const ColumnWalk& inWalk, int inSourceRow,
                             int inCount, double* outRow)
{
  const std::uint8_t* theLine = inArgs.mSource + inSourceRow * inArgs.mSourceRowStep;
  for (int k = 0; k < ((inCount + 3) & ~3); k += 2) {
    __m512d theLeft, theRight;
    LeftRight2<N, kLoad>(theLine + inWalk.mOffsets[k], theLine + inWalk.mOffsets[k + 1], inArgs.mSourceStep, theLeft,
                         theRight);
    _mm512_storeu_pd(outRow + 4 * k, Horizontal2(theLeft, theRight, Pair(inWalk.mFx + k)));
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
      const __m512d theFy2 = _mm512_set1_pd(theFy);
      std::uint8_t* theOut = inArgs.mDestination + theRow * inArgs.mDestinationRowStep + theFirst * theOutStep;
      if (theFused) {
        FusedRowAvx512<N, kLoad>(inArgs, theKept.Columns(), theIy, theCount, theFy2, theOut);
        continue;
      }
      const double* theRows[2];
      for (int i = 0; i < 2; ++i) {
        bool theMake = false;
        double* theSlot = theKept.Row(theIy + i, theIy + 1 - i, theMake);
        if (theMake)
          KeptRowAvx512<N, kLoad>(inArgs, theKept.Columns(), theIy + i, theCount, theSlot);
        theRows[i] = theSlot;
      }
      for (int k = 0; k < theCount; k += 4) {
        const __m256i theFirstPair =
          Words2(Vertical2(_mm512_loadu_pd(theRows[0] + 4 * k), _mm512_loadu_pd(theRows[1] + 4 * k), theFy2));
        const __m256i theSecondPair =
          Words2(Vertical2(_mm512_loadu_pd(theRows[0] + 4 * k + 8), _mm512_loadu_pd(theRows[1] + 4 * k + 8), theFy2));
        StoreFour<N>(theFirstPair, theSecondPair, std::min(4, theCount - k), theOut, theOutStep);
        theOut += 4 * theOutStep;
      }
    }
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
  const bool theAxis = inArgs.mC[1] == 0 && inArgs.mC[3] == 0;
  const int theLoad = inArgs.mSourceStep == 4 ? kPacked : (inArgs.mSourceStep > 4 ? kWord : kGather);
  const auto& theTable = theLevel == VectorLevel::kAvx512 ? kAvx512Rows : kAvx2Rows;
  return theTable[theAxis][theLoad][inArgs.mChannels - 1];
}

}  // namespace kernels
