#include "core/GifEncode.h"

#include "core/Utilities.h"
#include "platform/base/LastError.h"
#include "platform/base/WinError.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <span>

namespace {

constexpr LONG kMaxSide = 65535;
constexpr LONG kMaxColors = 256;
constexpr LONG kMaxTransparentIndex = 255;
constexpr int kMaxCodeBits = 12;
constexpr WORD kCodeLimit = 1 << kMaxCodeBits;  // codes 0..4095
// A prime above kCodeLimit, for the open-addressed string table.
constexpr int kHashSize = 5003;
constexpr std::size_t kMaxSubBlock = 255;
// The bytes of a file besides its image data's sub-blocks, and more.
constexpr std::size_t kFileRoom = 1024;

struct Picture {
  LONG mWidth;
  LONG mHeight;
  LONG mRowBytes;
  const BYTE* mPixels;
  LONG mColors;
  const RGBQUAD* mPalette;
  int mBits;  // b: the colour table has 2^b entries
  bool mUseLZW;
  bool mTransparent;
  BYTE mTransparentIndex;
  bool mInterlace;

  const BYTE* Row(LONG inY) const { return mPixels + static_cast<std::ptrdiff_t>(inY) * mRowBytes; }
};

// Rows in the order the file holds them: all rows once, or the four passes of
// an interlaced picture.
struct Pass {
  LONG mFirst;
  LONG mStep;
};
constexpr Pass kProgressive[] = {{0, 1}};
constexpr Pass kInterlaced[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

// The state of one call: the code stream, the string table and the output.
class GifEncoder {
public:
  GifEncoder(BYTE* inStart, std::size_t inCapacity) : mWrite(inStart), mEnd(inStart + inCapacity) {}

  // Writes the whole file; answers its length, or 0 when it did not fit.
  std::size_t Write(const Picture& inPicture)
  {
    BYTE* const theStart = mWrite;
    WriteHeader(inPicture);
    WriteImage(inPicture);
    PutByte(0x3B);
    return mWrite == mEnd ? 0 : static_cast<std::size_t>(mWrite - theStart);
  }

private:
  // Every write keeps one byte of room: a byte that would reach the end
  // moves the write position to the end and is dropped, which marks the
  // file as too large.
  void PutByte(BYTE inByte)
  {
    if (mEnd - mWrite <= 1) {
      mWrite = mEnd;
      return;
    }
    *mWrite++ = inByte;
  }

  void PutWord(LONG inValue)
  {
    PutByte(static_cast<BYTE>(inValue & 0xFF));
    PutByte(static_cast<BYTE>((inValue >> 8) & 0xFF));
  }

  void PutBytes(const char* inText)
  {
    while (*inText)
      PutByte(static_cast<BYTE>(*inText++));
  }

  void WriteHeader(const Picture& inPicture)
  {
    const int theBits = inPicture.mBits;
    PutBytes(inPicture.mTransparent ? "GIF89a" : "GIF87a");
    PutWord(inPicture.mWidth);
    PutWord(inPicture.mHeight);
    // Global colour table present, colour resolution b, not sorted, 2^b entries.
    PutByte(static_cast<BYTE>(0x80 | ((theBits - 1) << 4) | (theBits - 1)));
    PutByte(0);  // background colour index
    PutByte(0);  // pixel aspect ratio
    for (LONG i = 0; i < LONG{1} << theBits; ++i) {
      const RGBQUAD theEntry = i < inPicture.mColors ? inPicture.mPalette[i] : RGBQUAD{};
      PutByte(theEntry.rgbRed);
      PutByte(theEntry.rgbGreen);
      PutByte(theEntry.rgbBlue);
    }
    if (inPicture.mTransparent) {
      // Graphic control extension: transparency flag, no disposal, no delay.
      for (BYTE theByte : {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00})
        PutByte(theByte);
      PutByte(inPicture.mTransparentIndex);
      PutByte(0);
    }
    PutByte(0x2C);
    PutWord(0);
    PutWord(0);
    PutWord(inPicture.mWidth);
    PutWord(inPicture.mHeight);
    PutByte(inPicture.mInterlace ? 0x40 : 0x00);
  }

  void WriteImage(const Picture& inPicture)
  {
    const int theMinimumSize = std::max(inPicture.mBits, 2);
    StartCodes(theMinimumSize);
    PutByte(static_cast<BYTE>(theMinimumSize));
    PutCode(mClearCode);
    const std::span<const Pass> thePasses =
      inPicture.mInterlace ? std::span<const Pass>(kInterlaced) : std::span<const Pass>(kProgressive);
    // A file that has outgrown its block stops early: it is refused anyway.
    for (const Pass& thePass : thePasses) {
      for (LONG theY = thePass.mFirst; theY < inPicture.mHeight && mWrite != mEnd; theY += thePass.mStep) {
        const BYTE* theRow = inPicture.Row(theY);
        for (LONG theX = 0; theX < inPicture.mWidth; ++theX) {
          if (inPicture.mUseLZW)
            AddLZW(theRow[theX]);
          else
            AddUncompressed(theRow[theX]);
        }
      }
    }
    if (inPicture.mUseLZW)
      PutPixelCode(mPrefix);
    PutCode(mEndCode);
    if (mBitCount > 0)
      PutDataByte(static_cast<BYTE>(mAccumulator & 0xFF));
    if (mPixelsEndBlock)
      MoveLastPixelByteToFinalBlock();
    FlushBlock();
    PutByte(0);  // the zero-length block that ends the image data
  }

  // A code that stands for pixels. A decoder may stop reading once it has
  // all the pixels, and ImageMagick then looks for the next image in what
  // it left unread: a last sub-block holding only the codes after the last
  // pixel (clear, end of information) would be taken for one.
  void PutPixelCode(WORD inCode)
  {
    PutCode(inCode);
    mPixelsEndBlock = mBitCount == 0 && mBlockCount == 0;
  }

  // The last pixel code ended a full sub-block that is already written:
  // that block gives up its last byte to the sub-block still held.
  void MoveLastPixelByteToFinalBlock()
  {
    if (mWrite == mEnd)
      return;  // too large: the file is refused anyway
    const BYTE theLastByte = mWrite[-1];
    --mWrite;
    mWrite[-static_cast<std::ptrdiff_t>(kMaxSubBlock)] = kMaxSubBlock - 1;
    std::copy_backward(mBlock.begin(), mBlock.begin() + mBlockCount, mBlock.begin() + mBlockCount + 1);
    mBlock[0] = theLastByte;
    ++mBlockCount;
  }

  void StartCodes(int inMinimumSize)
  {
    mInitialSize = inMinimumSize + 1;
    mCodeSize = mInitialSize;
    mMaxCode = static_cast<WORD>((1 << mCodeSize) - 1);
    mClearCode = static_cast<WORD>(1 << inMinimumSize);
    mEndCode = static_cast<WORD>(mClearCode + 1);
    mNextFree = static_cast<WORD>(mClearCode + 2);
    mFirstPixel = true;
    mHashCodes.fill(0);
  }

  // Codes go out least significant bit first; the code size grows once the
  // next free code no longer fits it, up to 12 bits.
  void PutCode(WORD inCode)
  {
    mAccumulator |= static_cast<DWORD>(inCode) << mBitCount;
    mBitCount += mCodeSize;
    while (mBitCount >= 8) {
      PutDataByte(static_cast<BYTE>(mAccumulator & 0xFF));
      mAccumulator >>= 8;
      mBitCount -= 8;
    }
    if (mNextFree > mMaxCode) {
      ++mCodeSize;
      mMaxCode = mCodeSize == kMaxCodeBits ? kCodeLimit : static_cast<WORD>((1 << mCodeSize) - 1);
    }
  }

  void PutDataByte(BYTE inByte)
  {
    mBlock[mBlockCount++] = inByte;
    if (mBlockCount == kMaxSubBlock)
      FlushBlock();
  }

  void FlushBlock()
  {
    if (mBlockCount == 0)
      return;
    PutByte(static_cast<BYTE>(mBlockCount));
    for (std::size_t i = 0; i < mBlockCount; ++i)
      PutByte(mBlock[i]);
    mBlockCount = 0;
  }

  // One pixel of the LZW stream: extends the current string when the table
  // knows the longer one, else writes the string's code and enters the
  // longer string (or clears the table when it is full).
  void AddLZW(BYTE inPixel)
  {
    if (mFirstPixel) {
      mFirstPixel = false;
      mPrefix = inPixel;
      return;
    }
    int theHash = (inPixel << 4) + mPrefix;
    if (theHash >= kHashSize)
      theHash -= kHashSize;
    const DWORD theKey = static_cast<DWORD>(mPrefix) << 8 | inPixel;
    if (mHashCodes[theHash] != 0) {
      if (mHashKeys[theHash] == theKey) {
        mPrefix = mHashCodes[theHash];
        return;
      }
      const int theStep = theHash == 0 ? 1 : kHashSize - theHash;
      for (;;) {
        theHash -= theStep;
        if (theHash < 0)
          theHash += kHashSize;
        if (mHashCodes[theHash] == 0)
          break;
        if (mHashKeys[theHash] == theKey) {
          mPrefix = mHashCodes[theHash];
          return;
        }
      }
    }
    PutPixelCode(mPrefix);
    if (mNextFree < kCodeLimit) {
      mHashCodes[theHash] = mNextFree++;
      mHashKeys[theHash] = theKey;
    } else {
      mHashCodes.fill(0);
      mNextFree = static_cast<WORD>(mClearCode + 2);
      PutCode(mClearCode);
      mCodeSize = mInitialSize;
      mMaxCode = static_cast<WORD>((1 << mCodeSize) - 1);
    }
    mPrefix = inPixel;
  }

  // One pixel of the uncompressed stream: its own code, then a clear code
  // just before the decoder's table would reach the next code size.
  void AddUncompressed(BYTE inPixel)
  {
    PutPixelCode(inPixel);
    if (mNextFree >= mMaxCode) {
      PutCode(mClearCode);
      mNextFree = static_cast<WORD>(mClearCode + 2);
    } else {
      ++mNextFree;
    }
  }

  int mCodeSize = 0;
  WORD mMaxCode = 0;
  int mInitialSize = 0;
  DWORD mAccumulator = 0;
  int mBitCount = 0;
  WORD mPrefix = 0;
  bool mFirstPixel = true;
  bool mPixelsEndBlock = false;  // the last pixel code ended a full sub-block
  WORD mClearCode = 0;
  WORD mEndCode = 0;
  WORD mNextFree = 0;
  std::array<WORD, kHashSize> mHashCodes{};  // 0: empty slot
  std::array<DWORD, kHashSize> mHashKeys{};  // prefix << 8 | pixel
  std::size_t mBlockCount = 0;
  std::array<BYTE, kMaxSubBlock> mBlock{};
  BYTE* mWrite;
  BYTE* const mEnd;
};

// Room for the longest file of the picture. No stream of p pixels takes more
// than 12 x (p + p / 254 + 3) bits: LZW writes at most one code of at most 12
// bits a pixel, a clear code once in 3838 codes at most, the first clear code
// and the end code; the uncompressed stream's codes of m + 1 bits, with a
// clear code every 2^m - 2 pixels, come to at most 9.04 bits a pixel. The
// sub-blocks add a count byte for every 255 data bytes; the header (at most
// 800 bytes), the end of the image data and the trailer fit in kFileRoom.
std::size_t FileCapacity(const Picture& inPicture)
{
  const std::uint64_t thePixels =
    std::uint64_t{static_cast<DWORD>(inPicture.mWidth)} * static_cast<DWORD>(inPicture.mHeight);
  const std::uint64_t theDataBytes = (thePixels + thePixels / 254 + 3) * kMaxCodeBits / 8 + 1;
  return theDataBytes + theDataBytes / kMaxSubBlock + 1 + kFileRoom;
}

bool IndexesPastTable(const Picture& inPicture)
{
  const LONG theTableSize = LONG{1} << inPicture.mBits;
  if (theTableSize == 256)
    return false;  // every byte indexes the table
  for (LONG theY = 0; theY < inPicture.mHeight; ++theY) {
    const BYTE* theRow = inPicture.Row(theY);
    if (std::any_of(theRow, theRow + inPicture.mWidth, [=](BYTE inPixel) { return inPixel >= theTableSize; }))
      return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<BYTE[]> GifEncode(LONG inWidth, LONG inHeight, LONG inColors, const RGBQUAD* inPalette,
                                  LONG inTransparentIndex, bool inInterlace, bool inUseLZW, LONG inRowBytes,
                                  const BYTE* inPixels, std::size_t& outSize)
{
  outSize = 0;
  if (inWidth < 1 || inWidth > kMaxSide || inHeight < 1 || inHeight > kMaxSide || inColors > kMaxColors ||
      inTransparentIndex > kMaxTransparentIndex || !inPixels || (inColors > 0 && !inPalette)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const Picture thePicture{inWidth,
                           inHeight,
                           inRowBytes,
                           inPixels,
                           inColors,
                           inPalette,
                           static_cast<int>(BitsForColorCount(inColors)),
                           inUseLZW,
                           inTransparentIndex >= 0,
                           static_cast<BYTE>(std::max<LONG>(inTransparentIndex, 0)),
                           inInterlace};
  if (IndexesPastTable(thePicture)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  const std::size_t theCapacity = FileCapacity(thePicture);
  std::unique_ptr<BYTE[]> theBlock(new (std::nothrow) BYTE[theCapacity]);
  std::unique_ptr<GifEncoder> theEncoder(theBlock ? new (std::nothrow) GifEncoder(theBlock.get(), theCapacity)
                                                  : nullptr);
  if (!theEncoder) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::size_t theSize = theEncoder->Write(thePicture);
  if (theSize == 0)
    return nullptr;
  outSize = theSize;
  return theBlock;
}
